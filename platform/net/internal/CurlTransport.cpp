#include "platform/net/internal/CurlTransport.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>
#include <thread>
#include <unordered_map>

namespace dv::internal::net {

namespace {

// What a libcurl result means for the URL loading system. The scheme was checked before the
// transfer reached libcurl, so an "unsupported protocol" from it is a reply that is no HTTP at
// all (libcurl's name for a missing status line); a head libcurl cannot hold is a bad reply too.
// Results that only a misuse of libcurl gives end as a lost connection: the transfer failed
// after it began, and the platform has no code that says more.
TransportError errorForCurlCode(CURLcode code)
{
    switch (code) {
    case CURLE_OK:
        return TransportError::None;
    case CURLE_URL_MALFORMAT:
        return TransportError::BadURL;
    case CURLE_NOT_BUILT_IN:
        return TransportError::UnsupportedURL;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
        return TransportError::CannotFindHost;
    case CURLE_COULDNT_CONNECT:
    case CURLE_INTERFACE_FAILED:
        return TransportError::CannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return TransportError::TimedOut;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_OUT_OF_MEMORY:
    case CURLE_RANGE_ERROR:
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_TOO_MANY_REDIRECTS:
        return TransportError::BadServerResponse;
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_AGAIN:
        return TransportError::ConnectionLost;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CLIENTCERT:
        return TransportError::SecureConnectionFailed;
    case CURLE_PEER_FAILED_VERIFICATION:
        return TransportError::ServerCertificateRejected;
    case CURLE_BAD_CONTENT_ENCODING:
        return TransportError::CannotDecodeContent;
    case CURLE_READ_ERROR:
    case CURLE_SEND_FAIL_REWIND:
        return TransportError::BodyStreamFailed;
    case CURLE_ABORTED_BY_CALLBACK:
        return TransportError::Cancelled;
    default:
        return TransportError::ConnectionLost;
    }
}

} // namespace

void TrustReply::answer(bool proceed)
{
    {
        dv::MutexLocker lock(m_mutex);
        if (!m_answer)
            m_answer = proceed;
    }
    m_changed.notifyAll();
}

void TrustReply::wake()
{
    // Taken and let go, so that a waiter between its checks and its wait cannot miss the wake.
    {
        dv::MutexLocker lock(m_mutex);
    }
    m_changed.notifyAll();
}

TrustReply::Outcome TrustReply::wait(const std::atomic<bool>& cancelled, std::chrono::steady_clock::time_point deadline)
{
    dv::MutexLocker lock(m_mutex);
    for (;;) {
        if (cancelled.load())
            return Outcome::Cancelled;
        if (m_answer)
            return *m_answer ? Outcome::Proceed : Outcome::Reject;
        if (m_changed.waitUntil(lock, deadline) == std::cv_status::timeout && !m_answer && !cancelled.load())
            return Outcome::TimedOut;
    }
}

// One transport thread: a multi handle, the transfers it runs and a queue of commands from
// other threads. Everything touching libcurl handles runs here.
class TransportThread {
public:
    TransportThread()
    {
        m_multi = curl_multi_init();
        m_thread = std::thread([this] { run(); });
    }

    void post(std::function<void()> command)
    {
        {
            dv::MutexLocker lock(m_mutex);
            m_commands.push_back(std::move(command));
        }
        // An awake thread looks at the commands before it next blocks (see run()).
        if (m_blocking.load())
            curl_multi_wakeup(m_multi);
    }

    void add(std::shared_ptr<Transfer> transfer);

    void finish(Transfer* transfer, TransportFailure failure);
    void applyPause(Transfer* transfer);
    void cleanupShare(void* share) { curl_share_cleanup(static_cast<CURLSH*>(share)); }
    void registerPool(const std::shared_ptr<ConnectionPool>& pool) { m_pools.push_back(pool); }

private:
    void run();
    void checkIdle();
    void closeIdlePools();
    std::chrono::milliseconds nextWait();

    CURLM* m_multi = nullptr;
    std::thread m_thread;
    dv::Mutex m_mutex;
    std::vector<std::function<void()>> m_commands DV_GUARDED_BY(m_mutex);
    // Set while the thread may block in a poll that only a wake-up ends early.
    std::atomic<bool> m_blocking { false };
    std::unordered_map<Transfer*, std::shared_ptr<Transfer>> m_active;
    std::chrono::steady_clock::time_point m_briskUntil;
    std::vector<void*> m_spare; // easy handles ready for the next transfer
    std::vector<std::weak_ptr<ConnectionPool>> m_pools;
    std::chrono::steady_clock::time_point m_lastPoolSweep;
    std::chrono::steady_clock::time_point m_lastFinish;
};

static void* makeShare()
{
    CURLSH* share = curl_share_init();
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    return share;
}

namespace {

size_t headerCallback(char* data, size_t size, size_t count, void* userdata);
size_t writeCallback(char* data, size_t size, size_t count, void* userdata);
size_t readCallback(char* buffer, size_t size, size_t count, void* userdata);
int progressCallback(void* userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
CURLcode sslContextCallback(CURL*, void* sslContext, void* userdata);

} // namespace

// Friend bridge so the C callbacks can reach Transfer's private state.
struct TransferAccess {
    static size_t header(Transfer& t, std::string_view line)
    {
        t.m_lastActivity = std::chrono::steady_clock::now();
        auto step = t.m_head.readLine(line);
        if (!step) {
            // Refusing the line makes libcurl give up the transfer.
            t.m_refusedResponse = std::move(step).failure();
            return 0;
        }
        if (*step == ResponseHeadReader::Step::Continue)
            return line.size();
        // Bytes of a body in memory that went out are reported before the response.
        curl_off_t uploaded = 0;
        if (t.m_request.body && curl_easy_getinfo(static_cast<CURL*>(t.m_easy), CURLINFO_SIZE_UPLOAD_T, &uploaded) == CURLE_OK)
            reportSent(t, uploaded);
        char* effective = nullptr;
        curl_easy_getinfo(static_cast<CURL*>(t.m_easy), CURLINFO_EFFECTIVE_URL, &effective);
        auto& response = t.m_head.response();
        response.url = effective ? effective : t.m_request.url;
        t.m_responseDelivered = true;
        if (t.m_callbacks.receivedResponse)
            t.m_callbacks.receivedResponse(response);
        return line.size();
    }

    static size_t write(Transfer& t, const char* data, size_t length)
    {
        if (t.m_cancelled.load())
            return CURL_WRITEFUNC_ERROR;
        if (t.m_unconsumed.load() >= static_cast<std::int64_t>(Transfer::kReceiveWindow)) {
            t.m_flowPaused = true;
            t.m_curlPaused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        t.m_lastActivity = std::chrono::steady_clock::now();
        t.m_unconsumed += static_cast<std::int64_t>(length);
        if (t.m_callbacks.receivedData)
            t.m_callbacks.receivedData(reinterpret_cast<const std::uint8_t*>(data), length);
        return length;
    }

    // A streamed body: the reader fills libcurl's buffer. Bytes count as sent once handed over.
    static size_t read(Transfer& t, char* buffer, size_t capacity)
    {
        if (t.m_cancelled.load())
            return CURL_READFUNC_ABORT;
        t.m_lastActivity = std::chrono::steady_clock::now();
        long n = t.m_request.bodyReader ? t.m_request.bodyReader(buffer, capacity) : 0;
        if (n < 0) {
            t.m_bodyFailed = true;
            return CURL_READFUNC_ABORT;
        }
        reportSent(t, t.m_sent + n);
        return static_cast<size_t>(n);
    }

    // Bytes in memory go out through libcurl's own buffer, with the headers when they fit
    // (one write instead of two); what went out is learnt from the progress counters.
    static void reportSent(Transfer& t, std::int64_t total)
    {
        if (total <= t.m_sent)
            return;
        std::int64_t delta = total - t.m_sent;
        t.m_sent = total;
        std::int64_t expected = t.m_request.body ? static_cast<std::int64_t>(t.m_request.body->size()) : t.m_request.bodyLength;
        if (t.m_callbacks.sentBodyData)
            t.m_callbacks.sentBodyData(delta, total, expected);
    }

    static int progress(Transfer& t, curl_off_t dlnow, curl_off_t ulnow)
    {
        if (t.m_cancelled.load())
            return 1;
        if (dlnow != t.m_lastDown || ulnow != t.m_lastUp) {
            t.m_lastDown = dlnow;
            t.m_lastUp = ulnow;
            t.m_lastActivity = std::chrono::steady_clock::now();
        }
        if (t.m_request.body)
            reportSent(t, ulnow);
        return 0;
    }

    static int verify(Transfer& t, X509_STORE_CTX* store)
    {
        TrustQuestion question;
        CURLU* parsed = curl_url();
        if (curl_url_set(parsed, CURLUPART_URL, t.m_request.url.c_str(), 0) == CURLUE_OK) {
            char* host = nullptr;
            char* port = nullptr;
            if (curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK)
                question.host = host;
            if (curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK)
                question.port = std::atoi(port);
            curl_free(host);
            curl_free(port);
        }
        curl_url_cleanup(parsed);
        if (!question.host.empty() && question.host.front() == '[' && question.host.back() == ']')
            question.host = question.host.substr(1, question.host.size() - 2);

        auto addDer = [&](X509* cert) {
            int length = i2d_X509(cert, nullptr);
            if (length <= 0)
                return;
            DerBytes der(static_cast<size_t>(length));
            unsigned char* out = der.data();
            i2d_X509(cert, &out);
            if (std::find(question.chain.begin(), question.chain.end(), der) == question.chain.end())
                question.chain.push_back(std::move(der));
        };
        if (X509* leaf = X509_STORE_CTX_get0_cert(store))
            addDer(leaf);
        if (STACK_OF(X509)* presented = X509_STORE_CTX_get0_untrusted(store)) {
            for (int i = 0; i < sk_X509_num(presented); ++i)
                addDer(sk_X509_value(presented, i));
        }

        if (!t.m_callbacks.evaluateServerTrust) {
            t.m_trustRejected = true;
            return 0;
        }
        auto reply = std::make_shared<TrustReply>();
        {
            dv::MutexLocker lock(t.m_trustMutex);
            t.m_pendingTrust = reply;
        }
        t.m_callbacks.evaluateServerTrust(question, reply);
        auto outcome = reply->wait(t.m_cancelled, std::chrono::steady_clock::now() + t.m_request.idleTimeout);
        {
            dv::MutexLocker lock(t.m_trustMutex);
            t.m_pendingTrust.reset();
        }
        t.m_lastActivity = std::chrono::steady_clock::now();
        switch (outcome) {
        case TrustReply::Outcome::Proceed:
            return 1;
        case TrustReply::Outcome::Reject:
            t.m_trustRejected = true;
            break;
        case TrustReply::Outcome::TimedOut:
            t.m_trustTimedOut = true;
            break;
        case TrustReply::Outcome::Cancelled:
            break;
        }
        X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
        return 0;
    }
};

namespace {

size_t headerCallback(char* data, size_t size, size_t count, void* userdata)
{
    return TransferAccess::header(*static_cast<Transfer*>(userdata), std::string_view(data, size * count));
}

size_t writeCallback(char* data, size_t size, size_t count, void* userdata)
{
    return TransferAccess::write(*static_cast<Transfer*>(userdata), data, size * count);
}

size_t readCallback(char* buffer, size_t size, size_t count, void* userdata)
{
    return TransferAccess::read(*static_cast<Transfer*>(userdata), buffer, size * count);
}

int progressCallback(void* userdata, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow)
{
    return TransferAccess::progress(*static_cast<Transfer*>(userdata), dlnow, ulnow);
}

int verifyCallback(X509_STORE_CTX* store, void* userdata)
{
    return TransferAccess::verify(*static_cast<Transfer*>(userdata), store);
}

CURLcode sslContextCallback(CURL*, void* sslContext, void* userdata)
{
    SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(sslContext), verifyCallback, userdata);
    // Every new connection is evaluated afresh: no session tickets or resumption.
    SSL_CTX_set_session_cache_mode(static_cast<SSL_CTX*>(sslContext), SSL_SESS_CACHE_OFF);
    SSL_CTX_set_options(static_cast<SSL_CTX*>(sslContext), SSL_OP_NO_TICKET);
    return CURLE_OK;
}

} // namespace

void TransportThread::add(std::shared_ptr<Transfer> transfer)
{
    Transfer& t = *transfer;
    if (t.m_cancelled.load()) {
        m_active.emplace(&t, transfer);
        finish(&t, { TransportError::Cancelled, {} });
        return;
    }

    // Only http and https reach libcurl; anything else is an unsupported URL.
    {
        CURLU* parsed = curl_url();
        char* scheme = nullptr;
        bool supported = curl_url_set(parsed, CURLUPART_URL, t.m_request.url.c_str(), 0) == CURLUE_OK
            && curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK
            && (headerNameIs(scheme, "http") || headerNameIs(scheme, "https"));
        curl_free(scheme);
        curl_url_cleanup(parsed);
        if (!supported) {
            m_active.emplace(&t, transfer);
            finish(&t, { TransportError::UnsupportedURL, "unsupported URL" });
            return;
        }
    }

    CURL* easy = nullptr;
    if (!m_spare.empty()) {
        easy = static_cast<CURL*>(m_spare.back());
        m_spare.pop_back();
    } else {
        easy = curl_easy_init();
    }
    t.m_easy = easy;
    curl_easy_setopt(easy, CURLOPT_URL, t.m_request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_SHARE, static_cast<CURLSH*>(t.m_pool->m_share));
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(t.m_request.idleTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, headerCallback);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, writeCallback);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, progressCallback);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 64L * 1024);
    // Trust is decided by the session through the verify callback; libcurl's own host check
    // would pre-empt the session's answer.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    // The verify callback replaces libcurl's own chain check, so it needs no bundle of roots.
    curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, sslContextCallback);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &t);

    curl_slist* list = nullptr;
    bool hasContentType = false;
    for (auto& [name, value] : t.m_request.headers) {
        if (headerNameIs(name, "Expect"))
            continue;
        if (headerNameIs(name, "Content-Type"))
            hasContentType = true;
        std::string line = value.empty() ? name + ";" : name + ": " + value;
        list = curl_slist_append(list, line.c_str());
    }
    list = curl_slist_append(list, "Expect:");
    const std::string& method = t.m_request.method;
    bool hasBody = t.m_request.body || t.m_request.bodyReader;
    // A POST, PUT or PATCH without a body still says "Content-Length: 0"; without it a server
    // waits for a body that never comes.
    bool sendsEmptyBody = !hasBody && (method == "POST" || method == "PUT" || method == "PATCH");
    if ((hasBody || sendsEmptyBody) && !hasContentType)
        list = curl_slist_append(list, "Content-Type:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
    t.m_headerList = list;

    if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (t.m_request.body) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.m_request.body->size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, t.m_request.body->data());
        if (method != "POST")
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (hasBody) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, readCallback);
        curl_easy_setopt(easy, CURLOPT_READDATA, &t);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.m_request.bodyLength));
        if (method != "POST")
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (sendsEmptyBody) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, "");
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0));
        if (method != "POST")
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (method != "GET") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    t.m_lastActivity = std::chrono::steady_clock::now();
    ++t.m_pool->m_active;
    t.m_pool->m_hasConnections = true;
    m_active.emplace(&t, transfer);
    curl_multi_add_handle(m_multi, easy);
    if (t.m_suspended.load())
        applyPause(&t);
}

void TransportThread::applyPause(Transfer* t)
{
    if (!t->m_easy || t->m_finished.load())
        return;
    if (t->m_flowPaused && t->m_unconsumed.load() < static_cast<std::int64_t>(Transfer::kReceiveWindow / 2))
        t->m_flowPaused = false;
    bool paused = t->m_suspended.load() || t->m_flowPaused;
    if (paused == t->m_curlPaused)
        return;
    t->m_curlPaused = paused;
    if (!paused) {
        t->m_lastActivity = std::chrono::steady_clock::now();
        // libcurl does not always watch the socket of an unpaused transfer again until its next
        // timeout; poll briefly for a moment so that the transfer goes on at once.
        m_briskUntil = t->m_lastActivity + std::chrono::milliseconds(200);
    }
    curl_easy_pause(static_cast<CURL*>(t->m_easy), paused ? CURLPAUSE_ALL : CURLPAUSE_CONT);
}

void TransportThread::finish(Transfer* t, TransportFailure failure)
{
    auto found = m_active.find(t);
    if (found == m_active.end())
        return;
    auto keep = found->second;
    m_active.erase(found);
    if (t->m_easy) {
        --t->m_pool->m_active;
        t->m_pool->m_lastUse = std::chrono::steady_clock::now();
        CURL* easy = static_cast<CURL*>(t->m_easy);
        curl_multi_remove_handle(m_multi, easy);
        // Handles are reused: detach from the pool first, so that the pool can be cleaned up.
        curl_easy_setopt(easy, CURLOPT_SHARE, nullptr);
        if (m_spare.size() < 32) {
            curl_easy_reset(easy);
            m_spare.push_back(easy);
        } else {
            curl_easy_cleanup(easy);
        }
        t->m_easy = nullptr;
    }
    curl_slist_free_all(static_cast<curl_slist*>(t->m_headerList));
    t->m_headerList = nullptr;
    if (t->m_cancelled.load())
        failure = { TransportError::Cancelled, {} };
    t->m_finished = true;
    m_lastFinish = std::chrono::steady_clock::now();
    auto complete = std::exchange(t->m_callbacks.complete, {});
    t->m_callbacks = {};
    t->m_request.bodyReader = {};
    if (complete)
        complete(failure);
}

void TransportThread::closeIdlePools()
{
    auto now = std::chrono::steady_clock::now();
    auto lifetime = CurlTransport::shared().idleConnectionLifetime();
    if (now - m_lastPoolSweep < std::min<std::chrono::steady_clock::duration>(lifetime / 4, std::chrono::seconds(1)))
        return;
    m_lastPoolSweep = now;
    std::erase_if(m_pools, [](auto& weak) { return weak.expired(); });
    for (auto& weak : m_pools) {
        auto pool = weak.lock();
        if (!pool || pool->m_active > 0 || !pool->m_hasConnections || now - pool->m_lastUse < lifetime)
            continue;
        // Closing the pool's connections means replacing its cache; the next transfer connects anew.
        curl_share_cleanup(static_cast<CURLSH*>(pool->m_share));
        pool->m_share = makeShare();
        pool->m_hasConnections = false;
        CurlTransport::shared().noteIdlePoolClosed();
    }
}

void TransportThread::checkIdle()
{
    auto now = std::chrono::steady_clock::now();
    std::vector<Transfer*> expired;
    for (auto& [t, keep] : m_active) {
        if (t->m_suspended.load() || t->m_flowPaused)
            continue;
        if (now - t->m_lastActivity > t->m_request.idleTimeout)
            expired.push_back(t);
    }
    for (auto* t : expired)
        finish(t, { TransportError::TimedOut, "idle time-out" });
}

std::chrono::milliseconds TransportThread::nextWait()
{
    long curlTimeout = -1;
    curl_multi_timeout(m_multi, &curlTimeout);
    auto wait = std::chrono::milliseconds(curlTimeout < 0 ? 1000 : std::min(curlTimeout, 1000L));
    wait = std::min(wait, std::max(std::chrono::milliseconds(1), CurlTransport::shared().idleConnectionLifetime() / 4));
    auto now = std::chrono::steady_clock::now();
    if (now < m_briskUntil)
        wait = std::min(wait, std::chrono::milliseconds(2));
    for (auto& [t, keep] : m_active) {
        if (t->m_suspended.load() || t->m_flowPaused)
            continue;
        auto due = t->m_lastActivity + t->m_request.idleTimeout;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - now) + std::chrono::milliseconds(1);
        wait = std::max(std::chrono::milliseconds(0), std::min(wait, left));
    }
    return wait;
}

void TransportThread::run()
{
    for (;;) {
        std::vector<std::function<void()>> commands;
        {
            dv::MutexLocker lock(m_mutex);
            commands.swap(m_commands);
        }
        for (auto& command : commands)
            command();

        int running = 0;
        curl_multi_perform(m_multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            Transfer* t = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char**>(&t));
            if (!t)
                continue;
            TransportFailure failure { errorForCurlCode(message->data.result), curl_easy_strerror(message->data.result) };
            if (message->data.result != CURLE_OK) {
                if (t->m_refusedResponse)
                    failure = { TransportError::BadServerResponse, t->m_refusedResponse->reason() };
                else if (t->m_bodyFailed)
                    failure.error = TransportError::BodyStreamFailed;
                else if (t->m_trustTimedOut)
                    failure.error = TransportError::TimedOut;
                else if (t->m_trustRejected)
                    failure.error = TransportError::ServerCertificateRejected;
            }
            finish(t, failure);
        }
        checkIdle();
        closeIdlePools();
        // Right after a transfer ended the next one usually follows within microseconds (a client
        // sending requests one after another): stay awake a moment instead of sleeping, which
        // spares the next request a thread wake-up. Each turn yields: a thread this one has just
        // woken may be queued on this CPU, and must not wait for the spin to end.
        bool brisk = std::chrono::steady_clock::now() - m_lastFinish < CurlTransport::shared().spinAfterTransfer();
        if (!brisk)
            m_blocking.store(true);
        bool pending = false;
        {
            dv::MutexLocker lock(m_mutex);
            pending = !m_commands.empty();
        }
        int ready = 0;
        if (!pending)
            curl_multi_poll(m_multi, nullptr, 0, brisk ? 0 : static_cast<int>(nextWait().count()), &ready);
        if (brisk)
            std::this_thread::yield();
        else
            m_blocking.store(false);
    }
}

Transfer::~Transfer() = default;

void Transfer::cancel()
{
    if (m_finished.load() || m_cancelled.exchange(true))
        return;
    std::shared_ptr<TrustReply> pending;
    {
        dv::MutexLocker lock(m_trustMutex);
        pending = m_pendingTrust;
    }
    if (pending)
        pending->wake();
    auto self = shared_from_this();
    m_thread->post([self] {
        self->m_thread->finish(self.get(), { TransportError::Cancelled, {} });
    });
}

void Transfer::setSuspended(bool suspended)
{
    if (m_suspended.exchange(suspended) == suspended || m_finished.load())
        return;
    auto self = shared_from_this();
    m_thread->post([self] { self->m_thread->applyPause(self.get()); });
}

void Transfer::consumed(std::size_t bytes)
{
    auto left = m_unconsumed -= static_cast<std::int64_t>(bytes);
    if (left < static_cast<std::int64_t>(kReceiveWindow / 2) && left + static_cast<std::int64_t>(bytes) >= static_cast<std::int64_t>(kReceiveWindow / 2)) {
        auto self = shared_from_this();
        m_thread->post([self] { self->m_thread->applyPause(self.get()); });
    }
}

ConnectionPool::~ConnectionPool()
{
    if (m_thread && m_share) {
        void* share = m_share;
        TransportThread* thread = m_thread;
        thread->post([thread, share] { thread->cleanupShare(share); });
    }
}

CurlTransport& CurlTransport::shared()
{
    // Never destroyed: transport threads may still be delivering when static destruction starts.
    static CurlTransport* transport = new CurlTransport();
    return *transport;
}

CurlTransport::CurlTransport()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    for (int i = 0; i < kThreadCount; ++i)
        m_threads.push_back(std::make_unique<TransportThread>());
}

std::shared_ptr<ConnectionPool> CurlTransport::makePool()
{
    auto pool = std::shared_ptr<ConnectionPool>(new ConnectionPool());
    TransportThread* thread = m_threads[m_nextThread++ % m_threads.size()].get();
    pool->m_thread = thread;
    pool->m_share = makeShare();
    std::weak_ptr<ConnectionPool> weak = pool;
    thread->post([thread, weak] {
        if (auto registered = weak.lock())
            thread->registerPool(registered);
    });
    return pool;
}

std::shared_ptr<Transfer> CurlTransport::start(const std::shared_ptr<ConnectionPool>& pool, TransportRequest request,
    TransferCallbacks callbacks)
{
    auto transfer = std::shared_ptr<Transfer>(new Transfer());
    transfer->m_pool = pool;
    transfer->m_thread = pool->m_thread;
    transfer->m_request = std::move(request);
    transfer->m_callbacks = std::move(callbacks);
    TransportThread* thread = pool->m_thread;
    thread->post([thread, transfer] { thread->add(transfer); });
    return transfer;
}

} // namespace dv::internal::net
