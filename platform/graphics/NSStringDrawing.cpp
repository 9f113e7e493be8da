#include "platform/graphics/NSStringDrawing.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/internal/TextEngine.h"

namespace {

dv::internal::graphics::FontRequest fontFrom(const Ref<NSDictionary>& attributes)
{
    Ref<UIFont> font = attributes ? dv::as<UIFont>(attributes->objectForKey(NSFontAttributeName)) : nil;
    if (!font)
        return {12, false};
    return {font->pointSize(), font->isBold()};
}

} // namespace

CGSize sizeWithAttributes(const Ref<NSString>& string, const Ref<NSDictionary>& attributes)
{
    if (!string)
        return CGSizeZero;
    return dv::internal::graphics::measureText(string->utf8(), fontFrom(attributes), 0, 1e300);
}

CGRect boundingRectWithSize(const Ref<NSString>& string, CGSize size, NSStringDrawingOptions options,
    const Ref<NSDictionary>& attributes, const id&)
{
    if (!string)
        return CGRectZero;
    const bool lines = options & NSStringDrawingUsesLineFragmentOrigin;
    const CGFloat maxHeight = lines && size.height > 0 ? size.height : 1e300;
    const CGSize measured = dv::internal::graphics::measureText(string->utf8(), fontFrom(attributes), lines ? size.width : 0, maxHeight);
    return CGRectMake(0, 0, measured.width, measured.height);
}

void drawAtPointWithAttributes(const Ref<NSString>& string, CGPoint point, const Ref<NSDictionary>& attributes)
{
    const CGSize s = sizeWithAttributes(string, attributes);
    drawInRectWithAttributes(string, CGRectMake(point.x, point.y, s.width + 1, s.height + 1), attributes);
}

void drawInRectWithAttributes(const Ref<NSString>& string, CGRect rect, const Ref<NSDictionary>& attributes)
{
    Ref<UIFont> font = attributes ? dv::as<UIFont>(attributes->objectForKey(NSFontAttributeName)) : nil;
    Ref<UIColor> color = attributes ? dv::as<UIColor>(attributes->objectForKey(NSForegroundColorAttributeName)) : nil;
    dv::drawText(string, rect, font ? font : UIFont::systemFontOfSize(12), color ? color : UIColor::blackColor(), NSTextAlignmentLeft,
        true);
}

namespace dv {

void drawText(const Ref<NSString>& string, CGRect rect, const Ref<UIFont>& font, const Ref<UIColor>& color,
    const TextDrawingOptions& options)
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context || !string || !font)
        return;
    RGBA c = rgbaOf(color ? color->CGColor() : nil);
    c.a *= context->state().alpha;
    internal::graphics::DrawOptions o;
    o.alignment = int(options.alignment);
    o.wrap = options.wrap;
    o.maxLines = long(std::max<NSInteger>(0, options.numberOfLines));
    o.truncateTail = options.truncateTail;
    o.truncateAt = options.truncation == NSLineBreakByTruncatingHead ? 1
        : options.truncation == NSLineBreakByTruncatingMiddle    ? 2
        : options.truncation == NSLineBreakByTruncatingTail      ? 3
                                                                 : 0;
    o.centreVertically = options.centreVertically;
    internal::graphics::drawText(context->canvas(), string->utf8(), {font->pointSize(), font->isBold()}, rect, c, o);
}

void drawText(const Ref<NSString>& string, CGRect rect, const Ref<UIFont>& font, const Ref<UIColor>& color, NSTextAlignment alignment,
    bool wrap)
{
    TextDrawingOptions options;
    options.alignment = alignment;
    options.wrap = wrap;
    drawText(string, rect, font, color, options);
}

CGSize measureText(const Ref<NSString>& string, const Ref<UIFont>& font, CGFloat width, NSInteger numberOfLines)
{
    if (!string || !font)
        return CGSizeZero;
    return internal::graphics::measureText(string->utf8(), {font->pointSize(), font->isBold()}, width, 1e300,
        long(std::max<NSInteger>(0, numberOfLines)));
}

std::vector<CaretLine> caretLines(const Ref<NSString>& string, const Ref<UIFont>& font, CGFloat width, NSTextAlignment alignment)
{
    const std::string text = string ? string->utf8() : std::string();
    const auto used = font ? font : UIFont::systemFontOfSize(12);
    // UTF-16 units before each UTF-8 byte that starts a character (and the text's end).
    std::vector<NSUInteger> units(text.size() + 1, 0);
    NSUInteger count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        units[i] = count;
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80)
            count += byte >= 0xF0 ? 2 : 1;
    }
    units[text.size()] = count;
    std::vector<CaretLine> lines;
    for (const auto& line : internal::graphics::caretLines(text, { used->pointSize(), used->isBold() }, width, int(alignment))) {
        CaretLine out;
        out.range = NSMakeRange(units[line.start], units[line.end] - units[line.start]);
        out.top = line.top;
        out.height = line.height;
        out.stops.reserve(line.stops.size());
        for (const auto& [at, x] : line.stops)
            out.stops.emplace_back(units[at], x);
        lines.push_back(std::move(out));
    }
    return lines;
}

} // namespace dv
