// The server's side of its connections, in front of the request handlers: it accepts, reads each
// request whole (RequestReader: limits on head and body, chunked bodies decoded and held to the
// body limit) on one event thread, and only then hands it to a worker; it writes the answer back
// without blocking and keeps the connection for the next request. A connection costs a worker
// only while its complete request is being handled, so clients that send slowly or keep idle
// connections open hold no worker and delay nobody.
//
// What a client that goes once its request is read still costs from the moment the front sees it
// go: if no worker has taken the request, nothing at all (the request is taken off the queue, its
// bytes and its room in the budget given back at once); if a worker has begun it, that worker and
// what its handler has counted, until the handler returns (its answer is then dropped unwritten).
// Either way the connection and its descriptor close at once. Going is a reset or the end of the
// client's input: an HTTP client does not end its side and then wait for its answer, so the end
// of input that comes with a complete request, or while it is queued or handled, is taken as the
// client going, whatever it sent behind that request (a client that sends requests one behind
// another and then ends its side gets no answer to any of them that was not written before the
// front saw the end). While an answer is being written the end of input does not stop it; the
// connection closes once it is out.
//
// Memory is bounded for all connections together (MemoryBudget). Counted in it, before they are
// held: each request's head and body as their bytes arrive (a declared length takes nothing until
// its bytes come), the bytes a client sends behind a request not yet answered, whatever the
// handler counts into the request's shares while it works (FrontRequest), and each answer until
// the client has taken all but a fixed send buffer of it. An answer may end with bytes that other
// answers send too (FrontAnswer::shared, a stored picture): they are one copy, counted once by
// their own share for as long as any answer holds them, and each answer counts only its own bytes
// (its head). Bytes are read from a connection only as they are counted: past the fixed buffer of
// one read, nothing is read ahead of the budget.
// Not counted: what each connection costs whatever it sends (its record, the system's socket
// buffers, the front's own refusals of a few hundred bytes), bounded by the number of connections.
//
// When there is no room, nothing waits for it: a request whose next bytes find none is told 503
// at once (with Retry-After), its room given back for the others; one whose declared length does
// not fit when its head is in is told so before its body is sent; a client whose answer finds no
// room is told 503 in place of it; bytes behind a request not yet answered are dropped, and the
// connection closes after the answer. No connection ever waits on another's room, so slow
// uploads that each hold part of a body cannot stop one another: the one that finds no room
// goes, and the rest go on.
//
// Time limits, on the steady clock: a request (head and body) must arrive within the request
// deadline from its first byte, or the client gets 408 and the connection closes; a kept-alive
// connection that starts no request within the keep-alive time closes. Blank lines before a
// request line start no request: they neither start the request deadline nor restart the
// keep-alive time, and past four of them the client is told 400. An answer the client does
// not take within the write deadline is dropped with its connection. Refusals the front makes
// itself (400, 408, 413, 415, 431, 501, 503) end their connection: the client is told, its
// further bytes are read and dropped for a moment so that the answer is not lost to a reset, and
// the connection closes.
//
//   DV_TRY_ASSIGN(auto front, HttpFront::start(settings, [](FrontRequest& request) { return answer(request); }));
//   front->port();
//   front->stop(); // also done by the destructor
//
// The handler runs on the worker threads, several at once.
#pragma once

#include "platform/base/Result.h"
#include "tools/devserver/internal/RequestReader.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace dv::internal::devserver {

struct FrontSettings {
    std::string host = "127.0.0.1";
    int port = 0; // 0: any free port
    RequestLimits limits {};
    std::chrono::milliseconds requestDeadline { 10000 };
    std::chrono::milliseconds keepAlive { 5000 };
    std::chrono::milliseconds writeDeadline { 10000 };
    std::size_t workers = 16;
    // Past this many open connections a new one is told 503 and closed.
    std::size_t maxConnections = 4096;
    // What the connections' requests and answers may take at once, all together.
    std::size_t maxBytesHeld = 64 * 1024 * 1024;
};

// One complete request, as the handler gets it: the message with a plain Content-Length (its
// head, then its body) and where it came from. Both shares belong to the front's budget; the
// handler counts into them whatever it holds while it works, and gives back what it lets go.
struct FrontRequest {
    explicit FrontRequest(MemoryBudget& budget)
        : share(budget)
        , answerShare(budget)
        , budget(budget)
    {
    }

    std::string head;
    std::string body;
    // What the head and body take of the budget, and whatever the handler makes of them (the
    // request as it reads and takes apart the body); given back with them.
    MemoryShare share;
    std::string peerAddress;
    int peerPort = 0;
    std::string localAddress;
    int localPort = 0;
    // Room the handler takes for its answer before it makes it (a large picture), so that an
    // answer the budget has no room for is refused before it is read; goes on with the answer.
    MemoryShare answerShare;
    // The front's budget, for what the handler shares between answers (FrontAnswer::shared).
    MemoryBudget& budget;
};

struct FrontAnswer {
    std::string bytes; // the response as it goes out (its head, when it ends with shared bytes)
    enum class Then {
        KeepOpen, // ready for the next request
        Close,    // after the bytes are written
        Drop,     // at once, nothing written
    } then = Then::KeepOpen;
    // Room taken for the answer so far (FrontRequest::answerShare); the front counts the rest of
    // `bytes`, and gives back what the share holds beyond them.
    std::optional<MemoryShare> share {};
    // Written after `bytes`: `sharedLength` bytes of `shared` from `sharedFrom`. They are counted by
    // their own share, once for all the answers that hold them, and let go when this one is written.
    std::shared_ptr<const SharedBytes> shared {};
    std::size_t sharedFrom = 0;
    std::size_t sharedLength = 0;
};

class HttpFront {
public:
    using Handler = std::function<FrontAnswer(FrontRequest&)>;

    // Fails when the address cannot be listened on.
    static Result<std::unique_ptr<HttpFront>> start(FrontSettings settings, Handler handler);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Closes every connection, stops listening and waits for the workers. Safe to call twice.
    void stop();
    int port() const;
    // Connections open now.
    std::size_t connectionCount() const;
    // What the connections' requests and answers take of the budget now.
    std::size_t bytesHeld() const;

    struct Impl;

private:
    explicit HttpFront(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// The short plain-text answer the front gives for a status of its own, with Connection: close
// (and for 503, Retry-After).
std::string frontRefusal(int status);

} // namespace dv::internal::devserver
