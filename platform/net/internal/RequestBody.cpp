#include "platform/net/internal/RequestBody.h"

#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/net/internal/HeaderFields.h"
#include "platform/net/internal/StreamBody.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace dv::internal::net {

namespace {

// How long a transfer waits for the delegate to hand over a new body stream.
constexpr auto kStreamAnswerLimit = std::chrono::seconds(60);

} // namespace

void RequestBody::setData(const Ref<NSData>& data)
{
    m_source = Source::Data;
    m_data = data ? data : NSData::data();
}

void RequestBody::setFile(const Ref<NSURL>& fileURL)
{
    m_source = Source::File;
    m_filePath = fileURL && fileURL->path() ? fileURL->path()->utf8() : std::string();
}

std::int64_t RequestBody::adopt(const Ref<NSURLRequest>& request, Streamed streamed)
{
    m_streamed = streamed;
    if (streamed == Streamed::Yes)
        m_source = Source::Stream;
    else if (m_source == Source::None && request && request->HTTPBody())
        m_source = Source::Data;
    else if (m_source == Source::None && request && request->HTTPBodyStream())
        m_source = Source::Stream;
    if (m_source == Source::Data && !m_data && request)
        m_data = request->HTTPBody();
    switch (m_source) {
    case Source::None:
        return 0;
    case Source::Data:
        return static_cast<std::int64_t>(m_data ? m_data->length() : 0);
    case Source::File: {
        std::error_code ec;
        auto size = std::filesystem::file_size(m_filePath, ec);
        return ec ? NSURLSessionTransferSizeUnknown : static_cast<std::int64_t>(size);
    }
    case Source::Stream: {
        auto length = request ? request->valueForHTTPHeaderField("Content-Length"_ns) : nullptr;
        return length ? std::strtoll(length->UTF8String(), nullptr, 10) : NSURLSessionTransferSizeUnknown;
    }
    }
    return 0;
}

Result<void> RequestBody::open()
{
    // A file upload without a path has nothing to read; its transfer fails when it reads.
    if (m_source != Source::File || m_filePath.empty())
        return {};
    std::FILE* handle = std::fopen(m_filePath.c_str(), "rb");
    if (!handle)
        return Failure("upload file " + m_filePath + ": " + std::strerror(errno));
    dv::MutexLocker lock(m_mutex);
    m_file = std::shared_ptr<std::FILE>(handle, &std::fclose);
    return {};
}

void RequestBody::prepare(const Ref<NSURLRequest>& request, bool firstAttempt)
{
    std::shared_ptr<std::FILE> file;
    bool useRequestStream = false;
    {
        dv::MutexLocker lock(m_mutex);
        file = m_file;
        useRequestStream = m_source == Source::Stream && firstAttempt && m_streamed == Streamed::No && !m_answered && !m_asked;
    }
    // The previous transfer has ended (its reader is let go before its end is reported).
    if (file)
        std::rewind(file.get());
    if (useRequestStream)
        supplyStream(request->HTTPBodyStream());
}

void RequestBody::describe(TransportRequest& out, std::int64_t fileLength, std::function<void()> askForStream)
{
    switch (m_source) {
    case Source::None:
        break;
    case Source::Data:
        if (out.method == "GET" || out.method == "HEAD")
            break;
        out.body = std::make_shared<std::vector<std::uint8_t>>(m_data ? m_data->vector() : std::vector<std::uint8_t> {});
        break;
    case Source::File:
        out.bodyReader = [body = shared_from_this()](char* buffer, std::size_t capacity) { return body->readFile(buffer, capacity); };
        out.bodyLength = fileLength;
        break;
    case Source::Stream:
        out.bodyReader = [body = shared_from_this(), ask = std::move(askForStream)](char* buffer, std::size_t capacity) {
            return body->readStream(buffer, capacity, ask);
        };
        out.bodyLength = -1;
        if (auto length = findHeader(out.headers, "Content-Length"))
            out.bodyLength = std::strtoll(length->c_str(), nullptr, 10);
        break;
    }
    if (out.body || out.bodyReader)
        removeHeader(out.headers, "Content-Length");
}

long RequestBody::readFile(char* buffer, std::size_t capacity)
{
    std::shared_ptr<std::FILE> file;
    {
        dv::MutexLocker lock(m_mutex);
        file = m_file;
    }
    if (!file)
        return -1;
    std::size_t n = std::fread(buffer, 1, capacity, file.get());
    return std::ferror(file.get()) ? -1 : static_cast<long>(n);
}

long RequestBody::readStream(char* buffer, std::size_t capacity, const std::function<void()>& askForStream)
{
    Ref<NSInputStream> stream;
    {
        dv::MutexLocker lock(m_mutex);
        if (!m_answered && !m_asked) {
            m_asked = true;
            lock.unlock();
            if (askForStream)
                askForStream();
            lock.lock();
        }
        if (!m_changed.waitFor(lock, kStreamAnswerLimit, [this]() DV_REQUIRES(m_mutex) { return m_answered || m_abandoned; }))
            return -1;
        if (m_abandoned)
            return -1;
        stream = m_stream;
    }
    return readBodyStream(stream, buffer, capacity);
}

void RequestBody::supplyStream(const Ref<NSInputStream>& stream)
{
    // Opened before it is handed over: the transport thread reads it as soon as it sees it.
    openBodyStream(stream);
    {
        dv::MutexLocker lock(m_mutex);
        m_stream = stream;
        m_answered = true;
    }
    m_changed.notifyAll();
}

void RequestBody::forgetStream()
{
    dv::MutexLocker lock(m_mutex);
    m_stream = nullptr;
    m_asked = false;
    m_answered = false;
}

void RequestBody::abandon()
{
    {
        dv::MutexLocker lock(m_mutex);
        m_abandoned = true;
    }
    m_changed.notifyAll();
}

void RequestBody::close()
{
    Ref<NSInputStream> stream;
    {
        dv::MutexLocker lock(m_mutex);
        m_abandoned = true;
        stream = m_stream;
        // A reader still inside the file keeps it open until it returns.
        m_file = nullptr;
    }
    m_changed.notifyAll();
    closeBodyStream(stream);
}

} // namespace dv::internal::net
