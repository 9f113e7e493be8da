// Texts the HTTP layer shows to users: looked up in the main bundle's "PNNetworking" strings
// table with the English text as key; a missing entry gives the key itself.
#pragma once

#include "platform/base/Forward.h"

namespace dv::internal::http {

Ref<NSString> networkingString(const char* english);

} // namespace dv::internal::http
