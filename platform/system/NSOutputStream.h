// NSOutputStream: bytes written in order to memory (read back through the property
// NSStreamDataWrittenToMemoryStreamKey) or to a file (created, truncated or appended to on open).
// write answers the count written, -1 on error or when the stream is not open.
#pragma once

#include "platform/system/NSStream.h"

#include <cstdint>
#include <cstdio>
#include <string>

class NSOutputStream : public NSStream {
    DV_CLASS(NSOutputStream, NSStream)

    NSOutputStream() = default;
    ~NSOutputStream() override;

    Ref<NSOutputStream> initToMemory();
    Ref<NSOutputStream> initToFileAtPath(const Ref<NSString>& path, bool append);
    static Ref<NSOutputStream> outputStreamToMemory();
    static Ref<NSOutputStream> outputStreamToFileAtPath(const Ref<NSString>& path, bool append);

    virtual NSInteger write(const std::uint8_t* buffer, NSUInteger length);
    virtual bool hasSpaceAvailable() const;

    void open() override;
    void close() override;
    id propertyForKey(const Ref<NSString>& key) const override;

private:
    bool m_toMemory = false;
    Ref<NSMutableData> m_memory;
    std::string m_path;
    bool m_append = false;
    std::FILE* m_file = nullptr;
};
