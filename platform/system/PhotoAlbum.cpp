#include "platform/system/PhotoAlbum.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/NSValue.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/system/SystemPaths.h"
#include "platform/system/internal/FileOps.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

const Ref<NSString> ALAssetsLibraryErrorDomain = "ALAssetsLibraryErrorDomain"_ns;

namespace {

dv::Mutex s_writeMutex; // one save at a time, so two saves never pick the same name

Ref<NSError> albumError(NSInteger code, const std::string& reason)
{
    return NSError::errorWithDomain(ALAssetsLibraryErrorDomain, code,
        NSDictionary::of({ { NSLocalizedDescriptionKey, code == ALAssetsLibraryAccessUserDeniedError ? "User denied access"_ns : "Write failed"_ns },
                           { NSLocalizedFailureReasonErrorKey, NSString::fromUTF8(reason) } }));
}

int nextNumber(const std::string& folder)
{
    int highest = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 8 && name.starts_with("IMG_"))
            highest = std::max(highest, std::atoi(name.c_str() + 4));
    }
    return highest + 1;
}

// The whole save, off the main thread; answers the error to report, nil on success.
Ref<NSError> save(const Ref<UIImage>& image)
{
    if (!dv::PrivacyAccess::waitForAccess(dv::PrivacyService::photos))
        return albumError(ALAssetsLibraryAccessUserDeniedError, "The user has not allowed access to the photo album.");
    if (!image)
        return albumError(ALAssetsLibraryWriteFailedError, "There is no image to save.");
    auto png = UIImagePNGRepresentation(image);
    if (!png || png->length() == 0)
        return albumError(ALAssetsLibraryWriteFailedError, "The image could not be encoded.");
    dv::MutexLocker lock(s_writeMutex);
    const std::string folder = dv::PhotoAlbum::folder();
    if (!dv::SystemPaths::ensureDirectory(folder))
        return albumError(ALAssetsLibraryWriteFailedError, "The album folder cannot be created: " + folder);
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d.PNG", nextNumber(folder));
    int posixError = 0;
    if (!dv::internal::system::replaceFileAtomically(folder + "/" + name, png->view(), posixError))
        return albumError(ALAssetsLibraryWriteFailedError, std::string("The picture could not be written: ") + std::strerror(posixError));
    return nil;
}

} // namespace

DV_DEFINE_CLASS(ALAssetsLibrary)
DV_DEFINE_CLASS(PHPhotoLibrary)

ALAuthorizationStatus ALAssetsLibrary::authorizationStatus()
{
    return static_cast<ALAuthorizationStatus>(dv::PrivacyAccess::status(dv::PrivacyService::photos));
}

PHAuthorizationStatus PHPhotoLibrary::authorizationStatus()
{
    return static_cast<PHAuthorizationStatus>(dv::PrivacyAccess::status(dv::PrivacyService::photos));
}

void PHPhotoLibrary::requestAuthorization(std::function<void(PHAuthorizationStatus status)> handler)
{
    dv::PrivacyAccess::requestAccess(dv::PrivacyService::photos, [handler = std::move(handler)](bool granted) {
        if (handler)
            handler(granted ? PHAuthorizationStatusAuthorized : PHAuthorizationStatusDenied);
    });
}

void UIImageWriteToSavedPhotosAlbum(const Ref<UIImage>& image, const id& completionTarget, SEL completionSelector, void* contextInfo)
{
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [image, completionTarget, completionSelector, contextInfo] {
        auto error = save(image);
        if (error)
            NSLog("photo album: %@", error);
        if (!completionTarget || !completionSelector)
            return;
        dispatch_async(dispatch_get_main_queue(), [image, completionTarget, completionSelector, contextInfo, error] {
            if (!completionTarget->respondsToSelector(completionSelector)) {
                NSLog("photo album: %@ does not respond to %s", completionTarget, completionSelector.name());
                return;
            }
            const id args[] = { image, error, NSValue::valueWithPointer(contextInfo) };
            completionTarget->performSelector(completionSelector, args);
        });
    });
}

namespace dv {

std::string PhotoAlbum::folder() { return SystemPaths::deviceFolder() + "/album"; }
void PhotoAlbum::setAccessAllowed(bool allowed)
{
    PrivacyAccess::setStatus(PrivacyService::photos, allowed ? PrivacyStatus::authorized : PrivacyStatus::denied);
}

bool PhotoAlbum::accessAllowed() { return PrivacyAccess::status(PrivacyService::photos) == PrivacyStatus::authorized; }

Ref<NSArray> PhotoAlbum::savedImagePaths()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("IMG_"))
            names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<id> items;
    for (const auto& n : names)
        items.push_back(NSString::fromUTF8(n));
    return NSArray::fromVector(std::move(items));
}

} // namespace dv
