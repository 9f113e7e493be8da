// The photo album: saving an image writes it as a new PNG file into the device folder's album/
// (atomically: a reader never sees half a picture) and reports the outcome to the caller's target
// on the main queue. Refused access and write failures come back as errors, never as a crash.
//
//   UIImageWriteToSavedPhotosAlbum(image, page, SEL("image:didFinishSavingWithError:contextInfo:"), nullptr);
#pragma once

#include "platform/base/NSObject.h"

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

namespace dv {

class PhotoAlbum {
public:
    static std::string folder(); // <device folder>/album
    // Whether the user allows the application to add photos (default: allowed).
    static void setAccessAllowed(bool allowed);
    static bool accessAllowed();
    // The saved pictures, oldest first.
    static Ref<NSArray> savedImagePaths();
};

} // namespace dv
