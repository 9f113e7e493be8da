// PCAbstractDotView: the base of the page control's dot classes. A dot is a small view the page
// control creates with a frame, one per page, and tells whether it stands for the current page
// through changeActivityState. This base only declares that operation: a dot class overrides it
// (and is created with initWithFrame); the base's own init and changeActivityState raise
// NSInternalInconsistencyException. Main thread only.
//
//   class SquareDot : public PCAbstractDotView {
//       void changeActivityState(bool active) override { setAlpha(active ? 1 : 0.4); }
//   };
//   pageControl->setDotViewClass(SquareDot::class_());
#pragma once

#include "platform/ui/UIView.h"

class PCAbstractDotView : public UIView {
    DV_CLASS(PCAbstractDotView, UIView)

    PCAbstractDotView() = default;
    // Raises: a dot is made with a frame.
    Ref<PCAbstractDotView> init();
    // The view with `frame`, then the dot class's own set-up (initialization).
    Ref<PCAbstractDotView> initWithFrame(CGRect frame);

    // YES: the dot stands for the current page. Raises unless a subclass overrides it.
    virtual void changeActivityState(bool active);

protected:
    // The dot class's set-up, run by initWithFrame; nothing here.
    virtual void initialization() { }
    [[noreturn]] void raiseMustOverride(const char* operation) const;
};
