// NSFileManager: the file system as the platform's file manager offers it, over POSIX calls.
// Stateless apart from its delegate-free defaults, so the shared instance serves every thread.
// Failures answer false or nil and, where the call takes one, a Cocoa-domain NSError.
//
//   auto fm = NSFileManager::defaultManager();
//   if (!fm->fileExistsAtPath(dir)) fm->createDirectoryAtPath(dir, true, nil, &error);
#pragma once

#include "platform/base/NSObject.h"

#include <functional>
#include <string>
#include <vector>

class NSDirectoryEnumerator;

extern const Ref<NSString> NSFileType;
extern const Ref<NSString> NSFileTypeRegular;
extern const Ref<NSString> NSFileTypeDirectory;
extern const Ref<NSString> NSFileTypeSymbolicLink;
extern const Ref<NSString> NSFileTypeUnknown;
extern const Ref<NSString> NSFileSize;
extern const Ref<NSString> NSFileModificationDate;
extern const Ref<NSString> NSFileCreationDate;
extern const Ref<NSString> NSFilePosixPermissions;
extern const Ref<NSString> NSFileSystemFileNumber;
// Our extension beside the platform's keys: the bytes the file occupies on disk.
extern const Ref<NSString> NSFileAllocatedSize;

enum NSSearchPathDirectory : NSUInteger {
    NSApplicationDirectory = 1,
    NSLibraryDirectory = 5,
    NSUserDirectory = 7,
    NSDocumentationDirectory = 8,
    NSDocumentDirectory = 9,
    NSCachesDirectory = 13,
    NSApplicationSupportDirectory = 14,
};

enum NSSearchPathDomainMask : NSUInteger {
    NSUserDomainMask = 1,
    NSLocalDomainMask = 2,
    NSNetworkDomainMask = 4,
    NSSystemDomainMask = 8,
    NSAllDomainsMask = 0x0ffff,
};

using NSDirectoryEnumerationOptions = NSUInteger;
enum : NSDirectoryEnumerationOptions {
    NSDirectoryEnumerationSkipsSubdirectoryDescendants = 1 << 0,
    NSDirectoryEnumerationSkipsPackageDescendants = 1 << 1,
    NSDirectoryEnumerationSkipsHiddenFiles = 1 << 2,
};

class NSFileManager : public NSObject {
    DV_CLASS(NSFileManager, NSObject)

    NSFileManager() = default;
    static Ref<NSFileManager> defaultManager();

    bool fileExistsAtPath(const Ref<NSString>& path) const;
    bool fileExistsAtPath(const Ref<NSString>& path, bool* isDirectory) const;
    bool isReadableFileAtPath(const Ref<NSString>& path) const;
    bool isWritableFileAtPath(const Ref<NSString>& path) const;
    bool isDeletableFileAtPath(const Ref<NSString>& path) const;

    bool createDirectoryAtPath(const Ref<NSString>& path, bool withIntermediateDirectories, const Ref<NSDictionary>& attributes, Ref<NSError>* error);
    bool createDirectoryAtURL(const Ref<NSURL>& url, bool withIntermediateDirectories, const Ref<NSDictionary>& attributes, Ref<NSError>* error);
    // Writes the contents atomically (nil writes an empty file); replaces an existing file.
    bool createFileAtPath(const Ref<NSString>& path, const Ref<NSData>& contents, const Ref<NSDictionary>& attributes);
    Ref<NSData> contentsAtPath(const Ref<NSString>& path) const;

    // Removes a file or a whole directory tree.
    bool removeItemAtPath(const Ref<NSString>& path, Ref<NSError>* error);
    bool removeItemAtURL(const Ref<NSURL>& url, Ref<NSError>* error);
    // Both fail with NSFileWriteFileExistsError (516) when the destination exists.
    bool moveItemAtPath(const Ref<NSString>& source, const Ref<NSString>& destination, Ref<NSError>* error);
    bool moveItemAtURL(const Ref<NSURL>& source, const Ref<NSURL>& destination, Ref<NSError>* error);
    bool copyItemAtPath(const Ref<NSString>& source, const Ref<NSString>& destination, Ref<NSError>* error);
    bool copyItemAtURL(const Ref<NSURL>& source, const Ref<NSURL>& destination, Ref<NSError>* error);

    // Names of the entries, hidden ones included, sorted; nil and an error for a missing folder.
    Ref<NSArray> contentsOfDirectoryAtPath(const Ref<NSString>& path, Ref<NSError>* error) const;
    Ref<NSArray> contentsOfDirectoryAtURL(const Ref<NSURL>& url, const Ref<NSArray>& keys, NSDirectoryEnumerationOptions options, Ref<NSError>* error) const;
    // Deep enumeration by relative path, hidden entries included; nil for a missing folder.
    Ref<NSDirectoryEnumerator> enumeratorAtPath(const Ref<NSString>& path) const;
    // Deep enumeration by file URL. A folder that cannot be read is passed to the error handler
    // (answer true to go on); without a handler the enumeration goes on.
    Ref<NSDirectoryEnumerator> enumeratorAtURL(const Ref<NSURL>& url, const Ref<NSArray>& keys, NSDirectoryEnumerationOptions options,
                                               std::function<bool(const Ref<NSURL>& url, const Ref<NSError>& error)> errorHandler) const;

    // NSFileType, NSFileSize, NSFileAllocatedSize, NSFileModificationDate, NSFileCreationDate,
    // NSFilePosixPermissions, NSFileSystemFileNumber. Links are not followed.
    Ref<NSDictionary> attributesOfItemAtPath(const Ref<NSString>& path, Ref<NSError>* error) const;
    // Sets NSFileModificationDate and NSFilePosixPermissions; other keys are ignored.
    bool setAttributesOfItemAtPath(const Ref<NSDictionary>& attributes, const Ref<NSString>& path, Ref<NSError>* error);

    Ref<NSArray> URLsForDirectory(NSSearchPathDirectory directory, NSSearchPathDomainMask domains) const;
    Ref<NSURL> temporaryDirectory() const;
    Ref<NSString> currentDirectoryPath() const;
};

// The application container's folders: Documents, Library, Library/Caches and Library/Application
// Support for the user domain (created on first request); an empty array for other domains.
// Without tilde expansion the paths start with "~".
Ref<NSArray> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory, NSSearchPathDomainMask domains, bool expandTilde);
Ref<NSString> NSHomeDirectory();      // the application container
Ref<NSString> NSTemporaryDirectory(); // its tmp/ folder, with a trailing "/"
