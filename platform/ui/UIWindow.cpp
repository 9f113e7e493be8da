#include "platform/ui/UIWindow.h"

#include "platform/base/ClassBuilder.h"

#include "platform/system/UIScreen.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/internal/PassScheduler.h"
#include "platform/ui/internal/TouchRouter.h"

DV_DEFINE_CLASS(UIWindow)

Ref<UIWindow> UIWindow::init() { return initWithFrame(UIScreen::mainScreen()->bounds()); }

Ref<UIWindow> UIWindow::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    auto me = self<UIWindow>();
    m_hidden = true;
    m_window = me;
    applyAppearance(*this, handleContainerChain());
    // The window is in itself: its first layout and display are due now.
    auto& scheduler = dv::internal::PassScheduler::shared();
    scheduler.scheduleLayout(*this);
    scheduler.scheduleDisplay(*this);
    UIApplication::sharedApplication()->handleAddWindow(me);
    return me;
}

void UIWindow::makeKeyAndVisible()
{
    setHidden(false);
    makeKeyWindow();
}

void UIWindow::makeKeyWindow() { UIApplication::sharedApplication()->handleSetKeyWindow(self<UIWindow>()); }

bool UIWindow::isKeyWindow() const { return UIApplication::sharedApplication()->keyWindow().get() == this; }

void UIWindow::sendEvent(const Ref<UIEvent>& event) { dv::internal::TouchRouter::shared().deliver(*this, event); }

Ref<UIResponder> UIWindow::nextResponder() const { return UIApplication::sharedApplication(); }
