#include "ui/toolkit/carousel/PCAnimatedDotView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/CALayer.h"

DV_DEFINE_CLASS(PCAnimatedDotView)

namespace {

constexpr NSTimeInterval kAnimateDuration = 1;
constexpr CGFloat kDamping = 0.5;
constexpr CGFloat kActiveScale = 1.4;

} // namespace

Ref<PCAnimatedDotView> PCAnimatedDotView::init() { return initWithFrame(CGRectZero); }

Ref<PCAnimatedDotView> PCAnimatedDotView::initWithFrame(CGRect frame)
{
    PCAbstractDotView::initWithFrame(frame);
    return self<PCAnimatedDotView>();
}

void PCAnimatedDotView::initialization()
{
    setDotColor(UIColor::whiteColor());
    setBackgroundColor(UIColor::clearColor());
    layer()->setCornerRadius(CGRectGetWidth(frame()) / 2);
    layer()->setBorderWidth(2);
}

void PCAnimatedDotView::setDotColor(const Ref<UIColor>& dotColor)
{
    m_dotColor = dotColor;
    layer()->setBorderColor(dotColor ? dotColor->CGColor() : nullptr);
}

void PCAnimatedDotView::changeActivityState(bool active)
{
    if (active)
        animateToActiveState();
    else
        animateToDeactiveState();
}

void PCAnimatedDotView::animateToActiveState()
{
    // The block runs inside the call: the values change at once and animate on the clock.
    UIView::animateWithDuration(kAnimateDuration, 0, kDamping, -20, UIViewAnimationOptionCurveLinear,
        [this] {
            setBackgroundColor(m_dotColor);
            setTransform(CGAffineTransformMakeScale(kActiveScale, kActiveScale));
        },
        nullptr);
}

void PCAnimatedDotView::animateToDeactiveState()
{
    UIView::animateWithDuration(kAnimateDuration, 0, kDamping, 0, UIViewAnimationOptionCurveLinear,
        [this] {
            setBackgroundColor(UIColor::clearColor());
            setTransform(CGAffineTransformIdentity);
        },
        nullptr);
}
