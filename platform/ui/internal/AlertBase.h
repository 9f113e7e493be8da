// What alerts and action sheets share: their list of button titles (with the cancel button's
// index), showing on top of a window over a dimmed backdrop, the taps on their buttons, and their
// dismissal. A window shows one backdrop for all of them; the newest shows on top of it and the
// older ones wait hidden behind it until it goes. The backdrop stays above anything the
// application adds to the window later. While shown, an alert is kept by its window (the backdrop
// is the window's subview, the alerts are the backdrop's), so that they go with the window; links
// to its delegate are weak. Main thread only.
#pragma once

#include "platform/ui/UIView.h"

#include <string>
#include <vector>

class UIButton;

class UIAlertBase : public UIView {
    DV_CLASS(UIAlertBase, UIView)

    UIAlertBase() = default;

    // Index of the new button.
    NSInteger addButtonWithTitle(const Ref<NSString>& title);
    Ref<NSString> buttonTitleAtIndex(NSInteger index) const;
    NSInteger numberOfButtons() const { return NSInteger(m_titles.size()); }
    // -1 when there is none.
    NSInteger cancelButtonIndex() const { return m_cancelIndex; }
    void setCancelButtonIndex(NSInteger index);
    // The first button that is neither the cancel nor the destructive one; -1 when none.
    NSInteger firstOtherButtonIndex() const;
    // From the moment it is shown until it starts to leave.
    bool isVisible() const { return m_shown && !m_leaving; }
    // Takes it away as if the button had been chosen, without the "clicked" call.
    void dismissWithClickedButtonIndex(NSInteger index, bool animated);

    // The button a person taps for `index`; nil while not shown.
    Ref<UIButton> buttonViewAtIndex(NSInteger index) const;
    // The ones shown now in `window` (nil: every window), oldest first; the last is on top.
    static std::vector<Ref<UIAlertBase>> visibleAlerts(const Ref<UIWindow>& window = nil);
    // A new application starts without any.
    static void resetAll();
    // Keeps the backdrop above a view just added to the window.
    static void windowDidAddSubview(UIWindow& window, const Ref<UIView>& view);

    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

    // The action of its buttons (a tap on the button of `index`).
    void buttonTapped(NSInteger index);

protected:
    // Puts it up in the window (the key window for nil).
    void present(Ref<UIWindow> window);
    // Builds its contents for the window's size and sets its frame (window coordinates).
    virtual void layoutInWindow(CGRect windowBounds) = 0;
    // Whether the button is one of the "other" buttons (for firstOtherButtonIndex).
    virtual bool isOtherButton(NSInteger index) const { return index != m_cancelIndex; }
    // Makes a button that reports taps with its index.
    Ref<UIButton> makeButton(NSInteger index);

    // The delegate calls, in this order: willPresent, didPresent (once it is up), then
    // clicked (a tap only), willDismiss, didDismiss (once it has gone).
    virtual void notifyWillPresent() { }
    virtual void notifyDidPresent() { }
    virtual void notifyClicked(NSInteger index) { (void)index; }
    virtual void notifyWillDismiss(NSInteger index) { (void)index; }
    virtual void notifyDidDismiss(NSInteger index) { (void)index; }

    Ref<NSString> m_title;
    std::vector<Ref<NSString>> m_titles;
    std::vector<Ref<UIButton>> m_buttons; // by index, made by layoutInWindow
    NSInteger m_cancelIndex = -1;

private:
    void handleGone(NSInteger index);

    bool m_shown = false;
    bool m_leaving = false;
};
