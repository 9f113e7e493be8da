// PCDotView: a plain dot of the page control: a circle (for a square frame) with a white border
// 2 points wide, filled white while it stands for the current page and clear otherwise. Main
// thread only.
//
//   pageControl->setDotViewClass(PCDotView::class_());
#pragma once

#include "ui/toolkit/carousel/PCAbstractDotView.h"

class PCDotView : public PCAbstractDotView {
    DV_CLASS(PCDotView, PCAbstractDotView)

    PCDotView() = default;
    // A dot with a zero frame (the page control always gives one).
    Ref<PCDotView> init();
    Ref<PCDotView> initWithFrame(CGRect frame);

    void changeActivityState(bool active) override;

protected:
    void initialization() override;
};
