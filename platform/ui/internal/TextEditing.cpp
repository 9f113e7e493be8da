#include "platform/ui/internal/TextEditing.h"

#include "platform/base/NSString.h"

#include <algorithm>

namespace dv::internal::uikit {

NSRange clampRange(NSRange range, NSUInteger length)
{
    const NSUInteger location = std::min(range.location, length);
    return NSMakeRange(location, std::min(range.length, length - location));
}

NSRange composedCharacterBefore(const Ref<NSString>& text, NSUInteger index)
{
    index = std::min(index, text->length());
    if (index == 0)
        return NSMakeRange(0, 0);
    const unichar last = text->characterAtIndex(index - 1);
    if (index >= 2 && last >= 0xDC00 && last <= 0xDFFF) {
        const unichar first = text->characterAtIndex(index - 2);
        if (first >= 0xD800 && first <= 0xDBFF)
            return NSMakeRange(index - 2, 2);
    }
    return NSMakeRange(index - 1, 1);
}

NSRange lastComposedCharacter(const Ref<NSString>& text) { return composedCharacterBefore(text, text->length()); }

} // namespace dv::internal::uikit
