// Shared set-up of the keyboard manager's tests: the toolkit's window with a screen (a controller
// whose view fills the window) and the shared manager, switched on, with its settings as the
// manager starts with them. Each test ends with the keyboard gone and the settings put back.
#pragma once

#include "ToolkitTestSupport.h"

#include "ui/toolkit/keyboard/KBKeyboardManager.h"

namespace dv::test {

class KeyboardTest : public ToolkitTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A text field of `frame` in `parent` (the screen's view when nil).
    Ref<UITextField> addField(
        CGRect frame, Ref<UIView> parent = nil, NSInteger tag = 0, const char* placeholder = nullptr);
    Ref<UITextView> addTextView(CGRect frame, Ref<UIView> parent = nil);
    // Taps the field, as a person would, and lets the keyboard come up; YES when it has the focus.
    bool focus(const Ref<UIView>& field);
    // Lets the keyboard's animations and announcements run to their end.
    void settle() { m_ui.advance(0.3); }
    // The screen's view's top edge in the window.
    CGFloat screenY() const;

    Ref<KBKeyboardManager> m_manager;
    Ref<UIViewController> m_screen;
};

} // namespace dv::test
