// UISwitch: an on/off control of fixed size (51 x 31; frames keep their origin and take that
// size). A tap turns it over; a drag sets it by the side of the switch the finger lifts on (a
// sideways pan of a surrounding view does not take it). Either sends value changed when the value
// changed; setOn does not send it. Drawn as a rounded track,
// onTintColor (green unless set) when on, with a round thumb (white unless thumbTintColor). Main
// thread only.
//
//   auto toggle = alloc<UISwitch>()->init();
//   toggle->setOn(true, true);
#pragma once

#include "platform/ui/UIControl.h"

class UISwitch : public UIControl {
    DV_CLASS(UISwitch, UIControl)

    UISwitch() = default;
    Ref<UISwitch> init();
    Ref<UISwitch> initWithFrame(CGRect frame);

    bool isOn() const { return m_on; }
    void setOn(bool on);
    void setOn(bool on, bool animated);
    Ref<UIColor> onTintColor() const { return m_onTintColor; }
    void setOnTintColor(const Ref<UIColor>& color);
    Ref<UIColor> thumbTintColor() const { return m_thumbTintColor; }
    void setThumbTintColor(const Ref<UIColor>& color);

    void setFrame(CGRect frame) override;
    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;
    void drawRect(CGRect rect) override;
    bool beginTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;
    bool continueTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;
    void endTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;
    // Besides an ancestor's single tap, a sideways pan of another view does not begin over it.
    bool gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer) override;

    bool isAccessibilityElement() const override { return accessibilityElementSetting().value_or(true); }
    Ref<NSString> accessibilityValue() const override;
    UIAccessibilityTraits accessibilityTraits() const override { return UIControl::accessibilityTraits() | UIAccessibilityTraitButton; }
    bool accessibilityActivate() override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

protected:
    bool defaultActionIsSingleTap() const override { return true; }

private:
    void handleUserSet(bool on);

    Ref<UIColor> m_onTintColor;
    Ref<UIColor> m_thumbTintColor;
    CGPoint m_touchStart {}; // window coordinates
    bool m_on = false;
    bool m_dragged = false;
};
