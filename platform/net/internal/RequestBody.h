// What a URL task sends as its request body, and how the transport reads it: bytes in memory, a
// file, or an input stream that the delegate hands over (the request's own for a first attempt).
// A file is read through a handle that every transfer's reader shares, so that the task can end
// (and let its handle go) while a transport thread is still inside a read.
//
// Owned by the task's driver, shared with the readers of its transfers. The source is chosen
// before the task starts and changed only on the delegate queue between transfers; the stream
// handed over and the file handle are guarded by the body's own lock, because the transport
// thread reads them while the delegate queue replaces or closes them.
//
//   body->adopt(request, RequestBody::Streamed::No);
//   DV_TRY(body->open());
//   body->describe(transportRequest, length, [weak] { ...ask the delegate for a stream... });
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Mutex.h"
#include "platform/base/Result.h"
#include "platform/net/internal/CurlTransport.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

class NSInputStream;
class NSURLRequest;

namespace dv::internal::net {

class RequestBody : public std::enable_shared_from_this<RequestBody> {
public:
    enum class Source { None, Data, File, Stream };
    // Streamed::Yes for a streamed upload task, whose stream always comes from the delegate.
    enum class Streamed { No, Yes };

    void setData(const Ref<NSData>& data);
    void setFile(const Ref<NSURL>& fileURL);
    // At the task's making: a body the task's factory did not name comes from the request. Answers
    // the count of bytes to send (NSURLSessionTransferSizeUnknown when it cannot be known).
    std::int64_t adopt(const Ref<NSURLRequest>& request, Streamed streamed);
    Source source() const { return m_source; }
    // A redirect that makes the request a GET sends no body from then on.
    void drop() { m_source = Source::None; }

    // The file of a file upload, opened at the task's start.
    Result<void> open() DV_EXCLUDES(m_mutex);
    // Before each transfer: a file is read again from its start, and the first attempt of a
    // stream body reads the request's own stream (later ones ask the delegate).
    void prepare(const Ref<NSURLRequest>& request, bool firstAttempt) DV_EXCLUDES(m_mutex);
    // The transfer's body. `askForStream` runs on the transport thread when the transfer needs a
    // stream nobody gave yet; the answer comes through supplyStream.
    void describe(TransportRequest& out, std::int64_t fileLength, std::function<void()> askForStream);

    // The delegate's answer (nil: none): opened, then handed to the waiting reader.
    void supplyStream(const Ref<NSInputStream>& stream) DV_EXCLUDES(m_mutex);
    // A new attempt (redirect, credential) asks for a new stream.
    void forgetStream() DV_EXCLUDES(m_mutex);
    // The task was cancelled or has ended: a reader waiting for a stream gives up.
    void abandon() DV_EXCLUDES(m_mutex);
    // The task has ended: the stream is closed, the file let go once no reader uses it.
    void close() DV_EXCLUDES(m_mutex);

private:
    long readFile(char* buffer, std::size_t capacity) DV_EXCLUDES(m_mutex);
    long readStream(char* buffer, std::size_t capacity, const std::function<void()>& askForStream) DV_EXCLUDES(m_mutex);

    Source m_source = Source::None;
    Streamed m_streamed = Streamed::No;
    Ref<NSData> m_data;
    std::string m_filePath;

    dv::Mutex m_mutex;
    dv::ConditionVariable m_changed;
    std::shared_ptr<std::FILE> m_file DV_GUARDED_BY(m_mutex);
    Ref<NSInputStream> m_stream DV_GUARDED_BY(m_mutex);
    bool m_asked DV_GUARDED_BY(m_mutex) = false;
    bool m_answered DV_GUARDED_BY(m_mutex) = false;
    bool m_abandoned DV_GUARDED_BY(m_mutex) = false;
};

} // namespace dv::internal::net
