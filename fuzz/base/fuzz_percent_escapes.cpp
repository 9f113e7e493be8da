// Percent escapes in both directions on arbitrary text: removing them answers nil or text, and
// text escaped with any of the URL character sets comes back unchanged.
#include "platform/base/NSCharacterSet.h"
#include "platform/base/NSString.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto text = NSString::fromUTF8(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!text)
        return 0;
    auto removed = text->stringByRemovingPercentEncoding();
    const Ref<NSCharacterSet> sets[] = { NSCharacterSet::URLQueryAllowedCharacterSet(), NSCharacterSet::URLPathAllowedCharacterSet(),
        NSCharacterSet::URLHostAllowedCharacterSet(), NSCharacterSet::URLFragmentAllowedCharacterSet(),
        NSCharacterSet::URLUserAllowedCharacterSet(), NSCharacterSet::URLPasswordAllowedCharacterSet() };
    for (const auto& allowed : sets) {
        for (const auto& original : { text, removed }) {
            if (!original)
                continue;
            auto escaped = original->stringByAddingPercentEncodingWithAllowedCharacters(allowed);
            if (!escaped)
                continue; // text that is not valid UTF-16 cannot be escaped
            auto back = escaped->stringByRemovingPercentEncoding();
            if (!back || !back->isEqualToString(original))
                std::abort();
        }
    }
    return 0;
}
