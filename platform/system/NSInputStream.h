// NSInputStream: bytes read in order from data in memory or from a file. A file is opened by
// open(); a missing or unreadable file puts the stream in the error status with a POSIX-domain
// error. read answers the count of bytes read, 0 at the end (status at end), -1 on error or when
// the stream is not open.
//
//   auto in = NSInputStream::inputStreamWithFileAtPath(path);
//   in->open(); uint8_t buf[4096]; while (in->read(buf, sizeof buf) > 0) ...; in->close();
#pragma once

#include "platform/system/NSStream.h"

#include <cstdint>
#include <cstdio>
#include <string>

class NSInputStream : public NSStream {
    DV_CLASS(NSInputStream, NSStream)

    NSInputStream() = default;
    ~NSInputStream() override;

    Ref<NSInputStream> initWithData(const Ref<NSData>& data);
    Ref<NSInputStream> initWithFileAtPath(const Ref<NSString>& path);
    // File URLs only; nil for any other URL.
    Ref<NSInputStream> initWithURL(const Ref<NSURL>& url);
    static Ref<NSInputStream> inputStreamWithData(const Ref<NSData>& data);
    static Ref<NSInputStream> inputStreamWithFileAtPath(const Ref<NSString>& path);
    static Ref<NSInputStream> inputStreamWithURL(const Ref<NSURL>& url);

    virtual NSInteger read(std::uint8_t* buffer, NSUInteger maxLength);
    // No direct access to the buffer.
    virtual bool getBuffer(std::uint8_t** buffer, NSUInteger* length);
    // YES while the stream is open and not at its end.
    virtual bool hasBytesAvailable() const;

    void open() override;
    void close() override;
    id propertyForKey(const Ref<NSString>& key) const override;

private:
    enum class Source { None, Data, File };
    Source m_source = Source::None;
    Ref<NSData> m_data;
    std::size_t m_offset = 0;
    std::string m_path;
    std::FILE* m_file = nullptr;
};
