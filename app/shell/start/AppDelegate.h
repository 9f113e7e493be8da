// AppDelegate: the application delegate. At launch it builds the one application window (white,
// the size of the main screen) with the home screen inside the application's navigation
// controller, and keeps that window for the process: every screen and the server client host
// their loading overlays and toasts on it (reached as the shared application's delegate's window).
// Made by the process entry (UIApplicationMain with the class name "AppDelegate") or by
// dv::app::startApplication; the application keeps it. Main thread only.
#pragma once

#include "platform/ui/UIAlertView.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIResponder.h"

#include <optional>

class AppDelegate : public UIResponder, public UIApplicationDelegate, public UIAlertViewDelegate {
    DV_CLASS(AppDelegate, UIResponder)

    AppDelegate() = default;
    Ref<AppDelegate> init();

    Ref<UIWindow> window() const override { return m_window; }
    void setWindow(const Ref<UIWindow>& window) { m_window = window; }

    std::optional<bool> applicationDidFinishLaunchingWithOptions(const Ref<UIApplication>& application,
        const Ref<NSDictionary>& launchOptions) override;

private:
    Ref<UIWindow> m_window;
};
