#include "platform/ui/internal/ViewFormat.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UITextInputTraits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dv::internal::uikit {

std::string ViewFormat::number(CGFloat value)
{
    if (!std::isfinite(value))
        return value != value ? "nan" : (value > 0 ? "inf" : "-inf");
    double rounded = std::round(value * 100) / 100;
    if (rounded == 0)
        rounded = 0; // no "-0"
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", rounded);
    std::string s = text;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s;
}

std::string ViewFormat::frame(CGRect r)
{
    return "(" + number(r.origin.x) + " " + number(r.origin.y) + "; " + number(r.size.width) + " " + number(r.size.height) + ")";
}

std::string ViewFormat::color(const CGColorRef& color)
{
    const RGBA c = rgbaOf(color);
    auto byte = [](CGFloat v) { return unsigned(std::lround(std::clamp<CGFloat>(v, 0, 1) * 255)); };
    char text[16];
    if (byte(c.a) == 255)
        std::snprintf(text, sizeof text, "#%02x%02x%02x", byte(c.r), byte(c.g), byte(c.b));
    else
        std::snprintf(text, sizeof text, "#%02x%02x%02x%02x", byte(c.r), byte(c.g), byte(c.b), byte(c.a));
    return text;
}

std::string ViewFormat::transform(CGAffineTransform t)
{
    return "[" + number(t.a) + " " + number(t.b) + " " + number(t.c) + " " + number(t.d) + " " + number(t.tx) + " " + number(t.ty) + "]";
}

std::string ViewFormat::quoted(std::string_view text)
{
    std::string out = "\"";
    for (char ch : text) {
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += ch;
        }
    }
    return out + "\"";
}

void ViewFormat::appendTextLook(DescriptionFields& fields, const Ref<UIFont>& font, const Ref<UIColor>& color)
{
    if (font)
        fields.emplace_back("font", dv::str(font->fontName()) + " " + number(font->pointSize()));
    if (color)
        fields.emplace_back("color", ViewFormat::color(color->CGColor()));
}

void ViewFormat::appendImage(DescriptionFields& fields, const Ref<UIImage>& image)
{
    if (!image)
        return;
    if (!image->resourceName().empty())
        fields.emplace_back("resource", image->resourceName());
    if (auto frames = image->images(); frames && frames->count() > 1) {
        fields.emplace_back("frames", std::to_string(frames->count()));
        fields.emplace_back("duration", number(image->duration()));
    }
}

void ViewFormat::appendKeyboardType(DescriptionFields& fields, NSInteger type)
{
    static const char* const names[] = { "default", "ascii", "numbers-and-punctuation", "url", "number-pad", "phone-pad",
        "name-phone-pad", "email", "decimal-pad", "twitter", "web-search" };
    if (type == UIKeyboardTypeDefault)
        return;
    fields.emplace_back("keyboard", type > 0 && type < NSInteger(std::size(names)) ? names[type] : std::to_string(type));
}

} // namespace dv::internal::uikit
