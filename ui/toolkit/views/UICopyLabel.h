// UICopyLabel: a label whose text the user can copy. A tap makes it first responder and shows the
// shared edit menu over it with a single command, Copy, which puts the label's text on the
// general pasteboard (an empty label empties the pasteboard, as the platform does for a nil
// string). The label owns its tap recogniser; the menu refers to it weakly. Main thread only.
//
//   auto label = alloc<UICopyLabel>()->initWithFrame(CGRectMake(20, 300, 335, 21));
//   label->setText(DIUUID::uuidForDevice());
//   view->addSubview(label);
#pragma once

#include "platform/ui/UILabel.h"

class UITapGestureRecognizer;

class UICopyLabel : public UILabel {
    DV_CLASS(UICopyLabel, UILabel)

    UICopyLabel() = default;
    Ref<UICopyLabel> init();
    Ref<UICopyLabel> initWithFrame(CGRect frame);
    // A label loaded from an interface file reacts to taps too.
    void awakeFromNib() override;

    bool canBecomeFirstResponder() const override { return true; }
    // Only copy: is offered; cut, paste, select and the rest are not.
    bool canPerformAction(SEL action, const id& sender) const override;
    // The menu's Copy command (selector "copy:").
    using UILabel::copy;
    void copy(const id& sender);

    // Switches user interaction on and adds the one-tap recogniser that shows the menu. Done once:
    // a label set up both in code and from a file still has a single recogniser.
    void attachTapHandler();
    // The recogniser's action (selector "handleTap:").
    void handleTap(const Ref<UIGestureRecognizer>& recognizer);

private:
    Weak<UITapGestureRecognizer> m_tapRecognizer;
};
