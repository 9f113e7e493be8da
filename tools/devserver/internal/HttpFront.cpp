#include "tools/devserver/internal/HttpFront.h"

#include "platform/base/Mutex.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

namespace dv::internal::devserver {

namespace {

using Clock = std::chrono::steady_clock;

// Reserved epoll keys; connections count from kFirstConnection.
constexpr std::uint64_t kListener = 0;
constexpr std::uint64_t kWake = 1;
constexpr std::uint64_t kFirstConnection = 2;
// How long a refused client's further bytes are read and dropped before the connection closes.
constexpr std::chrono::milliseconds kLinger { 1000 };
// What one readiness event may read before the loop turns to the other connections.
constexpr std::size_t kReadPerTurn = 256 * 1024;
// The send buffer asked of the system for each connection (which doubles it for its own use).
constexpr int kSendBuffer = 128 * 1024;
// What a connection waits for while a request is read: its bytes, and the end of them (a client
// whose input ends with a complete request is gone, not waiting for the answer).
constexpr std::uint32_t kReading = EPOLLIN | EPOLLRDHUP;
// Events that say the client's input has ended: its end, a hang-up or an error.
constexpr std::uint32_t kInputEnds = EPOLLRDHUP | EPOLLHUP | EPOLLERR;

const char* reasonOf(int status)
{
    switch (status) {
    case 400: return "Bad Request";
    case 408: return "Request Timeout";
    case 413: return "Payload Too Large";
    case 415: return "Unsupported Media Type";
    case 431: return "Request Header Fields Too Large";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    }
    return "Error";
}

const char* textOf(int status)
{
    switch (status) {
    case 400: return "请求格式不正确";
    case 408: return "请求超时，请重新发送";
    case 413: return "请求内容超过上限";
    case 415: return "不支持压缩的请求内容";
    case 431: return "请求头过大";
    case 501: return "不支持的传输编码";
    case 503: return "服务器繁忙，请稍后再试";
    }
    return "请求无法处理";
}

std::string addressText(const sockaddr_storage& address, int& port)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &in.sin_addr, text, sizeof(text));
        port = ntohs(in.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof(text));
        port = ntohs(in6.sin6_port);
    }
    return text;
}

} // namespace

std::string frontRefusal(int status)
{
    std::string body = std::string(textOf(status)) + "\n";
    // Busy: whatever is full (connections, memory) empties within moments.
    const char* retry = status == 503 ? "Retry-After: 1\r\n" : "";
    return "HTTP/1.1 " + std::to_string(status) + " " + reasonOf(status) + "\r\nContent-Type: text/plain;charset=UTF-8\r\n"
        + "Content-Length: " + std::to_string(body.size()) + "\r\n" + retry + "Connection: close\r\n\r\n" + body;
}

struct Connection {
    Connection(const RequestLimits& limits, MemoryBudget& budget)
        : reader(limits, budget)
        , pendingShare(budget)
        , outShare(budget)
    {
    }

    enum class Phase {
        Reading,   // waiting for a request, or reading one
        Handling,  // a worker has the request
        Writing,   // the answer is going out
        Lingering, // refused or closing: what the client still sends is dropped
    };

    std::uint64_t id = 0;
    int fd = -1;
    std::string peerAddress;
    int peerPort = 0;
    Phase phase = Phase::Reading;
    RequestReader reader;
    bool requestBegun = false;
    bool continueSent = false;
    bool inputEnded = false; // what is being read is the last the client sends
    std::string pending; // bytes after a complete request: the start of the next one
    MemoryShare pendingShare;
    bool closeAfterAnswer = false; // bytes after the request found no room and were dropped
    std::string out;
    MemoryShare outShare;
    // Written after `out`: bytes the answer shares with others, held until they are written.
    std::shared_ptr<const SharedBytes> shared;
    std::size_t sharedFrom = 0;
    std::size_t sharedLength = 0;
    std::size_t written = 0; // of `out`, then of the shared bytes
    FrontAnswer::Then then = FrontAnswer::Then::KeepOpen;
    // While the request is queued or handled: its place in the queue (Impl::queue).
    std::uint64_t ticket = 0;
    std::uint32_t interest = 0;
    std::optional<Clock::time_point> deadline;
};

struct HttpFront::Impl {
    FrontSettings settings;
    Handler handler;
    int listener = -1;
    int epoll = -1;
    int wake = -1;
    int port = 0;
    std::string localAddress;
    std::thread loop;
    std::vector<std::thread> workers;
    std::optional<MemoryBudget> budget;
    std::atomic<bool> stopping { false };
    bool stopped = false;

    std::unordered_map<std::uint64_t, std::unique_ptr<Connection>> connections; // loop thread only
    std::uint64_t nextId = kFirstConnection;
    std::optional<Clock::time_point> listenerResting; // until when accepting pauses
    std::atomic<std::size_t> openCount { 0 };

    dv::Mutex answersMutex;
    std::deque<std::pair<std::uint64_t, FrontAnswer>> answers DV_GUARDED_BY(answersMutex);

    // Complete requests waiting for a worker, oldest first, by ticket. A request leaves it when a
    // worker takes it, or when its client goes first (withdraw), with all it holds.
    struct Queued {
        std::uint64_t connection = 0;
        std::unique_ptr<FrontRequest> request;
    };
    dv::Mutex queueMutex;
    dv::ConditionVariable queueChanged;
    std::map<std::uint64_t, Queued> queue DV_GUARDED_BY(queueMutex);
    bool queueClosed DV_GUARDED_BY(queueMutex) = false;
    std::uint64_t nextTicket = 1; // loop thread only

    Result<void> listen();
    void run();
    void work();
    void signal();
    void watch(Connection& connection, std::uint32_t events);
    void accept();
    void readFrom(Connection& connection, bool inputEnds);
    void take(Connection& connection, std::string_view bytes);
    void dispatch(Connection& connection);
    void withdraw(Connection& connection);
    void refuse(Connection& connection, int status);
    void answer(Connection& connection, FrontAnswer answer);
    void writeTo(Connection& connection);
    void finishExchange(Connection& connection);
    void linger(Connection& connection);
    void close(Connection& connection);
    void expire(Clock::time_point now);
    void collectAnswers();
    std::optional<Clock::time_point> nextDeadline() const;
};

Result<void> HttpFront::Impl::listen()
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string service = std::to_string(settings.port);
    if (getaddrinfo(settings.host.c_str(), service.c_str(), &hints, &found) != 0 || !found)
        return Failure("cannot resolve " + settings.host);
    for (addrinfo* at = found; at && listener < 0; at = at->ai_next) {
        int fd = ::socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
        if (fd < 0)
            continue;
        // Plain SO_REUSEADDR: a second server on a taken port must fail, not share it.
        int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        if (::bind(fd, at->ai_addr, at->ai_addrlen) == 0 && ::listen(fd, 512) == 0)
            listener = fd;
        else
            ::close(fd);
    }
    freeaddrinfo(found);
    if (listener < 0)
        return Failure("cannot listen on " + settings.host + ":" + std::to_string(settings.port));
    sockaddr_storage bound {};
    socklen_t length = sizeof(bound);
    getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length);
    localAddress = addressText(bound, port);
    epoll = epoll_create1(EPOLL_CLOEXEC);
    wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epoll < 0 || wake < 0)
        return Failure("cannot wait for connections");
    epoll_event event {};
    event.events = EPOLLIN;
    event.data.u64 = kListener;
    epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &event);
    event.data.u64 = kWake;
    epoll_ctl(epoll, EPOLL_CTL_ADD, wake, &event);
    return {};
}

void HttpFront::Impl::signal()
{
    std::uint64_t one = 1;
    [[maybe_unused]] auto ignored = ::write(wake, &one, sizeof(one));
}

void HttpFront::Impl::watch(Connection& connection, std::uint32_t events)
{
    if (connection.interest == events)
        return;
    epoll_event event {};
    event.events = events;
    event.data.u64 = connection.id;
    epoll_ctl(epoll, EPOLL_CTL_MOD, connection.fd, &event);
    connection.interest = events;
}

void HttpFront::Impl::run()
{
    std::vector<epoll_event> events(256);
    while (!stopping.load()) {
        int timeout = -1;
        if (auto next = nextDeadline()) {
            auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*next - Clock::now()).count() + 1;
            timeout = int(std::clamp<long long>(wait, 0, 60000));
        }
        int count = epoll_wait(epoll, events.data(), int(events.size()), timeout);
        if (count < 0 && errno != EINTR)
            break;
        for (int i = 0; i < count && !stopping.load(); ++i) {
            const std::uint64_t key = events[std::size_t(i)].data.u64;
            const std::uint32_t what = events[std::size_t(i)].events;
            if (key == kListener) {
                accept();
                continue;
            }
            if (key == kWake) {
                std::uint64_t drained = 0;
                [[maybe_unused]] auto ignored = ::read(wake, &drained, sizeof(drained));
                collectAnswers();
                continue;
            }
            auto it = connections.find(key);
            if (it == connections.end())
                continue;
            Connection& connection = *it->second;
            if (connection.phase == Connection::Phase::Handling) {
                // Only the end of the client's input, a hang-up or an error comes now: the client
                // is gone.
                withdraw(connection);
                continue;
            }
            if (what & EPOLLOUT)
                writeTo(connection);
            else if (what & (EPOLLIN | kInputEnds))
                readFrom(connection, (what & kInputEnds) != 0);
        }
        expire(Clock::now());
    }
    for (auto& [id, connection] : connections) {
        ::shutdown(connection->fd, SHUT_RDWR);
        ::close(connection->fd);
    }
    connections.clear();
    openCount = 0;
}

void HttpFront::Impl::accept()
{
    for (;;) {
        sockaddr_storage peer {};
        socklen_t length = sizeof(peer);
        int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: the waiting connection would wake the loop at once, again
                // and again. Listening rests a moment while connections close.
                epoll_ctl(epoll, EPOLL_CTL_DEL, listener, nullptr);
                listenerResting = Clock::now() + std::chrono::milliseconds(100);
            }
            return;
        }
        if (connections.size() >= settings.maxConnections) {
            std::string busy = frontRefusal(503);
            [[maybe_unused]] auto sent = ::send(fd, busy.data(), busy.size(), MSG_NOSIGNAL);
            ::close(fd);
            continue;
        }
        int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
        // The system would let the send buffer of a client that does not read grow to megabytes,
        // each copied in by this thread and held outside the budget: a fixed size keeps answers
        // in the budget and this thread free for the others.
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSendBuffer, sizeof(kSendBuffer));
        auto connection = std::make_unique<Connection>(settings.limits, *budget);
        connection->id = nextId++;
        connection->fd = fd;
        connection->peerAddress = addressText(peer, connection->peerPort);
        connection->deadline = Clock::now() + settings.keepAlive;
        epoll_event event {};
        event.events = kReading;
        event.data.u64 = connection->id;
        if (epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) != 0) {
            ::close(fd);
            continue;
        }
        connection->interest = kReading;
        connections.emplace(connection->id, std::move(connection));
        openCount = connections.size();
    }
}

void HttpFront::Impl::readFrom(Connection& connection, bool inputEnds)
{
    connection.inputEnded = connection.inputEnded || inputEnds;
    char buffer[64 * 1024];
    std::size_t taken = 0;
    const std::uint64_t id = connection.id;
    while (taken < kReadPerTurn) {
        ssize_t n = ::recv(connection.fd, buffer, sizeof(buffer), 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (n <= 0) {
            close(connection);
            return;
        }
        taken += std::size_t(n);
        if (connection.phase == Connection::Phase::Lingering)
            continue; // dropped
        take(connection, std::string_view(buffer, std::size_t(n)));
        // The connection may have closed, or stopped reading, on the way.
        auto it = connections.find(id);
        if (it == connections.end() || it->second->phase != Connection::Phase::Reading)
            return;
    }
}

void HttpFront::Impl::take(Connection& connection, std::string_view bytes)
{
    if (bytes.empty())
        return;
    std::size_t used = connection.reader.feed(bytes);
    if (!connection.requestBegun && connection.reader.state() != RequestReader::State::Idle) {
        // The request's time starts with its first byte. Blank lines before it are no request:
        // the keep-alive time goes on over them.
        connection.requestBegun = true;
        connection.deadline = Clock::now() + settings.requestDeadline;
    }
    switch (connection.reader.state()) {
    case RequestReader::State::Complete:
        if (connection.inputEnded) {
            // The client sent its request and went: nobody waits for the answer.
            close(connection);
            return;
        }
        if (connection.pendingShare.grow(bytes.size() - used))
            connection.pending.append(bytes.substr(used));
        else
            connection.closeAfterAnswer = true;
        dispatch(connection);
        return;
    case RequestReader::State::Refused:
        refuse(connection, connection.reader.refusalStatus());
        return;
    case RequestReader::State::Idle: // only blank lines so far
    case RequestReader::State::Head:
        return;
    case RequestReader::State::Body:
        break;
    }
    if (connection.reader.awaitsContinue() && !connection.continueSent) {
        connection.continueSent = true;
        static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
        // A few bytes into an empty send buffer; a client that leaves no room for them is stuck.
        if (::send(connection.fd, kContinue.data(), kContinue.size(), MSG_NOSIGNAL) != ssize_t(kContinue.size()))
            close(connection);
    }
}

void HttpFront::Impl::dispatch(Connection& connection)
{
    connection.phase = Connection::Phase::Handling;
    connection.deadline.reset();
    // The end of the client's input comes as well as a hang-up or an error now: all are the
    // client going.
    watch(connection, EPOLLRDHUP);
    auto message = connection.reader.takeMessage();
    auto request = std::make_unique<FrontRequest>(*budget);
    request->head = std::move(message.head);
    request->body = std::move(message.body);
    request->share = std::move(message.share);
    request->peerAddress = connection.peerAddress;
    request->peerPort = connection.peerPort;
    request->localAddress = localAddress;
    request->localPort = port;
    connection.ticket = nextTicket++;
    {
        dv::MutexLocker lock(queueMutex);
        queue.emplace(connection.ticket, Queued { connection.id, std::move(request) });
    }
    queueChanged.notifyOne();
}

void HttpFront::Impl::withdraw(Connection& connection)
{
    // A request still queued goes with its client, and all it holds with it (once the lock is
    // let go); the answer of one a worker has taken finds no connection and is dropped.
    std::optional<Queued> withdrawn;
    {
        dv::MutexLocker lock(queueMutex);
        if (auto it = queue.find(connection.ticket); it != queue.end()) {
            withdrawn = std::move(it->second);
            queue.erase(it);
        }
    }
    close(connection);
}

void HttpFront::Impl::work()
{
    for (;;) {
        Queued taken;
        {
            dv::MutexLocker lock(queueMutex);
            queueChanged.wait(lock, [this]() DV_REQUIRES(queueMutex) { return queueClosed || !queue.empty(); });
            if (queueClosed)
                return;
            taken = std::move(queue.begin()->second);
            queue.erase(queue.begin());
        }
        // Work for a server that is stopping is dropped with its request's room.
        if (stopping.load())
            continue;
        FrontAnswer answer = handler(*taken.request);
        // The request's room goes back before its answer waits to go out.
        taken.request.reset();
        {
            dv::MutexLocker lock(answersMutex);
            answers.emplace_back(taken.connection, std::move(answer));
        }
        signal();
    }
}

void HttpFront::Impl::collectAnswers()
{
    std::deque<std::pair<std::uint64_t, FrontAnswer>> ready;
    {
        dv::MutexLocker lock(answersMutex);
        ready.swap(answers);
    }
    for (auto& [id, answer] : ready) {
        auto it = connections.find(id);
        if (it == connections.end())
            continue; // the client went while its request was handled: the answer is dropped
        Connection& connection = *it->second;
        // The answer's share holds what the handler counted; from here it holds the buffer of
        // the answer as it waits to go out. An answer is dropped for the refusal when the budget
        // has no room for it.
        if (answer.share)
            connection.outShare = std::move(*answer.share);
        if (answer.then == FrontAnswer::Then::Drop || !connection.outShare.resize(answer.bytes.capacity())) {
            connection.outShare.release();
            if (answer.then != FrontAnswer::Then::Drop)
                answer = { frontRefusal(503), FrontAnswer::Then::Close };
        }
        this->answer(connection, std::move(answer));
    }
}

void HttpFront::Impl::refuse(Connection& connection, int status)
{
    answer(connection, { frontRefusal(status), FrontAnswer::Then::Close });
}

void HttpFront::Impl::answer(Connection& connection, FrontAnswer answer)
{
    if (answer.then == FrontAnswer::Then::Drop) {
        close(connection);
        return;
    }
    connection.phase = Connection::Phase::Writing;
    connection.out = std::move(answer.bytes);
    connection.shared = std::move(answer.shared);
    connection.sharedFrom = answer.sharedFrom;
    connection.sharedLength = connection.shared ? answer.sharedLength : 0;
    connection.written = 0;
    connection.then = answer.then;
    if (connection.closeAfterAnswer && connection.then == FrontAnswer::Then::KeepOpen)
        connection.then = FrontAnswer::Then::Close;
    connection.deadline = Clock::now() + settings.writeDeadline;
    writeTo(connection);
}

void HttpFront::Impl::writeTo(Connection& connection)
{
    const std::size_t own = connection.out.size();
    while (connection.written < own + connection.sharedLength) {
        // The answer's own bytes, then the shared ones, in one call.
        iovec pieces[2];
        msghdr message {};
        message.msg_iov = pieces;
        if (connection.written < own)
            pieces[message.msg_iovlen++] = { connection.out.data() + connection.written, own - connection.written };
        if (connection.sharedLength) {
            const std::size_t done = connection.written > own ? connection.written - own : 0;
            pieces[message.msg_iovlen++] = { const_cast<char*>(connection.shared->bytes.data()) + connection.sharedFrom + done,
                connection.sharedLength - done };
        }
        ssize_t n = ::sendmsg(connection.fd, &message, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            watch(connection, EPOLLOUT);
            return;
        }
        if (n <= 0) {
            close(connection);
            return;
        }
        connection.written += std::size_t(n);
    }
    finishExchange(connection);
}

void HttpFront::Impl::finishExchange(Connection& connection)
{
    releaseBytes(connection.out);
    connection.outShare.release();
    connection.shared.reset();
    connection.sharedLength = 0;
    connection.written = 0;
    if (connection.then != FrontAnswer::Then::KeepOpen) {
        linger(connection);
        return;
    }
    connection.phase = Connection::Phase::Reading;
    connection.reader = RequestReader(settings.limits, *budget);
    connection.requestBegun = false;
    connection.continueSent = false;
    connection.deadline = Clock::now() + settings.keepAlive;
    watch(connection, kReading);
    // A request the client sent right behind the last one.
    std::string next = std::move(connection.pending);
    connection.pending.clear();
    connection.pendingShare.release();
    take(connection, next);
}

void HttpFront::Impl::linger(Connection& connection)
{
    connection.phase = Connection::Phase::Lingering;
    releaseBytes(connection.pending);
    connection.pendingShare.release();
    connection.reader = RequestReader(settings.limits, *budget);
    ::shutdown(connection.fd, SHUT_WR);
    connection.deadline = Clock::now() + kLinger;
    watch(connection, EPOLLIN);
}

void HttpFront::Impl::close(Connection& connection)
{
    const std::uint64_t id = connection.id;
    epoll_ctl(epoll, EPOLL_CTL_DEL, connection.fd, nullptr);
    ::close(connection.fd);
    connections.erase(id); // destroys `connection`
    openCount = connections.size();
}

void HttpFront::Impl::expire(Clock::time_point now)
{
    if (listenerResting && *listenerResting <= now) {
        listenerResting.reset();
        epoll_event event {};
        event.events = EPOLLIN;
        event.data.u64 = kListener;
        epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &event);
    }
    std::vector<std::uint64_t> due;
    for (const auto& [id, connection] : connections)
        if (connection->deadline && *connection->deadline <= now)
            due.push_back(id);
    for (std::uint64_t id : due) {
        auto it = connections.find(id);
        if (it == connections.end())
            continue;
        Connection& connection = *it->second;
        if (connection.phase == Connection::Phase::Reading && connection.requestBegun)
            refuse(connection, 408); // the client is told before the connection goes
        else
            close(connection); // idle, a client that takes no answer, or done lingering
    }
}

std::optional<Clock::time_point> HttpFront::Impl::nextDeadline() const
{
    std::optional<Clock::time_point> next = listenerResting;
    for (const auto& [id, connection] : connections)
        if (connection->deadline && (!next || *connection->deadline < *next))
            next = connection->deadline;
    return next;
}

HttpFront::HttpFront(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}

HttpFront::~HttpFront() { stop(); }

Result<std::unique_ptr<HttpFront>> HttpFront::start(FrontSettings settings, Handler handler)
{
    auto impl = std::make_unique<Impl>();
    impl->settings = std::move(settings);
    impl->handler = std::move(handler);
    impl->budget.emplace(impl->settings.maxBytesHeld);
    if (auto listening = impl->listen(); !listening) {
        if (impl->listener >= 0)
            ::close(impl->listener);
        if (impl->epoll >= 0)
            ::close(impl->epoll);
        if (impl->wake >= 0)
            ::close(impl->wake);
        return std::move(listening).failure();
    }
    Impl* raw = impl.get();
    for (std::size_t i = 0; i < std::max<std::size_t>(impl->settings.workers, 1); ++i)
        impl->workers.emplace_back([raw] { raw->work(); });
    impl->loop = std::thread([raw] { raw->run(); });
    return std::unique_ptr<HttpFront>(new HttpFront(std::move(impl)));
}

void HttpFront::stop()
{
    if (m_impl->stopped)
        return;
    m_impl->stopped = true;
    m_impl->stopping = true;
    m_impl->signal();
    if (m_impl->loop.joinable())
        m_impl->loop.join();
    // Requests no worker has taken are dropped; workers still handling one finish it, and their
    // answers find no connection.
    std::map<std::uint64_t, Impl::Queued> dropped;
    {
        dv::MutexLocker lock(m_impl->queueMutex);
        m_impl->queueClosed = true;
        dropped.swap(m_impl->queue);
    }
    m_impl->queueChanged.notifyAll();
    for (auto& worker : m_impl->workers)
        worker.join();
    ::close(m_impl->listener);
    ::close(m_impl->epoll);
    ::close(m_impl->wake);
}

int HttpFront::port() const { return m_impl->port; }
std::size_t HttpFront::connectionCount() const { return m_impl->openCount.load(); }
std::size_t HttpFront::bytesHeld() const { return m_impl->budget->used(); }

} // namespace dv::internal::devserver
