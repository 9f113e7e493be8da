// File facts about file URLs, as the platform's URL class answers them (reachability and resource
// values). NSURL lives in platform/base, which knows no file system; these are its file-system
// methods, written as functions with the URL first.
//
//   id isFolder; if (getResourceValue(url, &isFolder, NSURLIsDirectoryKey, nullptr)) ...
#pragma once

#include "platform/base/NSObject.h"

extern const Ref<NSString> NSURLIsDirectoryKey;            // NSNumber (bool)
extern const Ref<NSString> NSURLIsRegularFileKey;          // NSNumber (bool)
extern const Ref<NSString> NSURLIsHiddenKey;               // NSNumber (bool): the name starts with "."
extern const Ref<NSString> NSURLNameKey;                   // NSString
extern const Ref<NSString> NSURLContentModificationDateKey; // NSDate
extern const Ref<NSString> NSURLCreationDateKey;           // NSDate
extern const Ref<NSString> NSURLFileSizeKey;               // NSNumber; absent for folders
extern const Ref<NSString> NSURLFileAllocatedSizeKey;      // NSNumber; absent for folders
extern const Ref<NSString> NSURLTotalFileAllocatedSizeKey; // NSNumber; absent for folders
// NSNumber (bool): whether backups leave the item out. Kept as an extended attribute of the file
// ("user.dovrelta.excluded-from-backup"), so it stays with the file when it is moved.
extern const Ref<NSString> NSURLIsExcludedFromBackupKey;

// YES when the file URL names an existing item; NO with an error otherwise (also for a URL that
// is not a file URL).
bool checkResourceIsReachableAndReturnError(const Ref<NSURL>& url, Ref<NSError>* error);
// One value; YES with a nil value for a key that does not apply (a folder's size).
bool getResourceValue(const Ref<NSURL>& url, id* value, const Ref<NSString>& key, Ref<NSError>* error);
// The values of the given keys that apply; nil with an error when the item cannot be read.
Ref<NSDictionary> resourceValuesForKeys(const Ref<NSURL>& url, const Ref<NSArray>& keys, Ref<NSError>* error);
// Sets one value. Only NSURLIsExcludedFromBackupKey can be set; other keys, a missing item and a
// file system without extended attributes answer NO with an error.
bool setResourceValue(const Ref<NSURL>& url, const id& value, const Ref<NSString>& key, Ref<NSError>* error);
