#include "ui/toolkit/carousel/PCDotView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/CALayer.h"

DV_DEFINE_CLASS(PCDotView)

Ref<PCDotView> PCDotView::init() { return initWithFrame(CGRectZero); }

Ref<PCDotView> PCDotView::initWithFrame(CGRect frame)
{
    PCAbstractDotView::initWithFrame(frame);
    return self<PCDotView>();
}

void PCDotView::initialization()
{
    setBackgroundColor(UIColor::clearColor());
    layer()->setCornerRadius(CGRectGetWidth(frame()) / 2);
    layer()->setBorderColor(UIColor::whiteColor()->CGColor());
    layer()->setBorderWidth(2);
}

void PCDotView::changeActivityState(bool active)
{
    setBackgroundColor(active ? UIColor::whiteColor() : UIColor::clearColor());
}
