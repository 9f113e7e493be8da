// Shared by the server's tests: a plain libcurl client against 127.0.0.1 and a fixture that
// starts the server on a free port with its data in a fresh temporary folder.
#pragma once

#include "platform/testing/ChildProcess.h"
#include "tools/devserver/Server.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace dv::devserver::testing {

using Json = nlohmann::json;

struct HttpResult {
    int curlCode = 0;   // CURLcode; 0 when a reply arrived
    long status = 0;
    std::string contentType;
    std::string body;
    Json json() const { return Json::parse(body, nullptr, false); }
};

struct FilePart {
    std::string name;
    std::string filename;
    std::string contentType;
    std::string content;
};

using Fields = std::vector<std::pair<std::string, std::string>>;

HttpResult httpGet(const std::string& url, long timeoutMilliseconds = 20000);
HttpResult httpPostForm(const std::string& url, const Fields& fields, long timeoutMilliseconds = 20000);
HttpResult httpPostMultipart(const std::string& url, const Fields& fields, const std::vector<FilePart>& files);
// A POST with a body sent as it stands.
HttpResult httpPostRaw(const std::string& url, const std::string& contentType, const std::string& body);

// A client that writes whatever bytes it likes, when it likes: for requests no HTTP library sends.
// Waits are bounded and wait on the socket itself, never by sleeping.
class RawClient {
public:
    explicit RawClient(int port);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return m_fd >= 0; }
    // The socket, for waiting on many clients at once; -1 once reset.
    int descriptor() const { return m_fd; }
    // All of `bytes`, waiting at most `limit` seconds for room; false when the connection no
    // longer takes them (the server closed it) or the time ran out.
    bool send(std::string_view bytes, double limit = 10);
    // Reads until what arrived contains `text`, the server closes, or `limit` seconds pass.
    bool waitFor(std::string_view text, double limit);
    // Reads until the server closes; false when it did not within `limit` seconds.
    bool waitForClose(double limit);
    // Reads what has arrived by now, waiting at most `limit` seconds for the first of it.
    void poll(double limit = 0);
    // Ends the connection with a reset, as a client that gives up does: nothing it sent is
    // answered any more.
    void reset();
    // Ends the client's side of the connection (a FIN), as a client does that closes its socket
    // before anything comes back; what arrives later can still be read.
    void endSending();
    const std::string& received() const { return m_received; }
    bool closed() const { return m_closed; }

private:
    int m_fd = -1;
    std::string m_received;
    bool m_closed = false;
};

// A folder under the system's temporary folder, removed with the object.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// A small PNG picture (a real one, drawn by the platform's graphics layer).
std::string samplePng(int seed);
// A grey progressive JPEG of 4096 x 4096 pixels (the most pixels an upload may have) in some 45
// KB, of a scan script an encoder may write (libjpeg accepts it) with as many scans as a decoder
// reads: each of them covers every block of the picture, so that it is about as slow to decode as
// a legal JPEG of that size gets. Written here, in no time.
std::string slowProgressiveJpeg();
// Uploads a code with a picture of `bytes` bytes (a small PNG padded out), as `clientId`, to the
// server at `base` ("http://127.0.0.1:8092/DV/"); the path of the picture's address
// ("/DV/pic/..."), or "" (and a test failure) when the upload is refused.
std::string uploadLargePicture(const std::string& base, const std::string& clientId, const std::string& account, std::size_t bytes);

// Starts the built server program on a free port with its data in `dataFolder`; the port it
// announced, or 0 when it did not start.
int startServerProgram(dv::testing::ChildProcess& program, const std::string& dataFolder, std::vector<std::string> arguments = {});
// The built server program on a free port, with its data in a folder of its own; stopped with
// the object (SIGTERM, and a clean exit expected). `port` is 0 when it did not start.
struct ServerProgram {
    ServerProgram();
    ~ServerProgram();
    ServerProgram(const ServerProgram&) = delete;
    ServerProgram& operator=(const ServerProgram&) = delete;

    TemporaryFolder folder;
    std::string dataFolder;
    dv::testing::ChildProcess process;
    int port = 0;
    std::string base; // "http://127.0.0.1:PORT/DV/"
};
// A sanitizer's allocator keeps what is freed for a while, and its checks slow every request:
// attacks still run under it, for the faults it finds, but memory and time are measured only
// without it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMeasured = false;
#else
constexpr bool kMeasured = true;
#endif

// The descriptors a process has open now; -1 when unknown.
int descriptorCount(pid_t pid);
// A process's resident memory now ("VmRSS") or at its peak ("VmHWM"), in MiB; -1 when unknown.
double memoryMiB(pid_t pid, const char* field);

class DevServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Stops the server and starts it again on the same port and data.
    void restart();
    // Stops the server and starts one with these options, on the same data unless they name a
    // data folder of their own.
    void startWith(Options options);

    std::string url(const std::string& path) const { return server->baseURL() + path; }
    Json post(const std::string& path, const Fields& fields = {});
    // Logs `clientId` in and returns its token.
    std::string login(const std::string& clientId);

    TemporaryFolder folder;
    std::unique_ptr<Server> server;
};

} // namespace dv::devserver::testing
