// KBToolbar: the bar the keyboard manager puts over the keyboard (see UIViewKBToolbarAddition.h
// for its layouts): 44 points high and as wide as the screen, translucent, black tint unless
// told otherwise. Its title and title font go to its title item; its tint to every item. The
// keyboard clicks while it shows. load() clears every appearance rule of the class, so that the
// application's toolbar looks do not reach it. Main thread only.
#pragma once

#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UIToolbar.h"

class UIFont;

class KBToolbar : public UIToolbar, public UIInputViewAudioFeedback {
    DV_CLASS(KBToolbar, UIToolbar)
    DV_APPEARANCE(KBToolbar)

    KBToolbar() = default;
    Ref<KBToolbar> init();
    Ref<KBToolbar> initWithFrame(CGRect frame);

    // What the class does when it loads (dv::installKeyboardManager).
    static void load();

    Ref<UIFont> titleFont() const { return m_titleFont; }
    void setTitleFont(const Ref<UIFont>& font);
    Ref<NSString> title() const { return m_title; }
    void setTitle(const Ref<NSString>& title);

    CGSize sizeThatFits(CGSize size) const override;
    void setTintColor(const Ref<UIColor>& color) override;
    bool enableInputClicksWhenVisible() const override { return true; }

private:
    // The set-up both initialisers share.
    void initialize();

    Ref<UIFont> m_titleFont;
    Ref<NSString> m_title;
};
