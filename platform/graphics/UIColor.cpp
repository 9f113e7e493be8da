#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/graphics/UIColor.h"

#include "platform/base/NSString.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIGraphics.h"

DV_DEFINE_CLASS(UIColor)

Ref<UIColor> UIColor::initWithRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
    m_color = CGColorCreateGenericRGB(red, green, blue, alpha);
    return self<UIColor>();
}

Ref<UIColor> UIColor::initWithWhite(CGFloat white, CGFloat alpha)
{
    m_color = CGColorCreateGenericGray(white, alpha);
    return self<UIColor>();
}

Ref<UIColor> UIColor::initWithCGColor(const CGColorRef& color)
{
    if (!color)
        return nil;
    m_color = color;
    return self<UIColor>();
}

Ref<UIColor> UIColor::colorWithRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
    return alloc<UIColor>()->initWithRed(red, green, blue, alpha);
}

Ref<UIColor> UIColor::colorWithWhite(CGFloat white, CGFloat alpha) { return alloc<UIColor>()->initWithWhite(white, alpha); }
Ref<UIColor> UIColor::colorWithCGColor(const CGColorRef& color) { return alloc<UIColor>()->initWithCGColor(color); }

#define DV_NAMED_COLOR(name, expression)                        \
    Ref<UIColor> UIColor::name()                                \
    {                                                           \
        static const Ref<UIColor> color = dv::keepingForever([] { return expression; }); \
        return color;                                           \
    }

DV_NAMED_COLOR(blackColor, colorWithWhite(0, 1))
DV_NAMED_COLOR(darkGrayColor, colorWithWhite(1.0 / 3.0, 1))
DV_NAMED_COLOR(lightGrayColor, colorWithWhite(2.0 / 3.0, 1))
DV_NAMED_COLOR(whiteColor, colorWithWhite(1, 1))
DV_NAMED_COLOR(grayColor, colorWithWhite(0.5, 1))
DV_NAMED_COLOR(redColor, colorWithRed(1, 0, 0, 1))
DV_NAMED_COLOR(greenColor, colorWithRed(0, 1, 0, 1))
DV_NAMED_COLOR(blueColor, colorWithRed(0, 0, 1, 1))
DV_NAMED_COLOR(cyanColor, colorWithRed(0, 1, 1, 1))
DV_NAMED_COLOR(yellowColor, colorWithRed(1, 1, 0, 1))
DV_NAMED_COLOR(magentaColor, colorWithRed(1, 0, 1, 1))
DV_NAMED_COLOR(orangeColor, colorWithRed(1, 0.5, 0, 1))
DV_NAMED_COLOR(purpleColor, colorWithRed(0.5, 0, 0.5, 1))
DV_NAMED_COLOR(brownColor, colorWithRed(0.6, 0.4, 0.2, 1))
DV_NAMED_COLOR(clearColor, colorWithWhite(0, 0))

#undef DV_NAMED_COLOR

Ref<UIColor> UIColor::colorWithAlphaComponent(CGFloat alpha) const
{
    return alloc<UIColor>()->initWithCGColor(CGColorCreateCopyWithAlpha(m_color, alpha));
}

bool UIColor::getRed(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const
{
    const dv::RGBA c = dv::rgbaOf(m_color);
    if (red)
        *red = c.r;
    if (green)
        *green = c.g;
    if (blue)
        *blue = c.b;
    if (alpha)
        *alpha = c.a;
    return true;
}

bool UIColor::getWhite(CGFloat* white, CGFloat* alpha) const
{
    if (!isGray())
        return false;
    if (white)
        *white = m_color->components()[0];
    if (alpha)
        *alpha = m_color->alpha();
    return true;
}

void UIColor::set() const
{
    setFill();
    setStroke();
}

void UIColor::setFill() const
{
    CGContextSetFillColorWithColor(UIGraphicsGetCurrentContext(), m_color);
}

void UIColor::setStroke() const
{
    CGContextSetStrokeColorWithColor(UIGraphicsGetCurrentContext(), m_color);
}

bool UIColor::isEqual(const NSObject* other) const
{
    auto* o = dynamic_cast<const UIColor*>(other);
    return o && dv::equal(m_color, o->m_color);
}

NSUInteger UIColor::hash() const { return m_color->hash(); }

Ref<NSString> UIColor::description() const
{
    const auto& c = m_color->components();
    if (isGray())
        return NSString::stringWithFormat("UIExtendedGrayColorSpace %g %g", c[0], c[1]);
    return NSString::stringWithFormat("UIExtendedSRGBColorSpace %g %g %g %g", c[0], c[1], c[2], c[3]);
}

id UIColor::copyWithZone(NSZone*) const
{
    return std::const_pointer_cast<UIColor>(self<UIColor>());
}
