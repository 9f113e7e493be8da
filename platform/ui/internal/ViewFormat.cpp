#include "platform/ui/internal/ViewFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dv::internal {

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

} // namespace dv::internal
