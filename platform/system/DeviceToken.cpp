#include "platform/system/DeviceToken.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/system/Security.h"
#include "platform/system/SystemPaths.h"
#include "platform/system/internal/FileOps.h"

#include <cerrno>

namespace dv {

namespace {
dv::Mutex s_tokenMutex;
}

Ref<NSData> pushDeviceToken(Ref<NSError>* error)
{
    dv::MutexLocker lock(s_tokenMutex);
    const std::string folder = SystemPaths::deviceFolder();
    const std::string file = folder + "/push-device-token";
    if (auto data = NSData::dataWithContentsOfFile(NSString::fromUTF8(file)); data && data->length() == 32)
        return data;
    std::uint8_t bytes[32];
    int posixError = 0;
    if (SecRandomCopyBytes(kSecRandomDefault, sizeof bytes, bytes) != 0)
        posixError = EIO;
    else if (!SystemPaths::ensureDirectory(folder))
        posixError = EACCES;
    else
        (void)internal::system::replaceFileAtomically(file, std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes), posixError);
    if (posixError) {
        if (error)
            *error = internal::system::fileError(posixError, file, true);
        return nil;
    }
    return NSData::dataWithBytes(bytes, sizeof bytes);
}

} // namespace dv
