#include "platform/ui/UIBarButtonItem.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/internal/BarButton.h"

DV_DEFINE_CLASS(UIBarItem)
DV_DEFINE_CLASS(UIBarButtonItem)

// UIBarItem

void UIBarItem::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    itemDidChange();
}

void UIBarItem::setTitle(const Ref<NSString>& title)
{
    m_title = dv::copyAs<NSString>(title);
    itemDidChange();
}

void UIBarItem::setImage(const Ref<UIImage>& image)
{
    m_image = image;
    itemDidChange();
}

void UIBarItem::setImageInsets(UIEdgeInsets insets)
{
    m_imageInsets = insets;
    itemDidChange();
}

void UIBarItem::setTitleTextAttributes(const Ref<NSDictionary>& attributes, UIControlState state)
{
    const std::string key = "titleTextAttributes" + std::to_string(state);
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UIBarItem>(key, [attributes, state](UIBarItem& item) { item.setTitleTextAttributes(attributes, state); });
        return;
    }
    noteAppearanceSetterCalled(key);
    if (attributes)
        m_titleTextAttributes[state] = attributes;
    else
        m_titleTextAttributes.erase(state);
    itemDidChange();
}

Ref<NSDictionary> UIBarItem::titleTextAttributesForState(UIControlState state) const
{
    auto it = m_titleTextAttributes.find(state);
    return it == m_titleTextAttributes.end() ? nil : it->second;
}

// UIBarButtonItem

Ref<UIBarButtonItem> UIBarButtonItem::init() { return self<UIBarButtonItem>(); }

Ref<UIBarButtonItem> UIBarButtonItem::initWithTitle(const Ref<NSString>& title, UIBarButtonItemStyle style, const id& target, SEL action)
{
    setTitle(title);
    m_style = style;
    m_target = target;
    m_action = action;
    return self<UIBarButtonItem>();
}

Ref<UIBarButtonItem> UIBarButtonItem::initWithImage(const Ref<UIImage>& image, UIBarButtonItemStyle style, const id& target, SEL action)
{
    setImage(image);
    m_style = style;
    m_target = target;
    m_action = action;
    return self<UIBarButtonItem>();
}

Ref<UIBarButtonItem> UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem systemItem, const id& target, SEL action)
{
    m_systemItem = systemItem;
    m_style = systemItem == UIBarButtonSystemItemDone ? UIBarButtonItemStyleDone : UIBarButtonItemStylePlain;
    m_target = target;
    m_action = action;
    return self<UIBarButtonItem>();
}

Ref<UIBarButtonItem> UIBarButtonItem::initWithCustomView(const Ref<UIView>& customView)
{
    m_customView = customView;
    return self<UIBarButtonItem>();
}

bool UIBarButtonItem::isSpace() const
{
    return m_systemItem == UIBarButtonSystemItemFlexibleSpace || m_systemItem == UIBarButtonSystemItemFixedSpace;
}

void UIBarButtonItem::setStyle(UIBarButtonItemStyle style)
{
    m_style = style;
    itemDidChange();
}

void UIBarButtonItem::setWidth(CGFloat width)
{
    m_width = width;
    itemDidChange();
}

void UIBarButtonItem::setCustomView(const Ref<UIView>& view)
{
    if (view == m_customView)
        return;
    auto bar = m_customView ? m_customView->superview() : nil;
    if (m_customView && bar)
        m_customView->removeFromSuperview();
    m_customView = view;
    if (bar)
        bar->setNeedsLayout();
    itemDidChange();
}

void UIBarButtonItem::setTintColor(const Ref<UIColor>& color)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UIBarButtonItem>("tintColor", [color](UIBarButtonItem& item) { item.setTintColor(color); });
        return;
    }
    noteAppearanceSetterCalled("tintColor");
    m_tintColor = color;
    itemDidChange();
}

// Appearance values

namespace {

template <class Map, class Key, class V>
void store(Map& map, const Key& key, const V& value)
{
    map[key] = value;
}

template <class Map, class Key>
typename Map::mapped_type lookup(const Map& map, const Key& key)
{
    auto it = map.find(key);
    return it == map.end() ? typename Map::mapped_type {} : it->second;
}

} // namespace

#define DV_BAR_APPEARANCE(key, call)                                                                      \
    if (isAppearanceProxy()) {                                                                            \
        recordAppearanceSetter<UIBarButtonItem>(key, [=](UIBarButtonItem& item) { item.call; });          \
        return;                                                                                           \
    }                                                                                                     \
    noteAppearanceSetterCalled(key)

void UIBarButtonItem::setBackgroundImage(const Ref<UIImage>& image, UIControlState state, UIBarMetrics metrics)
{
    DV_BAR_APPEARANCE("backgroundImage" + std::to_string(state) + "/" + std::to_string(metrics), setBackgroundImage(image, state, metrics));
    store(m_backgroundImages, std::make_tuple(state, NSInteger(-1), metrics), image);
    itemDidChange();
}

Ref<UIImage> UIBarButtonItem::backgroundImage(UIControlState state, UIBarMetrics metrics) const
{
    return lookup(m_backgroundImages, std::make_tuple(state, NSInteger(-1), metrics));
}

void UIBarButtonItem::setBackgroundImage(const Ref<UIImage>& image, UIControlState state, UIBarButtonItemStyle style, UIBarMetrics metrics)
{
    DV_BAR_APPEARANCE("backgroundImage" + std::to_string(state) + "/" + std::to_string(style) + "/" + std::to_string(metrics),
        setBackgroundImage(image, state, style, metrics));
    store(m_backgroundImages, std::make_tuple(state, NSInteger(style), metrics), image);
    itemDidChange();
}

Ref<UIImage> UIBarButtonItem::backgroundImage(UIControlState state, UIBarButtonItemStyle style, UIBarMetrics metrics) const
{
    return lookup(m_backgroundImages, std::make_tuple(state, NSInteger(style), metrics));
}

void UIBarButtonItem::setBackgroundVerticalPositionAdjustment(CGFloat adjustment, UIBarMetrics metrics)
{
    DV_BAR_APPEARANCE("backgroundVerticalPositionAdjustment" + std::to_string(metrics), setBackgroundVerticalPositionAdjustment(adjustment, metrics));
    store(m_backgroundVerticalAdjustments, metrics, adjustment);
    itemDidChange();
}

CGFloat UIBarButtonItem::backgroundVerticalPositionAdjustment(UIBarMetrics metrics) const
{
    return lookup(m_backgroundVerticalAdjustments, metrics);
}

void UIBarButtonItem::setTitlePositionAdjustment(UIOffset adjustment, UIBarMetrics metrics)
{
    DV_BAR_APPEARANCE("titlePositionAdjustment" + std::to_string(metrics), setTitlePositionAdjustment(adjustment, metrics));
    store(m_titleAdjustments, metrics, adjustment);
    itemDidChange();
}

UIOffset UIBarButtonItem::titlePositionAdjustment(UIBarMetrics metrics) const { return lookup(m_titleAdjustments, metrics); }

void UIBarButtonItem::setBackButtonBackgroundImage(const Ref<UIImage>& image, UIControlState state, UIBarMetrics metrics)
{
    DV_BAR_APPEARANCE("backButtonBackgroundImage" + std::to_string(state) + "/" + std::to_string(metrics),
        setBackButtonBackgroundImage(image, state, metrics));
    store(m_backButtonBackgroundImages, std::make_pair(state, metrics), image);
}

Ref<UIImage> UIBarButtonItem::backButtonBackgroundImage(UIControlState state, UIBarMetrics metrics) const
{
    return lookup(m_backButtonBackgroundImages, std::make_pair(state, metrics));
}

void UIBarButtonItem::setBackButtonTitlePositionAdjustment(UIOffset adjustment, UIBarMetrics metrics)
{
    DV_BAR_APPEARANCE("backButtonTitlePositionAdjustment" + std::to_string(metrics), setBackButtonTitlePositionAdjustment(adjustment, metrics));
    store(m_backButtonTitleAdjustments, metrics, adjustment);
}

UIOffset UIBarButtonItem::backButtonTitlePositionAdjustment(UIBarMetrics metrics) const { return lookup(m_backButtonTitleAdjustments, metrics); }

void UIBarButtonItem::setBackButtonBackgroundVerticalPositionAdjustment(CGFloat adjustment, UIBarMetrics metrics)
{
    DV_BAR_APPEARANCE("backButtonBackgroundVerticalPositionAdjustment" + std::to_string(metrics),
        setBackButtonBackgroundVerticalPositionAdjustment(adjustment, metrics));
    store(m_backButtonBackgroundVerticalAdjustments, metrics, adjustment);
}

CGFloat UIBarButtonItem::backButtonBackgroundVerticalPositionAdjustment(UIBarMetrics metrics) const
{
    return lookup(m_backButtonBackgroundVerticalAdjustments, metrics);
}

#undef DV_BAR_APPEARANCE

// Bars

Ref<UIView> UIBarButtonItem::representedView() const { return m_customView ? m_customView : m_button; }

Ref<UIView> UIBarButtonItem::viewForBar(const std::vector<const NSObject*>& containers)
{
    if (!appearanceApplied())
        applyAppearance(*this, containers);
    if (m_customView)
        return m_customView;
    if (isSpace())
        return nil;
    if (!m_button)
        m_button = UIBarButton::buttonForItem(self<UIBarButtonItem>());
    return m_button;
}

void UIBarButtonItem::itemDidChange()
{
    if (auto button = std::static_pointer_cast<UIBarButton>(m_button))
        button->update();
    if (auto view = representedView(); view && view->superview())
        view->superview()->setNeedsLayout();
}

void UIBarButtonItem::sendAction()
{
    if (m_action && isEnabled())
        UIApplication::sharedApplication()->sendAction(m_action, m_target.lock(), self<UIBarButtonItem>(), nil);
}

Ref<NSString> UIBarButtonItem::accessibilityLabel() const
{
    if (auto label = UIBarItem::accessibilityLabel())
        return label;
    if (auto button = dv::as<UIButton>(m_button))
        return button->currentTitle();
    return title();
}

UIAccessibilityTraits UIBarButtonItem::accessibilityTraits() const
{
    return UIBarItem::accessibilityTraits() | UIAccessibilityTraitButton | (isEnabled() ? 0 : UIAccessibilityTraitNotEnabled);
}
