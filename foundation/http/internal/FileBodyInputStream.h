// The input stream of a file part: unbuffered reads straight from the file descriptor into the
// caller's buffer, so that a large upload costs one system call per chunk and no extra copy.
// Opened by open(); a missing or unreadable file gives the error status with a POSIX-domain error.
#pragma once

#include "platform/system/NSInputStream.h"

#include <string>

namespace dv::internal::http {

class FileBodyInputStream : public NSInputStream {
    DV_CLASS(FileBodyInputStream, NSInputStream)

    FileBodyInputStream() = default;
    ~FileBodyInputStream() override;
    Ref<FileBodyInputStream> initWithPath(std::string path);

    NSInteger read(std::uint8_t* buffer, NSUInteger maxLength) override;
    bool hasBytesAvailable() const override;
    void open() override;
    void close() override;

private:
    std::string m_path;
    int m_fd = -1;
};

} // namespace dv::internal::http
