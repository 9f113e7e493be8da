#include "tools/devserver/Server.h"

#include "platform/system/SystemPaths.h"
#include "platform/testing/ServerSockets.h"
#include "tools/devserver/internal/Api.h"
#include "tools/devserver/internal/FaultReplies.h"
#include "tools/devserver/internal/Store.h"
#include "tools/devserver/internal/WebPages.h"

#include <httplib.h>

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <thread>

namespace dv::devserver {

using namespace dv::devserver::internal;

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

} // namespace

struct Server::Impl {
    Options options;
    std::unique_ptr<Store> store;
    Pictures pictures;
    std::unique_ptr<Api> api;
    FaultTable faults;
    httplib::Server http;
    std::thread thread;
    int port = 0;

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::atomic<bool> stopped { false };

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
    std::unique_lock lock(mutex);
    auto length = std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    return !wake.wait_for(lock, length, [this] { return stopping; });
}

void Server::Impl::serve(const httplib::Request& req, httplib::Response& res)
{
    ApiRequest request = toApiRequest(req);
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
        // connection close with nothing received. The library's write then fails quietly.
        testing::shutdownConnections(port, req.remote_port);
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
    if (fault && fault->kind == FaultKind::CutConnection) {
        // Promise the whole body, send half of it, and give up: the library then closes.
        auto body = std::make_shared<std::string>(std::move(reply.body));
        res.set_content_provider(body->size(), reply.contentType.c_str(), [body](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset != 0 || body->size() < 2)
                return false;
            sink.write(body->data(), body->size() / 2);
            return true;
        });
        return;
    }
    res.set_content(std::move(reply.body), reply.contentType.c_str());
}

void Server::Impl::control(const httplib::Request& req, httplib::Response& res)
{
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
    std::string error;
    auto fault = parseFault(param("fault"), &error);
    if (path.empty() || !fault) {
        answerJson(res, 400, Json { { "error", path.empty() ? "missing path" : error } });
        return;
    }
    faults.set(path, *fault);
    answerJson(res, 200,
        Json { { "ok", true }, { "path", normalizeFaultPath(path) }, { "fault", formatFault(*fault) } });
}

Server::Server(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}

Server::~Server()
{
    stop();
}

std::unique_ptr<Server> Server::start(Options options, std::string& error)
{
    auto impl = std::make_unique<Impl>();
    if (options.dataFolder.empty())
        options.dataFolder = defaultDataFolder();
    impl->options = options;
    impl->store = Store::open(options.dataFolder, error, options.seedCodes);
    if (!impl->store)
        return nullptr;
    impl->api = std::make_unique<Api>(*impl->store, impl->pictures, ApiSettings { options.maxImageBytes, options.now });

    auto& http = impl->http;
    std::size_t threads = std::max<std::size_t>(options.threads, 2);
    http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    http.set_payload_max_length(options.maxRequestBytes);
    http.set_keep_alive_timeout(1);
    http.set_read_timeout(5);
    http.set_write_timeout(5);
    http.set_tcp_nodelay(true);
    // Plain SO_REUSEADDR: a second server on a taken port must fail, not share it.
    int listener = -1;
    http.set_socket_options([&listener](int sock) {
        listener = sock;
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
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

    int port = -1;
    if (options.port == 0)
        port = http.bind_to_any_port(options.host);
    else if (http.bind_to_port(options.host, options.port))
        port = options.port;
    if (port <= 0) {
        error = "cannot listen on " + options.host + ":" + std::to_string(options.port);
        return nullptr;
    }
    // The library listens with a small backlog; a burst of connections should not wait for retries.
    if (listener >= 0)
        ::listen(listener, 256);
    impl->port = port;
    impl->thread = std::thread([raw] { raw->http.listen_after_bind(); });
    while (!http.is_running())
        std::this_thread::yield();
    return std::unique_ptr<Server>(new Server(std::move(impl)));
}

void Server::stop()
{
    if (m_impl->stopped.exchange(true))
        return;
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->stopping = true;
    }
    m_impl->wake.notify_all();
    m_impl->faults.close();
    // Kept-alive connections would hold workers until their clients let go.
    testing::shutdownConnections(m_impl->port);
    m_impl->http.stop();
    testing::shutdownConnections(m_impl->port);
    if (m_impl->thread.joinable())
        m_impl->thread.join();
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
    std::vector<CategoryRecord> records;
    for (const auto& category : categories)
        records.push_back({ .categoryId = category.categoryId, .name = category.name, .keyword = category.keyword, .type = category.type });
    return m_impl->store->replaceHomeCategories(records);
}

std::int64_t Server::loginCount(const std::string& clientId) const { return m_impl->store->loginCount(clientId); }

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
