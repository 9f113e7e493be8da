// UIColor: an RGB or grey colour with alpha, the named colours, and setting a colour as the
// current context's fill or stroke. Immutable; colours of different spaces (grey and RGB) are
// never equal, as on the platform.
//
//   auto pink = UIColor::colorWithRed(244 / 255.0, 98 / 255.0, 113 / 255.0, 1);
//   pink->colorWithAlphaComponent(0.1)->setFill();
#pragma once

#include "platform/base/NSObject.h"
#include "platform/graphics/CGColor.h"

class UIColor : public NSObject, public NSCopying {
    DV_CLASS(UIColor, NSObject)

    UIColor() = default;
    Ref<UIColor> initWithRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
    Ref<UIColor> initWithWhite(CGFloat white, CGFloat alpha);
    Ref<UIColor> initWithCGColor(const CGColorRef& color);

    static Ref<UIColor> colorWithRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
    static Ref<UIColor> colorWithWhite(CGFloat white, CGFloat alpha);
    static Ref<UIColor> colorWithCGColor(const CGColorRef& color);

    static Ref<UIColor> blackColor();
    static Ref<UIColor> darkGrayColor();
    static Ref<UIColor> lightGrayColor();
    static Ref<UIColor> whiteColor();
    static Ref<UIColor> grayColor();
    static Ref<UIColor> redColor();
    static Ref<UIColor> greenColor();
    static Ref<UIColor> blueColor();
    static Ref<UIColor> cyanColor();
    static Ref<UIColor> yellowColor();
    static Ref<UIColor> magentaColor();
    static Ref<UIColor> orangeColor();
    static Ref<UIColor> purpleColor();
    static Ref<UIColor> brownColor();
    static Ref<UIColor> clearColor();

    Ref<UIColor> colorWithAlphaComponent(CGFloat alpha) const;
    CGColorRef CGColor() const { return m_color; }
    // False when the colour is not in the asked space (a grey colour answers RGB too, as the
    // platform converts it).
    bool getRed(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const;
    bool getWhite(CGFloat* white, CGFloat* alpha) const;
    CGFloat alphaComponent() const { return m_color->alpha(); }
    bool isGray() const { return CGColorSpaceGetModel(m_color->colorSpace()) == kCGColorSpaceModelMonochrome; }

    // Sets the colour on the current graphics context (nothing happens without one).
    void set() const;
    void setFill() const;
    void setStroke() const;

    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    // "UIExtendedSRGBColorSpace 1 0 0 1" / "UIExtendedGrayColorSpace 1 1".
    Ref<NSString> description() const override;
    id copyWithZone(NSZone* zone) const override;

private:
    CGColorRef m_color;
};
