#include "platform/ui/UIActivityIndicatorView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"

#include <cmath>

DV_DEFINE_CLASS(UIActivityIndicatorView)

namespace {

CGFloat sideOf(UIActivityIndicatorViewStyle style) { return style == UIActivityIndicatorViewStyleWhiteLarge ? 37 : 20; }

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
    const CGFloat side = sideOf(m_style);
    const CGFloat cx = CGRectGetMidX(b), cy = CGRectGetMidY(b);
    const CGFloat outer = side / 2, inner = side * 0.25;
    CGContextSetLineWidth(context, m_style == UIActivityIndicatorViewStyleWhiteLarge ? 3.5 : 2);
    CGContextSetLineCap(context, kCGLineCapRound);
    for (int i = 0; i < 12; ++i) {
        const CGFloat angle = -M_PI / 2 + i * M_PI / 6;
        color()->colorWithAlphaComponent(1 - i * 0.07)->setStroke();
        CGContextMoveToPoint(context, cx + inner * std::cos(angle), cy + inner * std::sin(angle));
        CGContextAddLineToPoint(context, cx + (outer - 1.5) * std::cos(angle), cy + (outer - 1.5) * std::sin(angle));
        CGContextStrokePath(context);
    }
}

void UIActivityIndicatorView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    if (m_animating)
        fields.emplace_back("animating", "");
    UIView::appendDescriptionFields(fields);
}
