// Text forms of view values shared by the description, the tree dump and the driver: numbers
// with at most two decimals and no trailing zeros ("10", "0.5"), frames "(x y; w h)", colours
// "#rrggbb" (or "#rrggbbaa" when not opaque), transforms "[a b c d tx ty]" and quoted text.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/graphics/CGColor.h"

#include <string>
#include <string_view>

namespace dv::internal {

struct ViewFormat {
    static std::string number(CGFloat value);
    static std::string frame(CGRect rect);
    static std::string color(const CGColorRef& color);
    static std::string transform(CGAffineTransform t);
    // In double quotes, with quotes, backslashes and line breaks escaped.
    static std::string quoted(std::string_view text);
};

} // namespace dv::internal
