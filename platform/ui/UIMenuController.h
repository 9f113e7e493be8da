// UIMenuController: the edit menu, a dark strip of commands that points at a rectangle of a view.
// It offers, in this order, Cut "剪切", Copy "拷贝", Select "选择", Select All "全选", Paste "粘贴"
// and Delete "删除", then its own menuItems, each only when the key window's first responder
// accepts the action (canPerformAction with the menu controller as sender); with nothing to offer
// it does not show. The menu is a view on top of the target view's window: a dark strip of the
// commands with thin lines between them and an arrow on its edge whose tip touches the target
// rectangle at the middle of its side. It shows above the target when it fits below the bars
// (the top layout guide of the window's top-most screen, else the status bar), otherwise below;
// arrowDirection names the way the arrow points instead (Up: below the target, Down: above it,
// Left and Right: beside it). The strip keeps 8 points from the window's sides; the arrow keeps
// to the straight part of the strip's edge, so it leaves the target's centre only when the strip
// had to move away from it. Choosing a command hides the menu and sends its action up the
// responder chain from the first responder, with the menu controller as sender. A touch anywhere
// else hides it (and goes on to what it touched). Showing and hiding post the will/did
// notifications. Main thread only.
//
//   label->becomeFirstResponder();
//   auto menu = UIMenuController::sharedMenuController();
//   menu->setTargetRect(label->frame(), label->superview());
//   menu->setMenuVisible(true, true);
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
#include "platform/ui/Forward.h"

#include <optional>
#include <string>
#include <vector>

extern const Ref<NSString> UIMenuControllerWillShowMenuNotification;
extern const Ref<NSString> UIMenuControllerDidShowMenuNotification;
extern const Ref<NSString> UIMenuControllerWillHideMenuNotification;
extern const Ref<NSString> UIMenuControllerDidHideMenuNotification;

enum UIMenuControllerArrowDirection : NSInteger {
    UIMenuControllerArrowDefault = 0,
    UIMenuControllerArrowUp = 1,
    UIMenuControllerArrowDown = 2,
    UIMenuControllerArrowLeft = 3,
    UIMenuControllerArrowRight = 4,
};

class UIMenuItem : public NSObject {
    DV_CLASS(UIMenuItem, NSObject)

    UIMenuItem() = default;
    Ref<UIMenuItem> initWithTitle(const Ref<NSString>& title, SEL action);

    Ref<NSString> title() const { return m_title; }
    void setTitle(const Ref<NSString>& title) { m_title = title; }
    SEL action() const { return m_action; }
    void setAction(SEL action) { m_action = action; }

private:
    Ref<NSString> m_title;
    SEL m_action;
};

class UIMenuController : public NSObject {
    DV_CLASS(UIMenuController, NSObject)

    UIMenuController() = default;
    static Ref<UIMenuController> sharedMenuController();

    bool isMenuVisible() const;
    void setMenuVisible(bool visible);
    void setMenuVisible(bool visible, bool animated);
    // The rectangle to point at, in `view`'s coordinates.
    void setTargetRect(CGRect rect, const Ref<UIView>& view);
    Ref<NSArray> menuItems() const { return m_menuItems; }
    void setMenuItems(const Ref<NSArray>& items) { m_menuItems = items; }
    UIMenuControllerArrowDirection arrowDirection() const { return m_arrowDirection; }
    void setArrowDirection(UIMenuControllerArrowDirection direction) { m_arrowDirection = direction; }
    // Where the menu's strip of commands shows, in its window's coordinates, without the arrow;
    // the zero rectangle while hidden.
    CGRect menuFrame() const;
    // The tip of the arrow, in the window's coordinates: the point the menu shows it acts on (for
    // the UI driver and tests); nothing while hidden.
    std::optional<CGPoint> menuArrowTip() const;
    // Offers again what the first responder accepts now, while the menu shows.
    void update();

    // The commands shown now, in order, and the view that shows them (for the UI driver).
    std::vector<std::string> visibleTitles() const;
    Ref<UIView> menuView() const;

private:
    friend class UIApplication;
    friend class UIMenuBarView;
    friend class dv::internal::uikit::TouchRouter;

    struct Command {
        std::string title;
        SEL action;
    };
    std::vector<Command> handleCommands() const;
    void handleShow();
    void handleHide();
    void handleChoose(SEL action);
    // A touch that lands outside the menu hides it.
    void handleTouchLanded(const Ref<UIView>& hitView);
    // A new application starts without a menu.
    static void handleReset();

    Ref<NSArray> m_menuItems;
    Weak<UIView> m_targetView;
    CGRect m_targetRect {};
    Ref<UIView> m_menuView;
    UIMenuControllerArrowDirection m_arrowDirection = UIMenuControllerArrowDefault;
};
