// PCAnimatedDotView: the page control's default dot: a circle (for a square frame) with a border
// 2 points wide in dotColor (white unless set). Becoming the current page's dot it fills with
// dotColor and grows to 1.4 times its size on a springy one-second animation; leaving, it empties
// and shrinks back the same way. The animations run on the clock. Main thread only.
//
//   auto dot = alloc<PCAnimatedDotView>()->initWithFrame(CGRectMake(0, 0, 8, 8));
//   dot->setDotColor(UIColor::orangeColor());
#pragma once

#include "ui/toolkit/carousel/PCAbstractDotView.h"

class UIColor;

class PCAnimatedDotView : public PCAbstractDotView {
    DV_CLASS(PCAnimatedDotView, PCAbstractDotView)

    PCAnimatedDotView() = default;
    // A dot with a zero frame (the page control always gives one).
    Ref<PCAnimatedDotView> init();
    Ref<PCAnimatedDotView> initWithFrame(CGRect frame);

    Ref<UIColor> dotColor() const { return m_dotColor; }
    // Also the border's colour.
    void setDotColor(const Ref<UIColor>& dotColor);

    void changeActivityState(bool active) override;

protected:
    void initialization() override;

private:
    void animateToActiveState();
    void animateToDeactiveState();

    Ref<UIColor> m_dotColor;
};
