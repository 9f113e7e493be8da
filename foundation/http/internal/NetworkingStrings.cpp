#include "foundation/http/internal/NetworkingStrings.h"

#include "platform/base/NSString.h"
#include "platform/system/NSBundle.h"

namespace dv::internal::http {

Ref<NSString> networkingString(const char* english)
{
    auto key = NSString::stringWithUTF8String(english);
    auto bundle = NSBundle::mainBundle();
    if (!bundle)
        return key;
    auto text = bundle->localizedStringForKey(key, ""_ns, "PNNetworking"_ns);
    return text ? text : key;
}

} // namespace dv::internal::http
