// UINavigationItem: what a navigation bar shows while a controller is on top (its title or title
// view, the bar button items on either side) and what the bar offers to go back to it (the back
// item's title, or its backBarButtonItem). Every controller has one (navigationItem); the bar
// that shows an item lays itself out again when the item changes. Main thread only.
//
//   navigationItem()->setTitleView(label);
//   navigationItem()->setRightBarButtonItem(alloc<UIBarButtonItem>()->initWithCustomView(button));
#pragma once

#include "platform/base/NSObject.h"
#include "platform/ui/Forward.h"

#include <vector>

class UINavigationBar;

class UINavigationItem : public NSObject {
    DV_CLASS(UINavigationItem, NSObject)

    UINavigationItem() = default;
    Ref<UINavigationItem> init();
    Ref<UINavigationItem> initWithTitle(const Ref<NSString>& title);

    Ref<NSString> title() const { return m_title; }
    void setTitle(const Ref<NSString>& title);
    // Shown in place of the title when set.
    Ref<UIView> titleView() const { return m_titleView; }
    void setTitleView(const Ref<UIView>& view);
    Ref<NSString> prompt() const { return m_prompt; }
    void setPrompt(const Ref<NSString>& prompt) { m_prompt = prompt; }

    // What the bar shows to go back to this item while the next one is on top.
    Ref<UIBarButtonItem> backBarButtonItem() const { return m_backBarButtonItem; }
    void setBackBarButtonItem(const Ref<UIBarButtonItem>& item);
    bool hidesBackButton() const { return m_hidesBackButton; }
    void setHidesBackButton(bool hides);
    void setHidesBackButton(bool hides, bool animated);
    // Left items take the back button's place unless they supplement it.
    bool leftItemsSupplementBackButton() const { return m_leftItemsSupplementBackButton; }
    void setLeftItemsSupplementBackButton(bool supplement);

    // The first of the left (right) items; the items stand from the edge inwards.
    Ref<UIBarButtonItem> leftBarButtonItem() const;
    void setLeftBarButtonItem(const Ref<UIBarButtonItem>& item);
    void setLeftBarButtonItem(const Ref<UIBarButtonItem>& item, bool animated);
    Ref<UIBarButtonItem> rightBarButtonItem() const;
    void setRightBarButtonItem(const Ref<UIBarButtonItem>& item);
    void setRightBarButtonItem(const Ref<UIBarButtonItem>& item, bool animated);
    Ref<NSArray> leftBarButtonItems() const;
    void setLeftBarButtonItems(const Ref<NSArray>& items);
    void setLeftBarButtonItems(const Ref<NSArray>& items, bool animated);
    Ref<NSArray> rightBarButtonItems() const;
    void setRightBarButtonItems(const Ref<NSArray>& items);
    void setRightBarButtonItems(const Ref<NSArray>& items, bool animated);

    const std::vector<Ref<UIBarButtonItem>>& leftItems() const { return m_leftItems; }
    const std::vector<Ref<UIBarButtonItem>>& rightItems() const { return m_rightItems; }

private:
    friend class UINavigationBar;

    void handleChanged();

    Ref<NSString> m_title;
    Ref<NSString> m_prompt;
    Ref<UIView> m_titleView;
    Ref<UIBarButtonItem> m_backBarButtonItem;
    std::vector<Ref<UIBarButtonItem>> m_leftItems;
    std::vector<Ref<UIBarButtonItem>> m_rightItems;
    Weak<UINavigationBar> m_bar; // the bar whose stack holds it
    bool m_hidesBackButton = false;
    bool m_leftItemsSupplementBackButton = false;
};
