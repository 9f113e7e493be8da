#include "platform/ui/UIBezierPath.h"

#include "platform/base/ClassBuilder.h"
#include "platform/graphics/UIGraphics.h"

#include <algorithm>
#include <cmath>

DV_DEFINE_CLASS(UIBezierPath)

namespace {

// Beyond this the drawing backend's fixed-point coordinates overflow; an "infinite" rectangle
// (a clip of everything) is drawn as a very large one.
constexpr CGFloat kLimit = 1e6;

CGPoint clamped(CGPoint p) { return CGPointMake(std::clamp(p.x, -kLimit, kLimit), std::clamp(p.y, -kLimit, kLimit)); }

CGPoint onCircle(CGPoint center, CGFloat radius, CGFloat angle)
{
    return CGPointMake(center.x + radius * std::cos(angle), center.y + radius * std::sin(angle));
}

} // namespace

Ref<UIBezierPath> UIBezierPath::bezierPath() { return alloc<UIBezierPath>(); }

Ref<UIBezierPath> UIBezierPath::bezierPathWithRect(CGRect rect)
{
    auto path = bezierPath();
    rect = CGRectStandardize(rect);
    path->moveToPoint(rect.origin);
    path->addLineToPoint(CGPointMake(CGRectGetMaxX(rect), CGRectGetMinY(rect)));
    path->addLineToPoint(CGPointMake(CGRectGetMaxX(rect), CGRectGetMaxY(rect)));
    path->addLineToPoint(CGPointMake(CGRectGetMinX(rect), CGRectGetMaxY(rect)));
    path->closePath();
    return path;
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithOvalInRect(CGRect rect)
{
    auto path = bezierPath();
    rect = CGRectStandardize(rect);
    const CGPoint center = CGPointMake(CGRectGetMidX(rect), CGRectGetMidY(rect));
    // A unit circle drawn from the right, clockwise, then stretched into the rectangle.
    auto circle = bezierPathWithArcCenter(CGPointZero, 1, 0, 2 * M_PI, true);
    circle->closePath();
    circle->applyTransform(CGAffineTransformConcat(CGAffineTransformMakeScale(rect.size.width / 2, rect.size.height / 2),
        CGAffineTransformMakeTranslation(center.x, center.y)));
    path->appendPath(circle);
    return path;
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithRoundedRect(CGRect rect, CGFloat cornerRadius)
{
    return bezierPathWithRoundedRect(rect, UIRectCornerAllCorners, CGSizeMake(cornerRadius, cornerRadius));
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithRoundedRect(CGRect rect, UIRectCorner corners, CGSize cornerRadii)
{
    rect = CGRectStandardize(rect);
    const CGFloat r = std::clamp<CGFloat>(std::max(cornerRadii.width, cornerRadii.height), 0, std::min(rect.size.width, rect.size.height) / 2);
    auto radius = [&](UIRectCorner corner) { return (corners & corner) ? r : 0; };
    const CGFloat minX = CGRectGetMinX(rect), maxX = CGRectGetMaxX(rect), minY = CGRectGetMinY(rect), maxY = CGRectGetMaxY(rect);
    auto path = bezierPath();
    const CGFloat tl = radius(UIRectCornerTopLeft), tr = radius(UIRectCornerTopRight);
    const CGFloat br = radius(UIRectCornerBottomRight), bl = radius(UIRectCornerBottomLeft);
    path->moveToPoint(CGPointMake(minX + tl, minY));
    path->addLineToPoint(CGPointMake(maxX - tr, minY));
    if (tr > 0)
        path->addArcWithCenter(CGPointMake(maxX - tr, minY + tr), tr, -M_PI / 2, 0, true);
    path->addLineToPoint(CGPointMake(maxX, maxY - br));
    if (br > 0)
        path->addArcWithCenter(CGPointMake(maxX - br, maxY - br), br, 0, M_PI / 2, true);
    path->addLineToPoint(CGPointMake(minX + bl, maxY));
    if (bl > 0)
        path->addArcWithCenter(CGPointMake(minX + bl, maxY - bl), bl, M_PI / 2, M_PI, true);
    path->addLineToPoint(CGPointMake(minX, minY + tl));
    if (tl > 0)
        path->addArcWithCenter(CGPointMake(minX + tl, minY + tl), tl, M_PI, 3 * M_PI / 2, true);
    path->closePath();
    return path;
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithArcCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise)
{
    auto path = bezierPath();
    path->addArcWithCenter(center, radius, startAngle, endAngle, clockwise);
    return path;
}

void UIBezierPath::moveToPoint(CGPoint point)
{
    m_elements.push_back({Kind::Move, {point, {}, {}}});
    m_current = m_subpathStart = point;
}

void UIBezierPath::addLineToPoint(CGPoint point)
{
    if (m_elements.empty())
        return; // the platform needs a current point first
    m_elements.push_back({Kind::Line, {point, {}, {}}});
    m_current = point;
}

void UIBezierPath::addCurveToPoint(CGPoint endPoint, CGPoint controlPoint1, CGPoint controlPoint2)
{
    if (m_elements.empty())
        return;
    m_elements.push_back({Kind::Curve, {controlPoint1, controlPoint2, endPoint}});
    m_current = endPoint;
}

void UIBezierPath::addQuadCurveToPoint(CGPoint endPoint, CGPoint controlPoint)
{
    if (m_elements.empty())
        return;
    // The same curve as a cubic one.
    const CGPoint p0 = m_current;
    const CGPoint c1 = CGPointMake(p0.x + 2.0 / 3 * (controlPoint.x - p0.x), p0.y + 2.0 / 3 * (controlPoint.y - p0.y));
    const CGPoint c2 = CGPointMake(endPoint.x + 2.0 / 3 * (controlPoint.x - endPoint.x), endPoint.y + 2.0 / 3 * (controlPoint.y - endPoint.y));
    addCurveToPoint(endPoint, c1, c2);
}

void UIBezierPath::addArcWithCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise)
{
    constexpr CGFloat kTurn = 2 * M_PI;
    CGFloat sweep = endAngle - startAngle;
    if (clockwise) {
        sweep = endAngle - startAngle >= kTurn ? kTurn : std::fmod(sweep, kTurn);
        if (sweep < 0)
            sweep += kTurn;
    } else {
        sweep = startAngle - endAngle >= kTurn ? -kTurn : std::fmod(sweep, kTurn);
        if (sweep > 0)
            sweep -= kTurn;
    }
    const CGPoint start = onCircle(center, radius, startAngle);
    if (m_elements.empty())
        moveToPoint(start);
    else
        addLineToPoint(start);
    // Quarter turns at most, each as one cubic curve.
    const int pieces = std::max(1, int(std::ceil(std::abs(sweep) / (M_PI / 2) - 1e-9)));
    const CGFloat step = sweep / pieces;
    const CGFloat k = 4.0 / 3 * std::tan(step / 4) * radius;
    CGFloat a0 = startAngle;
    for (int i = 0; i < pieces; ++i) {
        const CGFloat a1 = a0 + step;
        const CGPoint p0 = onCircle(center, radius, a0), p3 = onCircle(center, radius, a1);
        const CGPoint c1 = CGPointMake(p0.x - k * std::sin(a0), p0.y + k * std::cos(a0));
        const CGPoint c2 = CGPointMake(p3.x + k * std::sin(a1), p3.y - k * std::cos(a1));
        addCurveToPoint(p3, c1, c2);
        a0 = a1;
    }
}

void UIBezierPath::closePath()
{
    if (m_elements.empty())
        return;
    m_elements.push_back({Kind::Close, {}});
    m_current = m_subpathStart;
}

void UIBezierPath::removeAllPoints()
{
    m_elements.clear();
    m_current = m_subpathStart = CGPointZero;
}

void UIBezierPath::appendPath(const Ref<UIBezierPath>& path)
{
    if (!path || path.get() == this) {
        if (path) {
            auto copy = m_elements;
            m_elements.insert(m_elements.end(), copy.begin(), copy.end());
        }
        return;
    }
    m_elements.insert(m_elements.end(), path->m_elements.begin(), path->m_elements.end());
    m_current = path->m_current;
    m_subpathStart = path->m_subpathStart;
}

void UIBezierPath::applyTransform(CGAffineTransform transform)
{
    for (auto& element : m_elements)
        for (auto& point : element.points)
            point = CGPointApplyAffineTransform(point, transform);
    m_current = CGPointApplyAffineTransform(m_current, transform);
    m_subpathStart = CGPointApplyAffineTransform(m_subpathStart, transform);
}

CGRect UIBezierPath::bounds() const
{
    CGRect box = CGRectNull;
    auto include = [&](CGPoint p) { box = CGRectUnion(box, CGRectMake(p.x, p.y, 0, 0)); };
    for (auto& element : m_elements) {
        switch (element.kind) {
        case Kind::Move:
        case Kind::Line:
            include(element.points[0]);
            break;
        case Kind::Curve:
            for (auto& p : element.points)
                include(p);
            break;
        case Kind::Close:
            break;
        }
    }
    return box;
}

void UIBezierPath::addTo(const CGContextRef& context) const
{
    CGContextBeginPath(context);
    for (auto& element : m_elements) {
        switch (element.kind) {
        case Kind::Move: {
            const CGPoint p = clamped(element.points[0]);
            CGContextMoveToPoint(context, p.x, p.y);
            break;
        }
        case Kind::Line: {
            const CGPoint p = clamped(element.points[0]);
            CGContextAddLineToPoint(context, p.x, p.y);
            break;
        }
        case Kind::Curve: {
            const CGPoint a = clamped(element.points[0]), b = clamped(element.points[1]), c = clamped(element.points[2]);
            CGContextAddCurveToPoint(context, a.x, a.y, b.x, b.y, c.x, c.y);
            break;
        }
        case Kind::Close:
            CGContextClosePath(context);
            break;
        }
    }
}

void UIBezierPath::fill()
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context || m_elements.empty())
        return;
    CGContextSaveGState(context);
    addTo(context);
    if (m_evenOdd)
        CGContextEOFillPath(context);
    else
        CGContextFillPath(context);
    CGContextRestoreGState(context);
}

void UIBezierPath::stroke()
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context || m_elements.empty())
        return;
    CGContextSaveGState(context);
    CGContextSetLineWidth(context, m_lineWidth);
    CGContextSetLineCap(context, m_lineCap);
    CGContextSetLineJoin(context, m_lineJoin);
    CGContextSetMiterLimit(context, m_miterLimit);
    addTo(context);
    CGContextStrokePath(context);
    CGContextRestoreGState(context);
}

void UIBezierPath::addClip()
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    addTo(context);
    if (m_evenOdd)
        CGContextEOClip(context);
    else
        CGContextClip(context);
}

id UIBezierPath::copyWithZone(NSZone*) const
{
    auto copy = alloc<UIBezierPath>();
    copy->m_elements = m_elements;
    copy->m_current = m_current;
    copy->m_subpathStart = m_subpathStart;
    copy->m_lineWidth = m_lineWidth;
    copy->m_lineCap = m_lineCap;
    copy->m_lineJoin = m_lineJoin;
    copy->m_miterLimit = m_miterLimit;
    copy->m_evenOdd = m_evenOdd;
    return copy;
}
