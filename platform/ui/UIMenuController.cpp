#include "platform/ui/UIMenuController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/ScreenScale.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIViewController.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/internal/ViewRenderer.h"

#include <algorithm>
#include <cmath>

const Ref<NSString> UIMenuControllerWillShowMenuNotification = "UIMenuControllerWillShowMenuNotification"_ns;
const Ref<NSString> UIMenuControllerDidShowMenuNotification = "UIMenuControllerDidShowMenuNotification"_ns;
const Ref<NSString> UIMenuControllerWillHideMenuNotification = "UIMenuControllerWillHideMenuNotification"_ns;
const Ref<NSString> UIMenuControllerDidHideMenuNotification = "UIMenuControllerDidHideMenuNotification"_ns;

namespace {

constexpr CGFloat kHeight = 36;      // the strip
constexpr CGFloat kRadius = 8;       // its corners
constexpr CGFloat kArrowLength = 10; // from the strip's edge to the tip
constexpr CGFloat kArrowBase = 20;
constexpr CGFloat kPadding = 12;     // left and right of each title, at most
constexpr CGFloat kMinimumPadding = 6;
constexpr CGFloat kScreenMargin = 8; // between the strip and the window's sides

// Where the menu goes, in window coordinates: the strip, and the arrow's tip on one of its edges.
struct Placement {
    CGRect strip;
    CGPoint tip;
    UIMenuControllerArrowDirection arrow; // the way the arrow points: never Default
};

// The top of what the screen shows below its bars: the top layout guide of the window's top-most
// controller (its navigation bar's bottom when one shows), else the status bar's bottom.
CGFloat visibleContentTop(const Ref<UIWindow>& window)
{
    CGFloat top = CGRectGetMaxY(UIApplication::sharedApplication()->statusBarFrame());
    auto controller = dv::topPresentedViewController(window);
    while (auto navigation = dv::as<UINavigationController>(controller)) {
        auto shown = navigation->topViewController();
        if (!shown)
            break;
        controller = shown;
    }
    if (controller && controller->isViewLoaded() && controller->view()->window() == window) {
        auto view = controller->view();
        const CGFloat viewTop = view->convertRectToView(view->bounds(), window).origin.y;
        top = std::max(top, viewTop + controller->topLayoutGuide()->length());
    }
    return top;
}

// Above the target with the arrow down when the strip and its arrow fit between the bars and the
// target, else below it with the arrow up; `asked` overrides the choice (Left and Right put the
// menu beside the target). The strip never passes the window's sides (nor its top and bottom); the
// arrow keeps to the straight part of the strip's edge and so points at the target's centre
// unless the strip had to move away from it.
Placement placeMenu(CGRect screen, CGFloat contentTop, CGRect aim, CGFloat width, UIMenuControllerArrowDirection asked)
{
    const CGFloat minX = screen.origin.x + kScreenMargin, maxX = CGRectGetMaxX(screen) - kScreenMargin;
    const CGFloat minY = screen.origin.y, maxY = CGRectGetMaxY(screen) - kScreenMargin;
    const CGFloat reach = kRadius + kArrowBase / 2; // nearest the tip comes to a corner's centre line
    Placement placement {};
    UIMenuControllerArrowDirection arrow = asked;
    if (arrow != UIMenuControllerArrowUp && arrow != UIMenuControllerArrowDown && arrow != UIMenuControllerArrowLeft
        && arrow != UIMenuControllerArrowRight)
        arrow = CGRectGetMinY(aim) - kArrowLength - kHeight >= contentTop ? UIMenuControllerArrowDown : UIMenuControllerArrowUp;
    placement.arrow = arrow;
    if (arrow == UIMenuControllerArrowUp || arrow == UIMenuControllerArrowDown) {
        // On whole points, so that the lines between the commands fall on whole pixels.
        const CGFloat left = std::round(std::clamp(CGRectGetMidX(aim) - width / 2, minX, std::max(minX, maxX - width)));
        const bool down = arrow == UIMenuControllerArrowDown;
        const CGFloat wanted = down ? CGRectGetMinY(aim) - kArrowLength - kHeight : CGRectGetMaxY(aim) + kArrowLength;
        const CGFloat top = std::clamp(wanted, minY + (down ? 0 : kArrowLength), std::max(minY, maxY - kHeight - (down ? kArrowLength : 0)));
        placement.strip = CGRectMake(left, top, width, kHeight);
        const CGFloat tipX = std::clamp(CGRectGetMidX(aim), left + reach, std::max(left + reach, left + width - reach));
        // On the target's side, unless the strip had to stop short of where it wanted to be.
        const CGFloat tipY = top == wanted ? (down ? CGRectGetMinY(aim) : CGRectGetMaxY(aim)) : down ? top + kHeight + kArrowLength : top - kArrowLength;
        placement.tip = CGPointMake(tipX, tipY);
    } else {
        const bool pointsLeft = arrow == UIMenuControllerArrowLeft; // the menu on the target's right
        const CGFloat wanted = pointsLeft ? CGRectGetMaxX(aim) + kArrowLength : CGRectGetMinX(aim) - kArrowLength - width;
        const CGFloat left = std::clamp(wanted, minX + (pointsLeft ? kArrowLength : 0), std::max(minX, maxX - width - (pointsLeft ? 0 : kArrowLength)));
        const CGFloat top = std::clamp(CGRectGetMidY(aim) - kHeight / 2, std::max(minY, contentTop), std::max(minY, maxY - kHeight));
        placement.strip = CGRectMake(left, top, width, kHeight);
        const CGFloat tipX = left == wanted ? (pointsLeft ? CGRectGetMaxX(aim) : CGRectGetMinX(aim)) : pointsLeft ? left - kArrowLength : left + width + kArrowLength;
        placement.tip = CGPointMake(tipX, top + kHeight / 2);
    }
    return placement;
}

// The rectangle the arrow covers, from its tip to the strip's edge.
CGRect arrowBounds(const Placement& placement)
{
    const CGPoint tip = placement.tip;
    switch (placement.arrow) {
    case UIMenuControllerArrowUp: return CGRectMake(tip.x - kArrowBase / 2, tip.y, kArrowBase, kArrowLength);
    case UIMenuControllerArrowLeft: return CGRectMake(tip.x, tip.y - kArrowBase / 2, kArrowLength, kArrowBase);
    case UIMenuControllerArrowRight: return CGRectMake(tip.x - kArrowLength, tip.y - kArrowBase / 2, kArrowLength, kArrowBase);
    default: return CGRectMake(tip.x - kArrowBase / 2, tip.y - kArrowLength, kArrowBase, kArrowLength);
    }
}

} // namespace

// The edit menu as it shows: a dark strip with rounded corners, one button per command tagged by
// its index, thin lines between them, and a triangle on one edge whose tip points at the target.
// Its frame holds the strip and the arrow.
class UIMenuBarView : public UIView {
    DV_CLASS(UIMenuBarView, UIView)
public:
    UIMenuBarView() = default;
    std::vector<SEL> actions;
    CGRect strip {}; // in the view's bounds
    CGPoint tip {};
    UIMenuControllerArrowDirection arrow = UIMenuControllerArrowDown;

    void choose(const id& sender)
    {
        auto button = dv::as<UIView>(sender);
        if (button && button->tag() >= 0 && std::size_t(button->tag()) < actions.size())
            UIMenuController::sharedMenuController()->handleChoose(actions[std::size_t(button->tag())]);
    }

    void drawRect(CGRect) override
    {
        auto context = UIGraphicsGetCurrentContext();
        if (!context)
            return;
        const CGFloat x0 = CGRectGetMinX(strip), x1 = CGRectGetMaxX(strip), y0 = CGRectGetMinY(strip), y1 = CGRectGetMaxY(strip);
        // One path for the strip and its arrow, filled once, so that the translucent colour does
        // not darken where they meet.
        CGContextBeginPath(context);
        dv::internal::uikit::addRoundedRect(context, strip, kRadius);
        const CGFloat half = kArrowBase / 2;
        CGContextMoveToPoint(context, tip.x, tip.y);
        switch (arrow) {
        case UIMenuControllerArrowUp:
            CGContextAddLineToPoint(context, tip.x + half, y0 + 0.5);
            CGContextAddLineToPoint(context, tip.x - half, y0 + 0.5);
            break;
        case UIMenuControllerArrowLeft:
            CGContextAddLineToPoint(context, x0 + 0.5, tip.y - half);
            CGContextAddLineToPoint(context, x0 + 0.5, tip.y + half);
            break;
        case UIMenuControllerArrowRight:
            CGContextAddLineToPoint(context, x1 - 0.5, tip.y + half);
            CGContextAddLineToPoint(context, x1 - 0.5, tip.y - half);
            break;
        default:
            CGContextAddLineToPoint(context, tip.x - half, y1 - 0.5);
            CGContextAddLineToPoint(context, tip.x + half, y1 - 0.5);
            break;
        }
        CGContextClosePath(context);
        UIColor::colorWithWhite(0.1, 0.9)->setFill();
        CGContextFillPath(context);
        // A hairline (one pixel) just left of where each command after the first begins, the
        // strip's height.
        const CGFloat hairline = 1 / std::max<CGFloat>(1, dv::mainScreenScale());
        UIColor::colorWithWhite(1, 0.3)->setFill();
        const auto buttons = subviews();
        for (std::size_t i = 1; i < buttons->count(); ++i)
            if (auto button = dv::as<UIView>(buttons->objectAtIndex(i)))
                CGContextFillRect(context, CGRectMake(button->frame().origin.x - hairline, y0, hairline, kHeight));
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

CGRect UIMenuController::menuFrame() const
{
    if (!isMenuVisible())
        return CGRectZero;
    auto bar = std::static_pointer_cast<UIMenuBarView>(m_menuView);
    return CGRectOffset(bar->strip, bar->frame().origin.x, bar->frame().origin.y);
}

std::optional<CGPoint> UIMenuController::menuArrowTip() const
{
    if (!isMenuVisible())
        return std::nullopt;
    auto bar = std::static_pointer_cast<UIMenuBarView>(m_menuView);
    return CGPointMake(bar->frame().origin.x + bar->tip.x, bar->frame().origin.y + bar->tip.y);
}

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
    bar->setBackgroundColor(UIColor::clearColor());
    bar->setOpaque(false);
    std::vector<Ref<UIButton>> buttons;
    std::vector<CGFloat> titleWidths;
    CGFloat titles = 0;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setTitle(NSString::fromUTF8(commands[i].title), UIControlStateNormal);
        button->titleLabel()->setFont(UIFont::systemFontOfSize(14));
        button->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
        button->setTitleColor(UIColor::lightGrayColor(), UIControlStateHighlighted);
        button->setTag(NSInteger(i));
        button->addTarget(bar, "choose:", UIControlEventTouchUpInside);
        titleWidths.push_back(std::ceil(button->titleLabel()->sizeThatFits(CGSizeZero).width));
        titles += titleWidths.back();
        buttons.push_back(button);
        bar->actions.push_back(commands[i].action);
    }
    // The commands share the window's width when they would not fit with their usual room.
    const CGRect screen = window->bounds();
    const CGFloat room = screen.size.width - 2 * kScreenMargin;
    const CGFloat slots = CGFloat(2 * commands.size());
    const CGFloat padding = std::clamp(std::floor((room - titles) / slots), kMinimumPadding, kPadding);
    const CGFloat width = std::min(titles + slots * padding, room);
    const CGRect aim = target ? target->convertRectToView(m_targetRect, window) : CGRectMake(CGRectGetMidX(screen), CGRectGetMidY(screen), 0, 0);
    const Placement placement = placeMenu(screen, visibleContentTop(window), aim, width, m_arrowDirection);
    const CGRect outer = CGRectUnion(placement.strip, arrowBounds(placement));
    bar->setFrame(outer);
    bar->strip = CGRectOffset(placement.strip, -outer.origin.x, -outer.origin.y);
    bar->tip = CGPointMake(placement.tip.x - outer.origin.x, placement.tip.y - outer.origin.y);
    bar->arrow = placement.arrow;
    CGFloat x = CGRectGetMinX(bar->strip);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const CGFloat itemWidth = i + 1 == buttons.size() ? CGRectGetMaxX(bar->strip) - x : titleWidths[i] + 2 * padding;
        buttons[i]->setFrame(CGRectMake(x, CGRectGetMinY(bar->strip), itemWidth, kHeight));
        bar->addSubview(buttons[i]);
        x += itemWidth;
    }
    bar->setNeedsDisplay();
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
