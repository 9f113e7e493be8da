// The application delegate protocol: the application object tells its delegate about launching,
// state changes, memory warnings and remote notifications. Every method is optional; the default
// answers "not implemented" (false, or nullopt for results), so the application can tell which
// form of a callback the delegate has. Called on the main thread.
#pragma once

#include "platform/base/Forward.h"

#include <functional>
#include <optional>

class UIApplication;
class UIUserNotificationSettings;
class UIWindow;

enum UIBackgroundFetchResult : NSUInteger {
    UIBackgroundFetchResultNewData = 0,
    UIBackgroundFetchResultNoData = 1,
    UIBackgroundFetchResultFailed = 2,
};

class UIApplicationDelegate {
public:
    virtual ~UIApplicationDelegate() = default;

    // The application's window, when the delegate keeps one (other code reaches the window
    // through the shared application's delegate).
    virtual Ref<UIWindow> window() const { return nullptr; }

    virtual std::optional<bool> applicationWillFinishLaunchingWithOptions(const Ref<UIApplication>&, const Ref<NSDictionary>&) { return std::nullopt; }
    virtual std::optional<bool> applicationDidFinishLaunchingWithOptions(const Ref<UIApplication>&, const Ref<NSDictionary>&) { return std::nullopt; }
    virtual bool applicationDidBecomeActive(const Ref<UIApplication>&) { return false; }
    virtual bool applicationWillResignActive(const Ref<UIApplication>&) { return false; }
    virtual bool applicationDidEnterBackground(const Ref<UIApplication>&) { return false; }
    virtual bool applicationWillEnterForeground(const Ref<UIApplication>&) { return false; }
    virtual bool applicationWillTerminate(const Ref<UIApplication>&) { return false; }
    virtual bool applicationDidReceiveMemoryWarning(const Ref<UIApplication>&) { return false; }

    virtual bool applicationDidRegisterUserNotificationSettings(const Ref<UIApplication>&, const Ref<UIUserNotificationSettings>&) { return false; }
    virtual bool applicationDidRegisterForRemoteNotificationsWithDeviceToken(const Ref<UIApplication>&, const Ref<NSData>&) { return false; }
    virtual bool applicationDidFailToRegisterForRemoteNotificationsWithError(const Ref<UIApplication>&, const Ref<NSError>&) { return false; }
    virtual bool applicationDidReceiveRemoteNotification(const Ref<UIApplication>&, const Ref<NSDictionary>&) { return false; }
    virtual bool applicationDidReceiveRemoteNotificationFetchCompletionHandler(const Ref<UIApplication>&, const Ref<NSDictionary>&,
                                                                              std::function<void(UIBackgroundFetchResult)>) { return false; }
    virtual std::optional<bool> applicationOpenURL(const Ref<UIApplication>&, const Ref<NSURL>&, const Ref<NSString>& sourceApplication, const id& annotation)
    {
        (void)sourceApplication;
        (void)annotation;
        return std::nullopt;
    }
};
