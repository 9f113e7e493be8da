// Measuring and drawing strings with attributes, as the platform's NSString drawing additions
// (free functions, the string first). Text is laid out by pango with the pinned face (UIFont.h);
// results are in points with fractions, the same on every machine.
//
//   auto attrs = NSDictionary::of({{NSFontAttributeName, UIFont::systemFontOfSize(15)}});
//   CGSize one = sizeWithAttributes("介绍"_ns, attrs);
//   CGRect r = boundingRectWithSize(text, CGSizeMake(305, FLT_MAX),
//                                   NSStringDrawingUsesLineFragmentOrigin, attrs, nil);
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSAttributedString.h"
#include "platform/base/NSObject.h"

#include <utility>
#include <vector>

// The attributes read here (names in NSAttributedString.h): NSFontAttributeName, a UIFont (the
// system font of 12 when absent); NSForegroundColorAttributeName, a UIColor (black when absent);
// NSParagraphStyleAttributeName is accepted and not interpreted.

using NSStringDrawingOptions = NSInteger;
enum : NSStringDrawingOptions {
    NSStringDrawingUsesLineFragmentOrigin = 1 << 0,
    NSStringDrawingUsesFontLeading = 1 << 1,
    NSStringDrawingUsesDeviceMetrics = 1 << 3,
    NSStringDrawingTruncatesLastVisibleLine = 1 << 5,
};

enum NSTextAlignment : NSInteger {
    NSTextAlignmentLeft = 0,
    NSTextAlignmentCenter = 1,
    NSTextAlignmentRight = 2,
    NSTextAlignmentJustified = 3,
    NSTextAlignmentNatural = 4,
};

// Where text that does not fit breaks or loses its end (labels, buttons).
enum NSLineBreakMode : NSInteger {
    NSLineBreakByWordWrapping = 0,
    NSLineBreakByCharWrapping = 1,
    NSLineBreakByClipping = 2,
    NSLineBreakByTruncatingHead = 3,
    NSLineBreakByTruncatingTail = 4,
    NSLineBreakByTruncatingMiddle = 5,
};

class UIFont;
class UIColor;

// The size of the string on one line (new lines still start new lines). Empty or nil: zero.
CGSize sizeWithAttributes(const Ref<NSString>& string, const Ref<NSDictionary>& attributes);
// With NSStringDrawingUsesLineFragmentOrigin the text wraps at size.width (words, and inside words
// when one is too long) and lines past size.height are left out (the first line always counts);
// without it the text is measured as one line. The origin is zero.
CGRect boundingRectWithSize(const Ref<NSString>& string, CGSize size, NSStringDrawingOptions options,
    const Ref<NSDictionary>& attributes, const id& context);

// Draw into the current graphics context (UIKit coordinates), clipped to the rectangle.
void drawAtPointWithAttributes(const Ref<NSString>& string, CGPoint point, const Ref<NSDictionary>& attributes);
void drawInRectWithAttributes(const Ref<NSString>& string, CGRect rect, const Ref<NSDictionary>& attributes);

namespace dv {

// What the view layer (labels, buttons) needs beyond the attribute dictionary.
struct TextDrawingOptions {
    NSTextAlignment alignment = NSTextAlignmentLeft;
    bool wrap = true;          // wrap at the rectangle's width; false keeps each paragraph on one line
    NSInteger numberOfLines = 0; // 0: as many as fit
    bool truncateTail = false; // end the last line shown with "…" when text is left over
    // Otherwise, where the line that does not fit loses text (head, middle or tail truncation);
    // other modes truncate nothing.
    NSLineBreakMode truncation = NSLineBreakByClipping;
    bool centreVertically = false; // the lines shown stand in the middle of the rectangle's height
};

void drawText(const Ref<NSString>& string, CGRect rect, const Ref<UIFont>& font, const Ref<UIColor>& color,
    const TextDrawingOptions& options);
void drawText(const Ref<NSString>& string, CGRect rect, const Ref<UIFont>& font, const Ref<UIColor>& color,
    NSTextAlignment alignment, bool wrap);
// The size of the text wrapped at `width` (0: no wrapping), at most `numberOfLines` lines (0: all).
CGSize measureText(const Ref<NSString>& string, const Ref<UIFont>& font, CGFloat width, NSInteger numberOfLines);

// Where a caret can stand in the text as drawText draws it wrapped in a rectangle `width` wide with
// `alignment` (width 0: each paragraph on one line from the rectangle's left), one entry per line:
// its characters (UTF-16, without the line feed that ends it, so that a line that wraps without
// one ends where the next begins), its top and height from the rectangle's top, and the x from the
// rectangle's left of the start of every character on it and of its end, as drawn.
struct CaretLine {
    NSRange range {};
    CGFloat top = 0;
    CGFloat height = 0;
    std::vector<std::pair<NSUInteger, CGFloat>> stops;
};
std::vector<CaretLine> caretLines(const Ref<NSString>& string, const Ref<UIFont>& font, CGFloat width, NSTextAlignment alignment);

} // namespace dv
