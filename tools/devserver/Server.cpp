#include "tools/devserver/Server.h"

#include "platform/base/Mutex.h"
#include "platform/system/SystemPaths.h"
#include "platform/testing/support/ServerSockets.h"
#include "tools/devserver/internal/Api.h"
#include "tools/devserver/internal/FaultReplies.h"
#include "tools/devserver/internal/HttpFront.h"
#include "tools/devserver/internal/SeedData.h"
#include "tools/devserver/internal/Store.h"
#include "tools/devserver/internal/WebPages.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <optional>

namespace dv::devserver {

using namespace dv::internal::devserver;

namespace {

// A Host header we can put into URLs unchanged: a name or address and a port, nothing else.
bool usableHost(const std::string& host)
{
    if (host.empty() || host.size() > 255)
        return false;
    for (unsigned char c : host)
        if (!std::isalnum(c) && c != '.' && c != '-' && c != ':' && c != '[' && c != ']')
            return false;
    return true;
}

void answerJson(httplib::Response& res, int status, const Json& json)
{
    res.status = status;
    res.set_content(serialise(json), "application/json;charset=UTF-8");
}

// "127.0.0.1", "localhost", "[::1]" or any 127.x.y.z, with or without a port.
bool isLoopbackHost(std::string_view host)
{
    if (host.starts_with('[')) {
        auto end = host.find(']');
        if (end == std::string_view::npos)
            return false;
        std::string_view rest = host.substr(end + 1);
        return host.substr(1, end - 1) == "::1" && (rest.empty() || rest.starts_with(':'));
    }
    std::string_view name = host.substr(0, host.find(':'));
    if (name == "localhost")
        return true;
    in_addr address {};
    return inet_pton(AF_INET, std::string(name).c_str(), &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

// An Origin or Referer of this server itself: a loopback host at our port.
bool isOwnOrigin(std::string_view url, int port)
{
    if (!url.starts_with("http://"))
        return false;
    url.remove_prefix(7);
    std::string_view host = url.substr(0, url.find_first_of("/?#"));
    auto colon = host.rfind(':');
    if (colon == std::string_view::npos || (host.starts_with('[') && colon < host.find(']')))
        return false;
    return isLoopbackHost(host) && host.substr(colon + 1) == std::to_string(port);
}

// The library's routing and request parsing, run over a request the front has read whole.
class Router : public httplib::Server {
public:
    // The front listens and owns the connections, but the library writes an answer's content
    // provider only while its own socket is valid, as if it were listening: it is given a number
    // that is no descriptor, which nothing here listens on or closes.
    Router() { svr_sock_ = std::numeric_limits<socket_t>::max(); }
    using httplib::Server::process_request;
};

class ExchangeStream;

// What a handler decided about the connection of the request it answers, and what it holds of
// the front's budget.
struct ExchangeControl {
    FrontRequest* request = nullptr;
    ExchangeStream* stream = nullptr;
    bool drop = false;       // close it before anything is written
    bool cutHalfway = false; // write the head and half the body, then close it
    // Bytes of the answer's body counted into the answer's share, held by the library until the
    // answer is written out.
    std::size_t answerBody = 0;
};
thread_local ExchangeControl* t_exchange = nullptr;

// How far the library reads into a body before the pages behind it go back to the system.
constexpr std::size_t kReleaseStep = 256 * 1024;

// A request read whole, as the library reads a socket, and the bytes of its answer. What the
// library has read of the body goes back to the system (and the budget) as it reads on, so that
// the body and what the handler makes of it are not held whole at once; the answer is written
// into a buffer counted into the request's answer share before it grows.
//
// Counted while a request is handled: its head and body until read, the fields and picture taken
// out of the body, the store's copy of the picture, a reply, and the answer as written. A stored
// picture's bytes, shared with the other answers that send them, are not written here: the answer
// notes where they go (takeSharedSlice) and the front sends them from the one copy, counted once by
// its own share. Not counted, each bounded by the head limit or a few pages per worker: the
// library's parsed head and read buffers, and a text answer's compressed copy.
class ExchangeStream final : public httplib::Stream {
public:
    explicit ExchangeStream(FrontRequest& request)
        : m_request(request)
        , m_messageHeld(request.share.bytes())
    {
    }
    bool is_readable() const override { return m_read < m_request.head.size() + m_request.body.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override
    {
        std::size_t done = 0;
        for (const std::string* piece : { &m_request.head, &m_request.body }) {
            const std::size_t start = piece == &m_request.head ? 0 : m_request.head.size();
            if (m_read >= start + piece->size() || done == size)
                continue;
            const std::size_t at = m_read - start;
            const std::size_t n = std::min(size - done, piece->size() - at);
            std::memcpy(ptr + done, piece->data() + at, n);
            done += n;
            m_read += n;
        }
        // What the library has read is its own now, or its handler's: the request's is let go.
        if (m_read == m_request.head.size() + m_request.body.size()) {
            releaseBytes(m_request.head);
            releaseBytes(m_request.body);
            m_request.share.shrink(std::exchange(m_messageHeld, 0));
            m_read = 0;
        } else if (m_read > m_request.head.size() && m_read - m_request.head.size() >= m_bodyGivenBack + kReleaseStep) {
            const std::size_t released = releaseConsumedPages(m_request.body, m_read - m_request.head.size(), &m_bodyGivenBack);
            m_request.share.shrink(released);
            m_messageHeld -= std::min(m_messageHeld, released);
        }
        return ssize_t(done);
    }
    ssize_t write(const char* ptr, size_t size) override
    {
        if (isShared(ptr, size)) {
            const std::size_t from = std::size_t(ptr - m_shared.bytes->bytes.data());
            if (m_shared.length && m_shared.from + m_shared.length == from) {
                m_shared.length += size;
                return ssize_t(size);
            }
            if (!copySharedSlice())
                return -1;
            m_shared.from = from;
            m_shared.length = size;
            return ssize_t(size);
        }
        // Whatever follows shared bytes (the next part of several ranges) follows a copy of them.
        if (!copySharedSlice())
            return -1;
        // Room for the whole answer at once, so that its buffer is made once.
        if (!appendCounted(m_written, std::string_view(ptr, size), m_request.answerShare, m_answerBytes)) {
            m_noRoom = true;
            return -1;
        }
        return ssize_t(size);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        ip = m_request.peerAddress;
        port = m_request.peerPort;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        ip = m_request.localAddress;
        port = m_request.localPort;
    }
    // The front owns the connection, and closes it as soon as the client goes.
    socket_t socket() const override { return INVALID_SOCKET; }

    std::string takeWritten() { return std::move(m_written); }
    // The answer found no room as it was written.
    bool noRoom() const { return m_noRoom; }
    // The answer will have a body of about this size: its buffer is made for it at once.
    void expectAnswer(std::size_t bodyBytes) { m_answerBytes = bodyBytes + 1024; }

    // Bytes the answer's body is written from, shared with other answers: what the library writes
    // of them is noted, not copied.
    void shareBody(std::shared_ptr<const SharedBytes> bytes) { m_shared.bytes = std::move(bytes); }
    // What goes out after takeWritten(): `length` bytes of the shared ones from `from`.
    struct SharedSlice {
        std::shared_ptr<const SharedBytes> bytes;
        std::size_t from = 0;
        std::size_t length = 0;
    };
    SharedSlice takeSharedSlice() { return std::exchange(m_shared, {}); }

private:
    bool isShared(const char* ptr, std::size_t size) const
    {
        if (!m_shared.bytes)
            return false;
        const std::string& shared = m_shared.bytes->bytes;
        return std::less_equal<const char*>()(shared.data(), ptr) && std::less_equal<const char*>()(ptr + size, shared.data() + shared.size());
    }
    // Copies the shared bytes noted so far into the written ones, counted, so that other bytes can
    // follow them in order.
    bool copySharedSlice()
    {
        if (!m_shared.length)
            return true;
        const std::string_view slice = std::string_view(m_shared.bytes->bytes).substr(m_shared.from, m_shared.length);
        m_shared.length = 0;
        if (!appendCounted(m_written, slice, m_request.answerShare, m_answerBytes)) {
            m_noRoom = true;
            return false;
        }
        return true;
    }

    FrontRequest& m_request;
    std::size_t m_read = 0;
    std::size_t m_messageHeld; // what the request's share holds for the head and body
    std::size_t m_bodyGivenBack = 0;
    std::size_t m_answerBytes = 0;
    std::string m_written;
    SharedSlice m_shared;
    bool m_noRoom = false;
};

// A request's query and form fields and its uploaded picture, as the handlers take them.
struct ReceivedFields {
    std::map<std::string, std::string> fields; // the first value of a name wins
    std::optional<UploadedFile> code;
};

// Form bodies larger than this are refused: no form of ours comes near it.
constexpr std::size_t kMaxFormBytes = 8 * 1024;

// Takes `form` (name=value&...) apart into `fields`, as browsers encode it.
void takeFormApart(std::string_view form, std::map<std::string, std::string>& fields)
{
    while (!form.empty()) {
        const std::size_t amp = form.find('&');
        std::string_view item = form.substr(0, amp);
        form = amp == std::string_view::npos ? std::string_view() : form.substr(amp + 1);
        const std::size_t equals = item.find('=');
        std::string_view name = item.substr(0, equals);
        if (name.empty())
            continue;
        std::string_view value = equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
        fields.emplace(httplib::detail::decode_url(std::string(name), true), httplib::detail::decode_url(std::string(value), true));
    }
}

// The request's query, then the fields and picture of its body (a form or multipart), read through
// the library with what they take counted into `share` as it arrives. Other bodies are not read:
// no path takes them. Answers 0, or the status to refuse with: 400 a body that cannot be taken
// apart, 413 a form past kMaxFormBytes, 503 no room in the budget.
int receiveFields(const httplib::Request& req, const httplib::ContentReader* reader, MemoryShare& share, ReceivedFields& received)
{
    for (const auto& [name, value] : req.params)
        received.fields.emplace(name, value);
    if (!reader)
        return 0;
    const std::size_t length = std::size_t(std::strtoull(req.get_header_value("Content-Length").c_str(), nullptr, 10));
    bool noRoom = false;
    if (req.is_multipart_form_data()) {
        std::string* target = nullptr; // where the part being read goes; null: dropped
        bool targetReserved = false;
        const bool read = (*reader)(
            [&](const httplib::MultipartFormData& part) {
                target = nullptr;
                targetReserved = false;
                if (part.filename.empty()) {
                    auto [at, added] = received.fields.emplace(part.name, std::string());
                    target = added ? &at->second : nullptr;
                } else if (part.name == "code" && !received.code) {
                    received.code = UploadedFile { part.filename, part.content_type, {} };
                    target = &received.code->content;
                    // At most the body: made once, its pages taken (and counted) only as written.
                    target->reserve(length);
                    targetReserved = true;
                }
                return true;
            },
            [&](const char* data, std::size_t size) {
                if (!target)
                    return true;
                if (!targetReserved) {
                    noRoom = !appendCounted(*target, std::string_view(data, size), share);
                    return !noRoom;
                }
                // The picture's buffer was made for the whole body, which it cannot outgrow.
                if (target->size() + size > target->capacity())
                    return false;
                noRoom = !share.grow(size);
                if (!noRoom)
                    target->append(data, size);
                return !noRoom;
            });
        return read ? 0 : noRoom ? 503 : 400;
    }
    if (req.get_header_value("Content-Type").starts_with("application/x-www-form-urlencoded")) {
        if (length > kMaxFormBytes)
            return 413;
        std::string form;
        const bool read = (*reader)([&](const char* data, std::size_t size) {
            noRoom = !appendCounted(form, std::string_view(data, size), share);
            return !noRoom;
        });
        if (!read)
            return noRoom ? 503 : 400;
        // The fields taken out of it are no larger than the form.
        if (!share.grow(form.size()))
            return 503;
        takeFormApart(form, received.fields);
    }
    return 0;
}

// The server may run as a program with many connections open (every kept-alive client holds
// one); the soft limit on descriptors is often far below what the system allows.
void raiseDescriptorLimit()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < std::min<rlim_t>(limit.rlim_max, 65536)) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 65536);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

std::string tileSetNames()
{
    std::string names;
    for (const auto& set : tileSetSeeds())
        names += (names.empty() ? "" : ", ") + set.name;
    return names;
}

// The categories of a named set with their pages, as the store takes them; false and a reason for
// an unknown name.
// Lists the named set of home categories from now on.
Result<void> listTileSet(Store& store, const std::string& name)
{
    const auto* seed = tileSetSeed(name);
    if (!seed)
        return Failure("no tile set \"" + name + "\" (there are " + tileSetNames() + ")");
    std::vector<std::pair<CategoryRecord, std::string>> categories;
    for (const auto& category : seed->categories)
        categories.push_back({ { .categoryId = category.categoryId, .name = category.name, .keyword = category.keyword, .type = category.type },
            category.pageHtml });
    if (auto replaced = store.replaceHomeCategories(categories); !replaced)
        return std::move(replaced).failure().context("the data folder refused the tile set " + name);
    return {};
}

// A store call whose caller answers only whether it worked: the reason goes to standard error.
template <class T>
bool reported(const Result<T>& result, const char* what)
{
    if (!result)
        std::fprintf(stderr, "dovrelta-devserver: %s: %s\n", what, result.reason().c_str());
    return result.ok();
}

} // namespace

struct Server::Impl {
    Options options;
    std::unique_ptr<Store> store;
    Pictures pictures;
    std::unique_ptr<Api> api;
    FaultTable faults;
    Router http;
    std::unique_ptr<HttpFront> front;
    int port = 0;

    dv::Mutex mutex;
    dv::ConditionVariable wake;
    bool stopping DV_GUARDED_BY(mutex) = false;
    std::atomic<bool> stopped { false };

    FrontAnswer exchange(FrontRequest& request);
    void serve(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader* body);
    void control(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader* body);
    ApiRequest toApiRequest(const httplib::Request& req, ReceivedFields received) const;
    // Waits out a delay; false when the server began to stop meanwhile.
    bool delay(double seconds);
};

ApiRequest Server::Impl::toApiRequest(const httplib::Request& req, ReceivedFields received) const
{
    ApiRequest request;
    request.path = req.matches.size() > 1 ? std::string(req.matches[1]) : std::string();
    request.fields = std::move(received.fields);
    request.code = std::move(received.code);
    std::string host = req.get_header_value("Host");
    if (!usableHost(host))
        host = options.host + ":" + std::to_string(port);
    request.base = "http://" + host + "/DV/";
    return request;
}

bool Server::Impl::delay(double seconds)
{
    dv::MutexLocker lock(mutex);
    auto length = std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    return !wake.waitFor(lock, length, [this]() DV_REQUIRES(mutex) { return stopping; });
}

void Server::Impl::serve(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader* body)
{
    // Outside an exchange (never, as the front runs it) there is no budget to count into.
    if (!t_exchange) {
        res.status = 500;
        return;
    }
    FrontRequest& exchanged = *t_exchange->request;
    ReceivedFields received;
    int refusal = receiveFields(req, body, exchanged.share, received);
    // Room for the copy of the picture that the store takes, before it is made.
    if (!refusal && received.code && !exchanged.share.grow(std::min(received.code->content.size(), options.maxImageBytes)))
        refusal = 503;
    if (refusal) {
        res.status = refusal;
        if (refusal == 503)
            res.set_header("Retry-After", "1");
        return;
    }
    ApiRequest request = toApiRequest(req, std::move(received));
    request.budget = &exchanged.budget;
    std::optional<Fault> fault = faults.take(request.path);
    bool closing = false;
    // A released hold answers as the path's fault says by then.
    while (fault && fault->kind == FaultKind::Hold && !closing) {
        closing = !faults.waitForRelease(*fault);
        if (!closing)
            fault = faults.take(request.path);
    }
    closing = closing || (fault
        && (fault->kind == FaultKind::CloseConnection || (fault->kind == FaultKind::Delay && !delay(fault->delaySeconds))));
    if (closing) {
        // End this connection before a byte of the reply is written: the client sees the
        // connection close with nothing received.
        t_exchange->drop = true;
        res.status = 500;
        return;
    }
    Reply reply;
    try {
        reply = api->handle(request);
    } catch (const std::exception& exception) {
        std::fprintf(stderr, "dovrelta-devserver: %s failed: %s\n", request.path.c_str(), exception.what());
        reply = Reply::page(errorPage(500), 500);
    }
    if (fault && reply.shared && reshapesReply(*fault)) {
        // The fault makes a reply of its own from the picture's bytes: a copy of them, counted.
        if (exchanged.answerShare.grow(reply.shared->bytes.size()))
            reply.body = reply.shared->bytes;
        else
            reply = Reply::busy();
        reply.shared.reset();
    }
    if (fault)
        applyFault(*fault, reply);
    if (reply.json)
        reply.body = serialise(*reply.json);
    // The answer's share holds what was counted for the reply so far (a fault's copy of a shared
    // picture); from here it holds the body as built, until the library has written it.
    if (!exchanged.answerShare.resize(reply.body.size())) {
        reply = Reply::busy();
        exchanged.answerShare.release();
    }
    t_exchange->answerBody = exchanged.answerShare.bytes();
    t_exchange->stream->expectAnswer(reply.body.size());
    res.status = reply.httpStatus;
    if (reply.httpStatus == 503)
        res.set_header("Retry-After", "1");
    // Cut: the head promises the whole body; half of it goes out before the connection closes.
    if (fault && fault->kind == FaultKind::CutConnection)
        t_exchange->cutHalfway = true;
    if (reply.shared) {
        // Written from the one copy that answers of the picture share: the stream notes it.
        t_exchange->stream->shareBody(reply.shared);
        res.set_content_provider(reply.shared->bytes.size(), reply.contentType,
            [bytes = reply.shared](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                return sink.write(bytes->bytes.data() + offset, length);
            });
        return;
    }
    // Moved, not copied (as setting the content would).
    res.body = std::move(reply.body);
    res.set_header("Content-Type", reply.contentType);
}

void Server::Impl::control(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader* body)
{
    // Programs on this machine only: a web page the user visits could otherwise plant faults with
    // a form aimed here (another site's Origin or Referer), or through a name of its own that
    // resolves here (a Host that is not a loopback one).
    const std::string origin = req.get_header_value("Origin");
    const std::string referer = req.get_header_value("Referer");
    if (!isLoopbackHost(req.get_header_value("Host")) || (req.has_header("Origin") && !isOwnOrigin(origin, port))
        || (req.has_header("Referer") && !isOwnOrigin(referer, port))) {
        answerJson(res, 403, Json { { "error", "the control endpoint answers local programs only" } });
        return;
    }
    if (!t_exchange) {
        res.status = 500;
        return;
    }
    ReceivedFields received;
    if (const int refusal = receiveFields(req, body, t_exchange->request->share, received)) {
        res.status = refusal;
        return;
    }
    const auto& fields = received.fields;
    auto param = [&](const char* name) {
        auto found = fields.find(name);
        return found == fields.end() ? std::string() : found->second;
    };
    if (req.path == "/_control/faults") {
        Json list = Json::array();
        for (const auto& [path, fault] : faults.list())
            list.push_back(Json { { "path", path }, { "fault", formatFault(fault) } });
        answerJson(res, 200, Json { { "faults", std::move(list) } });
        return;
    }
    if (req.path == "/_control/clear") {
        if (fields.contains("path"))
            faults.clear(param("path"));
        else
            faults.clearAll();
        answerJson(res, 200, Json { { "ok", true } });
        return;
    }
    std::string path = param("path");
    auto fault = parseFault(param("fault"));
    if (path.empty() || !fault) {
        answerJson(res, 400, Json { { "error", path.empty() ? "missing path" : fault.reason() } });
        return;
    }
    faults.set(path, *fault);
    answerJson(res, 200,
        Json { { "ok", true }, { "path", normalizeFaultPath(path) }, { "fault", formatFault(*fault) } });
}

// Only a POST's body is taken by a path: another method's would be read by the library and held
// for nothing. It is let go, and the head says there is none.
void dropUnusedBody(FrontRequest& request)
{
    if (request.body.empty() || request.head.starts_with("POST "))
        return;
    // The reader ends every head with the body's length.
    const std::size_t at = request.head.rfind("Content-Length: ");
    if (at == std::string::npos)
        return;
    request.head.replace(at, std::string::npos, "Content-Length: 0\r\n\r\n");
    request.share.shrink(request.body.size());
    releaseBytes(request.body);
}

FrontAnswer Server::Impl::exchange(FrontRequest& request)
{
    dropUnusedBody(request);
    ExchangeStream stream(request);
    ExchangeControl control;
    control.request = &request;
    control.stream = &stream;
    t_exchange = &control;
    bool closed = false;
    // The library closes after a request that asks for it, or an answer it could not finish.
    bool finished = http.process_request(stream, false, closed, nullptr);
    t_exchange = nullptr;
    // The library's copy of the answer's body is gone with the request.
    request.answerShare.shrink(control.answerBody);
    if (control.drop)
        return { {}, FrontAnswer::Then::Drop };
    if (stream.noRoom())
        return { frontRefusal(503), FrontAnswer::Then::Close };
    std::string written = stream.takeWritten();
    auto shared = stream.takeSharedSlice();
    if (control.cutHalfway) {
        // The head and half the body, whether the body is the answer's own or shared.
        const std::size_t bodyStart = std::min(written.find("\r\n\r\n"), written.size() - 4) + 4;
        const std::size_t kept = bodyStart + (written.size() + shared.length - bodyStart) / 2;
        shared.length = kept > written.size() ? kept - written.size() : 0;
        written.resize(std::min(kept, written.size()));
        return { std::move(written), FrontAnswer::Then::Close, std::move(request.answerShare), std::move(shared.bytes), shared.from,
            shared.length };
    }
    return { std::move(written), finished && !closed ? FrontAnswer::Then::KeepOpen : FrontAnswer::Then::Close,
        std::move(request.answerShare), std::move(shared.bytes), shared.from, shared.length };
}

Server::Server(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}

Server::~Server()
{
    stop();
}

Result<std::unique_ptr<Server>> Server::start(Options options)
{
    auto impl = std::make_unique<Impl>();
    if (options.dataFolder.empty())
        options.dataFolder = defaultDataFolder();
    impl->options = options;
    DV_TRY_ASSIGN(impl->store, Store::open(options.dataFolder, options.seedCodes));
    impl->api = std::make_unique<Api>(*impl->store, impl->pictures, ApiSettings { .maxImageBytes = options.maxImageBytes, .maxImagePixels = options.maxPicturePixels,
        .quota = { .codes = options.maxCodesPerDevice, .bytes = options.maxUploadBytesPerDevice, .storeBytes = options.maxStoreBytes }, .now = options.now });
    if (!options.tileSet.empty())
        DV_TRY(listTileSet(*impl->store, options.tileSet));

    auto& http = impl->http;
    http.set_payload_max_length(options.maxRequestBytes);
    http.set_keep_alive_timeout(time_t(std::ceil(options.keepAliveSeconds)));
    // Only what the Keep-Alive header announces: the front keeps a connection for any number.
    http.set_keep_alive_max_count(100);
    Impl* raw = impl.get();
    // Bodies are read by the handlers (receiveFields), counted as they are taken apart; the
    // library would hold them whole, and again taken apart, outside the budget.
    auto serve = [raw](const httplib::Request& req, httplib::Response& res) { raw->serve(req, res, nullptr); };
    auto serveWithBody = [raw](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& body) {
        raw->serve(req, res, &body);
    };
    auto control = [raw](const httplib::Request& req, httplib::Response& res) { raw->control(req, res, nullptr); };
    auto controlWithBody = [raw](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& body) {
        raw->control(req, res, &body);
    };
    http.Get(R"(/DV/(.*))", serve);
    http.Post(R"(/DV/(.*))", serveWithBody);
    http.Get("/_control/faults", control);
    http.Post("/_control/fault", controlWithBody);
    http.Post("/_control/clear", controlWithBody);
    if (options.logRequests) {
        http.set_logger([](const httplib::Request& req, const httplib::Response& res) {
            std::fprintf(stderr, "%s %s %d\n", req.method.c_str(), req.path.c_str(), res.status);
        });
    }

    raiseDescriptorLimit();
    auto milliseconds = [](double seconds) { return std::chrono::milliseconds(std::llround(seconds * 1000)); };
    FrontSettings front;
    front.host = options.host;
    front.port = options.port;
    front.limits.maxBodyBytes = options.maxRequestBytes;
    front.requestDeadline = milliseconds(options.requestDeadlineSeconds);
    front.keepAlive = milliseconds(options.keepAliveSeconds);
    front.writeDeadline = milliseconds(options.requestDeadlineSeconds);
    front.workers = std::max<std::size_t>(options.threads, 2);
    front.maxConnections = options.maxConnections;
    front.maxBytesHeld = options.maxBytesHeld;
    DV_TRY_ASSIGN(impl->front, HttpFront::start(front, [raw](FrontRequest& request) { return raw->exchange(request); }));
    impl->port = impl->front->port();
    return std::unique_ptr<Server>(new Server(std::move(impl)));
}

void Server::stop()
{
    if (m_impl->stopped.exchange(true))
        return;
    {
        dv::MutexLocker lock(m_impl->mutex);
        m_impl->stopping = true;
    }
    m_impl->wake.notifyAll();
    m_impl->faults.close();
    m_impl->front->stop();
}

int Server::port() const { return m_impl->port; }
const std::string& Server::host() const { return m_impl->options.host; }
const std::string& Server::dataFolder() const { return m_impl->options.dataFolder; }

std::string Server::baseURL() const
{
    return "http://" + m_impl->options.host + ":" + std::to_string(m_impl->port) + "/DV/";
}

std::string Server::controlURL() const
{
    return "http://" + m_impl->options.host + ":" + std::to_string(m_impl->port) + "/_control/";
}

bool Server::setHomeCategories(const std::vector<HomeCategory>& categories)
{
    std::vector<std::pair<CategoryRecord, std::string>> records;
    for (const auto& category : categories)
        records.push_back({ { .categoryId = category.categoryId, .name = category.name, .keyword = category.keyword, .type = category.type },
            category.pageHtml.empty() ? "<h2>" + category.name + "</h2>" : category.pageHtml });
    return reported(m_impl->store->replaceHomeCategories(records), "the home categories cannot be replaced");
}

const std::vector<TileSet>& Server::tileSets()
{
    static const std::vector<TileSet> sets = [] {
        std::vector<TileSet> out;
        for (const auto& seed : tileSetSeeds())
            out.push_back({ seed.name, seed.summary });
        return out;
    }();
    return sets;
}

Result<void> Server::setTileSet(const std::string& name)
{
    return listTileSet(*m_impl->store, name);
}

std::string Server::tileSet() const
{
    const auto read = m_impl->store->homeCategories();
    if (!reported(read, "the home categories cannot be read"))
        return {};
    const auto& listed = *read;
    for (const auto& seed : tileSetSeeds()) {
        bool same = seed.categories.size() == listed.size();
        for (std::size_t i = 0; same && i < listed.size(); ++i)
            same = listed[i].categoryId == seed.categories[i].categoryId && listed[i].name == seed.categories[i].name
                && listed[i].keyword == seed.categories[i].keyword;
        if (same)
            return seed.name;
    }
    return {};
}

std::int64_t Server::loginCount(const std::string& clientId) const
{
    auto count = m_impl->store->loginCount(clientId);
    return reported(count, "the logins cannot be counted") ? *count : 0;
}

void Server::setFault(std::string_view path, Fault fault) { m_impl->faults.set(path, std::move(fault)); }
void Server::clearFault(std::string_view path) { m_impl->faults.clear(path); }
void Server::clearFaults() { m_impl->faults.clearAll(); }
FaultTable& Server::faults() { return m_impl->faults; }

std::string Server::defaultDataFolder()
{
    return SystemPaths::home() + "/server";
}

int Server::unusedPort()
{
    return testing::reserveUnusedPort();
}

} // namespace dv::devserver
