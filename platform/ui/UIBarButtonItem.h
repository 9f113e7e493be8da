// UIBarItem and UIBarButtonItem: the items of toolbars and navigation bars. An item is not a
// view: the bar that shows it makes a button for it (or shows its custom view), and a tap on that
// sends the item's action to its target (held weakly) with the item as sender; a nil target goes
// up the responder chain. A system item carries the platform's word for it (Done is "完成",
// Cancel "取消", ...; the spaces show nothing: a fixed space is `width` wide, flexible spaces share
// what the bar has left). The appearance setters are kept per control state and bar metrics;
// titleTextAttributes (font, colour), the normal background image and the title position
// adjustment show on the item's button. Main thread only.
//
//   auto done = alloc<UIBarButtonItem>()->initWithBarButtonSystemItem(UIBarButtonSystemItemDone, self(), "doneAction:");
//   auto back = alloc<UIBarButtonItem>()->initWithCustomView(button);
#pragma once

#include "platform/ui/UIAccessibility.h"
#include "platform/ui/UIAppearance.h"
#include "platform/ui/UIControl.h"
#include "platform/ui/UIGeometry.h"

#include <map>
#include <optional>
#include <tuple>

enum UIBarButtonItemStyle : NSInteger {
    UIBarButtonItemStylePlain = 0,
    UIBarButtonItemStyleBordered = 1,
    UIBarButtonItemStyleDone = 2,
};

enum UIBarButtonSystemItem : NSInteger {
    UIBarButtonSystemItemDone = 0,
    UIBarButtonSystemItemCancel = 1,
    UIBarButtonSystemItemEdit = 2,
    UIBarButtonSystemItemSave = 3,
    UIBarButtonSystemItemAdd = 4,
    UIBarButtonSystemItemFlexibleSpace = 5,
    UIBarButtonSystemItemFixedSpace = 6,
    UIBarButtonSystemItemCompose = 7,
    UIBarButtonSystemItemReply = 8,
    UIBarButtonSystemItemAction = 9,
    UIBarButtonSystemItemOrganize = 10,
    UIBarButtonSystemItemBookmarks = 11,
    UIBarButtonSystemItemSearch = 12,
    UIBarButtonSystemItemRefresh = 13,
    UIBarButtonSystemItemStop = 14,
    UIBarButtonSystemItemCamera = 15,
    UIBarButtonSystemItemTrash = 16,
    UIBarButtonSystemItemPlay = 17,
    UIBarButtonSystemItemPause = 18,
    UIBarButtonSystemItemRewind = 19,
    UIBarButtonSystemItemFastForward = 20,
    UIBarButtonSystemItemUndo = 21,
    UIBarButtonSystemItemRedo = 22,
    UIBarButtonSystemItemPageCurl = 23,
};

enum UIBarMetrics : NSInteger {
    UIBarMetricsDefault = 0,
    UIBarMetricsCompact = 1,
    UIBarMetricsDefaultPrompt = 101,
    UIBarMetricsCompactPrompt = 102,
    UIBarMetricsLandscapePhone = UIBarMetricsCompact,
};

class UIBarItem : public NSObject, public UIAppearance, public UIAccessibility {
    DV_CLASS(UIBarItem, NSObject)

    UIBarItem() = default;

    bool isEnabled() const { return m_enabled; }
    virtual void setEnabled(bool enabled);
    Ref<NSString> title() const { return m_title; }
    virtual void setTitle(const Ref<NSString>& title);
    Ref<UIImage> image() const { return m_image; }
    virtual void setImage(const Ref<UIImage>& image);
    Ref<UIImage> landscapeImagePhone() const { return m_landscapeImagePhone; }
    void setLandscapeImagePhone(const Ref<UIImage>& image) { m_landscapeImagePhone = image; }
    UIEdgeInsets imageInsets() const { return m_imageInsets; }
    void setImageInsets(UIEdgeInsets insets);
    NSInteger tag() const { return m_tag; }
    void setTag(NSInteger tag) { m_tag = tag; }
    // Font (NSFontAttributeName) and colour (NSForegroundColorAttributeName) of the title per
    // control state; an appearance setter.
    void setTitleTextAttributes(const Ref<NSDictionary>& attributes, UIControlState state);
    Ref<NSDictionary> titleTextAttributesForState(UIControlState state) const;

protected:
    // Something the bar shows changed.
    virtual void itemDidChange() { }

private:
    std::map<UIControlState, Ref<NSDictionary>> m_titleTextAttributes;
    Ref<NSString> m_title;
    Ref<UIImage> m_image;
    Ref<UIImage> m_landscapeImagePhone;
    UIEdgeInsets m_imageInsets {};
    NSInteger m_tag = 0;
    bool m_enabled = true;
};

class UIBarButtonItem : public UIBarItem {
    DV_CLASS(UIBarButtonItem, UIBarItem)
    DV_APPEARANCE(UIBarButtonItem)

    UIBarButtonItem() = default;
    Ref<UIBarButtonItem> init();
    Ref<UIBarButtonItem> initWithTitle(const Ref<NSString>& title, UIBarButtonItemStyle style, const id& target, SEL action);
    Ref<UIBarButtonItem> initWithImage(const Ref<UIImage>& image, UIBarButtonItemStyle style, const id& target, SEL action);
    Ref<UIBarButtonItem> initWithBarButtonSystemItem(UIBarButtonSystemItem systemItem, const id& target, SEL action);
    Ref<UIBarButtonItem> initWithCustomView(const Ref<UIView>& customView);

    UIBarButtonItemStyle style() const { return m_style; }
    void setStyle(UIBarButtonItemStyle style);
    // The width of a fixed space, or of the item's button when above 0.
    CGFloat width() const { return m_width; }
    void setWidth(CGFloat width);
    Ref<UIView> customView() const { return m_customView; }
    void setCustomView(const Ref<UIView>& view);
    id target() const { return m_target.lock(); }
    void setTarget(const id& target) { m_target = target; }
    SEL action() const { return m_action; }
    void setAction(SEL action) { m_action = action; }
    // The item's own tint; the bar's when nil. An appearance setter.
    Ref<UIColor> tintColor() const { return m_tintColor; }
    void setTintColor(const Ref<UIColor>& color);
    Ref<NSSet> possibleTitles() const { return m_possibleTitles; }
    void setPossibleTitles(const Ref<NSSet>& titles) { m_possibleTitles = titles; }
    // The system item it was made as, if any.
    std::optional<UIBarButtonSystemItem> systemItem() const { return m_systemItem; }
    bool isSpace() const;

    // Appearance setters and their readers, per state (or style) and bar metrics.
    void setBackgroundImage(const Ref<UIImage>& image, UIControlState state, UIBarMetrics metrics);
    Ref<UIImage> backgroundImage(UIControlState state, UIBarMetrics metrics) const;
    void setBackgroundImage(const Ref<UIImage>& image, UIControlState state, UIBarButtonItemStyle style, UIBarMetrics metrics);
    Ref<UIImage> backgroundImage(UIControlState state, UIBarButtonItemStyle style, UIBarMetrics metrics) const;
    void setBackgroundVerticalPositionAdjustment(CGFloat adjustment, UIBarMetrics metrics);
    CGFloat backgroundVerticalPositionAdjustment(UIBarMetrics metrics) const;
    void setTitlePositionAdjustment(UIOffset adjustment, UIBarMetrics metrics);
    UIOffset titlePositionAdjustment(UIBarMetrics metrics) const;
    void setBackButtonBackgroundImage(const Ref<UIImage>& image, UIControlState state, UIBarMetrics metrics);
    Ref<UIImage> backButtonBackgroundImage(UIControlState state, UIBarMetrics metrics) const;
    void setBackButtonTitlePositionAdjustment(UIOffset adjustment, UIBarMetrics metrics);
    UIOffset backButtonTitlePositionAdjustment(UIBarMetrics metrics) const;
    void setBackButtonBackgroundVerticalPositionAdjustment(CGFloat adjustment, UIBarMetrics metrics);
    CGFloat backButtonBackgroundVerticalPositionAdjustment(UIBarMetrics metrics) const;

    // The view that shows the item in its bar: its custom view, or the button the bar made for
    // it; nil for spaces and before a bar has laid the item out.
    Ref<UIView> representedView() const;
    // For bars: the view to show the item (made once, kept), nil for spaces. The bar applies
    // the item's appearance rules with `containers` (the bar and what contains it) first.
    Ref<UIView> viewForBar(const std::vector<const NSObject*>& containers);
    // For the item's button: sends the action to the target with the item as sender.
    void sendAction();

    bool isAccessibilityElement() const override { return accessibilityElementSetting().value_or(!isSpace()); }
    Ref<NSString> accessibilityLabel() const override;
    UIAccessibilityTraits accessibilityTraits() const override;

protected:
    void itemDidChange() override;

private:
    Ref<UIView> m_customView;
    Ref<UIView> m_button; // made by viewForBar
    Weak<NSObject> m_target;
    SEL m_action;
    Ref<UIColor> m_tintColor;
    Ref<NSSet> m_possibleTitles;
    std::map<std::tuple<UIControlState, NSInteger, UIBarMetrics>, Ref<UIImage>> m_backgroundImages; // style -1: any style
    std::map<std::pair<UIControlState, UIBarMetrics>, Ref<UIImage>> m_backButtonBackgroundImages;
    std::map<UIBarMetrics, CGFloat> m_backgroundVerticalAdjustments;
    std::map<UIBarMetrics, CGFloat> m_backButtonBackgroundVerticalAdjustments;
    std::map<UIBarMetrics, UIOffset> m_titleAdjustments;
    std::map<UIBarMetrics, UIOffset> m_backButtonTitleAdjustments;
    std::optional<UIBarButtonSystemItem> m_systemItem;
    UIBarButtonItemStyle m_style = UIBarButtonItemStylePlain;
    CGFloat m_width = 0;
};
