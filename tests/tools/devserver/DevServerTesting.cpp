#include "DevServerTesting.h"

#include "platform/base/NSData.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/testing/LargePictures.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace dv::devserver::testing {

namespace {

size_t collect(char* data, size_t size, size_t count, void* target)
{
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

CURL* newHandle(const std::string& url, HttpResult& result, long timeoutMilliseconds)
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMilliseconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
    return curl;
}

HttpResult perform(CURL* curl, HttpResult& result)
{
    result.curlCode = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    char* type = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
        result.contentType = type;
    curl_easy_cleanup(curl);
    return result;
}

std::string encodeForm(CURL* curl, const Fields& fields)
{
    std::string body;
    for (const auto& [name, value] : fields) {
        if (!body.empty())
            body += '&';
        char* escapedName = curl_easy_escape(curl, name.data(), static_cast<int>(name.size()));
        char* escapedValue = curl_easy_escape(curl, value.data(), static_cast<int>(value.size()));
        body += std::string(escapedName) + "=" + escapedValue;
        curl_free(escapedName);
        curl_free(escapedValue);
    }
    return body;
}

} // namespace

HttpResult httpGet(const std::string& url, long timeoutMilliseconds)
{
    HttpResult result;
    return perform(newHandle(url, result, timeoutMilliseconds), result);
}

HttpResult httpPostForm(const std::string& url, const Fields& fields, long timeoutMilliseconds)
{
    HttpResult result;
    CURL* curl = newHandle(url, result, timeoutMilliseconds);
    std::string body = encodeForm(curl, fields);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    return perform(curl, result);
}

HttpResult httpPostMultipart(const std::string& url, const Fields& fields, const std::vector<FilePart>& files)
{
    HttpResult result;
    CURL* curl = newHandle(url, result, 20000);
    curl_mime* mime = curl_mime_init(curl);
    for (const auto& [name, value] : fields) {
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_name(part, name.c_str());
        curl_mime_data(part, value.data(), value.size());
    }
    for (const auto& file : files) {
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_name(part, file.name.c_str());
        curl_mime_filename(part, file.filename.c_str());
        curl_mime_type(part, file.contentType.c_str());
        curl_mime_data(part, file.content.data(), file.content.size());
    }
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
    perform(curl, result);
    curl_mime_free(mime);
    return result;
}

HttpResult httpPostRaw(const std::string& url, const std::string& contentType, const std::string& body)
{
    HttpResult result;
    CURL* curl = newHandle(url, result, 20000);
    curl_slist* headers = curl_slist_append(nullptr, ("Content-Type: " + contentType).c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    perform(curl, result);
    curl_slist_free_all(headers);
    return result;
}

TemporaryFolder::TemporaryFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "dv-devserver-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    if (!made)
        throw std::runtime_error("cannot make a temporary folder");
    m_path = made;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string samplePng(int seed)
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(24, 24), true, 1);
    UIColor::colorWithRed((seed * 40 % 256) / 255.0, 0.5, 0.25, 1)->setFill();
    UIRectFill(CGRectMake(0, 0, 24, 24));
    UIColor::whiteColor()->setFill();
    UIRectFill(CGRectMake(seed % 20, 4, 4, 4));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto png = UIImagePNGRepresentation(image);
    return std::string(reinterpret_cast<const char*>(png->bytes()), png->length());
}

namespace {

// Bits of entropy-coded data, most significant first, with a zero byte stuffed after each 0xFF.
class JpegBits {
public:
    void put(unsigned value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            m_byte = (m_byte << 1) | ((value >> i) & 1);
            if (++m_count == 8)
                flushByte();
        }
    }
    // The last byte padded with ones, as the standard asks.
    std::string finish()
    {
        while (m_count)
            put(1, 1);
        return std::move(m_bytes);
    }

private:
    void flushByte()
    {
        m_bytes += char(m_byte);
        if (m_byte == 0xFF)
            m_bytes += '\0';
        m_byte = 0;
        m_count = 0;
    }
    unsigned m_byte = 0;
    int m_count = 0;
    std::string m_bytes;
};

void putSegment(std::string& jpeg, std::uint8_t marker, const std::vector<std::uint8_t>& payload)
{
    jpeg += char(0xFF);
    jpeg += char(marker);
    jpeg += char((payload.size() + 2) >> 8);
    jpeg += char((payload.size() + 2) & 0xFF);
    jpeg.append(payload.begin(), payload.end());
}

} // namespace

std::string slowProgressiveJpeg()
{
    // An even grey: every coefficient but the first DC is zero, so that the DC scan takes a bit
    // per block and each AC scan a few end-of-band runs across all of them.
    constexpr unsigned kSide = 4096;
    constexpr unsigned kBlocks = (kSide / 8) * (kSide / 8);
    std::string jpeg = "\xFF\xD8";
    std::vector<std::uint8_t> quantisation { 0 };
    quantisation.resize(65, 1);
    putSegment(jpeg, 0xDB, quantisation);
    putSegment(jpeg, 0xC2, { 8, kSide >> 8, kSide & 0xFF, kSide >> 8, kSide & 0xFF, 1, 1, 0x11, 0 });
    // DC: difference category 0 only, code 0. AC: a run of 2^14 or more blocks (EOB14) code 0,
    // of 8 to 15 blocks (EOB3) code 10.
    putSegment(jpeg, 0xC4, { 0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00 });
    putSegment(jpeg, 0xC4, { 0x10, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x30 });
    auto scan = [&](std::uint8_t first, std::uint8_t last, std::uint8_t high, std::uint8_t low) {
        putSegment(jpeg, 0xDA, { 1, 1, 0x00, first, last, std::uint8_t(high << 4 | low) });
        JpegBits bits;
        if (first == 0) {
            for (unsigned block = 0; block < kBlocks; ++block)
                bits.put(0, 1);
        } else {
            // No coefficient of the band was ever set: every block is in an end-of-band run,
            // first scan or refinement alike.
            unsigned left = kBlocks;
            for (; left >= 1u << 14; left -= std::min(left, 32767u)) {
                bits.put(0, 1);
                bits.put(std::min(left, 32767u) - (1u << 14), 14);
            }
            bits.put(0b10, 2);
            bits.put(left - 8, 3);
        }
        jpeg += bits.finish();
    };
    // The script an encoder may write: the DC coefficients whole, then bands of AC coefficients,
    // each in successive approximations from bit 10 (the highest libjpeg takes for 8-bit samples)
    // down, every approximation a scan of every block. A refinement scan looks at each
    // coefficient of its band in every block: bands of one coefficient each, and the rest in one,
    // make 496 scans, within the 500 a decoder reads.
    scan(0, 0, 0, 0);
    auto approximations = [&](std::uint8_t first, std::uint8_t last) {
        for (int bit = 10; bit >= 0; --bit)
            scan(first, last, std::uint8_t(bit == 10 ? 0 : bit + 1), std::uint8_t(bit));
    };
    for (std::uint8_t k = 1; k < 45; ++k)
        approximations(k, k);
    approximations(45, 63);
    jpeg += "\xFF\xD9";
    return jpeg;
}

std::string uploadLargePicture(const std::string& base, const std::string& clientId, const std::string& account, std::size_t bytes)
{
    const std::string token = httpPostForm(base + "client/login.do", { { "clientId", clientId } }).json().value("token", "");
    std::string picture = dv::testing::blackPng(40, 40);
    picture.resize(bytes, '\0'); // trailing bytes after the end of the PNG are ignored by decoders
    auto uploaded = httpPostMultipart(base + "qrcode/saveCode.do",
        { { "clientId", clientId }, { "token", token }, { "title", "大图" }, { "area_id", "310100" }, { "type", "3" },
            { "description", "大图" }, { "account", account } },
        { { "code", "1111.png", "jpg", picture } });
    if (uploaded.json().value("status", 0) != 1) {
        ADD_FAILURE() << "the upload was refused: " << uploaded.body;
        return {};
    }
    const std::string address = httpPostForm(base + "qrcode/listCode.do", { { "type", "3" } }).json()["info"]["listItems"][0]["qrcodeImg"];
    return address.substr(address.find("/DV/"));
}

int startServerProgram(dv::testing::ChildProcess& program, const std::string& dataFolder, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), { "--port", "0", "--data", dataFolder });
    if (!program.start(DV_DEVSERVER_PROGRAM, arguments))
        return 0;
    const std::string line = program.readLine(20).value_or("");
    const auto at = line.find("127.0.0.1:");
    return at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 10);
}

ServerProgram::ServerProgram()
    : dataFolder(folder.path() + "/data")
    , port(startServerProgram(process, dataFolder))
    , base("http://127.0.0.1:" + std::to_string(port) + "/DV/")
{
}

ServerProgram::~ServerProgram()
{
    if (!port)
        return;
    process.sendSignal(SIGTERM);
    EXPECT_EQ(process.waitForExit(20), 0);
}

double memoryMiB(pid_t pid, const char* field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const std::string prefix = std::string(field) + ":";
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(prefix))
            return std::stod(line.substr(prefix.size())) / 1024;
    return -1;
}

int descriptorCount(pid_t pid)
{
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", error), end; !error && it != end; it.increment(error))
        ++count;
    return error ? -1 : count;
}

RawClient::RawClient(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
        m_fd = fd;
    else if (fd >= 0)
        ::close(fd);
}

RawClient::~RawClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

namespace {

int millisecondsLeft(std::chrono::steady_clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return int(std::max<long long>(left, 0));
}

std::chrono::steady_clock::time_point after(double seconds)
{
    return std::chrono::steady_clock::now() + std::chrono::microseconds(std::int64_t(seconds * 1e6));
}

} // namespace

bool RawClient::send(std::string_view bytes, double limit)
{
    auto deadline = after(limit);
    while (!bytes.empty() && m_fd >= 0) {
        pollfd ready { m_fd, POLLOUT, 0 };
        if (::poll(&ready, 1, millisecondsLeft(deadline)) <= 0)
            return false;
        ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(std::size_t(n));
    }
    return bytes.empty() && m_fd >= 0;
}

void RawClient::poll(double limit)
{
    auto deadline = after(limit);
    bool first = true;
    while (m_fd >= 0 && !m_closed) {
        pollfd ready { m_fd, POLLIN, 0 };
        if (::poll(&ready, 1, first ? millisecondsLeft(deadline) : 0) <= 0)
            return;
        first = false;
        char buffer[16384];
        ssize_t n = ::recv(m_fd, buffer, sizeof(buffer), MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0) {
            m_closed = true;
            return;
        }
        m_received.append(buffer, std::size_t(n));
    }
}

void RawClient::reset()
{
    if (m_fd < 0)
        return;
    linger now { 1, 0 };
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &now, sizeof(now));
    ::close(m_fd);
    m_fd = -1;
    m_closed = true;
}

void RawClient::endSending()
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_WR);
}

bool RawClient::waitFor(std::string_view text, double limit)
{
    auto deadline = after(limit);
    while (m_received.find(text) == std::string::npos && !m_closed && millisecondsLeft(deadline) > 0)
        poll(millisecondsLeft(deadline) / 1000.0);
    return m_received.find(text) != std::string::npos;
}

bool RawClient::waitForClose(double limit)
{
    auto deadline = after(limit);
    while (!m_closed && millisecondsLeft(deadline) > 0)
        poll(millisecondsLeft(deadline) / 1000.0);
    return m_closed;
}

void DevServerTest::SetUp()
{
    startWith({});
}

void DevServerTest::TearDown()
{
    server.reset();
}

void DevServerTest::restart()
{
    // The same port again, so that addresses handed out before the restart stay good.
    int port = server->port();
    startWith({ .port = port });
}

void DevServerTest::startWith(Options options)
{
    server.reset();
    if (options.dataFolder.empty())
        options.dataFolder = folder.path() + "/server";
    auto started = Server::start(std::move(options));
    ASSERT_TRUE(started) << started.reason();
    server = std::move(started).value();
}

Json DevServerTest::post(const std::string& path, const Fields& fields)
{
    auto result = httpPostForm(url(path), fields);
    EXPECT_EQ(result.curlCode, 0) << path;
    EXPECT_EQ(result.status, 200) << path;
    EXPECT_EQ(result.contentType, "application/json;charset=UTF-8") << path;
    Json json = result.json();
    EXPECT_TRUE(json.is_object()) << path << ": " << result.body;
    return json;
}

std::string DevServerTest::login(const std::string& clientId)
{
    Json reply = post("client/login.do", { { "clientId", clientId } });
    return reply.value("token", std::string());
}

} // namespace dv::devserver::testing
