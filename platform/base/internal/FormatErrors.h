// The errors the format readers and writers hand back: NSCocoaErrorDomain with the platform's
// codes, a localized description and an "NSDebugDescription" that names the fault.
#pragma once

#include "platform/base/Forward.h"

#include <string>

namespace dv::internal::base {

enum : NSInteger {
    kPropertyListReadCorruptError = 3840,
    kPropertyListReadUnknownVersionError = 3841,
    kPropertyListReadStreamError = 3842,
    kPropertyListWriteStreamError = 3851,
    kPropertyListWriteInvalidError = 3852,
    kCoderReadCorruptError = 4864,
    kCoderValueNotFoundError = 4865,
    kCoderInvalidValueError = 4866,
};

Ref<NSError> makeCocoaError(NSInteger code, const std::string& debugDescription);
// Stores the error when the caller gave a slot.
inline void setError(Ref<NSError>* slot, Ref<NSError> error)
{
    if (slot)
        *slot = std::move(error);
}

} // namespace dv::internal::base
