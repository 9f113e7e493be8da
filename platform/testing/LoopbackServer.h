// An HTTP or HTTPS server on 127.0.0.1 for tests, with replies scripted per path: status codes,
// content types, delays, chunked or close-delimited bodies, slow bodies, large generated bodies
// with byte ranges, redirects, basic authentication, cookies and dropped connections. It records
// every request it saw.
//
// The server owns its threads; it starts listening in the constructor on a free port and stops in
// the destructor. Scripted delays wait on the server's own stop signal, so a test that finishes
// early never waits for them.
//
//   dv::testing::LoopbackServer server;
//   server.route("/hello", {.body = "hi"});
//   auto url = server.url("/hello"); // "http://127.0.0.1:<port>/hello"
#pragma once

#include "platform/testing/TestCertificates.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace dv::testing {

struct RecordedRequest {
    std::string method;
    std::string path;   // without the query
    std::string query;  // raw, without "?"
    std::multimap<std::string, std::string> headers; // names in lower case
    std::string body;
    std::string header(const std::string& lowerCaseName) const;
};

struct ScriptedReply {
    int status = 200;
    std::string body {};
    std::string contentType = "text/plain";
    std::vector<std::pair<std::string, std::string>> headers {};
    std::vector<std::string> setCookies {};
    // Wait before the reply starts.
    std::chrono::milliseconds delay { 0 };
    // Body framing: Content-Length (default), chunked, or no length at all (the connection closes
    // at the end of the body).
    enum class Framing { Length, Chunked, NoLength } framing = Framing::Length;
    // A slow body: the body is sent in pieces of this size with this pause between them.
    std::size_t pieceSize = 0;
    std::chrono::milliseconds pieceDelay { 0 };
    // A generated body of this many bytes instead of `body` (byte i is 'a' + i % 26). Range
    // requests are honoured for generated bodies (206 with Content-Range; If-Range compares `etag`).
    std::int64_t generatedLength = -1;
    std::string etag {};
    // Redirect: status (default 302 when `status` is 200) and Location.
    std::string redirectTo {};
    // Basic authentication: a request without these credentials gets 401 with a challenge.
    std::string user {};
    std::string password {};
    // Drop the connection after the headers and this many body bytes (the body promised more).
    std::int64_t dropAfterBytes = -1;
    // The server compresses a text body when the client accepts it (gzip or brotli), as web
    // servers do; false sends it as it is (compressing costs far more than the reply's trip).
    bool compressible = true;
};

class LoopbackServer {
public:
    enum class Scheme { Http, Https };
    // `workers` bounds the connections served at once (a kept-alive connection holds a worker
    // while it stays open).
    explicit LoopbackServer(Scheme scheme = Scheme::Http, std::size_t workers = 64);
    // An HTTPS server presenting `certificate` followed by `chain`.
    LoopbackServer(const TestCertificate& certificate, std::vector<TestCertificate> chain, std::size_t workers = 64);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return m_port; }
    std::string url(const std::string& path) const;

    using Script = std::function<ScriptedReply(const RecordedRequest&)>;
    void route(const std::string& path, ScriptedReply reply);
    void route(const std::string& path, Script script);

    std::vector<RecordedRequest> requests() const;
    std::size_t requestCount(const std::string& path) const;
    // Number of TCP connections the server accepted.
    std::size_t connectionCount() const;

    // Waits until the server is inside a handler for `path` that is delaying (or until the
    // bounded wait runs out). Tests use it to act at a known phase.
    bool waitForRequest(const std::string& path, std::chrono::milliseconds limit = std::chrono::seconds(5)) const;

private:
    struct Impl;
    void start(Scheme scheme, const TestCertificate* certificate, std::vector<TestCertificate> chain, std::size_t workers);
    std::unique_ptr<Impl> m_impl;
    int m_port = 0;
    Scheme m_scheme = Scheme::Http;
};

} // namespace dv::testing
