// Geometry: rectangle arithmetic with the platform's null/infinite rules, affine transforms, and
// the text forms of the geometry types.
#include "platform/base/Geometry.h"

#include "platform/base/NSString.h"

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <limits>

const CGRect CGRectNull = {{std::numeric_limits<CGFloat>::infinity(), std::numeric_limits<CGFloat>::infinity()}, {0, 0}};
const CGRect CGRectInfinite = {{-DBL_MAX / 2, -DBL_MAX / 2}, {DBL_MAX, DBL_MAX}};

CGRect UIEdgeInsetsInsetRect(CGRect rect, UIEdgeInsets insets)
{
    rect.origin.x += insets.left;
    rect.origin.y += insets.top;
    rect.size.width -= insets.left + insets.right;
    rect.size.height -= insets.top + insets.bottom;
    return rect;
}

bool CGPointEqualToPoint(CGPoint a, CGPoint b) { return a == b; }
bool CGSizeEqualToSize(CGSize a, CGSize b) { return a == b; }

bool CGRectEqualToRect(CGRect a, CGRect b)
{
    bool nullA = CGRectIsNull(a), nullB = CGRectIsNull(b);
    if (nullA || nullB)
        return nullA == nullB;
    return CGRectStandardize(a) == CGRectStandardize(b);
}

CGRect CGRectStandardize(CGRect rect)
{
    if (CGRectIsNull(rect))
        return CGRectNull;
    if (rect.size.width < 0) {
        rect.origin.x += rect.size.width;
        rect.size.width = -rect.size.width;
    }
    if (rect.size.height < 0) {
        rect.origin.y += rect.size.height;
        rect.size.height = -rect.size.height;
    }
    return rect;
}

CGFloat CGRectGetMinX(CGRect r) { return CGRectStandardize(r).origin.x; }
CGFloat CGRectGetMinY(CGRect r) { return CGRectStandardize(r).origin.y; }
CGFloat CGRectGetMaxX(CGRect r)
{
    r = CGRectStandardize(r);
    return r.origin.x + r.size.width;
}
CGFloat CGRectGetMaxY(CGRect r)
{
    r = CGRectStandardize(r);
    return r.origin.y + r.size.height;
}
CGFloat CGRectGetMidX(CGRect r)
{
    r = CGRectStandardize(r);
    return r.origin.x + r.size.width / 2;
}
CGFloat CGRectGetMidY(CGRect r)
{
    r = CGRectStandardize(r);
    return r.origin.y + r.size.height / 2;
}
CGFloat CGRectGetWidth(CGRect r) { return std::fabs(r.size.width); }
CGFloat CGRectGetHeight(CGRect r) { return std::fabs(r.size.height); }

bool CGRectIsNull(CGRect r)
{
    return (std::isinf(r.origin.x) && r.origin.x > 0) || (std::isinf(r.origin.y) && r.origin.y > 0);
}

bool CGRectIsEmpty(CGRect r) { return CGRectIsNull(r) || r.size.width == 0 || r.size.height == 0; }

bool CGRectIsInfinite(CGRect r) { return r == CGRectInfinite; }

bool CGRectContainsPoint(CGRect rect, CGPoint p)
{
    if (CGRectIsNull(rect))
        return false;
    rect = CGRectStandardize(rect);
    return p.x >= rect.origin.x && p.x < rect.origin.x + rect.size.width && p.y >= rect.origin.y
        && p.y < rect.origin.y + rect.size.height;
}

bool CGRectContainsRect(CGRect outer, CGRect inner)
{
    if (CGRectIsNull(inner))
        return true;
    if (CGRectIsNull(outer))
        return false;
    return CGRectEqualToRect(CGRectUnion(outer, inner), outer);
}

CGRect CGRectIntersection(CGRect a, CGRect b)
{
    if (CGRectIsNull(a) || CGRectIsNull(b))
        return CGRectNull;
    a = CGRectStandardize(a);
    b = CGRectStandardize(b);
    CGFloat x1 = std::max(a.origin.x, b.origin.x);
    CGFloat y1 = std::max(a.origin.y, b.origin.y);
    CGFloat x2 = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width);
    CGFloat y2 = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
    // Touching edges give a rectangle of zero width or height; a gap gives the null rectangle.
    if (!(x2 >= x1) || !(y2 >= y1))
        return CGRectNull;
    return {{x1, y1}, {x2 - x1, y2 - y1}};
}

bool CGRectIntersectsRect(CGRect a, CGRect b) { return !CGRectIsEmpty(CGRectIntersection(a, b)); }

CGRect CGRectUnion(CGRect a, CGRect b)
{
    if (CGRectIsNull(a))
        return CGRectStandardize(b);
    if (CGRectIsNull(b))
        return CGRectStandardize(a);
    a = CGRectStandardize(a);
    b = CGRectStandardize(b);
    CGFloat x1 = std::min(a.origin.x, b.origin.x);
    CGFloat y1 = std::min(a.origin.y, b.origin.y);
    CGFloat x2 = std::max(a.origin.x + a.size.width, b.origin.x + b.size.width);
    CGFloat y2 = std::max(a.origin.y + a.size.height, b.origin.y + b.size.height);
    return {{x1, y1}, {x2 - x1, y2 - y1}};
}

CGRect CGRectOffset(CGRect rect, CGFloat dx, CGFloat dy)
{
    if (CGRectIsNull(rect))
        return rect;
    rect = CGRectStandardize(rect);
    rect.origin.x += dx;
    rect.origin.y += dy;
    return rect;
}

CGRect CGRectInset(CGRect rect, CGFloat dx, CGFloat dy)
{
    if (CGRectIsNull(rect))
        return rect;
    rect = CGRectStandardize(rect);
    rect.origin.x += dx;
    rect.origin.y += dy;
    rect.size.width -= 2 * dx;
    rect.size.height -= 2 * dy;
    if (rect.size.width < 0 || rect.size.height < 0)
        return CGRectNull;
    return rect;
}

CGRect CGRectIntegral(CGRect rect)
{
    if (CGRectIsNull(rect) || CGRectIsInfinite(rect))
        return rect;
    rect = CGRectStandardize(rect);
    CGFloat x1 = std::floor(rect.origin.x), y1 = std::floor(rect.origin.y);
    CGFloat x2 = std::ceil(rect.origin.x + rect.size.width), y2 = std::ceil(rect.origin.y + rect.size.height);
    return {{x1, y1}, {x2 - x1, y2 - y1}};
}

// MARK: - Transforms

CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx, CGFloat ty)
{
    return {a, b, c, d, tx, ty};
}
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty) { return {1, 0, 0, 1, tx, ty}; }
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) { return {sx, 0, 0, sy, 0, 0}; }
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle)
{
    CGFloat s = std::sin(angle), c = std::cos(angle);
    return {c, s, -s, c, 0, 0};
}
CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty)
{
    return CGAffineTransformConcat(CGAffineTransformMakeTranslation(tx, ty), t);
}
CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy)
{
    return CGAffineTransformConcat(CGAffineTransformMakeScale(sx, sy), t);
}
CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle)
{
    return CGAffineTransformConcat(CGAffineTransformMakeRotation(angle), t);
}

CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2)
{
    return {t1.a * t2.a + t1.b * t2.c,
            t1.a * t2.b + t1.b * t2.d,
            t1.c * t2.a + t1.d * t2.c,
            t1.c * t2.b + t1.d * t2.d,
            t1.tx * t2.a + t1.ty * t2.c + t2.tx,
            t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

CGAffineTransform CGAffineTransformInvert(CGAffineTransform t)
{
    CGFloat det = t.a * t.d - t.b * t.c;
    if (det == 0 || !std::isfinite(det))
        return t;
    CGFloat a = t.d / det, b = -t.b / det, c = -t.c / det, d = t.a / det;
    return {a, b, c, d, -(t.tx * a + t.ty * c), -(t.tx * b + t.ty * d)};
}

bool CGAffineTransformIsIdentity(CGAffineTransform t) { return t == CGAffineTransformIdentity; }
bool CGAffineTransformEqualToTransform(CGAffineTransform a, CGAffineTransform b) { return a == b; }

CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t)
{
    return {t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

CGSize CGSizeApplyAffineTransform(CGSize s, CGAffineTransform t)
{
    return {t.a * s.width + t.c * s.height, t.b * s.width + t.d * s.height};
}

CGRect CGRectApplyAffineTransform(CGRect r, CGAffineTransform t)
{
    if (CGRectIsNull(r) || CGRectIsInfinite(r))
        return r;
    r = CGRectStandardize(r);
    CGFloat minX = r.origin.x, minY = r.origin.y, maxX = minX + r.size.width, maxY = minY + r.size.height;
    CGPoint corners[4] = {CGPointApplyAffineTransform({minX, minY}, t), CGPointApplyAffineTransform({maxX, minY}, t),
                          CGPointApplyAffineTransform({minX, maxY}, t), CGPointApplyAffineTransform({maxX, maxY}, t)};
    CGFloat x1 = corners[0].x, x2 = corners[0].x, y1 = corners[0].y, y2 = corners[0].y;
    for (const CGPoint& c : corners) {
        x1 = std::min(x1, c.x);
        x2 = std::max(x2, c.x);
        y1 = std::min(y1, c.y);
        y2 = std::max(y2, c.y);
    }
    return {{x1, y1}, {x2 - x1, y2 - y1}};
}

// MARK: - Text forms

namespace {

// The shortest text that reads back as the same double: 2 → "2", 0.5 → "0.5".
void appendNumber(std::string& out, CGFloat value)
{
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value > 0 ? "inf" : "-inf";
        return;
    }
    if (value == 0)
        value = 0; // no "-0"
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

std::string joined(std::initializer_list<CGFloat> values)
{
    std::string out;
    bool first = true;
    for (CGFloat v : values) {
        if (!first)
            out += ", ";
        first = false;
        appendNumber(out, v);
    }
    return out;
}

// Reads the numbers of a text form in order, skipping the punctuation between them. Missing
// numbers stay zero; anything that is not a number or the form's punctuation stops the scan.
template <std::size_t N>
void scanNumbers(const Ref<NSString>& s, CGFloat (&values)[N])
{
    for (CGFloat& v : values)
        v = 0;
    if (!s)
        return;
    const std::string& text = s->utf8();
    const char* p = text.data();
    const char* end = p + text.size();
    std::size_t index = 0;
    while (p < end && index < N) {
        char ch = *p;
        if (ch == '{' || ch == '}' || ch == '[' || ch == ']' || ch == ',' || ch == ' ' || ch == '\t' || ch == '\n') {
            ++p;
            continue;
        }
        const char* start = p;
        if (*start == '+')
            ++start;
        double value = 0;
        auto result = std::from_chars(start, end, value);
        if (result.ptr == start)
            return;
        if (result.ec != std::errc())
            value = 0; // out of the double's range
        values[index++] = value;
        p = result.ptr;
    }
}

} // namespace

std::string NSStringFromCGPointUTF8(CGPoint p) { return "{" + joined({p.x, p.y}) + "}"; }
std::string NSStringFromCGSizeUTF8(CGSize s) { return "{" + joined({s.width, s.height}) + "}"; }
std::string NSStringFromCGRectUTF8(CGRect r)
{
    return "{" + NSStringFromCGPointUTF8(r.origin) + ", " + NSStringFromCGSizeUTF8(r.size) + "}";
}
std::string NSStringFromUIEdgeInsetsUTF8(UIEdgeInsets i) { return "{" + joined({i.top, i.left, i.bottom, i.right}) + "}"; }
std::string NSStringFromCGAffineTransformUTF8(CGAffineTransform t)
{
    return "[" + joined({t.a, t.b, t.c, t.d, t.tx, t.ty}) + "]";
}

Ref<NSString> NSStringFromCGPoint(CGPoint p) { return NSString::fromUTF8(NSStringFromCGPointUTF8(p)); }
Ref<NSString> NSStringFromCGSize(CGSize s) { return NSString::fromUTF8(NSStringFromCGSizeUTF8(s)); }
Ref<NSString> NSStringFromCGRect(CGRect r) { return NSString::fromUTF8(NSStringFromCGRectUTF8(r)); }
Ref<NSString> NSStringFromUIEdgeInsets(UIEdgeInsets i) { return NSString::fromUTF8(NSStringFromUIEdgeInsetsUTF8(i)); }
Ref<NSString> NSStringFromCGAffineTransform(CGAffineTransform t)
{
    return NSString::fromUTF8(NSStringFromCGAffineTransformUTF8(t));
}
Ref<NSString> NSStringFromRange(NSRange r)
{
    return NSString::fromUTF8("{" + std::to_string(r.location) + ", " + std::to_string(r.length) + "}");
}

CGPoint CGPointFromString(const Ref<NSString>& s)
{
    CGFloat v[2];
    scanNumbers(s, v);
    return {v[0], v[1]};
}

CGSize CGSizeFromString(const Ref<NSString>& s)
{
    CGFloat v[2];
    scanNumbers(s, v);
    return {v[0], v[1]};
}

CGRect CGRectFromString(const Ref<NSString>& s)
{
    CGFloat v[4];
    scanNumbers(s, v);
    return {{v[0], v[1]}, {v[2], v[3]}};
}

UIEdgeInsets UIEdgeInsetsFromString(const Ref<NSString>& s)
{
    CGFloat v[4];
    scanNumbers(s, v);
    return {v[0], v[1], v[2], v[3]};
}

CGAffineTransform CGAffineTransformFromString(const Ref<NSString>& s)
{
    CGFloat v[6];
    scanNumbers(s, v);
    return {v[0], v[1], v[2], v[3], v[4], v[5]};
}
