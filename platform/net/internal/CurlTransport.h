// The HTTP transport under URL sessions: libcurl's multi interface driven by a small, fixed set
// of transport threads that every session shares. Nothing here knows about objects of the
// platform layer; sessions translate to and from these plain structures.
//
// Ownership: the transport is a process-wide singleton that is never destroyed while transfers
// run. A session owns one ConnectionPool (its connection cache, pinned to one transport thread so
// that libcurl never touches the cache from two threads). A Transfer is shared between its client
// and the transport thread until it completes.
//
// Threads: every callback of TransferCallbacks runs on the transfer's transport thread, one at a
// time per transfer; `complete` runs exactly once and last. Transfer's control members (cancel,
// setSuspended, consumed) may be called from any thread.
//
//   auto pool = CurlTransport::shared().makePool();
//   auto t = CurlTransport::shared().start(pool, request, callbacks);
//   t->cancel();
#pragma once

#include "platform/base/Mutex.h"
#include "platform/net/internal/ResponseHead.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dv::internal::net {

using DerBytes = std::vector<std::uint8_t>;

struct TransportRequest {
    std::string method = "GET";
    std::string url;
    HeaderList headers;
    // Exactly one body source at most: bytes, or a reader that fills a buffer and answers the
    // count, 0 at the end and -1 on a read failure.
    std::shared_ptr<const std::vector<std::uint8_t>> body;
    std::function<long(char* buffer, std::size_t capacity)> bodyReader;
    std::int64_t bodyLength = -1; // for a reader; -1 sends the body chunked
    // Longest stretch without any progress (connecting, sending or receiving) before the
    // transfer fails with TransportError::TimedOut.
    std::chrono::milliseconds idleTimeout { 60000 };
};

// Every way a transfer can fail; each has its URL error code (TaskSupport.h).
enum class TransportError {
    None,
    Cancelled,
    TimedOut,
    BadURL,
    UnsupportedURL,
    CannotFindHost,
    CannotConnect,
    ConnectionLost,
    BadServerResponse, // not HTTP, a malformed or oversized head, conflicting lengths
    SecureConnectionFailed,
    ServerCertificateRejected,
    CannotDecodeContent,
    BodyStreamFailed,
};

struct TransportFailure {
    TransportError error = TransportError::None;
    std::string detail; // why: libcurl's own text, or the transport's reason for refusing a response
};

// The answer to a server-trust question, filled in from any thread. The transport thread waits
// for it (the TLS handshake is held) until it is answered, the transfer is cancelled or the idle
// time-out passes.
class TrustReply {
public:
    void answer(bool proceed);
    // Internal: used by the transport.
    enum class Outcome { Proceed, Reject, Cancelled, TimedOut };
    Outcome wait(const std::atomic<bool>& cancelled, std::chrono::steady_clock::time_point deadline);
    void wake();

private:
    dv::Mutex m_mutex;
    dv::ConditionVariable m_changed;
    std::optional<bool> m_answer DV_GUARDED_BY(m_mutex);
};

struct TrustQuestion {
    std::string host;
    int port = 0;
    std::vector<DerBytes> chain; // as presented by the server, leaf first
};

struct TransferCallbacks {
    // A new TLS connection presented this chain; answer through the reply (now or later).
    std::function<void(const TrustQuestion&, std::shared_ptr<TrustReply>)> evaluateServerTrust;
    std::function<void(std::int64_t sent, std::int64_t totalSent, std::int64_t totalExpected)> sentBodyData;
    std::function<void(const TransportResponse&)> receivedResponse;
    std::function<void(const std::uint8_t* bytes, std::size_t length)> receivedData;
    std::function<void(const TransportFailure&)> complete;
};

class ConnectionPool;
class TransportThread;
struct TransferAccess;

class Transfer : public std::enable_shared_from_this<Transfer> {
public:
    ~Transfer();
    // Stops the transfer; `complete` follows with Cancelled unless it already ran.
    void cancel();
    // Holds or releases the transfer's traffic; a held transfer does not time out.
    void setSuspended(bool suspended);
    // Flow control: the client reports bytes of received data it has finished with. The
    // transport stops reading while more than the window is still unconsumed.
    void consumed(std::size_t bytes);
    bool isFinished() const { return m_finished.load(); }

    static constexpr std::size_t kReceiveWindow = 4u << 20;

private:
    friend class TransportThread;
    friend class CurlTransport;
    friend struct TransferAccess;
    Transfer() = default;

    TransportThread* m_thread = nullptr;
    std::shared_ptr<ConnectionPool> m_pool;
    TransportRequest m_request;
    TransferCallbacks m_callbacks;
    void* m_easy = nullptr;
    void* m_headerList = nullptr;

    std::atomic<bool> m_cancelled { false };
    std::atomic<bool> m_suspended { false };
    std::atomic<bool> m_finished { false };
    std::atomic<std::int64_t> m_unconsumed { 0 };
    bool m_flowPaused = false;   // transport thread only
    bool m_curlPaused = false;   // transport thread only
    dv::Mutex m_trustMutex;
    std::shared_ptr<TrustReply> m_pendingTrust DV_GUARDED_BY(m_trustMutex);

    // Transport-thread state of the response being read.
    ResponseHeadReader m_head;
    bool m_responseDelivered = false;
    std::int64_t m_sent = 0;
    std::int64_t m_lastDown = 0;
    std::int64_t m_lastUp = 0;
    std::chrono::steady_clock::time_point m_lastActivity;
    bool m_trustRejected = false;
    bool m_bodyFailed = false;
    bool m_trustTimedOut = false;
    std::optional<Failure> m_refusedResponse; // why the response was refused, when it was
};

class ConnectionPool {
public:
    ~ConnectionPool();

private:
    friend class CurlTransport;
    friend class TransportThread;
    ConnectionPool() = default;
    TransportThread* m_thread = nullptr;
    void* m_share = nullptr;
    // Transport-thread state: a pool idle for long closes its connections (a session that is
    // never invalidated must not hold sockets for the rest of the process).
    int m_active = 0;
    bool m_hasConnections = false;
    std::chrono::steady_clock::time_point m_lastUse;
};

class CurlTransport {
public:
    static CurlTransport& shared();
    // Number of transport threads; fixed for the life of the process.
    static constexpr int kThreadCount = 2;

    std::shared_ptr<ConnectionPool> makePool();
    std::shared_ptr<Transfer> start(const std::shared_ptr<ConnectionPool>& pool, TransportRequest request,
        TransferCallbacks callbacks);

    // Counter for tests: idle pools whose connections were closed.
    std::int64_t idlePoolsClosed() const { return m_idlePoolsClosed.load(); }
    void noteIdlePoolClosed() { ++m_idlePoolsClosed; }
    // How long a pool keeps unused connections open (30 s unless a test shortens it).
    void setIdleConnectionLifetime(std::chrono::milliseconds lifetime) { m_idleLifetime = lifetime.count(); }
    std::chrono::milliseconds idleConnectionLifetime() const { return std::chrono::milliseconds(m_idleLifetime.load()); }
    // How long a transport thread stays awake after a transfer ends, for the next request of a
    // client sending one after another (250 µs; tests set 0 to make every request wake it).
    void setSpinAfterTransfer(std::chrono::microseconds spin) { m_spinAfterTransfer = spin.count(); }
    std::chrono::microseconds spinAfterTransfer() const { return std::chrono::microseconds(m_spinAfterTransfer.load()); }

private:
    CurlTransport();
    ~CurlTransport() = delete;
    std::vector<std::unique_ptr<TransportThread>> m_threads;
    std::atomic<unsigned> m_nextThread { 0 };
    std::atomic<std::int64_t> m_idlePoolsClosed { 0 };
    std::atomic<std::int64_t> m_idleLifetime { 30000 };
    std::atomic<std::int64_t> m_spinAfterTransfer { 250 };
};

} // namespace dv::internal::net
