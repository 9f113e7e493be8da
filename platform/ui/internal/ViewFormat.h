// Text forms of view values shared by the description, the tree dump and the driver: numbers
// with at most two decimals and no trailing zeros ("10", "0.5"), frames "(x y; w h)", colours
// "#rrggbb" (or "#rrggbbaa" when not opaque), transforms "[a b c d tx ty]" and quoted text.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/graphics/CGColor.h"
#include "platform/ui/Forward.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dv {
// As UIView.h declares it.
using DescriptionFields = std::vector<std::pair<std::string, std::string>>;
}

namespace dv::internal::uikit {

struct ViewFormat {
    static std::string number(CGFloat value);
    static std::string frame(CGRect rect);
    static std::string color(const CGColorRef& color);
    static std::string transform(CGAffineTransform t);
    // In double quotes, with quotes, backslashes and line breaks escaped.
    static std::string quoted(std::string_view text);

    // The dump's fields of what text is drawn with and in: font="NAME SIZE", color=#rrggbb (none
    // for a nil font or colour).
    static void appendTextLook(DescriptionFields& fields, const Ref<UIFont>& font, const Ref<UIColor>& color);
    // resource="NAME" for a picture found by name; frames=N duration=S for an animated one.
    static void appendImage(DescriptionFields& fields, const Ref<UIImage>& image);
    // keyboard=KIND for a keyboard other than the default one ("number-pad", "phone-pad", ...).
    static void appendKeyboardType(DescriptionFields& fields, NSInteger type);
};

} // namespace dv::internal::uikit
