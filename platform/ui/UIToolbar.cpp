#include "platform/ui/UIToolbar.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/internal/BarButton.h"

#include <algorithm>

DV_DEFINE_CLASS(UIToolbar)

namespace {

constexpr CGFloat kHeight = 44;
constexpr CGFloat kEdgeMargin = 12;
constexpr CGFloat kItemGap = 8;

} // namespace

Ref<UIToolbar> UIToolbar::init() { return initWithFrame(CGRectZero); }

Ref<UIToolbar> UIToolbar::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    return self<UIToolbar>();
}

Ref<NSArray> UIToolbar::items() const
{
    if (m_items.empty())
        return nil;
    return NSArray::fromVector(std::vector<id>(m_items.begin(), m_items.end()));
}

void UIToolbar::setItems(const Ref<NSArray>& items) { setItems(items, false); }

void UIToolbar::setItems(const Ref<NSArray>& items, bool)
{
    handleRemoveItemViews();
    m_items.clear();
    if (items)
        for (auto& item : items->items())
            if (auto barItem = dv::as<UIBarButtonItem>(item))
                m_items.push_back(barItem);
    setNeedsLayout();
}

void UIToolbar::handleRemoveItemViews()
{
    for (auto& view : m_itemViews)
        if (view->superview().get() == this)
            view->removeFromSuperview();
    m_itemViews.clear();
}

void UIToolbar::setBarStyle(UIBarStyle style)
{
    m_barStyle = style;
    setNeedsDisplay();
}

void UIToolbar::setTranslucent(bool translucent)
{
    m_translucent = translucent;
    setNeedsDisplay();
}

void UIToolbar::setBarTintColor(const Ref<UIColor>& color)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UIToolbar>("barTintColor", [color](UIToolbar& bar) { bar.setBarTintColor(color); });
        return;
    }
    noteAppearanceSetterCalled("barTintColor");
    m_barTintColor = color;
    setNeedsDisplay();
}

void UIToolbar::setBackgroundImage(const Ref<UIImage>& image, UIToolbarPosition position, UIBarMetrics metrics)
{
    const std::string key = "backgroundImage" + std::to_string(position) + "/" + std::to_string(metrics);
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UIToolbar>(key, [=](UIToolbar& bar) { bar.setBackgroundImage(image, position, metrics); });
        return;
    }
    noteAppearanceSetterCalled(key);
    m_backgroundImages[{position, metrics}] = image;
    setNeedsDisplay();
}

Ref<UIImage> UIToolbar::backgroundImageForToolbarPosition(UIToolbarPosition position, UIBarMetrics metrics) const
{
    auto it = m_backgroundImages.find({position, metrics});
    return it == m_backgroundImages.end() ? nil : it->second;
}

void UIToolbar::setShadowImage(const Ref<UIImage>& image, UIToolbarPosition position)
{
    const std::string key = "shadowImage" + std::to_string(position);
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UIToolbar>(key, [=](UIToolbar& bar) { bar.setShadowImage(image, position); });
        return;
    }
    noteAppearanceSetterCalled(key);
    m_shadowImages[position] = image;
    setNeedsDisplay();
}

Ref<UIImage> UIToolbar::shadowImageForToolbarPosition(UIToolbarPosition position) const
{
    auto it = m_shadowImages.find(position);
    return it == m_shadowImages.end() ? nil : it->second;
}

void UIToolbar::setTintColor(const Ref<UIColor>& color)
{
    UIView::setTintColor(color);
    if (!isAppearanceProxy())
        setNeedsLayout(); // the items' buttons take it at layout
}

CGSize UIToolbar::sizeThatFits(CGSize) const
{
    auto super = superview();
    return CGSizeMake(super ? super->bounds().size.width : UIScreen::mainScreen()->bounds().size.width, kHeight);
}

void UIToolbar::layoutSubviews()
{
    UIView::layoutSubviews();
    // The containers of the items, for their appearance rules: the bar, then what contains it.
    std::vector<const NSObject*> containers {this};
    for (auto responder = nextResponder(); responder; responder = responder->nextResponder())
        containers.push_back(responder.get());

    struct Slot {
        Ref<UIBarButtonItem> item;
        Ref<UIView> view;
        CGFloat width = 0;
        bool flexible = false;
    };
    std::vector<Slot> slots;
    CGFloat used = 0;
    bool lastWasShown = false;
    int flexibleCount = 0;
    for (auto& item : m_items) {
        Slot slot {item, item->viewForBar(containers)};
        if (item->systemItem() == UIBarButtonSystemItemFlexibleSpace) {
            slot.flexible = true;
            ++flexibleCount;
            lastWasShown = false;
        } else if (item->isSpace()) {
            slot.width = item->width();
            lastWasShown = false;
        } else {
            if (auto button = dv::as<UIBarButton>(slot.view)) {
                button->update();
                slot.width = item->width() > 0 ? item->width() : button->sizeThatFits(CGSizeZero).width;
            } else if (slot.view) {
                slot.width = slot.view->frame().size.width;
            }
            if (lastWasShown)
                used += kItemGap;
            lastWasShown = true;
        }
        used += slot.width;
        slots.push_back(slot);
    }
    const CGRect b = bounds();
    const CGFloat room = b.size.width - 2 * kEdgeMargin - used;
    const CGFloat flexible = flexibleCount > 0 ? std::max<CGFloat>(room, 0) / flexibleCount : 0;

    std::vector<Ref<UIView>> placed;
    CGFloat x = b.origin.x + kEdgeMargin;
    lastWasShown = false;
    for (auto& slot : slots) {
        if (slot.flexible) {
            x += flexible;
            lastWasShown = false;
            continue;
        }
        if (!slot.view) {
            x += slot.width;
            lastWasShown = false;
            continue;
        }
        if (lastWasShown)
            x += kItemGap;
        const bool button = dv::as<UIBarButton>(slot.view) != nil;
        const CGFloat height = button ? b.size.height : slot.view->frame().size.height;
        slot.view->setFrame(CGRectMake(x, b.origin.y + (b.size.height - height) / 2, slot.width, height));
        if (slot.view->superview().get() != this)
            addSubview(slot.view);
        placed.push_back(slot.view);
        x += slot.width;
        lastWasShown = true;
    }
    for (auto& view : m_itemViews)
        if (std::find(placed.begin(), placed.end(), view) == placed.end() && view->superview().get() == this)
            view->removeFromSuperview();
    m_itemViews = std::move(placed);
}

void UIToolbar::drawRect(CGRect)
{
    const CGRect b = bounds();
    if (auto image = backgroundImageForToolbarPosition(UIToolbarPositionBottom, UIBarMetricsDefault)
            ? backgroundImageForToolbarPosition(UIToolbarPositionBottom, UIBarMetricsDefault)
            : backgroundImageForToolbarPosition(UIToolbarPositionAny, UIBarMetricsDefault)) {
        image->drawInRect(b);
    } else {
        Ref<UIColor> colour = m_barTintColor;
        if (!colour)
            colour = m_barStyle == UIBarStyleDefault ? UIColor::colorWithWhite(0.97, m_translucent ? 0.94 : 1)
                                                     : UIColor::colorWithWhite(0.11, m_translucent ? 0.94 : 1);
        colour->setFill();
        UIRectFill(b);
    }
    if (auto shadow = shadowImageForToolbarPosition(UIToolbarPositionBottom) ? shadowImageForToolbarPosition(UIToolbarPositionBottom)
                                                                              : shadowImageForToolbarPosition(UIToolbarPositionAny)) {
        shadow->drawInRect(CGRectMake(b.origin.x, b.origin.y, b.size.width, shadow->size().height));
    } else {
        UIColor::colorWithWhite(0.7, 1)->setFill();
        UIRectFill(CGRectMake(b.origin.x, b.origin.y, b.size.width, 0.5));
    }
}
