// UIApplication: the application object — the shared instance, its delegate, its state, its
// windows and the key window, the status bar, the icon badge, URLs handed to the system,
// background tasks, and the registration for and delivery of remote notifications. It is the
// last responder before its delegate: windows answer it as their next responder, and it hands
// touch events to their windows. State changes reach the delegate and the default notification
// centre in the platform's order. Lives on the main thread; the runner and tests drive the
// transitions through the members under "Driving the application".
//
//   app->setDelegate(delegate); app->launch(nil);          // finish launching, become active
//   app->registerForRemoteNotifications();                // token arrives on the main queue
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Mutex.h"
#include "platform/ui/UIApplicationDelegate.h"
#include "platform/ui/UIResponder.h"
#include "platform/system/UIUserNotificationSettings.h"

#include <functional>
#include <map>
#include <vector>

enum UIInterfaceOrientation : NSInteger {
    UIInterfaceOrientationUnknown = 0,
    UIInterfaceOrientationPortrait = 1,
    UIInterfaceOrientationPortraitUpsideDown = 2,
    UIInterfaceOrientationLandscapeLeft = 4,
    UIInterfaceOrientationLandscapeRight = 3,
};

enum UIApplicationState : NSInteger {
    UIApplicationStateActive = 0,
    UIApplicationStateInactive = 1,
    UIApplicationStateBackground = 2,
};

using UIBackgroundTaskIdentifier = NSUInteger;
inline constexpr UIBackgroundTaskIdentifier UIBackgroundTaskInvalid = 0;

extern const Ref<NSString> UIApplicationDidFinishLaunchingNotification;
extern const Ref<NSString> UIApplicationDidBecomeActiveNotification;
extern const Ref<NSString> UIApplicationWillResignActiveNotification;
extern const Ref<NSString> UIApplicationDidEnterBackgroundNotification;
extern const Ref<NSString> UIApplicationWillEnterForegroundNotification;
extern const Ref<NSString> UIApplicationWillTerminateNotification;
extern const Ref<NSString> UIApplicationDidReceiveMemoryWarningNotification;
extern const Ref<NSString> UIApplicationLaunchOptionsRemoteNotificationKey;
extern const Ref<NSString> UIApplicationLaunchOptionsURLKey;
extern const Ref<NSString> UIApplicationWillChangeStatusBarOrientationNotification;
extern const Ref<NSString> UIApplicationDidChangeStatusBarOrientationNotification;
extern const Ref<NSString> UIApplicationStatusBarOrientationUserInfoKey;

namespace dv {

// What became of a URL the application opened, as far as the desktop goes.
enum class SystemHandOver {
    Off,        // handing URLs to the system is off: the URL is only recorded
    HandedOver, // xdg-open was started with it
    Failed,     // xdg-open could not be started (not installed, not executable)
};

} // namespace dv

class UIApplication : public UIResponder {
    DV_CLASS(UIApplication, UIResponder)

    UIApplication() = default;
    static Ref<UIApplication> sharedApplication();

    // The window made key last (nil when none is left), and every live window in the order
    // they were made.
    Ref<UIWindow> keyWindow() const;
    Ref<NSArray> windows() const;
    // The status bar: 20 points at the top of the screen, portrait.
    CGRect statusBarFrame() const;
    UIInterfaceOrientation statusBarOrientation() const { return UIInterfaceOrientationPortrait; }

    // Hands a touch event to the windows of its touches.
    virtual void sendEvent(const Ref<UIEvent>& event);
    // Sends `action` to `target` with the sender and the event as arguments (as many as the
    // selector takes: none, the sender, or both); with a nil target, to the first object up the
    // responder chain from the key window's first responder that has a method for it. NO when
    // nobody takes it.
    bool sendAction(SEL action, const id& target, const id& sender, const Ref<UIEvent>& event);

    // The delegate, when it is a responder.
    Ref<UIResponder> nextResponder() const override;

    // The delegate is held weakly; launch() and UIApplicationMain keep the one they start with.
    Ref<UIApplicationDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<UIApplicationDelegate>& delegate);

    UIApplicationState applicationState() const { return m_state; }
    NSInteger applicationIconBadgeNumber() const { return m_badge; }
    void setApplicationIconBadgeNumber(NSInteger badge) { m_badge = badge; }
    // The status bar's network activity spinner (headless: only remembered).
    bool isNetworkActivityIndicatorVisible() const { return m_networkActivityIndicatorVisible; }
    void setNetworkActivityIndicatorVisible(bool visible) { m_networkActivityIndicatorVisible = visible; }

    // Records the URL (see openedURLs); hands it to xdg-open only when that was turned on.
    // NO for nil or a URL without a scheme, and when xdg-open could not be started for it.
    bool openURL(const Ref<NSURL>& url);
    bool canOpenURL(const Ref<NSURL>& url) const;

    // Background tasks, begun and ended from any thread. The expiry handler runs at most once,
    // on the main thread, when the system (a test, through expireBackgroundTasks) takes the
    // remaining time away.
    UIBackgroundTaskIdentifier beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
    UIBackgroundTaskIdentifier beginBackgroundTaskWithNameExpirationHandler(const Ref<NSString>& name, std::function<void()> handler);
    void endBackgroundTask(UIBackgroundTaskIdentifier identifier);
    NSTimeInterval backgroundTimeRemaining() const;

    // Remote notifications. Answers come through the delegate, later, on the main queue; the
    // device token is made once per device and kept in the device folder.
    void registerUserNotificationSettings(const Ref<UIUserNotificationSettings>& settings);
    Ref<UIUserNotificationSettings> currentUserNotificationSettings() const { return m_settings; }
    void registerForRemoteNotifications();
    void registerForRemoteNotificationTypes(UIRemoteNotificationType types);
    void unregisterForRemoteNotifications();
    bool isRegisteredForRemoteNotifications() const { return m_registeredForRemote; }

    // Driving the application (runner and tests).
    static void resetSharedApplication();
    // Keeps the delegate (as UIApplicationMain does), finishes launching and becomes active.
    void launch(const Ref<NSDictionary>& launchOptions);
    void keepDelegate(const Ref<UIApplicationDelegate>& delegate);
    void enterBackground();
    void enterForeground();
    // Active to inactive, as when a system prompt or the notification centre covers the
    // application (willResignActive); reactivate() undoes it (didBecomeActive). Each does nothing
    // from any other state.
    void resignActive();
    void reactivate();
    void terminate();
    void simulateMemoryWarning();
    // Delivers a remote notification's payload to the delegate on the main queue: the form with
    // a completion handler when the delegate has it, otherwise the plain one. `completion` (may be
    // empty) receives what the delegate reports, once.
    void deliverRemoteNotification(const Ref<NSDictionary>& userInfo, std::function<void(UIBackgroundFetchResult)> completion = {});
    void expireBackgroundTasks();
    NSUInteger backgroundTaskCount() const;
    Ref<NSArray> openedURLs() const;
    // What became of each of them, in the same order: whether the system was asked to open it and
    // whether it could be.
    std::vector<dv::SystemHandOver> openedURLHandOvers() const;
    // Whether openURL hands URLs to xdg-open (off unless the runner asks).
    static void setOpensURLsWithSystem(bool open);
    // The stand-in device token, made and kept in the device folder on first use; nil when it
    // cannot be stored.
    static Ref<NSData> deviceToken(Ref<NSError>* error);

private:
    friend class UIWindow;

    void handleAddWindow(const Ref<UIWindow>& window);
    void handleSetKeyWindow(const Ref<UIWindow>& window) { m_keyWindow = window; }
    void post(const Ref<NSString>& name);
    void becomeActive();

    Weak<UIWindow> m_keyWindow;
    std::vector<Weak<UIWindow>> m_windows;
    Weak<UIApplicationDelegate> m_delegate;
    Ref<UIApplicationDelegate> m_keptDelegate;
    UIApplicationState m_state = UIApplicationStateInactive;
    NSInteger m_badge = 0;
    bool m_networkActivityIndicatorVisible = false;
    std::vector<Ref<NSURL>> m_openedURLs;
    std::vector<dv::SystemHandOver> m_handOvers; // one for each of m_openedURLs
    mutable dv::Mutex m_tasksLock;
    std::map<UIBackgroundTaskIdentifier, std::function<void()>> m_tasks DV_GUARDED_BY(m_tasksLock);
    UIBackgroundTaskIdentifier m_nextTask DV_GUARDED_BY(m_tasksLock) = 1;
    Ref<UIUserNotificationSettings> m_settings;
    bool m_registeredForRemote = false;
};

// The platform's entry: makes the shared application, creates the delegate from its registered
// class name, launches and runs the main run loop until it is stopped. Answers 0.
int UIApplicationMain(int argc, char** argv, const Ref<NSString>& principalClassName, const Ref<NSString>& delegateClassName);
