#include "platform/ui/UINavigationBar.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSAttributedString.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UIBezierPath.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/internal/BarButton.h"

#include <algorithm>

namespace {

constexpr CGFloat kHeight = 44;
constexpr CGFloat kEdgeMargin = 8;
constexpr CGFloat kItemGap = 8;
constexpr CGFloat kStatusBarHeight = 20;

template <class T>
Ref<T> attribute(const Ref<NSDictionary>& attributes, const Ref<NSString>& name)
{
    return attributes ? dv::as<T>(attributes->objectForKey(name)) : nil;
}

bool scanForTransparentPixels(const Ref<UIImage>& image)
{
    auto cg = image ? image->CGImage() : nil;
    if (!cg || !dv::imageHasAlpha(cg))
        return false;
    const auto pixels = dv::imagePixelsRGBA8(cg);
    for (std::size_t i = 3; i < pixels.size(); i += 4)
        if (pixels[i] < 255)
            return true;
    return false;
}

// Whether the image has transparent pixels. Every layout of a bar asks, the answer costs a pass
// over all of the image's pixels, and bars come and go with their controllers while their
// background (a named image, kept for the process) stays: the answer for the image looked at
// last is kept for all bars. Bars live on the main thread only.
bool hasTransparentPixels(const Ref<UIImage>& image)
{
    static Weak<UIImage> scanned;
    static bool transparent = false;
    if (scanned.lock() != image) {
        transparent = scanForTransparentPixels(image);
        scanned = image;
    }
    return transparent;
}

} // namespace

// The bar's backdrop: its colour or background image, and the hairline under the bar.
class UINavigationBarBackground : public UIView {
    DV_CLASS(UINavigationBarBackground, UIView)
public:
    UINavigationBarBackground() = default;
    Ref<UIImage> image;
    Ref<UIImage> shadow;
    Ref<UIColor> colour;

    void drawRect(CGRect) override
    {
        const CGRect b = bounds();
        if (image) {
            image->drawInRect(b);
        } else {
            (colour ? colour : UIColor::whiteColor())->setFill();
            UIRectFill(b);
        }
        if (shadow) {
            shadow->drawInRect(CGRectMake(0, CGRectGetMaxY(b) - shadow->size().height, b.size.width, shadow->size().height));
        } else if (!image) {
            UIColor::colorWithWhite(0.7, 1)->setFill();
            UIRectFill(CGRectMake(0, CGRectGetMaxY(b) - 0.5, b.size.width, 0.5));
        }
    }
};

// The "<" in front of the back button's title, in the button's tint.
class UINavigationBackIndicator : public UIView {
    DV_CLASS(UINavigationBackIndicator, UIView)
public:
    UINavigationBackIndicator() = default;
    Ref<UIColor> colour;

    void drawRect(CGRect) override
    {
        auto path = UIBezierPath::bezierPath();
        path->moveToPoint(CGPointMake(10, 1.5));
        path->addLineToPoint(CGPointMake(2, 10.5));
        path->addLineToPoint(CGPointMake(10, 19.5));
        path->setLineWidth(3);
        (colour ? colour : tintColor())->setStroke();
        path->stroke();
    }
};

// The back button: the indicator and the title of the item to go back to.
class UINavigationBackButton : public UIButton {
    DV_CLASS(UINavigationBackButton, UIButton)
public:
    UINavigationBackButton() = default;
    Ref<UINavigationBackIndicator> indicator;
    Weak<UINavigationBar> bar;

    void layoutSubviews() override
    {
        UIButton::layoutSubviews();
        if (indicator) {
            indicator->setFrame(CGRectMake(0, (bounds().size.height - 21) / 2, 12, 21));
            indicator->colour = currentTitleColor();
            indicator->setNeedsDisplay();
        }
    }
    CGSize sizeThatFits(CGSize size) const override
    {
        const CGSize title = UIButton::sizeThatFits(size);
        return CGSizeMake(title.width, kHeight);
    }
    void back()
    {
        if (auto b = bar.lock())
            b->handleBackTapped();
    }
};

DV_DEFINE_CLASS(UINavigationBar)
DV_DEFINE_CLASS(UINavigationBarBackground)
DV_DEFINE_CLASS(UINavigationBackIndicator)
DV_DEFINE_CLASS_WITH(UINavigationBackButton, b)
{
    b.method("back", "v16@0:8", [](UINavigationBackButton& button, std::span<const id>) {
        button.back();
        return nil;
    });
}

Ref<UINavigationBar> UINavigationBar::init() { return initWithFrame(CGRectZero); }

Ref<UINavigationBar> UINavigationBar::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    auto background = alloc<UINavigationBarBackground>();
    background->init();
    background->setUserInteractionEnabled(false);
    m_background = background;
    addSubview(m_background);
    m_titleLabel = alloc<UILabel>()->init();
    m_titleLabel->setTextAlignment(NSTextAlignmentCenter);
    handleLayoutBackground();
    return self<UINavigationBar>();
}

// MARK: - Items

Ref<NSArray> UINavigationBar::items() const
{
    if (m_items.empty())
        return nil;
    return NSArray::fromVector(std::vector<id>(m_items.begin(), m_items.end()));
}

Ref<UINavigationItem> UINavigationBar::topItem() const { return m_items.empty() ? nil : m_items.back(); }

Ref<UINavigationItem> UINavigationBar::backItem() const { return m_items.size() < 2 ? nil : m_items[m_items.size() - 2]; }

void UINavigationBar::setItems(const Ref<NSArray>& items) { setItems(items, false); }

void UINavigationBar::setItems(const Ref<NSArray>& items, bool)
{
    std::vector<Ref<UINavigationItem>> list;
    if (items)
        for (auto& object : items->items())
            if (auto item = dv::as<UINavigationItem>(object))
                list.push_back(item);
    handleSetItems(std::move(list));
}

void UINavigationBar::handleForget(const Ref<UINavigationItem>& item)
{
    if (item->m_bar.lock().get() == this)
        item->m_bar.reset();
    if (item->m_titleView && item->m_titleView->superview().get() == this)
        item->m_titleView->removeFromSuperview();
}

void UINavigationBar::handleSetItems(std::vector<Ref<UINavigationItem>> items)
{
    for (auto& old : m_items)
        if (std::find(items.begin(), items.end(), old) == items.end())
            handleForget(old);
    m_items = std::move(items);
    auto me = self<UINavigationBar>();
    for (auto& item : m_items)
        item->m_bar = me;
    setNeedsLayout();
}

void UINavigationBar::pushNavigationItem(const Ref<UINavigationItem>& item, bool)
{
    if (!item)
        return;
    auto me = self<UINavigationBar>();
    auto delegate = this->delegate();
    if (delegate && !delegate->navigationBarShouldPushItem(me, item).value_or(true))
        return;
    auto items = m_items;
    items.push_back(item);
    handleSetItems(std::move(items));
    if (delegate)
        delegate->navigationBarDidPushItem(me, item);
}

Ref<UINavigationItem> UINavigationBar::popNavigationItemAnimated(bool)
{
    auto top = topItem();
    if (!top)
        return nil;
    auto me = self<UINavigationBar>();
    auto delegate = this->delegate();
    if (delegate && !delegate->navigationBarShouldPopItem(me, top).value_or(true))
        return nil;
    auto items = m_items;
    items.pop_back();
    handleSetItems(std::move(items));
    if (delegate)
        delegate->navigationBarDidPopItem(me, top);
    return top;
}

void UINavigationBar::handleBackTapped() { popNavigationItemAnimated(true); }

// MARK: - Look

void UINavigationBar::setBarStyle(UIBarStyle style)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UINavigationBar>("barStyle", [style](UINavigationBar& bar) { bar.setBarStyle(style); });
        return;
    }
    noteAppearanceSetterCalled("barStyle");
    m_barStyle = style;
    handleLayoutBackground();
}

bool UINavigationBar::isTranslucent() const
{
    if (m_translucent)
        return *m_translucent;
    auto image = backgroundImageForBarMetrics(UIBarMetricsDefault);
    if (!image)
        return true;
    return hasTransparentPixels(image);
}

void UINavigationBar::setTranslucent(bool translucent)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UINavigationBar>("translucent", [translucent](UINavigationBar& bar) { bar.setTranslucent(translucent); });
        return;
    }
    noteAppearanceSetterCalled("translucent");
    m_translucent = translucent;
    handleLayoutBackground();
}

void UINavigationBar::setBarTintColor(const Ref<UIColor>& color)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UINavigationBar>("barTintColor", [color](UINavigationBar& bar) { bar.setBarTintColor(color); });
        return;
    }
    noteAppearanceSetterCalled("barTintColor");
    m_barTintColor = color;
    handleLayoutBackground();
}

void UINavigationBar::setTitleTextAttributes(const Ref<NSDictionary>& attributes)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UINavigationBar>("titleTextAttributes", [attributes](UINavigationBar& bar) { bar.setTitleTextAttributes(attributes); });
        return;
    }
    noteAppearanceSetterCalled("titleTextAttributes");
    m_titleTextAttributes = attributes;
    setNeedsLayout();
}

void UINavigationBar::setBackgroundImage(const Ref<UIImage>& image, UIBarMetrics metrics)
{
    setBackgroundImage(image, UIBarPositionAny, metrics);
}

Ref<UIImage> UINavigationBar::backgroundImageForBarMetrics(UIBarMetrics metrics) const
{
    return backgroundImageForBarPosition(UIBarPositionAny, metrics);
}

void UINavigationBar::setBackgroundImage(const Ref<UIImage>& image, UIBarPosition position, UIBarMetrics metrics)
{
    const std::string key = "backgroundImage" + std::to_string(position) + "/" + std::to_string(metrics);
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UINavigationBar>(key, [=](UINavigationBar& bar) { bar.setBackgroundImage(image, position, metrics); });
        return;
    }
    noteAppearanceSetterCalled(key);
    m_backgroundImages[{position, metrics}] = image;
    handleLayoutBackground();
}

Ref<UIImage> UINavigationBar::backgroundImageForBarPosition(UIBarPosition position, UIBarMetrics metrics) const
{
    auto it = m_backgroundImages.find({position, metrics});
    return it == m_backgroundImages.end() ? nil : it->second;
}

void UINavigationBar::setShadowImage(const Ref<UIImage>& image)
{
    if (isAppearanceProxy()) {
        recordAppearanceSetter<UINavigationBar>("shadowImage", [image](UINavigationBar& bar) { bar.setShadowImage(image); });
        return;
    }
    noteAppearanceSetterCalled("shadowImage");
    m_shadowImage = image;
    handleLayoutBackground();
}

void UINavigationBar::setTintColor(const Ref<UIColor>& color)
{
    UIView::setTintColor(color);
    if (!isAppearanceProxy())
        setNeedsLayout(); // the item buttons take it at layout
}

// MARK: - Layout

CGSize UINavigationBar::sizeThatFits(CGSize) const
{
    auto super = superview();
    return CGSizeMake(super ? super->bounds().size.width : UIScreen::mainScreen()->bounds().size.width, kHeight);
}

void UINavigationBar::setFrame(CGRect frame)
{
    UIView::setFrame(frame);
    if (m_background)
        handleLayoutBackground();
}

void UINavigationBar::setCenter(CGPoint center)
{
    UIView::setCenter(center);
    if (m_background)
        handleLayoutBackground();
}

CGFloat UINavigationBar::handleStatusBarReach() const
{
    // A bar right under the status bar (at the top of a window or a full-screen view) paints the
    // status bar's strip too.
    const CGFloat y = frame().origin.y;
    return y > 0 && y <= kStatusBarHeight ? y : 0;
}

void UINavigationBar::handleLayoutBackground()
{
    auto background = std::static_pointer_cast<UINavigationBarBackground>(m_background);
    const CGFloat reach = handleStatusBarReach();
    const CGRect b = bounds();
    background->setFrame(CGRectMake(b.origin.x, b.origin.y - reach, b.size.width, b.size.height + reach));
    auto image = backgroundImageForBarPosition(UIBarPositionTopAttached, UIBarMetricsDefault);
    if (!image || reach == 0)
        image = backgroundImageForBarMetrics(UIBarMetricsDefault);
    background->image = image;
    background->shadow = m_shadowImage;
    Ref<UIColor> colour = m_barTintColor;
    if (!colour)
        colour = m_barStyle == UIBarStyleDefault ? UIColor::colorWithWhite(0.97, 1) : UIColor::colorWithWhite(0.11, 1);
    if (isTranslucent())
        colour = colour->colorWithAlphaComponent(0.94);
    background->colour = colour;
    background->setNeedsDisplay();
}

Ref<UIView> UINavigationBar::titleDisplayView() const
{
    auto top = topItem();
    if (!top)
        return nil;
    if (top->titleView())
        return top->titleView();
    return m_titleLabel && m_titleLabel->superview().get() == this ? m_titleLabel : nil;
}

Ref<UIButton> UINavigationBar::backButton() const
{
    return m_backButton && m_backButton->superview().get() == this ? m_backButton : nil;
}

void UINavigationBar::layoutSubviews()
{
    UIView::layoutSubviews();
    handleLayoutBackground();
    sendSubviewToBack(m_background);
    const CGRect b = bounds();
    std::vector<Ref<UIView>> placed;
    auto top = topItem();
    auto back = backItem();

    std::vector<const NSObject*> containers {this};
    for (auto responder = nextResponder(); responder; responder = responder->nextResponder())
        containers.push_back(responder.get());

    auto place = [&](const Ref<UIBarButtonItem>& item, CGFloat& x, bool fromRight) {
        auto view = item->viewForBar(containers);
        if (!view)
            return;
        CGFloat width = view->frame().size.width;
        CGFloat height = view->frame().size.height;
        if (auto button = dv::as<UIBarButton>(view)) {
            button->update();
            width = item->width() > 0 ? item->width() : button->sizeThatFits(CGSizeZero).width;
            height = b.size.height;
        }
        const CGFloat left = fromRight ? x - width : x;
        view->setFrame(CGRectMake(left, b.origin.y + (b.size.height - height) / 2, width, height));
        if (view->superview().get() != this)
            addSubview(view);
        placed.push_back(view);
        x = fromRight ? left - kItemGap : left + width + kItemGap;
    };

    // Left side: the back button unless the top item's left items take its place.
    CGFloat leftX = b.origin.x + kEdgeMargin;
    const bool showsBack = top && back && !top->hidesBackButton() && (top->leftItems().empty() || top->leftItemsSupplementBackButton());
    if (showsBack) {
        if (!m_backButton) {
            auto button = alloc<UINavigationBackButton>();
            button->init();
            button->bar = self<UINavigationBar>();
            auto indicator = alloc<UINavigationBackIndicator>();
            indicator->init();
            indicator->setUserInteractionEnabled(false);
            indicator->setBackgroundColor(UIColor::clearColor());
            button->indicator = indicator;
            button->addSubview(indicator);
            button->setContentEdgeInsets(UIEdgeInsetsMake(0, 18, 0, 0));
            button->setContentHorizontalAlignment(UIControlContentHorizontalAlignmentLeft);
            button->addTarget(button, "back", UIControlEventTouchUpInside);
            m_backButton = button;
        }
        Ref<NSString> title = back->backBarButtonItem() ? back->backBarButtonItem()->title() : back->title();
        if (!title || title->length() == 0 || title->length() > 12)
            title = "返回"_ns;
        m_backButton->setTitle(title, UIControlStateNormal);
        m_backButton->titleLabel()->setFont(UIFont::systemFontOfSize(17));
        m_backButton->setTitleColor(tintColor(), UIControlStateNormal);
        m_backButton->setTitleColor(tintColor()->colorWithAlphaComponent(0.2), UIControlStateHighlighted);
        const CGFloat width = m_backButton->sizeThatFits(CGSizeZero).width;
        m_backButton->setFrame(CGRectMake(leftX, b.origin.y, width, b.size.height));
        if (m_backButton->superview().get() != this)
            addSubview(m_backButton);
        placed.push_back(m_backButton);
        leftX += width + kItemGap;
    }
    if (top && (top->leftItems().empty() || !showsBack || top->leftItemsSupplementBackButton()))
        for (auto& item : top->leftItems())
            place(item, leftX, false);

    CGFloat rightX = CGRectGetMaxX(b) - kEdgeMargin;
    if (top)
        for (auto& item : top->rightItems())
            place(item, rightX, true);

    // The title, centred in the bar, or as close to the centre as the items let it be.
    if (top) {
        Ref<UIView> titleView = top->titleView();
        if (!titleView && top->title()) {
            m_titleLabel->setText(top->title());
            auto font = attribute<UIFont>(m_titleTextAttributes, NSFontAttributeName);
            m_titleLabel->setFont(font ? font : UIFont::boldSystemFontOfSize(17));
            auto colour = attribute<UIColor>(m_titleTextAttributes, NSForegroundColorAttributeName);
            m_titleLabel->setTextColor(colour ? colour : (m_barStyle == UIBarStyleDefault ? UIColor::blackColor() : UIColor::whiteColor()));
            const CGSize size = m_titleLabel->sizeThatFits(CGSizeZero);
            m_titleLabel->setFrame(CGRectMake(0, 0, size.width, size.height));
            titleView = m_titleLabel;
        }
        if (titleView) {
            const CGFloat minX = leftX, maxX = rightX;
            CGSize size = titleView->frame().size;
            if (titleView == m_titleLabel)
                size.width = std::min(size.width, std::max<CGFloat>(0, maxX - minX));
            CGFloat x = b.origin.x + (b.size.width - size.width) / 2;
            if (x < minX)
                x = minX;
            if (x + size.width > maxX)
                x = std::max(minX, maxX - size.width);
            titleView->setFrame(CGRectMake(x, b.origin.y + (b.size.height - size.height) / 2, size.width, size.height));
            if (titleView->superview().get() != this)
                addSubview(titleView);
            placed.push_back(titleView);
        }
    }

    for (auto& view : m_itemViews)
        if (std::find(placed.begin(), placed.end(), view) == placed.end() && view->superview().get() == this)
            view->removeFromSuperview();
    if (m_titleLabel->superview().get() == this && std::find(placed.begin(), placed.end(), m_titleLabel) == placed.end())
        m_titleLabel->removeFromSuperview();
    m_itemViews = std::move(placed);
}
