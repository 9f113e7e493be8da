// CGColor: a colour in a device colour space (grey or RGB), components then alpha. Immutable.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/graphics/CGColorSpace.h"

#include <vector>

class CGColor : public NSObject {
    DV_CLASS(CGColor, NSObject)

    CGColor() = default;
    // `components` holds the space's components followed by alpha.
    Ref<CGColor> initWithSpace(CGColorSpaceRef space, std::vector<CGFloat> components);

    const CGColorSpaceRef& colorSpace() const { return m_space; }
    const std::vector<CGFloat>& components() const { return m_components; }
    CGFloat alpha() const { return m_components.empty() ? 1.0 : m_components.back(); }

    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;

private:
    CGColorSpaceRef m_space;
    std::vector<CGFloat> m_components;
};

using CGColorRef = Ref<CGColor>;

// nil when the space is neither grey nor RGB.
CGColorRef CGColorCreate(const CGColorSpaceRef& space, const CGFloat* components);
CGColorRef CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
CGColorRef CGColorCreateGenericGray(CGFloat gray, CGFloat alpha);
CGColorRef CGColorCreateCopyWithAlpha(const CGColorRef& color, CGFloat alpha);
const CGFloat* CGColorGetComponents(const CGColorRef& color);
std::size_t CGColorGetNumberOfComponents(const CGColorRef& color);
CGFloat CGColorGetAlpha(const CGColorRef& color);
CGColorSpaceRef CGColorGetColorSpace(const CGColorRef& color);
bool CGColorEqualToColor(const CGColorRef& a, const CGColorRef& b);

namespace dv {

struct RGBA {
    CGFloat r = 0, g = 0, b = 0, a = 0;
    bool operator==(const RGBA&) const = default;
};

// The colour as RGB with alpha; transparent black for nil.
RGBA rgbaOf(const CGColorRef& color);

} // namespace dv
