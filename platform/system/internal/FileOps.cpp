#include "platform/system/internal/FileOps.h"

#include "platform/base/AtomicFile.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dv::internal::system {

bool replaceFileAtomically(const std::string& path, std::string_view bytes, int& error)
{
    return dv::writeFileAtomically(path, bytes, &error);
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

} // namespace dv::internal::system
