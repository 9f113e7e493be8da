#include "platform/ui/UIWindow.h"

#include "platform/base/ClassBuilder.h"

#include "platform/system/UIScreen.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/MainThreadCheck.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIViewController.h"
#include "platform/ui/internal/AlertBase.h"
#include "platform/ui/internal/PassScheduler.h"
#include "platform/ui/internal/TouchRouter.h"

DV_DEFINE_CLASS(UIWindow)

Ref<UIWindow> UIWindow::init() { return initWithFrame(UIScreen::mainScreen()->bounds()); }

Ref<UIWindow> UIWindow::initWithFrame(CGRect frame)
{
    DV_CHECK_MAIN_THREAD();
    UIView::initWithFrame(frame);
    auto me = self<UIWindow>();
    m_hidden = true;
    m_window = me;
    applyAppearance(*this, handleContainerChain());
    // The window is in itself: its first layout and display are due now.
    auto& scheduler = dv::internal::uikit::PassScheduler::shared();
    scheduler.scheduleLayout(*this);
    scheduler.scheduleDisplay(*this);
    UIApplication::sharedApplication()->handleAddWindow(me);
    return me;
}

void UIWindow::makeKeyAndVisible()
{
    DV_CHECK_MAIN_THREAD();
    setHidden(false);
    makeKeyWindow();
}

void UIWindow::makeKeyWindow()
{
    DV_CHECK_MAIN_THREAD();
    UIApplication::sharedApplication()->handleSetKeyWindow(self<UIWindow>());
}

bool UIWindow::isKeyWindow() const { return UIApplication::sharedApplication()->keyWindow().get() == this; }

void UIWindow::sendEvent(const Ref<UIEvent>& event)
{
    DV_CHECK_MAIN_THREAD();
    dv::internal::uikit::TouchRouter::shared().deliver(*this, event);
}

Ref<UIResponder> UIWindow::nextResponder() const { return UIApplication::sharedApplication(); }

void UIWindow::setRootViewController(const Ref<UIViewController>& controller)
{
    DV_CHECK_MAIN_THREAD();
    if (controller == m_rootViewController)
        return;
    auto old = m_rootViewController;
    const bool shown = !isHidden();
    if (old) {
        if (shown)
            old->handleBeginAppearance(false, false);
        if (old->isViewLoaded() && old->m_view->superview().get() == this)
            old->m_view->removeFromSuperview();
        if (shown)
            old->handleEndAppearance();
    }
    m_rootViewController = controller;
    if (!controller)
        return;
    auto view = controller->view();
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    view->setFrame(bounds());
    addSubview(view);
    if (shown)
        handleRootAppears();
}

void UIWindow::setHidden(bool hidden)
{
    DV_CHECK_MAIN_THREAD();
    const bool was = isHidden();
    UIView::setHidden(hidden);
    if (was == hidden || !m_rootViewController || isAppearanceProxy())
        return;
    if (!hidden) {
        handleRootAppears();
        return;
    }
    auto root = m_rootViewController;
    root->handleBeginAppearance(false, false);
    root->handleEndAppearance();
}

void UIWindow::handleRootAppears()
{
    auto root = m_rootViewController;
    root->handleBeginAppearance(true, false);
    // It has appeared once this turn of the run loop is over, as on the platform.
    Weak<UIViewController> weak = root;
    dispatch_async(dispatch_get_main_queue(), [weak] {
        auto controller = weak.lock();
        if (controller && controller->m_appearance == UIViewController::Appearance::appearing)
            controller->handleEndAppearance();
    });
}

void UIWindow::didAddSubview(const Ref<UIView>& subview)
{
    UIView::didAddSubview(subview);
    UIAlertBase::windowDidAddSubview(*this, subview);
}
