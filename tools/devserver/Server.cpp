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
#include <cstring>

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
    using httplib::Server::process_request;
};

// A request read whole, as the library reads a socket, and the bytes of its answer.
class ExchangeStream final : public httplib::Stream {
public:
    explicit ExchangeStream(FrontRequest& request)
        : m_request(request)
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
        // The library keeps its own copy of what it read: the request's is let go at once.
        if (m_read == m_request.head.size() + m_request.body.size()) {
            releaseBytes(m_request.head);
            releaseBytes(m_request.body);
            m_read = 0;
        }
        return ssize_t(done);
    }
    ssize_t write(const char* ptr, size_t size) override
    {
        m_written.append(ptr, size);
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

private:
    FrontRequest& m_request;
    std::size_t m_read = 0;
    std::string m_written;
};

// What a handler decided about the connection of the request it answers.
struct ExchangeControl {
    bool drop = false;       // close it before anything is written
    bool cutHalfway = false; // write the head and half the body, then close it
    MemoryShare* answerShare = nullptr; // room for the answer in the front's budget
};
thread_local ExchangeControl* t_exchange = nullptr;

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
    void serve(const httplib::Request& req, httplib::Response& res);
    void control(const httplib::Request& req, httplib::Response& res);
    ApiRequest toApiRequest(const httplib::Request& req) const;
    // Waits out a delay; false when the server began to stop meanwhile.
    bool delay(double seconds);
};

ApiRequest Server::Impl::toApiRequest(const httplib::Request& req) const
{
    ApiRequest request;
    request.path = req.matches.size() > 1 ? std::string(req.matches[1]) : std::string();
    for (const auto& [name, value] : req.params)
        request.fields.emplace(name, value);
    for (const auto& [name, part] : req.files) {
        if (part.filename.empty())
            request.fields.emplace(name, part.content);
        else if (name == "code" && !request.code)
            request.code = UploadedFile { part.filename, part.content_type, part.content };
    }
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

void Server::Impl::serve(const httplib::Request& req, httplib::Response& res)
{
    ApiRequest request = toApiRequest(req);
    request.roomForReply = [](std::size_t bytes) { return !t_exchange || t_exchange->answerShare->grow(bytes); };
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
        if (t_exchange)
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
    if (fault)
        applyFault(*fault, reply);
    if (reply.json)
        reply.body = serialise(*reply.json);
    res.status = reply.httpStatus;
    if (reply.httpStatus == 503)
        res.set_header("Retry-After", "1");
    // Cut: the head promises the whole body; half of it goes out before the connection closes.
    if (fault && fault->kind == FaultKind::CutConnection && t_exchange)
        t_exchange->cutHalfway = true;
    res.set_content(std::move(reply.body), reply.contentType.c_str());
}

void Server::Impl::control(const httplib::Request& req, httplib::Response& res)
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
    auto param = [&](const char* name) { return req.has_param(name) ? req.get_param_value(name) : std::string(); };
    if (req.path == "/_control/faults") {
        Json list = Json::array();
        for (const auto& [path, fault] : faults.list())
            list.push_back(Json { { "path", path }, { "fault", formatFault(fault) } });
        answerJson(res, 200, Json { { "faults", std::move(list) } });
        return;
    }
    if (req.path == "/_control/clear") {
        if (req.has_param("path"))
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

FrontAnswer Server::Impl::exchange(FrontRequest& request)
{
    ExchangeStream stream(request);
    ExchangeControl control;
    control.answerShare = &request.answerShare;
    t_exchange = &control;
    bool closed = false;
    // The library closes after a request that asks for it, or an answer it could not finish.
    bool finished = http.process_request(stream, false, closed, nullptr);
    t_exchange = nullptr;
    if (control.drop)
        return { {}, FrontAnswer::Then::Drop };
    std::string written = stream.takeWritten();
    if (control.cutHalfway) {
        const std::size_t bodyStart = std::min(written.find("\r\n\r\n"), written.size() - 4) + 4;
        written.resize(bodyStart + (written.size() - bodyStart) / 2);
        return { std::move(written), FrontAnswer::Then::Close, std::move(request.answerShare) };
    }
    return { std::move(written), finished && !closed ? FrontAnswer::Then::KeepOpen : FrontAnswer::Then::Close,
        std::move(request.answerShare) };
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
    auto serve = [raw](const httplib::Request& req, httplib::Response& res) { raw->serve(req, res); };
    auto control = [raw](const httplib::Request& req, httplib::Response& res) { raw->control(req, res); };
    http.Get(R"(/DV/(.*))", serve);
    http.Post(R"(/DV/(.*))", serve);
    http.Get("/_control/faults", control);
    http.Post("/_control/fault", control);
    http.Post("/_control/clear", control);
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
