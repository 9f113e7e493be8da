#include "foundation/identity/internal/Platform.h"

#include "platform/base/NSString.h"
#include "platform/base/NSUUID.h"
#include "platform/system/FoundationVersion.h"
#include "platform/system/NSBundle.h"
#include "platform/system/UIDevice.h"

namespace dv::internal::identity {

double foundationVersionNumber() { return NSFoundationVersionNumber; }

Ref<NSString> mainBundleIdentifier()
{
    auto bundle = NSBundle::mainBundle();
    return bundle ? bundle->bundleIdentifier() : nil;
}

Ref<NSString> localizedString(const Ref<NSString>& text)
{
    auto bundle = NSBundle::mainBundle();
    return bundle && text ? bundle->localizedStringForKey(text, ""_ns, nil) : text;
}

Ref<NSString> systemVersion() { return UIDevice::currentDevice()->systemVersion(); }
Ref<NSUUID> identifierForVendor() { return UIDevice::currentDevice()->identifierForVendor(); }

} // namespace dv::internal::identity
