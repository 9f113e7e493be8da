// The device's cameras: which are built in, and whether the user lets the application use them
// (the camera entry of dv::PrivacyAccess). The stand-in device has a rear and a front camera
// unless the runner or a test says otherwise. Thread-safe.
//
//   if (AVCaptureDevice::authorizationStatusForMediaType(AVMediaTypeVideo) == AVAuthorizationStatusDenied) ...
#pragma once

#include "platform/base/NSObject.h"

#include <functional>

extern const Ref<NSString> AVMediaTypeVideo;
extern const Ref<NSString> AVMediaTypeAudio;

enum AVAuthorizationStatus : NSInteger {
    AVAuthorizationStatusNotDetermined = 0,
    AVAuthorizationStatusRestricted = 1,
    AVAuthorizationStatusDenied = 2,
    AVAuthorizationStatusAuthorized = 3,
};

class AVCaptureDevice : public NSObject {
    DV_CLASS(AVCaptureDevice, NSObject)

    AVCaptureDevice() = default;
    // Video is the camera's entry; audio (no microphone here) is always authorised.
    static AVAuthorizationStatus authorizationStatusForMediaType(const Ref<NSString>& mediaType);
    // The handler runs on a global queue, after the prompt when the user has not answered yet.
    static void requestAccessForMediaType(const Ref<NSString>& mediaType, std::function<void(bool granted)> handler);
};

namespace dv {

enum class CameraPosition { rear, front };

class Cameras {
public:
    static bool isPresent(CameraPosition position);
    static void setPresent(CameraPosition position, bool present);
    static void reset(); // both present
};

} // namespace dv
