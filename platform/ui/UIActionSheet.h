// UIActionSheet: a choice of buttons that rises from the bottom of the window over the dimmed
// window: 8 points in from each side, the title (13 points, grey) over the destructive button (in
// red) and the other buttons in one rounded group, and the cancel button (bold) alone under it.
// Its top keeps 20 points below the status bar (it stands on the keyboard while that shows): a
// group taller than that leaves scrolls inside itself, the title first.
// Button indices: the destructive button first, then the others in order, then the cancel button
// last; buttons added later follow. A tap on a button tells the delegate
// actionSheetClickedButtonAtIndex, then the sheet goes (will and did dismiss). Main thread only.
//
//   auto sheet = alloc<UIActionSheet>()->initWithTitle(nil, self(), "取消"_ns, nil, {"保存二维码"_ns});
//   sheet->setTag(101);
//   sheet->showInView(view());   // "保存二维码" is index 0, "取消" index 1
#pragma once

#include "platform/ui/internal/AlertBase.h"

#include <vector>

class UIActionSheet;

enum UIActionSheetStyle : NSInteger {
    UIActionSheetStyleAutomatic = -1,
    UIActionSheetStyleDefault = 0,
    UIActionSheetStyleBlackTranslucent = 2,
    UIActionSheetStyleBlackOpaque = 1,
};

// The delegate protocol; every method is optional (false: not implemented).
class UIActionSheetDelegate {
public:
    virtual ~UIActionSheetDelegate() = default;
    virtual bool actionSheetClickedButtonAtIndex(const Ref<UIActionSheet>&, NSInteger) { return false; }
    virtual bool actionSheetCancel(const Ref<UIActionSheet>&) { return false; }
    virtual bool willPresentActionSheet(const Ref<UIActionSheet>&) { return false; }
    virtual bool didPresentActionSheet(const Ref<UIActionSheet>&) { return false; }
    virtual bool actionSheetWillDismissWithButtonIndex(const Ref<UIActionSheet>&, NSInteger) { return false; }
    virtual bool actionSheetDidDismissWithButtonIndex(const Ref<UIActionSheet>&, NSInteger) { return false; }
};

class UIActionSheet : public UIAlertBase {
    DV_CLASS(UIActionSheet, UIAlertBase)

    UIActionSheet() = default;
    Ref<UIActionSheet> init();
    // nil titles are left out; the delegate is held weakly.
    Ref<UIActionSheet> initWithTitle(const Ref<NSString>& title, const Ref<UIActionSheetDelegate>& delegate, const Ref<NSString>& cancelButtonTitle,
        const Ref<NSString>& destructiveButtonTitle, const std::vector<Ref<NSString>>& otherButtonTitles);

    Ref<NSString> title() const { return m_title; }
    void setTitle(const Ref<NSString>& title) { m_title = title; }
    Ref<UIActionSheetDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<UIActionSheetDelegate>& delegate) { m_delegate = delegate; }
    UIActionSheetStyle actionSheetStyle() const { return m_style; }
    void setActionSheetStyle(UIActionSheetStyle style) { m_style = style; }
    // -1 when there is none.
    NSInteger destructiveButtonIndex() const { return m_destructiveIndex; }
    void setDestructiveButtonIndex(NSInteger index);

    // Shows it over the view's window (the key window when the view is in none).
    void showInView(const Ref<UIView>& view);

protected:
    void layoutInWindow(CGRect windowBounds) override;
    bool isOtherButton(NSInteger index) const override { return index != m_cancelIndex && index != m_destructiveIndex; }
    void notifyWillPresent() override;
    void notifyDidPresent() override;
    void notifyClicked(NSInteger index) override;
    void notifyWillDismiss(NSInteger index) override;
    void notifyDidDismiss(NSInteger index) override;

private:
    Weak<UIActionSheetDelegate> m_delegate;
    NSInteger m_destructiveIndex = -1;
    UIActionSheetStyle m_style = UIActionSheetStyleAutomatic;
};
