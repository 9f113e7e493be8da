// UIToolbar: a bar of bar button items, 44 points high and as wide as its superview (the screen
// when it has none) when it sizes itself. Items stand in a row from 12 points in from the left
// edge to 12 points in from the right, 8 points apart where two shown items meet; a fixed space
// takes its width, flexible spaces share what is left equally, and each item is centred in the
// bar's height (custom views keep their own height). The bar is drawn in barTintColor, else its
// style's colour (light grey, or near-black for the black style), or its background image for the
// bottom position, with a hairline along its top edge (or the shadow image). tintColor reaches
// the items' buttons. Main thread only.
//
//   auto bar = alloc<UIToolbar>()->initWithFrame(CGRectMake(0, 0, 375, 44));
//   bar->setItems(NSArray::of({cancel, flexible, done}));
#pragma once

#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIView.h"

#include <vector>

enum UIBarStyle : NSInteger {
    UIBarStyleDefault = 0,
    UIBarStyleBlack = 1,
    UIBarStyleBlackOpaque = 1,
    UIBarStyleBlackTranslucent = 2,
};

enum UIBarPosition : NSInteger {
    UIBarPositionAny = 0,
    UIBarPositionBottom = 1,
    UIBarPositionTop = 2,
    UIBarPositionTopAttached = 3,
};
using UIToolbarPosition = UIBarPosition;
inline constexpr UIToolbarPosition UIToolbarPositionAny = UIBarPositionAny;
inline constexpr UIToolbarPosition UIToolbarPositionBottom = UIBarPositionBottom;
inline constexpr UIToolbarPosition UIToolbarPositionTop = UIBarPositionTop;

class UIToolbar : public UIView {
    DV_CLASS(UIToolbar, UIView)
    DV_APPEARANCE(UIToolbar)

    UIToolbar() = default;
    Ref<UIToolbar> init();
    Ref<UIToolbar> initWithFrame(CGRect frame);

    Ref<NSArray> items() const;
    void setItems(const Ref<NSArray>& items);
    void setItems(const Ref<NSArray>& items, bool animated);

    UIBarStyle barStyle() const { return m_barStyle; }
    void setBarStyle(UIBarStyle style);
    bool isTranslucent() const { return m_translucent; }
    void setTranslucent(bool translucent);
    // Appearance setters.
    Ref<UIColor> barTintColor() const { return m_barTintColor; }
    void setBarTintColor(const Ref<UIColor>& color);
    void setBackgroundImage(const Ref<UIImage>& image, UIToolbarPosition position, UIBarMetrics metrics);
    Ref<UIImage> backgroundImageForToolbarPosition(UIToolbarPosition position, UIBarMetrics metrics) const;
    void setShadowImage(const Ref<UIImage>& image, UIToolbarPosition position);
    Ref<UIImage> shadowImageForToolbarPosition(UIToolbarPosition position) const;
    void setTintColor(const Ref<UIColor>& color) override;

    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    void drawRect(CGRect rect) override;

private:
    void handleRemoveItemViews();

    std::vector<Ref<UIBarButtonItem>> m_items;
    std::vector<Ref<UIView>> m_itemViews; // the views the bar placed, for removal
    std::map<std::pair<UIToolbarPosition, UIBarMetrics>, Ref<UIImage>> m_backgroundImages;
    std::map<UIToolbarPosition, Ref<UIImage>> m_shadowImages;
    Ref<UIColor> m_barTintColor;
    UIBarStyle m_barStyle = UIBarStyleDefault;
    bool m_translucent = true;
};
