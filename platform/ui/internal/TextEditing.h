// Small pieces of text editing shared by text fields and text views; ranges in UTF-16 units.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"

class NSString;

namespace dv::internal::uikit {

// The range cut to a text of `length` units.
NSRange clampRange(NSRange range, NSUInteger length);
// The last character of a non-empty text (a surrogate pair counts as one).
NSRange lastComposedCharacter(const Ref<NSString>& text);
// The character before `index` (a surrogate pair counts as one); empty at 0.
NSRange composedCharacterBefore(const Ref<NSString>& text, NSUInteger index);

} // namespace dv::internal::uikit
