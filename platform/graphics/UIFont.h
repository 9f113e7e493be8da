// UIFont: a face and a size in points. Every font is drawn and measured with the one pinned face
// (WenQuanYi Micro Hei), regular or synthesised bold, so text sizes do not depend on the fonts a
// machine has. Immutable; equal when name and size are equal.
#pragma once

#include "platform/base/NSObject.h"

class UIFont : public NSObject, public NSCopying {
    DV_CLASS(UIFont, NSObject)

    UIFont() = default;
    Ref<UIFont> initWithName(const Ref<NSString>& fontName, CGFloat pointSize, bool bold);

    static Ref<UIFont> systemFontOfSize(CGFloat fontSize);
    static Ref<UIFont> boldSystemFontOfSize(CGFloat fontSize);
    // Any name gives the pinned face; a name containing "Bold" gives its bold form. nil for a nil
    // name.
    static Ref<UIFont> fontWithName(const Ref<NSString>& fontName, CGFloat fontSize);
    Ref<UIFont> fontWithSize(CGFloat fontSize) const;

    Ref<NSString> fontName() const { return m_name; }
    Ref<NSString> familyName() const;
    CGFloat pointSize() const { return m_size; }
    bool isBold() const { return m_bold; }
    CGFloat ascender() const;
    CGFloat descender() const; // negative, as on the platform
    CGFloat lineHeight() const;

    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copyWithZone(NSZone* zone) const override;

private:
    Ref<NSString> m_name;
    CGFloat m_size = 0;
    bool m_bold = false;
};
