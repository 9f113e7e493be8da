// VQMainButton: one tile of the home screen: a white square with a remote picture (the "dingdan"
// placeholder until it has loaded) in its upper third, the title under it, and a clear button over
// the whole tile that takes every tap. Main thread only.
#pragma once

#include "platform/ui/UIView.h"

class UIButton;
class UIImageView;
class UILabel;

class VQMainButton : public UIView {
    DV_CLASS(VQMainButton, UIView)

    VQMainButton() = default;
    // `imageName` is the picture's URL text; the frame's width and height are taken as whole
    // numbers of points for the layout inside.
    Ref<VQMainButton> initWithFrame(CGRect frame, const Ref<NSString>& imageName, const Ref<NSString>& buttonName);

    Ref<UIImageView> iconView() const { return m_iconView; }
    Ref<UILabel> titleLabel() const { return m_titleLabel; }
    Ref<UIButton> btn() const { return m_btn; }

private:
    Ref<UIImageView> m_iconView;
    Ref<UILabel> m_titleLabel;
    Ref<UIButton> m_btn;
};
