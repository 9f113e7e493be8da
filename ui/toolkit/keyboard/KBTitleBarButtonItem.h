// KBTitleBarButtonItem: the title in the middle of the keyboard toolbar (the field's
// placeholder): a disabled item whose custom view holds a centred light-grey label, bold 12
// points unless a font is given. Main thread only.
//
//   auto title = alloc<KBTitleBarButtonItem>()->initWithFrame(CGRectMake(0, 0, 200, 44), "请输入标题"_ns);
#pragma once

#include "ui/toolkit/keyboard/KBBarButtonItem.h"

class UIFont;
class UILabel;

class KBTitleBarButtonItem : public KBBarButtonItem {
    DV_CLASS(KBTitleBarButtonItem, KBBarButtonItem)

    KBTitleBarButtonItem() = default;
    Ref<KBTitleBarButtonItem> initWithFrame(CGRect frame, const Ref<NSString>& title);

    Ref<UIFont> font() const { return m_font; }
    void setFont(const Ref<UIFont>& font);
    // The item's title and the label's text.
    void setTitle(const Ref<NSString>& title) override;

private:
    Ref<UIView> m_titleView;
    Ref<UILabel> m_titleLabel;
    Ref<UIFont> m_font;
};
