#include "platform/testing/LoopbackServer.h"
#include "platform/testing/support/ServerSockets.h"

#include "platform/base/Mutex.h"

#include <httplib.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <set>
#include <stdexcept>

namespace dv::testing {

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string base64(const std::string& in)
{
    static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    while (i + 2 < in.size()) {
        unsigned n = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) | static_cast<unsigned char>(in[i + 2]);
        out += table[(n >> 18) & 63];
        out += table[(n >> 12) & 63];
        out += table[(n >> 6) & 63];
        out += table[n & 63];
        i += 3;
    }
    if (i + 1 == in.size()) {
        unsigned n = static_cast<unsigned char>(in[i]) << 16;
        out += table[(n >> 18) & 63];
        out += table[(n >> 12) & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        unsigned n = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8);
        out += table[(n >> 18) & 63];
        out += table[(n >> 12) & 63];
        out += table[(n >> 6) & 63];
        out += '=';
    }
    return out;
}

void fillGenerated(char* out, std::int64_t offset, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        out[i] = static_cast<char>('a' + (offset + static_cast<std::int64_t>(i)) % 26);
}

X509* parseCertificate(const std::string& pem)
{
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    return cert;
}

EVP_PKEY* parseKey(const std::string& pem)
{
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    return key;
}

} // namespace

std::string RecordedRequest::header(const std::string& lowerCaseName) const
{
    auto it = headers.find(lowerCaseName);
    return it == headers.end() ? std::string() : it->second;
}

struct LoopbackServer::Impl {
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    mutable dv::Mutex mutex;
    mutable dv::ConditionVariable changed;
    std::map<std::string, Script> routes DV_GUARDED_BY(mutex);
    std::vector<RecordedRequest> requests DV_GUARDED_BY(mutex);
    std::vector<std::string> arrived DV_GUARDED_BY(mutex); // paths whose handlers started
    std::atomic<bool> stopping { false };
    std::set<int> remotePorts DV_GUARDED_BY(mutex); // one per client connection

    // Waits for `d` unless the server stops first; answers false when stopping.
    bool pause(std::chrono::milliseconds d)
    {
        if (d.count() <= 0)
            return !stopping.load();
        dv::MutexLocker lock(mutex);
        changed.waitFor(lock, d, [&] { return stopping.load(); });
        return !stopping.load();
    }

    // `rawBody`: the body as it came, for requests whose body the library would otherwise take
    // apart (multipart forms).
    void handle(const httplib::Request& req, httplib::Response& res, const std::string* rawBody = nullptr);
};

void LoopbackServer::Impl::handle(const httplib::Request& req, httplib::Response& res, const std::string* rawBody)
{
    RecordedRequest recorded;
    recorded.method = req.method;
    recorded.path = req.path;
    auto q = req.target.find('?');
    if (q != std::string::npos)
        recorded.query = req.target.substr(q + 1);
    for (auto& [name, value] : req.headers)
        recorded.headers.emplace(lower(name), value);
    recorded.body = rawBody ? *rawBody : req.body;

    Script script;
    {
        dv::MutexLocker lock(mutex);
        requests.push_back(recorded);
        remotePorts.insert(req.remote_port);
        arrived.push_back(req.path);
        auto it = routes.find(req.path);
        if (it != routes.end())
            script = it->second;
    }
    changed.notifyAll();
    if (!script) {
        res.status = 404;
        res.set_content("not found", "text/plain");
        return;
    }
    ScriptedReply reply = script(recorded);
    if (!pause(reply.delay)) {
        res.status = 503;
        return;
    }

    if (!reply.user.empty() || !reply.password.empty()) {
        std::string expected = "Basic " + base64(reply.user + ":" + reply.password);
        if (req.get_header_value("Authorization") != expected) {
            res.status = 401;
            res.set_header("WWW-Authenticate", "Basic realm=\"dovrelta\"");
            res.set_content("authentication required", "text/plain");
            return;
        }
    }

    for (auto& [name, value] : reply.headers)
        res.set_header(name, value);
    for (auto& cookie : reply.setCookies)
        res.set_header("Set-Cookie", cookie);
    if (!reply.etag.empty())
        res.set_header("ETag", reply.etag);

    if (!reply.redirectTo.empty()) {
        res.status = reply.status == 200 ? 302 : reply.status;
        res.set_header("Location", reply.redirectTo);
        res.set_content(reply.body, reply.contentType);
        return;
    }
    res.status = reply.status;

    // Byte ranges are answered here (with If-Range); the library must not slice the body again.
    const_cast<httplib::Request&>(req).ranges.clear();
    // The library picks the encoding from what the request accepts.
    if (!reply.compressible)
        const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");

    std::int64_t total = reply.generatedLength >= 0 ? reply.generatedLength : static_cast<std::int64_t>(reply.body.size());
    std::int64_t offset = 0;
    if (reply.generatedLength >= 0) {
        res.set_header("Accept-Ranges", "bytes");
        std::string range = req.get_header_value("Range");
        std::string ifRange = req.get_header_value("If-Range");
        bool rangeApplies = range.rfind("bytes=", 0) == 0 && (ifRange.empty() || ifRange == reply.etag);
        if (rangeApplies) {
            offset = std::min<std::int64_t>(std::stoll(range.substr(6)), total);
            res.status = 206;
            res.set_header("Content-Range", "bytes " + std::to_string(offset) + "-" + std::to_string(total - 1) + "/" + std::to_string(total));
        }
    }

    const std::string body = reply.body;
    const bool generated = reply.generatedLength >= 0;
    const std::size_t piece = reply.pieceSize ? reply.pieceSize : 64 * 1024;
    const auto pieceDelay = reply.pieceDelay;
    const std::int64_t dropAfter = reply.dropAfterBytes;
    const std::int64_t start = offset;
    const bool closeAtEnd = reply.framing == ScriptedReply::Framing::NoLength;
    auto produce = [this, body, generated, piece, pieceDelay, dropAfter, start, total, closeAtEnd](size_t position, httplib::DataSink& sink) -> bool {
        std::int64_t from = start + static_cast<std::int64_t>(position);
        if (from >= total) {
            if (closeAtEnd)
                return false; // ends the connection, which ends a body without length
            sink.done();
            return true;
        }
        if (dropAfter >= 0 && static_cast<std::int64_t>(position) >= dropAfter)
            return false;
        if (position > 0 && !pause(pieceDelay))
            return false;
        std::size_t length = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(piece), total - from));
        if (dropAfter >= 0)
            length = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(length), dropAfter - static_cast<std::int64_t>(position)));
        std::string chunk(length, '\0');
        if (generated)
            fillGenerated(chunk.data(), from, length);
        else
            chunk.assign(body, static_cast<size_t>(from), length);
        return sink.write(chunk.data(), chunk.size());
    };

    switch (reply.framing) {
    case ScriptedReply::Framing::Length:
        if (!generated && reply.pieceSize == 0 && dropAfter < 0) {
            res.set_content(body, reply.contentType);
        } else {
            res.set_content_provider(static_cast<size_t>(total - start), reply.contentType,
                [produce](size_t position, size_t, httplib::DataSink& sink) { return produce(position, sink); });
        }
        break;
    case ScriptedReply::Framing::Chunked:
        res.set_chunked_content_provider(reply.contentType, [produce](size_t position, httplib::DataSink& sink) { return produce(position, sink); });
        break;
    case ScriptedReply::Framing::NoLength:
        res.set_header("Connection", "close");
        res.set_content_provider(reply.contentType, [produce](size_t position, httplib::DataSink& sink) { return produce(position, sink); });
        break;
    }
}

LoopbackServer::LoopbackServer(Scheme scheme, std::size_t workers)
{
    if (scheme == Scheme::Https) {
        auto& certs = TestCertificates::shared();
        start(scheme, &certs.leaf, { certs.intermediate }, workers);
    } else {
        start(scheme, nullptr, {}, workers);
    }
}

LoopbackServer::LoopbackServer(const TestCertificate& certificate, std::vector<TestCertificate> chain, std::size_t workers)
{
    start(Scheme::Https, &certificate, std::move(chain), workers);
}

void LoopbackServer::start(Scheme scheme, const TestCertificate* certificate, std::vector<TestCertificate> chain, std::size_t workers)
{
    m_scheme = scheme;
    m_impl = std::make_unique<Impl>();
    if (scheme == Scheme::Https) {
        std::string certPem = certificate->pem;
        std::string keyPem = certificate->keyPem;
        m_impl->server = std::make_unique<httplib::SSLServer>([certPem, keyPem, chain](SSL_CTX& ctx) {
            X509* cert = parseCertificate(certPem);
            EVP_PKEY* key = parseKey(keyPem);
            bool ok = cert && key && SSL_CTX_use_certificate(&ctx, cert) == 1 && SSL_CTX_use_PrivateKey(&ctx, key) == 1;
            X509_free(cert);
            EVP_PKEY_free(key);
            for (auto& extra : chain) {
                X509* c = parseCertificate(extra.pem);
                ok = ok && c && SSL_CTX_add1_chain_cert(&ctx, c) == 1;
                X509_free(c);
            }
            return ok;
        });
    } else {
        m_impl->server = std::make_unique<httplib::Server>();
    }
    auto& server = *m_impl->server;
    server.new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    server.set_keep_alive_max_count(100000);
    // An idle kept-alive connection gives its worker back after a second.
    server.set_keep_alive_timeout(1);
    server.set_tcp_nodelay(true);
    Impl* impl = m_impl.get();
    // The library listens with a tiny backlog; widen it so that bursts of concurrent connections
    // are not dropped and retried by the kernel a second later.
    int listener = -1;
    server.set_socket_options([&listener](socket_t sock) {
        listener = sock;
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof(yes));
    });
    auto handler = [impl](const httplib::Request& req, httplib::Response& res) { impl->handle(req, res); };
    server.Get(".*", handler);
    // POST bodies are read as they came, so that multipart bodies are recorded byte for byte. The
    // library takes a body apart when its type says multipart, so for the read the type is hidden
    // under another name and put back afterwards.
    server.Post(".*", [impl](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        auto& headers = const_cast<httplib::Headers&>(req.headers);
        std::vector<std::pair<std::string, std::string>> hidden;
        for (auto it = headers.begin(); it != headers.end();) {
            if (lower(it->first) == "content-type") {
                hidden.emplace_back(it->first, it->second);
                it = headers.erase(it);
            } else {
                ++it;
            }
        }
        std::string body;
        reader([&body](const char* data, size_t length) {
            body.append(data, length);
            return true;
        });
        for (auto& [name, value] : hidden)
            headers.emplace(name, value);
        impl->handle(req, res, &body);
    });
    server.Put(".*", handler);
    server.Delete(".*", handler);
    server.Patch(".*", handler);
    server.Options(".*", handler);
    m_port = server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("loopback server could not bind");
    if (listener >= 0)
        ::listen(listener, 1024);
    m_impl->thread = std::thread([impl] { impl->server->listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::yield();
}

LoopbackServer::~LoopbackServer()
{
    m_impl->stopping = true;
    m_impl->changed.notifyAll();
    // Idle kept-alive connections would hold the server's workers until the client lets go;
    // end the server's side of every connection on our port so that stopping is immediate.
    shutdownConnections(m_port);
    m_impl->server->stop();
    if (m_impl->thread.joinable())
        m_impl->thread.join();
}

std::string LoopbackServer::url(const std::string& path) const
{
    return std::string(m_scheme == Scheme::Https ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port) + path;
}

void LoopbackServer::route(const std::string& path, ScriptedReply reply)
{
    route(path, Script([reply](const RecordedRequest&) { return reply; }));
}

void LoopbackServer::route(const std::string& path, Script script)
{
    dv::MutexLocker lock(m_impl->mutex);
    m_impl->routes[path] = std::move(script);
}

std::vector<RecordedRequest> LoopbackServer::requests() const
{
    dv::MutexLocker lock(m_impl->mutex);
    return m_impl->requests;
}

std::size_t LoopbackServer::requestCount(const std::string& path) const
{
    dv::MutexLocker lock(m_impl->mutex);
    return static_cast<std::size_t>(std::count_if(m_impl->requests.begin(), m_impl->requests.end(), [&](auto& r) { return r.path == path; }));
}

std::size_t LoopbackServer::connectionCount() const
{
    dv::MutexLocker lock(m_impl->mutex);
    return m_impl->remotePorts.size();
}

bool LoopbackServer::waitForRequest(const std::string& path, std::chrono::milliseconds limit) const
{
    dv::MutexLocker lock(m_impl->mutex);
    return m_impl->changed.waitFor(lock, limit, [&]() DV_REQUIRES(m_impl->mutex) {
        return std::find(m_impl->arrived.begin(), m_impl->arrived.end(), path) != m_impl->arrived.end();
    });
}

} // namespace dv::testing
