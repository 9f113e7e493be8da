// CGGradient: colour stops along a line or between two circles, drawn with
// CGContextDrawLinearGradient / CGContextDrawRadialGradient. Immutable.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/graphics/CGColor.h"

#include <vector>

using CGGradientDrawingOptions = std::uint32_t;
enum : CGGradientDrawingOptions {
    kCGGradientDrawsBeforeStartLocation = 1,
    kCGGradientDrawsAfterEndLocation = 2,
};

class CGGradient : public NSObject {
    DV_CLASS(CGGradient, NSObject)

    struct Stop {
        CGFloat location = 0;
        dv::RGBA color;
    };

    CGGradient() = default;
    Ref<CGGradient> initWithStops(std::vector<Stop> stops);
    const std::vector<Stop>& stops() const { return m_stops; }

private:
    std::vector<Stop> m_stops;
};

using CGGradientRef = Ref<CGGradient>;

// `components` holds `count` colours of the space's components plus alpha; nil `locations` spreads
// the stops evenly from 0 to 1. nil for a space that is neither grey nor RGB or no stops.
CGGradientRef CGGradientCreateWithColorComponents(const CGColorSpaceRef& space, const CGFloat* components,
    const CGFloat* locations, std::size_t count);
CGGradientRef CGGradientCreateWithColors(const CGColorSpaceRef& space, const std::vector<CGColorRef>& colors,
    const CGFloat* locations);
