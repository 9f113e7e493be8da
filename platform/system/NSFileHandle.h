// NSFileHandle: an open file descriptor with the platform's reading, writing and seeking calls.
// The handle owns its descriptor and closes it when closed or destroyed. The factories answer nil
// when the file cannot be opened (a missing file is not created). Belongs to one thread at a time.
#pragma once

#include "platform/base/NSObject.h"

#include <cstdint>

class NSFileHandle : public NSObject {
    DV_CLASS(NSFileHandle, NSObject)

    NSFileHandle() = default;
    ~NSFileHandle() override;

    static Ref<NSFileHandle> fileHandleForReadingAtPath(const Ref<NSString>& path);
    static Ref<NSFileHandle> fileHandleForWritingAtPath(const Ref<NSString>& path);
    static Ref<NSFileHandle> fileHandleForUpdatingAtPath(const Ref<NSString>& path);
    static Ref<NSFileHandle> fileHandleForReadingFromURL(const Ref<NSURL>& url, Ref<NSError>* error);
    Ref<NSFileHandle> initWithFileDescriptor(int fd, bool closeOnDealloc);

    int fileDescriptor() const { return m_fd; }
    Ref<NSData> readDataToEndOfFile();
    Ref<NSData> readDataOfLength(NSUInteger length);
    Ref<NSData> availableData();
    // Failures are logged; writeDataError reports them.
    void writeData(const Ref<NSData>& data);
    bool writeDataError(const Ref<NSData>& data, Ref<NSError>* error);
    std::uint64_t offsetInFile() const;
    std::uint64_t seekToEndOfFile();
    void seekToFileOffset(std::uint64_t offset);
    void truncateFileAtOffset(std::uint64_t offset);
    void synchronizeFile();
    void closeFile();

private:
    static Ref<NSFileHandle> openAt(const Ref<NSString>& path, int flags, int* error);
    int m_fd = -1;
    bool m_owns = false;
};
