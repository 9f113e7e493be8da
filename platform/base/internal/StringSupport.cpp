#include "platform/base/internal/StringSupport.h"

#include "platform/base/NSException.h"
#include "platform/base/internal/SharedInstance.h"
#include "platform/base/internal/Utf.h"

#include <algorithm>
#include <cctype>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

namespace dv::internal::base {

Ref<NSString> makeString(std::string utf8)
{
    if (utf8.empty()) {
        static const Ref<NSString>& empty = sharedInstance(std::make_shared<NSString>());
        return empty;
    }
    return std::make_shared<NSString>(std::move(utf8));
}

void raiseStringRange(const char* method, NSUInteger index, NSUInteger length)
{
    NSException::raise(NSRangeException, std::string("-[NSString ") + method + "]: Range or index out of bounds (index "
                                             + std::to_string(index) + ", length " + std::to_string(length) + ")");
}

std::string mapCase(const std::string& s, CaseMapping mapping)
{
    bool ascii = std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        std::string out = s;
        for (char& c : out)
            c = mapping == CaseMapping::Upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                                              : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return out;
    }
    std::u16string in = utf8ToUtf16(s);
    std::u16string out(in.size() * 3 + 4, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n;
    auto* src = reinterpret_cast<const UChar*>(in.data());
    auto* dst = reinterpret_cast<UChar*>(out.data());
    auto cap = static_cast<int32_t>(out.size());
    auto len = static_cast<int32_t>(in.size());
    if (mapping == CaseMapping::Upper)
        n = u_strToUpper(dst, cap, src, len, "", &status);
    else if (mapping == CaseMapping::Lower)
        n = u_strToLower(dst, cap, src, len, "", &status);
    else
        n = u_strFoldCase(dst, cap, src, len, U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status))
        return s;
    out.resize(static_cast<std::size_t>(n));
    return utf16ToUtf8(out);
}

} // namespace dv::internal::base
