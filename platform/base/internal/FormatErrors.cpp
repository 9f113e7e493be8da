#include "platform/base/internal/FormatErrors.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"

namespace dv::internal::base {

static const char* descriptionForCode(NSInteger code)
{
    switch (code) {
    case kPropertyListReadCorruptError:
    case kCoderReadCorruptError:
        return "The data couldn’t be read because it isn’t in the correct format.";
    case kPropertyListReadUnknownVersionError:
        return "The data couldn’t be read because it has an unknown format version.";
    case kCoderValueNotFoundError:
        return "The data couldn’t be read because it is missing.";
    case kPropertyListWriteInvalidError:
    case kCoderInvalidValueError:
        return "The data couldn’t be written because it isn’t in the correct format.";
    default:
        return "The operation couldn’t be completed.";
    }
}

Ref<NSError> makeCocoaError(NSInteger code, const std::string& debugDescription)
{
    auto info = NSDictionary::of({
        {NSLocalizedDescriptionKey, NSString::fromUTF8(descriptionForCode(code))},
        {NSString::fromUTF8("NSDebugDescription"), NSString::fromUTF8(debugDescription)},
    });
    return NSError::errorWithDomain(NSCocoaErrorDomain, code, info);
}

} // namespace dv::internal::base
