#include "platform/system/NSURLResourceValues.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/system/internal/FileOps.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>

const Ref<NSString> NSURLIsDirectoryKey = "NSURLIsDirectoryKey"_ns;
const Ref<NSString> NSURLIsRegularFileKey = "NSURLIsRegularFileKey"_ns;
const Ref<NSString> NSURLIsHiddenKey = "NSURLIsHiddenKey"_ns;
const Ref<NSString> NSURLNameKey = "NSURLNameKey"_ns;
const Ref<NSString> NSURLContentModificationDateKey = "NSURLContentModificationDateKey"_ns;
const Ref<NSString> NSURLCreationDateKey = "NSURLCreationDateKey"_ns;
const Ref<NSString> NSURLFileSizeKey = "NSURLFileSizeKey"_ns;
const Ref<NSString> NSURLFileAllocatedSizeKey = "NSURLFileAllocatedSizeKey"_ns;
const Ref<NSString> NSURLTotalFileAllocatedSizeKey = "NSURLTotalFileAllocatedSizeKey"_ns;
const Ref<NSString> NSURLIsExcludedFromBackupKey = "NSURLIsExcludedFromBackupKey"_ns;

namespace {

constexpr const char* kExcludedFromBackupAttribute = "user.dovrelta.excluded-from-backup";

bool isExcludedFromBackup(const Ref<NSURL>& url)
{
    const std::string path = dv::str(url->path());
    return ::getxattr(path.c_str(), kExcludedFromBackupAttribute, nullptr, 0) >= 0;
}

bool statURL(const Ref<NSURL>& url, struct stat& st, Ref<NSError>* error)
{
    std::string path = url && url->isFileURL() ? dv::str(url->path()) : std::string();
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        if (error)
            *error = dv::internal::system::fileError(path.empty() ? ENOENT : errno, path.empty() ? dv::str(url) : path, false);
        return false;
    }
    return true;
}

id valueFor(const Ref<NSURL>& url, const struct stat& st, const Ref<NSString>& key)
{
    const bool folder = S_ISDIR(st.st_mode);
    auto date = [](const timespec& t) {
        return NSDate::dateWithTimeIntervalSince1970(static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9);
    };
    if (key->isEqualToString(NSURLIsDirectoryKey))
        return NSNumber::numberWithBool(folder);
    if (key->isEqualToString(NSURLIsRegularFileKey))
        return NSNumber::numberWithBool(S_ISREG(st.st_mode));
    if (key->isEqualToString(NSURLIsHiddenKey))
        return NSNumber::numberWithBool(dv::str(url->lastPathComponent()).starts_with("."));
    if (key->isEqualToString(NSURLNameKey))
        return url->lastPathComponent();
    if (key->isEqualToString(NSURLContentModificationDateKey))
        return date(st.st_mtim);
    if (key->isEqualToString(NSURLCreationDateKey))
        return date(st.st_ctim);
    if (key->isEqualToString(NSURLIsExcludedFromBackupKey))
        return NSNumber::numberWithBool(isExcludedFromBackup(url));
    if (folder)
        return nil;
    if (key->isEqualToString(NSURLFileSizeKey))
        return NSNumber::numberWithUnsignedLongLong(static_cast<unsigned long long>(st.st_size));
    if (key->isEqualToString(NSURLFileAllocatedSizeKey) || key->isEqualToString(NSURLTotalFileAllocatedSizeKey))
        return NSNumber::numberWithUnsignedLongLong(static_cast<unsigned long long>(st.st_blocks) * 512ull);
    return nil;
}

} // namespace

bool checkResourceIsReachableAndReturnError(const Ref<NSURL>& url, Ref<NSError>* error)
{
    struct stat st {};
    return statURL(url, st, error);
}

bool getResourceValue(const Ref<NSURL>& url, id* value, const Ref<NSString>& key, Ref<NSError>* error)
{
    if (value)
        *value = nil;
    struct stat st {};
    if (!key || !statURL(url, st, error))
        return false;
    if (value)
        *value = valueFor(url, st, key);
    return true;
}

Ref<NSDictionary> resourceValuesForKeys(const Ref<NSURL>& url, const Ref<NSArray>& keys, Ref<NSError>* error)
{
    struct stat st {};
    if (!statURL(url, st, error))
        return nil;
    auto values = NSMutableDictionary::dictionary();
    if (keys)
        for (const id& key : *keys)
            if (auto name = dv::as<NSString>(key))
                if (id v = valueFor(url, st, name))
                    values->setObjectForKey(v, name);
    return NSDictionary::dictionaryWithDictionary(values);
}

bool setResourceValue(const Ref<NSURL>& url, const id& value, const Ref<NSString>& key, Ref<NSError>* error)
{
    struct stat st {};
    if (!statURL(url, st, error))
        return false;
    const std::string path = dv::str(url->path());
    if (!key || !key->isEqualToString(NSURLIsExcludedFromBackupKey)) {
        if (error)
            *error = dv::internal::system::fileError(EINVAL, path, true);
        return false;
    }
    auto number = dv::as<NSNumber>(value);
    const bool ok = number && number->boolValue()
        ? ::setxattr(path.c_str(), kExcludedFromBackupAttribute, "1", 1, 0) == 0
        : ::removexattr(path.c_str(), kExcludedFromBackupAttribute) == 0 || errno == ENODATA; // ENODATA: not excluded already
    if (!ok) {
        if (error)
            *error = dv::internal::system::fileError(errno, path, true);
        return false;
    }
    return true;
}
