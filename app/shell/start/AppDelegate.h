// AppDelegate: the application delegate. At launch, in this order, it sends the login request
// (client/login.do with the device identifier, the token kept under "utoken"), builds the one
// application window (white, the main screen's size) with the home screen as the root of an
// SMNavigationController, resets the icon badge, sets up the push service (key, channel,
// production, the device identifier as alias), configures the keyboard manager and stores the
// launch time under "backDate". Whenever the application becomes active more than 28800 seconds
// after that launch it logs in again.
//
// It keeps the window for the process: every screen and the server client host their loading
// overlays and toasts on it (reached as the shared application's delegate's window). Push
// callbacks: the device token and every notification go to PushService; a notification then opens
// the news page at once (a news message while the application is not active) or shows the alert
// "收到一条推送消息", whose "去查看" opens the news page, or the link of a link message in the system
// browser. Each alert acts on the payload it was shown for; `msgDic` keeps the last one received.
//
// Made by the process entry (UIApplicationMain with the class name "AppDelegate") or by
// dv::app::startApplication; the application keeps it. Main thread only.
#pragma once

#include "app/shell/start/IntroduceControllerDelegate.h"
#include "platform/ui/UIAlertView.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIResponder.h"

#include <optional>

class AppDelegate : public UIResponder, public UIApplicationDelegate, public UIAlertViewDelegate, public IntroduceControllerDelegate {
    DV_CLASS(AppDelegate, UIResponder)

    AppDelegate() = default;
    Ref<AppDelegate> init();

    Ref<UIWindow> window() const override { return m_window; }
    void setWindow(const Ref<UIWindow>& window) { m_window = window; }
    // The payload of the last remote notification received.
    Ref<NSDictionary> msgDic() const { return m_msgDic; }
    void setMsgDic(const Ref<NSDictionary>& payload) { m_msgDic = payload; }

    // Launch.
    std::optional<bool> applicationDidFinishLaunchingWithOptions(const Ref<UIApplication>& application,
        const Ref<NSDictionary>& launchOptions) override;
    // Sets up the push service; called once by the launch.
    void jiGuanTuiSong(const Ref<NSDictionary>& launchOptions);
    // Sends the login request (no overlay); the reply stores the token or shows `msg`.
    void requestLogin();

    // State changes: becoming active logs in again after the 28800-second mark; the others change
    // nothing.
    bool applicationDidBecomeActive(const Ref<UIApplication>& application) override;
    bool applicationWillResignActive(const Ref<UIApplication>& application) override;
    bool applicationDidEnterBackground(const Ref<UIApplication>& application) override;
    bool applicationWillEnterForeground(const Ref<UIApplication>& application) override;
    bool applicationWillTerminate(const Ref<UIApplication>& application) override;

    // Push.
    bool applicationDidRegisterForRemoteNotificationsWithDeviceToken(const Ref<UIApplication>& application,
        const Ref<NSData>& deviceToken) override;
    bool applicationDidReceiveRemoteNotification(const Ref<UIApplication>& application, const Ref<NSDictionary>& userInfo) override;
    bool applicationDidReceiveRemoteNotificationFetchCompletionHandler(const Ref<UIApplication>& application,
        const Ref<NSDictionary>& userInfo, std::function<void(UIBackgroundFetchResult)> completionHandler) override;
    bool alertViewClickedButtonAtIndex(const Ref<UIAlertView>& alertView, NSInteger buttonIndex) override;

    // The guide pages (nothing starts them): "YES" under "first", then the guide-page screen
    // LYIntroduceController with the pictures "yindao1" to "yindao3" and this object as its
    // delegate, as the window's root; when it finishes, a new navigation controller with a new
    // home screen.
    void showIntroduce();
    void introduceWillFinished() override;

    // A relative-time text for a moment in the past: "刚刚", "%d分前", "%d小前", "%d天前", "%d月前"
    // or "%d年前".
    static Ref<NSString> compareCurrentTime(const Ref<NSDate>& date);

private:
    void showPushAlert(const Ref<NSDictionary>& payload, const Ref<NSString>& message);
    void showNewsPage(const Ref<NSDictionary>& payload, const Ref<NSString>& message);

    Ref<UIWindow> m_window;
    Ref<NSDictionary> m_msgDic;
};
