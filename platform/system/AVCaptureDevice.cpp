#include "platform/system/AVCaptureDevice.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/system/PrivacyAccess.h"

#include <atomic>

const Ref<NSString> AVMediaTypeVideo = "vide"_ns;
const Ref<NSString> AVMediaTypeAudio = "soun"_ns;

DV_DEFINE_CLASS(AVCaptureDevice)

namespace {

std::atomic<bool> s_rearPresent { true };
std::atomic<bool> s_frontPresent { true };

bool isVideo(const Ref<NSString>& mediaType) { return mediaType && mediaType->isEqual(AVMediaTypeVideo); }

} // namespace

AVAuthorizationStatus AVCaptureDevice::authorizationStatusForMediaType(const Ref<NSString>& mediaType)
{
    if (!isVideo(mediaType))
        return AVAuthorizationStatusAuthorized;
    return static_cast<AVAuthorizationStatus>(dv::PrivacyAccess::status(dv::PrivacyService::camera));
}

void AVCaptureDevice::requestAccessForMediaType(const Ref<NSString>& mediaType, std::function<void(bool granted)> handler)
{
    if (!isVideo(mediaType)) {
        if (handler)
            dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [handler = std::move(handler)] { handler(true); });
        return;
    }
    dv::PrivacyAccess::requestAccess(dv::PrivacyService::camera, std::move(handler));
}

namespace dv {

bool Cameras::isPresent(CameraPosition position)
{
    return position == CameraPosition::rear ? s_rearPresent.load() : s_frontPresent.load();
}

void Cameras::setPresent(CameraPosition position, bool present)
{
    (position == CameraPosition::rear ? s_rearPresent : s_frontPresent) = present;
}

void Cameras::reset()
{
    s_rearPresent = true;
    s_frontPresent = true;
}

} // namespace dv
