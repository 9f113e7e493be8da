#include "platform/ui/UIMenuController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIWindow.h"

#include <algorithm>

const Ref<NSString> UIMenuControllerWillShowMenuNotification = "UIMenuControllerWillShowMenuNotification"_ns;
const Ref<NSString> UIMenuControllerDidShowMenuNotification = "UIMenuControllerDidShowMenuNotification"_ns;
const Ref<NSString> UIMenuControllerWillHideMenuNotification = "UIMenuControllerWillHideMenuNotification"_ns;
const Ref<NSString> UIMenuControllerDidHideMenuNotification = "UIMenuControllerDidHideMenuNotification"_ns;

// The strip of the edit menu: one button per command, tagged by its index.
class UIMenuBarView : public UIView {
    DV_CLASS(UIMenuBarView, UIView)
public:
    UIMenuBarView() = default;
    std::vector<SEL> actions;

    void choose(const id& sender)
    {
        auto button = dv::as<UIView>(sender);
        if (button && button->tag() >= 0 && std::size_t(button->tag()) < actions.size())
            UIMenuController::sharedMenuController()->handleChoose(actions[std::size_t(button->tag())]);
    }
};

DV_DEFINE_CLASS(UIMenuItem)
DV_DEFINE_CLASS(UIMenuController)
DV_DEFINE_CLASS_WITH(UIMenuBarView, b)
{
    b.method("choose:", "v24@0:8@16", [](UIMenuBarView& bar, std::span<const id> args) {
        bar.choose(args.empty() ? nil : args[0]);
        return nil;
    });
}

namespace {

constexpr CGFloat kHeight = 36;
constexpr CGFloat kPadding = 12;   // left and right of each title
constexpr CGFloat kGap = 8;        // between the menu and its target
constexpr CGFloat kScreenMargin = 8;
constexpr CGFloat kStatusBar = 20;

Ref<UIMenuController>& shared()
{
    static Ref<UIMenuController> s_shared;
    return s_shared;
}

void post(const Ref<NSString>& name, const Ref<UIMenuController>& menu)
{
    NSNotificationCenter::defaultCenter()->postNotificationName(name, menu, nil);
}

} // namespace

Ref<UIMenuItem> UIMenuItem::initWithTitle(const Ref<NSString>& title, SEL action)
{
    m_title = title;
    m_action = action;
    return self<UIMenuItem>();
}

Ref<UIMenuController> UIMenuController::sharedMenuController()
{
    auto& menu = shared();
    if (!menu)
        menu = alloc<UIMenuController>();
    return menu;
}

void UIMenuController::handleReset()
{
    if (auto& menu = shared()) {
        if (menu->m_menuView)
            menu->m_menuView->removeFromSuperview();
        menu = nil;
    }
}

bool UIMenuController::isMenuVisible() const { return m_menuView && m_menuView->superview(); }

void UIMenuController::setMenuVisible(bool visible) { setMenuVisible(visible, false); }

void UIMenuController::setMenuVisible(bool visible, bool)
{
    if (visible)
        handleShow();
    else
        handleHide();
}

void UIMenuController::setTargetRect(CGRect rect, const Ref<UIView>& view)
{
    m_targetRect = rect;
    m_targetView = view;
}

CGRect UIMenuController::menuFrame() const { return isMenuVisible() ? m_menuView->frame() : CGRectZero; }

Ref<UIView> UIMenuController::menuView() const { return isMenuVisible() ? m_menuView : nil; }

std::vector<UIMenuController::Command> UIMenuController::handleCommands() const
{
    std::vector<Command> commands;
    auto window = UIApplication::sharedApplication()->keyWindow();
    auto responder = window ? window->firstResponder() : nil;
    if (!responder)
        return commands;
    auto me = std::const_pointer_cast<UIMenuController>(self<UIMenuController>());
    static const std::pair<const char*, const char*> standard[] = {
        {"cut:", "剪切"}, {"copy:", "拷贝"}, {"select:", "选择"}, {"selectAll:", "全选"}, {"paste:", "粘贴"}, {"delete:", "删除"}};
    for (auto& [action, title] : standard)
        if (responder->canPerformAction(SEL(action), me))
            commands.push_back({title, SEL(action)});
    if (m_menuItems)
        for (auto& object : m_menuItems->items())
            if (auto item = dv::as<UIMenuItem>(object); item && item->action() && responder->canPerformAction(item->action(), me))
                commands.push_back({dv::str(item->title()), item->action()});
    return commands;
}

std::vector<std::string> UIMenuController::visibleTitles() const
{
    std::vector<std::string> titles;
    if (!isMenuVisible())
        return titles;
    const auto subviews = m_menuView->subviews();
    for (auto& view : subviews->items())
        if (auto button = dv::as<UIButton>(view))
            titles.push_back(dv::str(button->currentTitle()));
    return titles;
}

void UIMenuController::handleShow()
{
    const auto commands = handleCommands();
    auto target = m_targetView.lock();
    Ref<UIWindow> window = target ? target->window() : nil;
    if (!window)
        window = UIApplication::sharedApplication()->keyWindow();
    if (commands.empty() || !window) {
        handleHide();
        return;
    }
    auto me = self<UIMenuController>();
    const bool wasVisible = isMenuVisible();
    if (!wasVisible)
        post(UIMenuControllerWillShowMenuNotification, me);
    if (m_menuView)
        m_menuView->removeFromSuperview();
    auto bar = alloc<UIMenuBarView>();
    bar->init();
    bar->setBackgroundColor(UIColor::colorWithWhite(0.1, 0.9));
    bar->layer()->setCornerRadius(6);
    bar->setClipsToBounds(true);
    CGFloat x = 0;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setTitle(NSString::fromUTF8(commands[i].title), UIControlStateNormal);
        button->titleLabel()->setFont(UIFont::systemFontOfSize(14));
        button->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
        button->setTitleColor(UIColor::lightGrayColor(), UIControlStateHighlighted);
        button->setTag(NSInteger(i));
        button->addTarget(bar, "choose:", UIControlEventTouchUpInside);
        const CGFloat width = button->titleLabel()->sizeThatFits(CGSizeZero).width + 2 * kPadding;
        button->setFrame(CGRectMake(x, 0, width, kHeight));
        bar->addSubview(button);
        bar->actions.push_back(commands[i].action);
        x += width;
    }
    // Over the target, else under it, inside the window.
    const CGRect screen = window->bounds();
    const CGRect aim = target ? target->convertRectToView(m_targetRect, window) : CGRectMake(CGRectGetMidX(screen), CGRectGetMidY(screen), 0, 0);
    const CGFloat width = std::min(x, screen.size.width - 2 * kScreenMargin);
    const CGFloat left = std::clamp(CGRectGetMidX(aim) - width / 2, screen.origin.x + kScreenMargin, CGRectGetMaxX(screen) - kScreenMargin - width);
    const CGFloat above = CGRectGetMinY(aim) - kGap - kHeight;
    const bool below = m_arrowDirection == UIMenuControllerArrowUp || (m_arrowDirection != UIMenuControllerArrowDown && above < kStatusBar);
    const CGFloat top = below ? CGRectGetMaxY(aim) + kGap : std::max(above, screen.origin.y);
    bar->setFrame(CGRectMake(left, top, width, kHeight));
    window->addSubview(bar);
    m_menuView = bar;
    if (!wasVisible)
        post(UIMenuControllerDidShowMenuNotification, me);
}

void UIMenuController::update()
{
    if (isMenuVisible())
        handleShow();
}

void UIMenuController::handleHide()
{
    if (!isMenuVisible())
        return;
    auto me = self<UIMenuController>();
    post(UIMenuControllerWillHideMenuNotification, me);
    m_menuView->removeFromSuperview();
    m_menuView = nil;
    post(UIMenuControllerDidHideMenuNotification, me);
}

void UIMenuController::handleChoose(SEL action)
{
    auto me = self<UIMenuController>();
    handleHide();
    UIApplication::sharedApplication()->sendAction(action, nil, me, nil);
}

void UIMenuController::handleTouchLanded(const Ref<UIView>& hitView)
{
    if (isMenuVisible() && !(hitView && hitView->isDescendantOfView(m_menuView)))
        handleHide();
}
