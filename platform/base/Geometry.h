// The geometry types, in points: CGPoint, CGSize, CGRect (with the platform's rules for
// standardising negative sizes, the null and infinite rectangles), UIEdgeInsets and
// CGAffineTransform. Plain values, no allocation.
#pragma once

#include "platform/base/Forward.h"

#include <string>

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
    bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
    bool operator==(const CGSize&) const = default;
};

struct CGVector {
    CGFloat dx = 0;
    CGFloat dy = 0;
    bool operator==(const CGVector&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    bool operator==(const CGRect&) const = default;
};

struct UIEdgeInsets {
    CGFloat top = 0;
    CGFloat left = 0;
    CGFloat bottom = 0;
    CGFloat right = 0;
    bool operator==(const UIEdgeInsets&) const = default;
};

struct CGAffineTransform {
    CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    bool operator==(const CGAffineTransform&) const = default;
};

inline constexpr CGPoint CGPointZero {};
inline constexpr CGSize CGSizeZero {};
inline constexpr CGRect CGRectZero {};
inline constexpr UIEdgeInsets UIEdgeInsetsZero {};
inline constexpr CGAffineTransform CGAffineTransformIdentity {};
extern const CGRect CGRectNull;
extern const CGRect CGRectInfinite;

constexpr CGPoint CGPointMake(CGFloat x, CGFloat y) { return {x, y}; }
constexpr CGSize CGSizeMake(CGFloat w, CGFloat h) { return {w, h}; }
constexpr CGVector CGVectorMake(CGFloat dx, CGFloat dy) { return {dx, dy}; }
constexpr CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat w, CGFloat h) { return {{x, y}, {w, h}}; }
constexpr UIEdgeInsets UIEdgeInsetsMake(CGFloat top, CGFloat left, CGFloat bottom, CGFloat right) { return {top, left, bottom, right}; }
CGRect UIEdgeInsetsInsetRect(CGRect rect, UIEdgeInsets insets);

bool CGPointEqualToPoint(CGPoint a, CGPoint b);
bool CGSizeEqualToSize(CGSize a, CGSize b);
bool CGRectEqualToRect(CGRect a, CGRect b); // compares standardised rectangles

CGRect CGRectStandardize(CGRect rect);
CGFloat CGRectGetMinX(CGRect rect);
CGFloat CGRectGetMidX(CGRect rect);
CGFloat CGRectGetMaxX(CGRect rect);
CGFloat CGRectGetMinY(CGRect rect);
CGFloat CGRectGetMidY(CGRect rect);
CGFloat CGRectGetMaxY(CGRect rect);
CGFloat CGRectGetWidth(CGRect rect);
CGFloat CGRectGetHeight(CGRect rect);
bool CGRectIsNull(CGRect rect);
bool CGRectIsEmpty(CGRect rect);
bool CGRectIsInfinite(CGRect rect);
bool CGRectContainsPoint(CGRect rect, CGPoint point);
bool CGRectContainsRect(CGRect outer, CGRect inner);
bool CGRectIntersectsRect(CGRect a, CGRect b);
CGRect CGRectIntersection(CGRect a, CGRect b);
CGRect CGRectUnion(CGRect a, CGRect b);
CGRect CGRectOffset(CGRect rect, CGFloat dx, CGFloat dy);
CGRect CGRectInset(CGRect rect, CGFloat dx, CGFloat dy);
CGRect CGRectIntegral(CGRect rect);

CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle);
CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle);
// t1 then t2.
CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2);
// A singular transform is returned unchanged, as on the platform.
CGAffineTransform CGAffineTransformInvert(CGAffineTransform t);
bool CGAffineTransformIsIdentity(CGAffineTransform t);
bool CGAffineTransformEqualToTransform(CGAffineTransform a, CGAffineTransform b);
CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t);
CGSize CGSizeApplyAffineTransform(CGSize s, CGAffineTransform t);
CGRect CGRectApplyAffineTransform(CGRect r, CGAffineTransform t);

// The platform's text forms: "{1, 2}", "{{0, 0}, {375, 667}}", "{1, 2, 3, 4}", "[1, 0, 0, 1, 0, 0]".
std::string NSStringFromCGPointUTF8(CGPoint p);
std::string NSStringFromCGSizeUTF8(CGSize s);
std::string NSStringFromCGRectUTF8(CGRect r);
std::string NSStringFromUIEdgeInsetsUTF8(UIEdgeInsets i);
std::string NSStringFromCGAffineTransformUTF8(CGAffineTransform t);
Ref<NSString> NSStringFromCGPoint(CGPoint p);
Ref<NSString> NSStringFromCGSize(CGSize s);
Ref<NSString> NSStringFromCGRect(CGRect r);
Ref<NSString> NSStringFromUIEdgeInsets(UIEdgeInsets i);
Ref<NSString> NSStringFromCGAffineTransform(CGAffineTransform t);
Ref<NSString> NSStringFromRange(NSRange r);
// Parsers of the same forms; malformed text gives zero values.
CGPoint CGPointFromString(const Ref<NSString>& s);
CGSize CGSizeFromString(const Ref<NSString>& s);
CGRect CGRectFromString(const Ref<NSString>& s);
UIEdgeInsets UIEdgeInsetsFromString(const Ref<NSString>& s);
CGAffineTransform CGAffineTransformFromString(const Ref<NSString>& s);
