// The button a bar shows for a bar button item that has no custom view: the item's title (or the
// word of its system item) or image, in the item's tint (else the bar's) and title attributes,
// 17-point text (bold for the done style), grey while the item is disabled. A tap sends the item's
// action. Bars (toolbars, navigation bars) get it from UIBarButtonItem::viewForBar.
#pragma once

#include "platform/ui/UIButton.h"
#include "platform/ui/UIGeometry.h"

class UIBarButtonItem;

class UIBarButton : public UIButton {
    DV_CLASS(UIBarButton, UIButton)

    UIBarButton() = default;
    static Ref<UIBarButton> buttonForItem(const Ref<UIBarButtonItem>& item);

    Ref<UIBarButtonItem> item() const { return m_item.lock(); }
    // Takes the item's state again (title, image, colours, enabled).
    void update();

    void didMoveToSuperview() override;
    void layoutSubviews() override;

private:
    Weak<UIBarButtonItem> m_item;
    UIOffset m_titleOffset {};
};
