// VQQueryViewController: the form "授权代理查询" of the about screen. The user types an agent's
// 信聊 id; "查询" opens the agent's authorisation letter (VQQueWebViewController) for the
// text exactly as typed, or, when the field is empty, shows the toast "代理商信聊号不能为空" and
// stays. The form does no server call of its own and keeps what was typed while the letter is on
// top. Main thread only.
#pragma once

#include "platform/ui/UIViewController.h"

class UITextField;

class VQQueryViewController : public UIViewController {
    DV_CLASS(VQQueryViewController, UIViewController)

    VQQueryViewController() = default;
    Ref<VQQueryViewController> init();

    // The 信聊 id input.
    Ref<UITextField> textField() const { return m_textField; }
    void setTextField(const Ref<UITextField>& field) { m_textField = field; }

    void viewDidLoad() override;
    // A white panel with the picture "shouquanicon" and the input, and the "查询" button.
    void createUI();
    // The button's action.
    void searchDelegate(const id& sender);

private:
    Ref<UITextField> m_textField;
};
