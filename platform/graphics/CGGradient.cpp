#include "platform/base/ClassBuilder.h"
#include "platform/graphics/CGGradient.h"

#include <algorithm>

DV_DEFINE_CLASS(CGGradient)

Ref<CGGradient> CGGradient::initWithStops(std::vector<Stop> stops)
{
    if (stops.empty())
        return nil;
    std::stable_sort(stops.begin(), stops.end(), [](const Stop& a, const Stop& b) { return a.location < b.location; });
    m_stops = std::move(stops);
    return self<CGGradient>();
}

CGGradientRef CGGradientCreateWithColorComponents(const CGColorSpaceRef& space, const CGFloat* components,
    const CGFloat* locations, std::size_t count)
{
    const auto model = CGColorSpaceGetModel(space);
    if (!components || count == 0 || (model != kCGColorSpaceModelRGB && model != kCGColorSpaceModelMonochrome))
        return nil;
    const std::size_t n = space->numberOfComponents() + 1;
    std::vector<CGGradient::Stop> stops;
    for (std::size_t i = 0; i < count; ++i) {
        const CGFloat location = locations ? locations[i] : (count == 1 ? 0 : CGFloat(i) / CGFloat(count - 1));
        stops.push_back({location, dv::rgbaOf(CGColorCreate(space, components + i * n))});
    }
    return alloc<CGGradient>()->initWithStops(std::move(stops));
}

CGGradientRef CGGradientCreateWithColors(const CGColorSpaceRef&, const std::vector<CGColorRef>& colors, const CGFloat* locations)
{
    std::vector<CGGradient::Stop> stops;
    const std::size_t count = colors.size();
    for (std::size_t i = 0; i < count; ++i) {
        const CGFloat location = locations ? locations[i] : (count == 1 ? 0 : CGFloat(i) / CGFloat(count - 1));
        stops.push_back({location, dv::rgbaOf(colors[i])});
    }
    return alloc<CGGradient>()->initWithStops(std::move(stops));
}
