#include "platform/system/internal/FileOps.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dv::internal {

bool replaceFileAtomically(const std::string& path, std::string_view bytes, int& error)
{
    auto slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = folder + "/." + name + ".tmp-XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = errno;
        return false;
    }
    ::fchmod(fd, 0644);
    std::size_t written = 0;
    error = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself must reach the disk, or a crash could bring the old file back.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

Ref<NSError> fileError(int posixError, const std::string& path, bool writing)
{
    NSInteger code;
    if (writing) {
        code = posixError == EACCES || posixError == EPERM || posixError == EROFS ? 513
            : posixError == EEXIST                                                ? 516
            : posixError == ENOSPC                                                ? 640
            : posixError == ENOENT                                                ? 4
                                                                                  : 512;
    } else {
        code = posixError == ENOENT ? 260 : posixError == EACCES || posixError == EPERM ? 257 : 256;
    }
    auto underlying = NSError::errorWithDomain(NSPOSIXErrorDomain, posixError,
        NSDictionary::of({ { NSLocalizedDescriptionKey, NSString::stringWithUTF8String(std::strerror(posixError)) } }));
    return NSError::errorWithDomain(NSCocoaErrorDomain, code,
        NSDictionary::of({ { NSFilePathErrorKey, NSString::fromUTF8(path) }, { NSUnderlyingErrorKey, underlying },
                           { NSLocalizedDescriptionKey, NSString::stringWithFormat("The file “%s” couldn’t be %s. (%s)",
                                                                                   path.substr(path.rfind('/') + 1), writing ? "saved" : "opened",
                                                                                   std::strerror(posixError)) } }));
}

} // namespace dv::internal
