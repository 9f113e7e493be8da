#include "platform/base/ClassBuilder.h"
#include "platform/graphics/CGColor.h"

#include "platform/base/NSString.h"

#include <algorithm>
#include <functional>

DV_DEFINE_CLASS(CGColor)

Ref<CGColor> CGColor::initWithSpace(CGColorSpaceRef space, std::vector<CGFloat> components)
{
    m_space = std::move(space);
    m_components = std::move(components);
    for (auto& c : m_components)
        c = std::clamp(c, 0.0, 1.0);
    return self<CGColor>();
}

bool CGColor::isEqual(const NSObject* other) const
{
    auto* o = dynamic_cast<const CGColor*>(other);
    if (!o)
        return false;
    return CGColorSpaceGetModel(m_space) == CGColorSpaceGetModel(o->m_space) && m_components == o->m_components;
}

NSUInteger CGColor::hash() const
{
    NSUInteger h = NSUInteger(CGColorSpaceGetModel(m_space)) + 1;
    for (CGFloat c : m_components)
        h = h * 31 + std::hash<CGFloat>()(c);
    return h;
}

Ref<NSString> CGColor::description() const
{
    std::string text = "<CGColor> [";
    text += CGColorSpaceGetModel(m_space) == kCGColorSpaceModelMonochrome ? "Gray" : "RGB";
    text += "] (";
    for (std::size_t i = 0; i < m_components.size(); ++i) {
        if (i)
            text += " ";
        text += dv::format("%g", {dv::FormatArg(m_components[i])});
    }
    text += ")";
    return NSString::fromUTF8(text);
}

CGColorRef CGColorCreate(const CGColorSpaceRef& space, const CGFloat* components)
{
    const auto model = CGColorSpaceGetModel(space);
    if (!components || (model != kCGColorSpaceModelRGB && model != kCGColorSpaceModelMonochrome))
        return nil;
    const std::size_t n = space->numberOfComponents() + 1;
    return alloc<CGColor>()->initWithSpace(space, std::vector<CGFloat>(components, components + n));
}

CGColorRef CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
    return alloc<CGColor>()->initWithSpace(CGColorSpaceCreateDeviceRGB(), {red, green, blue, alpha});
}

CGColorRef CGColorCreateGenericGray(CGFloat gray, CGFloat alpha)
{
    return alloc<CGColor>()->initWithSpace(CGColorSpaceCreateDeviceGray(), {gray, alpha});
}

CGColorRef CGColorCreateCopyWithAlpha(const CGColorRef& color, CGFloat alpha)
{
    if (!color)
        return nil;
    auto components = color->components();
    if (!components.empty())
        components.back() = alpha;
    return alloc<CGColor>()->initWithSpace(color->colorSpace(), std::move(components));
}

const CGFloat* CGColorGetComponents(const CGColorRef& color) { return color ? color->components().data() : nullptr; }
std::size_t CGColorGetNumberOfComponents(const CGColorRef& color) { return color ? color->components().size() : 0; }
CGFloat CGColorGetAlpha(const CGColorRef& color) { return color ? color->alpha() : 0; }
CGColorSpaceRef CGColorGetColorSpace(const CGColorRef& color) { return color ? color->colorSpace() : nil; }
bool CGColorEqualToColor(const CGColorRef& a, const CGColorRef& b) { return dv::equal(a, b); }

namespace dv {

RGBA rgbaOf(const CGColorRef& color)
{
    if (!color)
        return {};
    const auto& c = color->components();
    if (CGColorSpaceGetModel(color->colorSpace()) == kCGColorSpaceModelMonochrome && c.size() >= 2)
        return {c[0], c[0], c[0], c[1]};
    if (c.size() >= 4)
        return {c[0], c[1], c[2], c[3]};
    return {};
}

} // namespace dv
