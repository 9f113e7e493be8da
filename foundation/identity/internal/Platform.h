// The few facts of the running platform that the identity classes read: the Foundation version
// (some keychain attributes exist only on newer systems), the main bundle's identifier and its
// localised texts, the device's system version and vendor identifier.
#pragma once

#include "platform/base/Forward.h"

namespace dv::internal::identity {

double foundationVersionNumber();
// nil when the bundle has no identifier.
Ref<NSString> mainBundleIdentifier();
// The main bundle's translation of `text` from its default table; `text` itself without one.
Ref<NSString> localizedString(const Ref<NSString>& text);
// The current device's system version ("9.3") and vendor identifier (nil when the container
// cannot keep one).
Ref<NSString> systemVersion();
Ref<NSUUID> identifierForVendor();

} // namespace dv::internal::identity
