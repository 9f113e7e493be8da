// UIAlertView: a message with buttons over the dimmed window, centred, 270 points wide: the
// title (bold 17 points), the message (14 points), then the buttons, side by side when there are
// two (the cancel button on the left, in bold) and one under the other otherwise (the cancel
// button last). It is never taller than the screen shows uncovered (below the status bar, above
// the keyboard while it shows) less a margin of 20 points at the top and the bottom: the title and
// the buttons stay in place and the message between them scrolls under a finger; a title that
// would take more than half the text's part scrolls with the message, and buttons that need more
// than half the alert scroll in their half.
// Button indices follow the order the buttons were given: the cancel button first (index 0) when
// there is one, then the others. A tap on a button tells the delegate
// alertViewClickedButtonAtIndex, then the alert goes (will and did dismiss). Several alerts may be
// shown at once: the newest is on top, the others wait behind it. Main thread only.
//
//   auto alert = alloc<UIAlertView>()->initWithTitle("温馨提示"_ns, "请您设置允许APP访问您的通讯录"_ns, self(),
//       "确定"_ns, {});
//   alert->setTag(101);
//   alert->show();
#pragma once

#include "platform/ui/internal/AlertBase.h"

#include <optional>
#include <vector>

class UIAlertView;

enum UIAlertViewStyle : NSInteger {
    UIAlertViewStyleDefault = 0,
    UIAlertViewStyleSecureTextInput = 1,
    UIAlertViewStylePlainTextInput = 2,
    UIAlertViewStyleLoginAndPasswordInput = 3,
};

// The delegate protocol; every method is optional (false: not implemented).
class UIAlertViewDelegate {
public:
    virtual ~UIAlertViewDelegate() = default;
    virtual bool alertViewClickedButtonAtIndex(const Ref<UIAlertView>&, NSInteger) { return false; }
    virtual bool alertViewCancel(const Ref<UIAlertView>&) { return false; }
    virtual bool willPresentAlertView(const Ref<UIAlertView>&) { return false; }
    virtual bool didPresentAlertView(const Ref<UIAlertView>&) { return false; }
    virtual bool alertViewWillDismissWithButtonIndex(const Ref<UIAlertView>&, NSInteger) { return false; }
    virtual bool alertViewDidDismissWithButtonIndex(const Ref<UIAlertView>&, NSInteger) { return false; }
};

class UIAlertView : public UIAlertBase {
    DV_CLASS(UIAlertView, UIAlertBase)

    UIAlertView() = default;
    Ref<UIAlertView> init();
    // nil titles are left out; the delegate is held weakly.
    Ref<UIAlertView> initWithTitle(const Ref<NSString>& title, const Ref<NSString>& message, const Ref<UIAlertViewDelegate>& delegate,
        const Ref<NSString>& cancelButtonTitle, const std::vector<Ref<NSString>>& otherButtonTitles);

    Ref<NSString> title() const { return m_title; }
    void setTitle(const Ref<NSString>& title) { m_title = title; }
    Ref<NSString> message() const { return m_message; }
    void setMessage(const Ref<NSString>& message) { m_message = message; }
    Ref<UIAlertViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<UIAlertViewDelegate>& delegate) { m_delegate = delegate; }
    UIAlertViewStyle alertViewStyle() const { return m_style; }
    void setAlertViewStyle(UIAlertViewStyle style) { m_style = style; }

    // Shows it over the key window.
    void show();

    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

protected:
    void layoutInWindow(CGRect windowBounds) override;
    void notifyWillPresent() override;
    void notifyDidPresent() override;
    void notifyClicked(NSInteger index) override;
    void notifyWillDismiss(NSInteger index) override;
    void notifyDidDismiss(NSInteger index) override;

private:
    Ref<NSString> m_message;
    Weak<UIAlertViewDelegate> m_delegate;
    UIAlertViewStyle m_style = UIAlertViewStyleDefault;
};
