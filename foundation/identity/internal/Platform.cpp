#include "foundation/identity/internal/Platform.h"

#include "platform/base/NSString.h"

namespace dv::internal {

// Placeholder until the bundle and version constants of the system layer are available.
double foundationVersionNumber() { return 1240.1; }
Ref<NSString> mainBundleIdentifier() { return nil; }
Ref<NSString> localizedString(const Ref<NSString>& text) { return text; }

} // namespace dv::internal

namespace dv::internal {

Ref<NSString> systemVersion() { return "9.3"_ns; }
Ref<NSUUID> identifierForVendor() { return nil; }

} // namespace dv::internal
