// The preferred MIME type for a file-name extension, from our own table of the common types
// (case does not matter); nil for an extension the table does not know.
#pragma once

#include "platform/base/Forward.h"

namespace dv::internal::http {

Ref<NSString> preferredMIMETypeForExtension(const Ref<NSString>& extension);

} // namespace dv::internal::http
