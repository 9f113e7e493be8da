// UIWindow: the root of a view tree shown on the screen. A window is its own window; it starts
// hidden, and makeKeyAndVisible shows it and makes it the application's key window, the one
// touches and the keyboard go to. It keeps its root view controller (strongly) and its first
// responder (weakly); overlays are added to it as subviews. Its next responder is the
// application. Windows register with the application when they are made; the application
// refers to them weakly, so a window lives as long as its owner keeps it. Main thread only.
//
//   auto window = alloc<UIWindow>()->initWithFrame(UIScreen::mainScreen()->bounds());
//   window->setBackgroundColor(UIColor::whiteColor());
//   window->makeKeyAndVisible();
#pragma once

#include "platform/ui/UIView.h"

class UIWindow : public UIView {
    DV_CLASS(UIWindow, UIView)

    UIWindow() = default;
    // The main screen's bounds.
    Ref<UIWindow> init();
    Ref<UIWindow> initWithFrame(CGRect frame);

    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;

    // The root controller's view fills the window. Setting a new root takes the old one's view
    // out (it disappears) and puts the new one's in (it appears once the window shows).
    Ref<UIViewController> rootViewController() const { return m_rootViewController; }
    void setRootViewController(const Ref<UIViewController>& controller);

    // Showing the window makes its root controller appear; hiding it, disappear.
    void setHidden(bool hidden) override;

    // The application hands it the events of the touches in this window.
    virtual void sendEvent(const Ref<UIEvent>& event);

    // The responder of this window that is first responder, nil when none. The window keeps it
    // for the responders; the keyboard and the UI driver read it.
    Ref<UIResponder> firstResponder() const { return m_firstResponder.lock(); }

    Ref<UIResponder> nextResponder() const override;
    // Keeps the backdrop of alerts and action sheets above what is added later.
    void didAddSubview(const Ref<UIView>& subview) override;

private:
    friend class UIResponder;
    friend class UIView;

    void handleSetFirstResponder(const Ref<UIResponder>& responder) { m_firstResponder = responder; }
    void handleRootAppears();

    Ref<UIViewController> m_rootViewController;
    Weak<UIResponder> m_firstResponder;
};
