// UINavigationBar: the bar at the top of a navigation controller (or on its own), 44 points high
// and as wide as its superview, showing a stack of navigation items: the top item's title (bold
// 17-point text, or the title text attributes' font and colour) or title view centred in the bar,
// its left items from the left edge (or a back button titled after the item below, which asks
// the delegate and pops), and its right items from the right edge, 8 points from each edge and
// apart. Its background (the bar tint, else white, or the background image) reaches up behind
// the status bar when the bar sits right under it, with a hairline under the bar. A bar with a
// background image is opaque unless the image has transparent pixels or translucency was set.
// Look setters are appearance setters (per containing controller class too). Main thread only.
//
//   UINavigationBar::appearanceWhenContainedIn({SMNavigationController::class_()})
//       ->setBackgroundImage(UIImage::imageNamed("nav"_ns), UIBarMetricsDefault);
#pragma once

#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIToolbar.h"
#include "platform/ui/UIView.h"

#include <map>
#include <optional>
#include <vector>

class UIButton;
class UILabel;
class UINavigationBar;
class UINavigationItem;

// The delegate protocol; every method is optional (nullopt / false: not implemented).
class UINavigationBarDelegate {
public:
    virtual ~UINavigationBarDelegate() = default;
    virtual std::optional<bool> navigationBarShouldPushItem(const Ref<UINavigationBar>&, const Ref<UINavigationItem>&) { return std::nullopt; }
    virtual bool navigationBarDidPushItem(const Ref<UINavigationBar>&, const Ref<UINavigationItem>&) { return false; }
    virtual std::optional<bool> navigationBarShouldPopItem(const Ref<UINavigationBar>&, const Ref<UINavigationItem>&) { return std::nullopt; }
    virtual bool navigationBarDidPopItem(const Ref<UINavigationBar>&, const Ref<UINavigationItem>&) { return false; }
};

class UINavigationBar : public UIView {
    DV_CLASS(UINavigationBar, UIView)
    DV_APPEARANCE(UINavigationBar)

    UINavigationBar() = default;
    Ref<UINavigationBar> init();
    Ref<UINavigationBar> initWithFrame(CGRect frame);

    // The stack of items.
    Ref<NSArray> items() const;
    void setItems(const Ref<NSArray>& items);
    void setItems(const Ref<NSArray>& items, bool animated);
    void pushNavigationItem(const Ref<UINavigationItem>& item, bool animated);
    Ref<UINavigationItem> popNavigationItemAnimated(bool animated);
    Ref<UINavigationItem> topItem() const;
    Ref<UINavigationItem> backItem() const;

    Ref<UINavigationBarDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<UINavigationBarDelegate>& delegate) { m_delegate = delegate; }

    // Look (appearance setters).
    UIBarStyle barStyle() const { return m_barStyle; }
    void setBarStyle(UIBarStyle style);
    bool isTranslucent() const;
    void setTranslucent(bool translucent);
    Ref<UIColor> barTintColor() const { return m_barTintColor; }
    void setBarTintColor(const Ref<UIColor>& color);
    // Font (NSFontAttributeName) and colour (NSForegroundColorAttributeName) of the title.
    Ref<NSDictionary> titleTextAttributes() const { return m_titleTextAttributes; }
    void setTitleTextAttributes(const Ref<NSDictionary>& attributes);
    void setBackgroundImage(const Ref<UIImage>& image, UIBarMetrics metrics);
    Ref<UIImage> backgroundImageForBarMetrics(UIBarMetrics metrics) const;
    void setBackgroundImage(const Ref<UIImage>& image, UIBarPosition position, UIBarMetrics metrics);
    Ref<UIImage> backgroundImageForBarPosition(UIBarPosition position, UIBarMetrics metrics) const;
    Ref<UIImage> shadowImage() const { return m_shadowImage; }
    void setShadowImage(const Ref<UIImage>& image);
    void setTintColor(const Ref<UIColor>& color) override;

    // The view that shows the top item's title: its title view, or the bar's title label.
    Ref<UIView> titleDisplayView() const;
    // The back button shown now, nil when none shows.
    Ref<UIButton> backButton() const;

    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    void setFrame(CGRect frame) override;
    void setCenter(CGPoint center) override;

private:
    friend class UINavigationBackButton;
    friend class UINavigationController;

    // Replaces the stack without asking the delegate (the navigation controller keeps it in step
    // with its controllers).
    void handleSetItems(std::vector<Ref<UINavigationItem>> items);
    void handleBackTapped();
    void handleLayoutBackground();
    void handleForget(const Ref<UINavigationItem>& item);
    CGFloat handleStatusBarReach() const;

    std::vector<Ref<UINavigationItem>> m_items;
    Weak<UINavigationBarDelegate> m_delegate;
    Ref<UIView> m_background;        // behind everything, reaching under the status bar
    Ref<UIView> m_hairline;
    Ref<UILabel> m_titleLabel;
    Ref<UIButton> m_backButton;
    std::vector<Ref<UIView>> m_itemViews; // placed item views and title views, for removal
    std::map<std::pair<UIBarPosition, UIBarMetrics>, Ref<UIImage>> m_backgroundImages;
    Ref<UIImage> m_shadowImage;
    Ref<UIColor> m_barTintColor;
    Ref<NSDictionary> m_titleTextAttributes;
    UIBarStyle m_barStyle = UIBarStyleDefault;
    std::optional<bool> m_translucent; // set explicitly
};
