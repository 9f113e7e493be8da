#include "platform/ui/UIActivityIndicatorView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"

#include <array>
#include <cmath>
#include <utility>

DV_DEFINE_CLASS(UIActivityIndicatorView)

namespace {

CGFloat sideOf(UIActivityIndicatorViewStyle style) { return style == UIActivityIndicatorViewStyleWhiteLarge ? 37 : 20; }

// Twelve spokes around the middle of `bounds`, fading clockwise from the top.
void strokeSpokes(const CGContextRef& context, CGRect bounds, UIActivityIndicatorViewStyle style, const Ref<UIColor>& colour)
{
    const CGFloat side = sideOf(style);
    const CGFloat cx = CGRectGetMidX(bounds), cy = CGRectGetMidY(bounds);
    const CGFloat outer = side / 2, inner = side * 0.25;
    CGContextSetLineWidth(context, style == UIActivityIndicatorViewStyleWhiteLarge ? 3.5 : 2);
    CGContextSetLineCap(context, kCGLineCapRound);
    for (int i = 0; i < 12; ++i) {
        const CGFloat angle = -M_PI / 2 + i * M_PI / 6;
        CGContextSetStrokeColorWithColor(context, colour->colorWithAlphaComponent(1 - i * 0.07)->CGColor());
        CGContextMoveToPoint(context, cx + inner * std::cos(angle), cy + inner * std::sin(angle));
        CGContextAddLineToPoint(context, cx + (outer - 1.5) * std::cos(angle), cy + (outer - 1.5) * std::sin(angle));
        CGContextStrokePath(context);
    }
}

// The look of the last indicator drawn onto whole device pixels, with its spokes as a picture of
// those pixels. Every indicator of a look is alike, and stroking twelve spokes with round caps
// cost more than all the rest of a loading overlay but its backdrop: the next indicator of the
// look copies the picture. Main thread only, as all drawing of views.
struct Spokes {
    UIActivityIndicatorViewStyle style = UIActivityIndicatorViewStyleWhiteLarge;
    std::array<CGFloat, 4> colour {};
    CGSize size {};
    CGFloat scale = 0;
    bool operator==(const Spokes&) const = default;
};

// The picture belongs to the process rather than to whatever view drew first: out of the count of
// live objects until a picture of another look replaces it.
std::pair<Spokes, dv::Uncounted<UIImage>>& lastSpokes()
{
    static auto* last = new std::pair<Spokes, dv::Uncounted<UIImage>>(); // never destroyed: views may draw at exit
    return *last;
}

// The scale at which `context` puts `bounds` onto whole device pixels, upright (a view's own
// bitmap does); 0 when it does not.
CGFloat wholePixelScale(const CGContextRef& context, CGRect bounds)
{
    const CGAffineTransform t = CGContextGetCTM(context);
    const CGFloat scale = t.a;
    auto whole = [](CGFloat v) { return std::abs(v - std::round(v)) < 1e-6; };
    if (t.b != 0 || t.c != 0 || !(scale > 0) || std::abs(t.d) != scale)
        return 0;
    const CGPoint corner = CGPointApplyAffineTransform(bounds.origin, t);
    return whole(corner.x) && whole(corner.y) && whole(bounds.size.width * scale) && whole(bounds.size.height * scale) ? scale : 0;
}

} // namespace

Ref<UIActivityIndicatorView> UIActivityIndicatorView::init() { return initWithFrame(CGRectZero); }

Ref<UIActivityIndicatorView> UIActivityIndicatorView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    setOpaque(false);
    handleVisibility();
    return self<UIActivityIndicatorView>();
}

Ref<UIActivityIndicatorView> UIActivityIndicatorView::initWithActivityIndicatorStyle(UIActivityIndicatorViewStyle style)
{
    m_style = style;
    const CGFloat side = sideOf(style);
    return initWithFrame(CGRectMake(0, 0, side, side));
}

void UIActivityIndicatorView::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style)
{
    if (style == m_style)
        return;
    m_style = style;
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
}

Ref<UIColor> UIActivityIndicatorView::color() const
{
    if (m_color)
        return m_color;
    return m_style == UIActivityIndicatorViewStyleGray ? UIColor::grayColor() : UIColor::whiteColor();
}

void UIActivityIndicatorView::setColor(const Ref<UIColor>& color)
{
    m_color = color;
    setNeedsDisplay();
}

void UIActivityIndicatorView::setHidesWhenStopped(bool hides)
{
    m_hidesWhenStopped = hides;
    handleVisibility();
}

void UIActivityIndicatorView::startAnimating()
{
    m_animating = true;
    handleVisibility();
}

void UIActivityIndicatorView::stopAnimating()
{
    m_animating = false;
    handleVisibility();
}

void UIActivityIndicatorView::handleVisibility()
{
    if (m_hidesWhenStopped) {
        m_hiddenWhileStopped = !m_animating;
        setHidden(!m_animating);
    } else if (m_hiddenWhileStopped) {
        m_hiddenWhileStopped = false;
        setHidden(false);
    }
}

CGSize UIActivityIndicatorView::sizeThatFits(CGSize) const
{
    const CGFloat side = sideOf(m_style);
    return CGSizeMake(side, side);
}

CGSize UIActivityIndicatorView::intrinsicContentSize() const { return sizeThatFits(CGSizeZero); }

void UIActivityIndicatorView::drawRect(CGRect)
{
    auto context = UIGraphicsGetCurrentContext();
    const CGRect b = bounds();
    const auto colour = color();
    const CGFloat scale = wholePixelScale(context, b);
    if (!scale) {
        strokeSpokes(context, b, m_style, colour);
        return;
    }
    Spokes look { m_style, {}, b.size, scale };
    colour->getRed(&look.colour[0], &look.colour[1], &look.colour[2], &look.colour[3]);
    auto& [lastLook, picture] = lastSpokes();
    if (picture.get() && lastLook == look) {
        picture.get()->drawInRect(b);
        return;
    }
    strokeSpokes(context, b, m_style, colour);
    // The same strokes on a bitmap of their own, from which the next indicator of this look copies.
    picture.make([&] {
        UIGraphicsBeginImageContextWithOptions(b.size, false, scale);
        strokeSpokes(UIGraphicsGetCurrentContext(), CGRectMake(0, 0, b.size.width, b.size.height), m_style, colour);
        auto made = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        return made;
    });
    lastLook = look;
}

void UIActivityIndicatorView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    if (m_animating)
        fields.emplace_back("animating", "");
    UIView::appendDescriptionFields(fields);
}
