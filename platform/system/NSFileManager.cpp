#include "platform/system/NSFileManager.h"

#include "platform/base/AtomicFile.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/system/NSDirectoryEnumerator.h"
#include "platform/system/SystemPaths.h"
#include "platform/system/internal/FileOps.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using dv::internal::system::fileError;

const Ref<NSString> NSFileType = "NSFileType"_ns;
const Ref<NSString> NSFileTypeRegular = "NSFileTypeRegular"_ns;
const Ref<NSString> NSFileTypeDirectory = "NSFileTypeDirectory"_ns;
const Ref<NSString> NSFileTypeSymbolicLink = "NSFileTypeSymbolicLink"_ns;
const Ref<NSString> NSFileTypeUnknown = "NSFileTypeUnknown"_ns;
const Ref<NSString> NSFileSize = "NSFileSize"_ns;
const Ref<NSString> NSFileModificationDate = "NSFileModificationDate"_ns;
const Ref<NSString> NSFileCreationDate = "NSFileCreationDate"_ns;
const Ref<NSString> NSFilePosixPermissions = "NSFilePosixPermissions"_ns;
const Ref<NSString> NSFileSystemFileNumber = "NSFileSystemFileNumber"_ns;
const Ref<NSString> NSFileAllocatedSize = "NSFileAllocatedSize"_ns;

DV_DEFINE_CLASS(NSFileManager)

namespace {

std::string pathOf(const Ref<NSString>& path) { return path ? path->utf8() : std::string(); }
std::string pathOf(const Ref<NSURL>& url) { return url && url->isFileURL() ? dv::str(url->path()) : std::string(); }

template <class E>
bool fail(Ref<NSError>* error, E posixError, const std::string& path, bool writing)
{
    if (error)
        *error = fileError(static_cast<int>(posixError), path, writing);
    return false;
}

double toReferenceDate(const timespec& t) { return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9 - NSTimeIntervalSince1970; }

} // namespace

namespace dv::internal::system {

// Shared with the directory enumerator.
Ref<NSDictionary> attributesFromStat(const struct stat& st)
{
    Ref<NSString> type = S_ISREG(st.st_mode) ? NSFileTypeRegular
        : S_ISDIR(st.st_mode)                ? NSFileTypeDirectory
        : S_ISLNK(st.st_mode)                ? NSFileTypeSymbolicLink
                                             : NSFileTypeUnknown;
    return NSDictionary::of({
        { NSFileType, type },
        { NSFileSize, NSNumber::numberWithUnsignedLongLong(static_cast<unsigned long long>(st.st_size)) },
        { NSFileAllocatedSize, NSNumber::numberWithUnsignedLongLong(static_cast<unsigned long long>(st.st_blocks) * 512ull) },
        { NSFileModificationDate, NSDate::dateWithTimeIntervalSinceReferenceDate(toReferenceDate(st.st_mtim)) },
        { NSFileCreationDate, NSDate::dateWithTimeIntervalSinceReferenceDate(toReferenceDate(st.st_ctim)) },
        { NSFilePosixPermissions, NSNumber::numberWithUnsignedLongLong(st.st_mode & 07777) },
        { NSFileSystemFileNumber, NSNumber::numberWithUnsignedLongLong(static_cast<unsigned long long>(st.st_ino)) },
    });
}

} // namespace dv::internal::system

Ref<NSFileManager> NSFileManager::defaultManager()
{
    static const Ref<NSFileManager> shared = dv::keepingForever([] { return alloc<NSFileManager>(); });
    return shared;
}

bool NSFileManager::fileExistsAtPath(const Ref<NSString>& path) const { return fileExistsAtPath(path, nullptr); }

bool NSFileManager::fileExistsAtPath(const Ref<NSString>& path, bool* isDirectory) const
{
    struct stat st {};
    if (!path || ::stat(path->UTF8String(), &st) != 0)
        return false;
    if (isDirectory)
        *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

bool NSFileManager::isReadableFileAtPath(const Ref<NSString>& path) const { return path && ::access(path->UTF8String(), R_OK) == 0; }
bool NSFileManager::isWritableFileAtPath(const Ref<NSString>& path) const { return path && ::access(path->UTF8String(), W_OK) == 0; }

bool NSFileManager::isDeletableFileAtPath(const Ref<NSString>& path) const
{
    if (!path || !fileExistsAtPath(path))
        return false;
    auto parent = path->stringByDeletingLastPathComponent();
    return ::access(parent->length() ? parent->UTF8String() : ".", W_OK) == 0;
}

bool NSFileManager::createDirectoryAtPath(const Ref<NSString>& path, bool withIntermediateDirectories, const Ref<NSDictionary>& attributes, Ref<NSError>* error)
{
    const std::string p = pathOf(path);
    if (p.empty())
        return fail(error, ENOENT, p, true);
    std::error_code ec;
    if (withIntermediateDirectories) {
        fs::create_directories(p, ec);
        if (!fs::is_directory(p))
            return fail(error, ec ? ec.value() : EEXIST, p, true);
    } else if (::mkdir(p.c_str(), 0755) != 0) {
        return fail(error, errno, p, true);
    }
    return !attributes || setAttributesOfItemAtPath(attributes, path, error);
}

bool NSFileManager::createDirectoryAtURL(const Ref<NSURL>& url, bool withIntermediateDirectories, const Ref<NSDictionary>& attributes, Ref<NSError>* error)
{
    return createDirectoryAtPath(NSString::fromUTF8(pathOf(url)), withIntermediateDirectories, attributes, error);
}

bool NSFileManager::createFileAtPath(const Ref<NSString>& path, const Ref<NSData>& contents, const Ref<NSDictionary>& attributes)
{
    if (!path)
        return false;
    int err = 0;
    if (!dv::internal::system::replaceFileAtomically(path->utf8(), contents ? contents->view() : std::string_view(), err))
        return false;
    return !attributes || setAttributesOfItemAtPath(attributes, path, nullptr);
}

Ref<NSData> NSFileManager::contentsAtPath(const Ref<NSString>& path) const
{
    bool isDirectory = false;
    if (!fileExistsAtPath(path, &isDirectory) || isDirectory)
        return nil;
    return NSData::dataWithContentsOfFile(path);
}

bool NSFileManager::removeItemAtPath(const Ref<NSString>& path, Ref<NSError>* error)
{
    const std::string p = pathOf(path);
    struct stat st {};
    if (p.empty() || ::lstat(p.c_str(), &st) != 0)
        return fail(error, ENOENT, p, true);
    std::error_code ec;
    fs::remove_all(p, ec);
    if (ec)
        return fail(error, ec.value(), p, true);
    return true;
}

bool NSFileManager::removeItemAtURL(const Ref<NSURL>& url, Ref<NSError>* error) { return removeItemAtPath(NSString::fromUTF8(pathOf(url)), error); }

bool NSFileManager::moveItemAtPath(const Ref<NSString>& source, const Ref<NSString>& destination, Ref<NSError>* error)
{
    const std::string from = pathOf(source), to = pathOf(destination);
    struct stat st {};
    if (from.empty() || ::lstat(from.c_str(), &st) != 0)
        return fail(error, ENOENT, from, false);
    if (to.empty() || ::lstat(to.c_str(), &st) == 0)
        return fail(error, EEXIST, to, true);
    if (::rename(from.c_str(), to.c_str()) == 0)
        return true;
    if (errno != EXDEV)
        return fail(error, errno, to, true);
    // Across file systems: copy, then remove the original.
    return copyItemAtPath(source, destination, error) && removeItemAtPath(source, error);
}

bool NSFileManager::moveItemAtURL(const Ref<NSURL>& source, const Ref<NSURL>& destination, Ref<NSError>* error)
{
    return moveItemAtPath(NSString::fromUTF8(pathOf(source)), NSString::fromUTF8(pathOf(destination)), error);
}

bool NSFileManager::copyItemAtPath(const Ref<NSString>& source, const Ref<NSString>& destination, Ref<NSError>* error)
{
    const std::string from = pathOf(source), to = pathOf(destination);
    struct stat st {};
    if (from.empty() || ::lstat(from.c_str(), &st) != 0)
        return fail(error, ENOENT, from, false);
    if (to.empty() || ::lstat(to.c_str(), &st) == 0)
        return fail(error, EEXIST, to, true);
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec)
        return fail(error, ec.value(), to, true);
    return true;
}

bool NSFileManager::copyItemAtURL(const Ref<NSURL>& source, const Ref<NSURL>& destination, Ref<NSError>* error)
{
    return copyItemAtPath(NSString::fromUTF8(pathOf(source)), NSString::fromUTF8(pathOf(destination)), error);
}

Ref<NSArray> NSFileManager::contentsOfDirectoryAtPath(const Ref<NSString>& path, Ref<NSError>* error) const
{
    const std::string p = pathOf(path);
    // What a killed process was writing here is gone before anyone sees it.
    if (!p.empty())
        dv::removeStaleTemporaries(p);
    DIR* dir = p.empty() ? nullptr : ::opendir(p.c_str());
    if (!dir) {
        fail(error, p.empty() ? ENOENT : errno, p, false);
        return nil;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    std::vector<id> items;
    for (const auto& name : names)
        items.push_back(NSString::fromUTF8(name));
    return NSArray::fromVector(std::move(items));
}

Ref<NSArray> NSFileManager::contentsOfDirectoryAtURL(const Ref<NSURL>& url, const Ref<NSArray>&, NSDirectoryEnumerationOptions options, Ref<NSError>* error) const
{
    auto names = contentsOfDirectoryAtPath(NSString::fromUTF8(pathOf(url)), error);
    if (!names)
        return nil;
    auto urls = NSMutableArray::array();
    for (const id& name : *names) {
        auto text = dv::as<NSString>(name);
        if ((options & NSDirectoryEnumerationSkipsHiddenFiles) && text->hasPrefix("."))
            continue;
        urls->addObject(url->URLByAppendingPathComponent(text));
    }
    return NSArray::arrayWithArray(urls);
}

Ref<NSDirectoryEnumerator> NSFileManager::enumeratorAtPath(const Ref<NSString>& path) const
{
    bool isDirectory = false;
    if (!fileExistsAtPath(path, &isDirectory) || !isDirectory)
        return nil;
    return alloc<NSDirectoryEnumerator>()->initWithRoot(path->utf8(), false, 0, {});
}

Ref<NSDirectoryEnumerator> NSFileManager::enumeratorAtURL(const Ref<NSURL>& url, const Ref<NSArray>&, NSDirectoryEnumerationOptions options,
                                                          std::function<bool(const Ref<NSURL>&, const Ref<NSError>&)> errorHandler) const
{
    const std::string p = pathOf(url);
    if (p.empty())
        return nil;
    return alloc<NSDirectoryEnumerator>()->initWithRoot(p, true, options, std::move(errorHandler));
}

Ref<NSDictionary> NSFileManager::attributesOfItemAtPath(const Ref<NSString>& path, Ref<NSError>* error) const
{
    struct stat st {};
    const std::string p = pathOf(path);
    if (p.empty() || ::lstat(p.c_str(), &st) != 0) {
        fail(error, p.empty() ? ENOENT : errno, p, false);
        return nil;
    }
    return dv::internal::system::attributesFromStat(st);
}

bool NSFileManager::setAttributesOfItemAtPath(const Ref<NSDictionary>& attributes, const Ref<NSString>& path, Ref<NSError>* error)
{
    const std::string p = pathOf(path);
    if (!attributes)
        return true;
    if (auto date = dv::as<NSDate>(attributes->objectForKey(NSFileModificationDate))) {
        double seconds = date->timeIntervalSince1970();
        timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(seconds);
        times[1].tv_nsec = static_cast<long>((seconds - static_cast<double>(times[1].tv_sec)) * 1e9);
        if (times[1].tv_nsec < 0) {
            times[1].tv_sec -= 1;
            times[1].tv_nsec += 1000000000L;
        }
        if (::utimensat(AT_FDCWD, p.c_str(), times, 0) != 0)
            return fail(error, errno, p, true);
    }
    if (auto mode = dv::as<NSNumber>(attributes->objectForKey(NSFilePosixPermissions))) {
        if (::chmod(p.c_str(), static_cast<mode_t>(mode->unsignedLongLongValue() & 07777)) != 0)
            return fail(error, errno, p, true);
    }
    return true;
}

Ref<NSArray> NSFileManager::URLsForDirectory(NSSearchPathDirectory directory, NSSearchPathDomainMask domains) const
{
    auto urls = NSMutableArray::array();
    auto paths = NSSearchPathForDirectoriesInDomains(directory, domains, true);
    for (const id& path : *paths)
        urls->addObject(NSURL::fileURLWithPath(dv::as<NSString>(path), true));
    return NSArray::arrayWithArray(urls);
}

Ref<NSURL> NSFileManager::temporaryDirectory() const { return NSURL::fileURLWithPath(NSTemporaryDirectory(), true); }

Ref<NSString> NSFileManager::currentDirectoryPath() const
{
    std::error_code ec;
    return NSString::fromUTF8(fs::current_path(ec).string());
}

Ref<NSArray> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory, NSSearchPathDomainMask domains, bool expandTilde)
{
    if (!(domains & NSUserDomainMask))
        return NSArray::array();
    const char* relative = nullptr;
    switch (directory) {
    case NSDocumentDirectory: relative = "Documents"; break;
    case NSLibraryDirectory: relative = "Library"; break;
    case NSCachesDirectory: relative = "Library/Caches"; break;
    case NSApplicationSupportDirectory: relative = "Library/Application Support"; break;
    default: return NSArray::array();
    }
    const std::string full = dv::SystemPaths::appContainer() + "/" + relative;
    // The container's standard folders exist from installation on, as on the platform.
    (void)dv::SystemPaths::ensureDirectory(full);
    return NSArray::of({ NSString::fromUTF8(expandTilde ? full : std::string("~/") + relative) });
}

Ref<NSString> NSHomeDirectory()
{
    const std::string home = dv::SystemPaths::appContainer();
    (void)dv::SystemPaths::ensureDirectory(home);
    return NSString::fromUTF8(home);
}

Ref<NSString> NSTemporaryDirectory()
{
    const std::string tmp = dv::SystemPaths::appContainer() + "/tmp";
    (void)dv::SystemPaths::ensureDirectory(tmp);
    return NSString::fromUTF8(tmp + "/");
}
