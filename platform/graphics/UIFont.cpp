#include "platform/base/ClassBuilder.h"
#include "platform/graphics/UIFont.h"

#include "platform/base/NSString.h"
#include "platform/graphics/internal/TextEngine.h"

#include <functional>

DV_DEFINE_CLASS(UIFont)

namespace {
constexpr const char* kRegularName = "WenQuanYiMicroHei";
constexpr const char* kBoldName = "WenQuanYiMicroHei-Bold";
}

Ref<UIFont> UIFont::initWithName(const Ref<NSString>& fontName, CGFloat pointSize, bool bold)
{
    if (!fontName)
        return nil;
    m_name = fontName;
    m_size = pointSize > 0 ? pointSize : 0;
    m_bold = bold;
    return self<UIFont>();
}

Ref<UIFont> UIFont::systemFontOfSize(CGFloat fontSize) { return alloc<UIFont>()->initWithName(NSString::fromUTF8(kRegularName), fontSize, false); }

Ref<UIFont> UIFont::boldSystemFontOfSize(CGFloat fontSize)
{
    return alloc<UIFont>()->initWithName(NSString::fromUTF8(kBoldName), fontSize, true);
}

Ref<UIFont> UIFont::fontWithName(const Ref<NSString>& fontName, CGFloat fontSize)
{
    if (!fontName)
        return nil;
    const bool bold = fontName->utf8().find("Bold") != std::string::npos;
    return alloc<UIFont>()->initWithName(fontName, fontSize, bold);
}

Ref<UIFont> UIFont::fontWithSize(CGFloat fontSize) const { return alloc<UIFont>()->initWithName(m_name, fontSize, m_bold); }

Ref<NSString> UIFont::familyName() const { return NSString::fromUTF8(dv::internal::graphics::pinnedFamily()); }

CGFloat UIFont::ascender() const { return dv::internal::graphics::fontMetrics({m_size, m_bold}).ascender; }
CGFloat UIFont::descender() const { return -dv::internal::graphics::fontMetrics({m_size, m_bold}).descender; }
CGFloat UIFont::lineHeight() const { return dv::internal::graphics::fontMetrics({m_size, m_bold}).lineHeight; }

bool UIFont::isEqual(const NSObject* other) const
{
    auto* o = dynamic_cast<const UIFont*>(other);
    return o && o->m_size == m_size && o->m_bold == m_bold && dv::equal(o->m_name, m_name);
}

NSUInteger UIFont::hash() const { return (m_name ? m_name->hash() : 0) * 31 + std::hash<CGFloat>()(m_size); }

Ref<NSString> UIFont::description() const
{
    return NSString::stringWithFormat("<UIFont: %p> font-family: \"%s\"; font-weight: %s; font-style: normal; font-size: %gpt",
        static_cast<const void*>(this), dv::internal::graphics::pinnedFamily(), m_bold ? "bold" : "normal", m_size);
}

id UIFont::copyWithZone(NSZone*) const { return std::const_pointer_cast<UIFont>(self<UIFont>()); }
