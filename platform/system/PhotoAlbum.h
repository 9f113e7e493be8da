// The photo album: saving an image writes it as a new PNG file into the device folder's album/
// (atomically: a reader never sees half a picture) and reports the outcome to the caller's target
// on the main queue. Refused access and write failures come back as errors, never as a crash.
// Access is the photos entry of dv::PrivacyAccess: the first save (or request) shows the prompt.
//
//   UIImageWriteToSavedPhotosAlbum(image, page, SEL("image:didFinishSavingWithError:contextInfo:"), nullptr);
#pragma once

#include "platform/base/NSObject.h"

#include <functional>
#include <string>

class UIImage;

extern const Ref<NSString> ALAssetsLibraryErrorDomain;
enum : NSInteger {
    ALAssetsLibraryWriteFailedError = -3304,
    ALAssetsLibraryWriteBusyError = -3305,
    ALAssetsLibraryAccessUserDeniedError = -3311,
};

// The completion selector receives three arguments: the image, the error (nil on success) and the
// context pointer boxed in an NSValue. The target is kept until the completion has run, as the
// platform keeps it.
void UIImageWriteToSavedPhotosAlbum(const Ref<UIImage>& image, const id& completionTarget, SEL completionSelector, void* contextInfo);

enum ALAuthorizationStatus : NSInteger {
    ALAuthorizationStatusNotDetermined = 0,
    ALAuthorizationStatusRestricted = 1,
    ALAuthorizationStatusDenied = 2,
    ALAuthorizationStatusAuthorized = 3,
};

class ALAssetsLibrary : public NSObject {
    DV_CLASS(ALAssetsLibrary, NSObject)

    ALAssetsLibrary() = default;
    static ALAuthorizationStatus authorizationStatus();
};

enum PHAuthorizationStatus : NSInteger {
    PHAuthorizationStatusNotDetermined = 0,
    PHAuthorizationStatusRestricted = 1,
    PHAuthorizationStatusDenied = 2,
    PHAuthorizationStatusAuthorized = 3,
};

class PHPhotoLibrary : public NSObject {
    DV_CLASS(PHPhotoLibrary, NSObject)

    PHPhotoLibrary() = default;
    static PHAuthorizationStatus authorizationStatus();
    // Shows the prompt when the user has not answered yet; the handler runs on a global queue.
    static void requestAuthorization(std::function<void(PHAuthorizationStatus status)> handler);
};

namespace dv {

class PhotoAlbum {
public:
    static std::string folder(); // <device folder>/album
    // Sets what the user allows now (as in the settings): authorised or denied.
    static void setAccessAllowed(bool allowed);
    static bool accessAllowed();
    // The saved pictures, oldest first.
    static Ref<NSArray> savedImagePaths();
};

} // namespace dv
