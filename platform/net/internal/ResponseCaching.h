// A data task's use of its session's URL cache: whether a request is answered from the cache
// (by the request's or the configuration's cache policy and the stored response's freshness),
// whether the response that comes instead is worth keeping (a 200 to a GET, without no-store, of
// a bounded size), and storing what the delegate lets through.
//
// A member of its task's driver, used on the session's delegate queue (and by the thread that
// starts the task's first transfer).
//
//   auto lookup = ResponseCaching::lookUp(configuration, request);
//   if (lookup.answer == ResponseCaching::Answer::Serve) ...
#pragma once

#include "platform/base/Forward.h"

#include <string>
#include <string_view>

class NSCachedURLResponse;
class NSURLRequest;
class NSURLResponse;
class NSURLSessionConfiguration;

namespace dv::internal::net {

class ResponseCaching {
public:
    enum class Answer {
        Load,        // ask the server
        Serve,       // the cached response is the answer
        Unavailable, // only the cache may answer, and it has nothing
    };
    struct Lookup {
        Answer answer = Answer::Load;
        Ref<NSCachedURLResponse> cached {};
    };
    // For a data task's request. Calls the cache, which may be the application's own subclass.
    static Lookup lookUp(const Ref<NSURLSessionConfiguration>& configuration, const Ref<NSURLRequest>& request);
    // Whether a cached response may be used without asking the server (max-age or Expires).
    static bool isFresh(const Ref<NSCachedURLResponse>& cached);
    static void store(const Ref<NSURLSessionConfiguration>& configuration, const Ref<NSCachedURLResponse>& cached,
        const Ref<NSURLRequest>& request);

    // The task's answer came from the cache: nothing of it is offered to the cache again.
    void servedFromCache() { m_fromCache = true; }
    // A new transfer: nothing of an earlier response is kept.
    void reset();
    // The final response: decides whether its body is kept for the cache.
    void begin(const Ref<NSURLSessionConfiguration>& configuration, const Ref<NSURLRequest>& request,
        const Ref<NSURLResponse>& response);
    void append(std::string_view bytes);
    // The response with the body kept, to offer to the delegate and the cache; nil when this
    // response is not to be kept.
    Ref<NSCachedURLResponse> takeProposal(const Ref<NSURLResponse>& response);

private:
    bool m_fromCache = false;
    bool m_cacheable = false;
    std::string m_body;
};

} // namespace dv::internal::net
