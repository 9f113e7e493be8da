#include "platform/base/internal/ICUNames.h"

#include <unicode/ucnv.h>

namespace dv::internal::base {

std::string canonicalConverterName(const std::string& name)
{
    for (const char* standard : {"IANA", "MIME"}) {
        UErrorCode status = U_ZERO_ERROR;
        const char* canonical = ucnv_getCanonicalName(name.c_str(), standard, &status);
        if (U_SUCCESS(status) && canonical)
            return canonical;
    }
    UErrorCode status = U_ZERO_ERROR;
    const char* alias = ucnv_getAlias(name.c_str(), 0, &status);
    if (U_SUCCESS(status) && alias)
        return alias;
    return {};
}

} // namespace dv::internal::base
