// UIBezierPath: a path of lines, curves and arcs in UIKit coordinates (y down), with the line
// settings to stroke it, drawn into the current graphics context. Arcs are kept as cubic curves,
// so transforms and bounds treat every segment alike. A path is a value object: copying it copies
// its segments and settings. Any thread, one at a time.
//
//   auto star = UIBezierPath::bezierPath();
//   star->moveToPoint(CGPointMake(5, 0));
//   star->addLineToPoint(CGPointMake(10, 10));
//   star->closePath();
//   tint->setFill();
//   star->fill();
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
#include "platform/graphics/CGContext.h"

#include <vector>

using UIRectCorner = NSUInteger;
enum : UIRectCorner {
    UIRectCornerTopLeft = 1 << 0,
    UIRectCornerTopRight = 1 << 1,
    UIRectCornerBottomLeft = 1 << 2,
    UIRectCornerBottomRight = 1 << 3,
    UIRectCornerAllCorners = ~UIRectCorner(0),
};

class UIBezierPath : public NSObject, public NSCopying {
    DV_CLASS(UIBezierPath, NSObject)

    UIBezierPath() = default;

    static Ref<UIBezierPath> bezierPath();
    static Ref<UIBezierPath> bezierPathWithRect(CGRect rect);
    static Ref<UIBezierPath> bezierPathWithOvalInRect(CGRect rect);
    static Ref<UIBezierPath> bezierPathWithRoundedRect(CGRect rect, CGFloat cornerRadius);
    static Ref<UIBezierPath> bezierPathWithRoundedRect(CGRect rect, UIRectCorner corners, CGSize cornerRadii);
    static Ref<UIBezierPath> bezierPathWithArcCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise);

    void moveToPoint(CGPoint point);
    void addLineToPoint(CGPoint point);
    void addCurveToPoint(CGPoint endPoint, CGPoint controlPoint1, CGPoint controlPoint2);
    void addQuadCurveToPoint(CGPoint endPoint, CGPoint controlPoint);
    // Clockwise as seen on the screen; starts with a line from the current point, if any.
    void addArcWithCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise);
    void closePath();
    void removeAllPoints();
    void appendPath(const Ref<UIBezierPath>& path);
    void applyTransform(CGAffineTransform transform);

    bool isEmpty() const { return m_elements.empty(); }
    // The box around every point of the path, control points included.
    CGRect bounds() const;
    CGPoint currentPoint() const { return m_current; }

    CGFloat lineWidth() const { return m_lineWidth; }
    void setLineWidth(CGFloat width) { m_lineWidth = width; }
    CGLineCap lineCapStyle() const { return m_lineCap; }
    void setLineCapStyle(CGLineCap cap) { m_lineCap = cap; }
    CGLineJoin lineJoinStyle() const { return m_lineJoin; }
    void setLineJoinStyle(CGLineJoin join) { m_lineJoin = join; }
    CGFloat miterLimit() const { return m_miterLimit; }
    void setMiterLimit(CGFloat limit) { m_miterLimit = limit; }
    bool usesEvenOddFillRule() const { return m_evenOdd; }
    void setUsesEvenOddFillRule(bool evenOdd) { m_evenOdd = evenOdd; }

    // With the current context's fill or stroke colour; the context's state is left as it was.
    void fill();
    void stroke();
    // Intersects the current context's clip with the path's inside.
    void addClip();

    id copyWithZone(NSZone* zone) const override;

private:
    enum class Kind { Move, Line, Curve, Close };
    struct Element {
        Kind kind;
        CGPoint points[3]; // end point last for Move and Line in [0], curves: cp1, cp2, end
    };

    void addTo(const CGContextRef& context) const;

    std::vector<Element> m_elements;
    CGPoint m_current {};
    CGPoint m_subpathStart {};
    CGFloat m_lineWidth = 1;
    CGLineCap m_lineCap = kCGLineCapButt;
    CGLineJoin m_lineJoin = kCGLineJoinMiter;
    CGFloat m_miterLimit = 10;
    bool m_evenOdd = false;
};
