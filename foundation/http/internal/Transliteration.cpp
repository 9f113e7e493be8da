#include "foundation/http/internal/Transliteration.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>

namespace dv::internal::http {

std::optional<std::string> transliterate(const std::string& utf8, const char* transformID)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> transform(
        icu::Transliterator::createInstance(icu::UnicodeString::fromUTF8(transformID), UTRANS_FORWARD, status));
    if (U_FAILURE(status) || !transform)
        return std::nullopt;
    auto text = icu::UnicodeString::fromUTF8(utf8);
    transform->transliterate(text);
    std::string result;
    text.toUTF8String(result);
    return result;
}

} // namespace dv::internal::http
