#include "platform/ui/UIApplication.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/base/NSSet.h"
#include "platform/system/DeviceToken.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UIEvent.h"
#include "platform/ui/UIMenuController.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/internal/ActionSending.h"
#include "platform/ui/internal/AlertBase.h"
#include "platform/ui/internal/Keyboard.h"
#include "platform/ui/internal/TouchRouter.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

const Ref<NSString> UIApplicationDidFinishLaunchingNotification = "UIApplicationDidFinishLaunchingNotification"_ns;
const Ref<NSString> UIApplicationDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification"_ns;
const Ref<NSString> UIApplicationWillResignActiveNotification = "UIApplicationWillResignActiveNotification"_ns;
const Ref<NSString> UIApplicationDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification"_ns;
const Ref<NSString> UIApplicationWillEnterForegroundNotification = "UIApplicationWillEnterForegroundNotification"_ns;
const Ref<NSString> UIApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification"_ns;
const Ref<NSString> UIApplicationDidReceiveMemoryWarningNotification = "UIApplicationDidReceiveMemoryWarningNotification"_ns;
const Ref<NSString> UIApplicationLaunchOptionsRemoteNotificationKey = "UIApplicationLaunchOptionsRemoteNotificationKey"_ns;
const Ref<NSString> UIApplicationLaunchOptionsURLKey = "UIApplicationLaunchOptionsURLKey"_ns;
const Ref<NSString> UIApplicationWillChangeStatusBarOrientationNotification = "UIApplicationWillChangeStatusBarOrientationNotification"_ns;
const Ref<NSString> UIApplicationDidChangeStatusBarOrientationNotification = "UIApplicationDidChangeStatusBarOrientationNotification"_ns;
const Ref<NSString> UIApplicationStatusBarOrientationUserInfoKey = "UIApplicationStatusBarOrientationUserInfoKey"_ns;

DV_DEFINE_CLASS(UIApplication)

namespace {

dv::Mutex s_sharedMutex;
Ref<UIApplication> s_shared DV_GUARDED_BY(s_sharedMutex);
std::atomic<bool> s_opensWithSystem { false };

// Runs xdg-open without a shell, so the URL's text is never interpreted; the child is reaped on
// a worker so the main thread does not wait for the desktop. Failed when it could not be started
// (not on the PATH, not executable).
[[nodiscard]] dv::SystemHandOver openWithSystem(const std::string& url)
{
    const char* argv[] = { "xdg-open", url.c_str(), nullptr };
    pid_t pid = 0;
    if (const int error = posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ); error != 0) {
        NSLog("openURL: xdg-open could not be started for %s: %s", url, std::strerror(error));
        return dv::SystemHandOver::Failed;
    }
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0), [pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    });
    return dv::SystemHandOver::HandedOver;
}

} // namespace

Ref<UIApplication> UIApplication::sharedApplication()
{
    dv::MutexLocker lock(s_sharedMutex);
    if (!s_shared)
        s_shared = alloc<UIApplication>();
    return s_shared;
}

void UIApplication::resetSharedApplication()
{
    Ref<UIApplication> old;
    {
        dv::MutexLocker lock(s_sharedMutex);
        old = std::exchange(s_shared, nil);
    }
    // Destroyed outside the lock: a kept delegate may call back into sharedApplication().
    old = nil;
    // Fingers still down, the last tap and the edit menu belong to the application that is gone.
    dv::internal::uikit::TouchRouter::shared().reset();
    UIMenuController::handleReset();
    UIAlertBase::resetAll();
    dv::internal::uikit::Keyboard::shared().reset();
}

void UIApplication::setOpensURLsWithSystem(bool open) { s_opensWithSystem = open; }

Ref<UIWindow> UIApplication::keyWindow() const { return m_keyWindow.lock(); }

Ref<NSArray> UIApplication::windows() const
{
    std::vector<id> items;
    for (auto& weak : m_windows)
        if (auto window = weak.lock())
            items.push_back(window);
    return NSArray::fromVector(std::move(items));
}

void UIApplication::handleAddWindow(const Ref<UIWindow>& window)
{
    std::erase_if(m_windows, [](auto& w) { return w.expired(); });
    m_windows.push_back(window);
}

CGRect UIApplication::statusBarFrame() const { return CGRectMake(0, 0, UIScreen::mainScreen()->bounds().size.width, 20); }

void UIApplication::sendEvent(const Ref<UIEvent>& event)
{
    if (!event)
        return;
    std::vector<Ref<UIWindow>> windows;
    const auto touches = event->allTouches()->allObjects();
    for (auto& item : touches->items())
        if (auto window = static_cast<UITouch&>(*item).window(); window && std::find(windows.begin(), windows.end(), window) == windows.end())
            windows.push_back(window);
    for (auto& window : windows)
        window->sendEvent(event);
}

bool UIApplication::sendAction(SEL action, const id& target, const id& sender, const Ref<UIEvent>& event)
{
    if (!action)
        return false;
    id receiver = target;
    if (!receiver) {
        auto window = keyWindow();
        Ref<UIResponder> start = window ? window->firstResponder() : nil;
        if (!start)
            start = dv::as<UIResponder>(sender);
        for (auto responder = start; responder; responder = responder->nextResponder())
            if (responder->respondsToSelector(action)) {
                receiver = responder;
                break;
            }
    }
    return dv::internal::uikit::performAction(receiver, action, sender, event);
}

Ref<UIResponder> UIApplication::nextResponder() const { return std::dynamic_pointer_cast<UIResponder>(delegate()); }

void UIApplication::setDelegate(const Ref<UIApplicationDelegate>& delegate) { m_delegate = delegate; }

void UIApplication::keepDelegate(const Ref<UIApplicationDelegate>& delegate)
{
    m_keptDelegate = delegate;
    m_delegate = delegate;
}

void UIApplication::post(const Ref<NSString>& name)
{
    NSNotificationCenter::defaultCenter()->postNotificationName(name, self<NSObject>(), nil);
}

void UIApplication::launch(const Ref<NSDictionary>& launchOptions)
{
    auto app = self<UIApplication>();
    m_state = UIApplicationStateInactive;
    if (auto d = delegate())
        d->applicationWillFinishLaunchingWithOptions(app, launchOptions);
    if (auto d = delegate())
        d->applicationDidFinishLaunchingWithOptions(app, launchOptions);
    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationDidFinishLaunchingNotification, app, launchOptions);
    // A launch caused by a remote notification hands the payload on as the platform does.
    if (auto payload = launchOptions ? dv::as<NSDictionary>(launchOptions->objectForKey(UIApplicationLaunchOptionsRemoteNotificationKey)) : nil)
        deliverRemoteNotification(payload);
    becomeActive();
}

void UIApplication::becomeActive()
{
    m_state = UIApplicationStateActive;
    if (auto d = delegate())
        d->applicationDidBecomeActive(self<UIApplication>());
    post(UIApplicationDidBecomeActiveNotification);
}

void UIApplication::enterBackground()
{
    if (m_state == UIApplicationStateBackground)
        return;
    auto app = self<UIApplication>();
    if (m_state == UIApplicationStateActive) {
        if (auto d = delegate())
            d->applicationWillResignActive(app);
        post(UIApplicationWillResignActiveNotification);
    }
    m_state = UIApplicationStateBackground;
    if (auto d = delegate())
        d->applicationDidEnterBackground(app);
    post(UIApplicationDidEnterBackgroundNotification);
}

void UIApplication::enterForeground()
{
    if (m_state != UIApplicationStateBackground)
        return;
    m_state = UIApplicationStateInactive;
    if (auto d = delegate())
        d->applicationWillEnterForeground(self<UIApplication>());
    post(UIApplicationWillEnterForegroundNotification);
    becomeActive();
}

void UIApplication::resignActive()
{
    if (m_state != UIApplicationStateActive)
        return;
    // The delegate hears it while still active, as on the way to the background.
    if (auto d = delegate())
        d->applicationWillResignActive(self<UIApplication>());
    post(UIApplicationWillResignActiveNotification);
    m_state = UIApplicationStateInactive;
}

void UIApplication::reactivate()
{
    if (m_state == UIApplicationStateInactive)
        becomeActive();
}

void UIApplication::terminate()
{
    if (auto d = delegate())
        d->applicationWillTerminate(self<UIApplication>());
    post(UIApplicationWillTerminateNotification);
}

void UIApplication::simulateMemoryWarning()
{
    if (auto d = delegate())
        d->applicationDidReceiveMemoryWarning(self<UIApplication>());
    post(UIApplicationDidReceiveMemoryWarningNotification);
}

bool UIApplication::canOpenURL(const Ref<NSURL>& url) const
{
    return url && url->scheme() && url->scheme()->length() > 0;
}

bool UIApplication::openURL(const Ref<NSURL>& url)
{
    if (!canOpenURL(url))
        return false;
    const auto handOver = s_opensWithSystem ? openWithSystem(url->absoluteString()->utf8()) : dv::SystemHandOver::Off;
    m_openedURLs.push_back(url);
    m_handOvers.push_back(handOver);
    // Nothing opened it when the system could not take it.
    return handOver != dv::SystemHandOver::Failed;
}

std::vector<dv::SystemHandOver> UIApplication::openedURLHandOvers() const { return m_handOvers; }

Ref<NSArray> UIApplication::openedURLs() const
{
    std::vector<id> items(m_openedURLs.begin(), m_openedURLs.end());
    return NSArray::fromVector(std::move(items));
}

UIBackgroundTaskIdentifier UIApplication::beginBackgroundTaskWithExpirationHandler(std::function<void()> handler)
{
    dv::MutexLocker lock(m_tasksLock);
    UIBackgroundTaskIdentifier identifier = m_nextTask++;
    m_tasks[identifier] = std::move(handler);
    return identifier;
}

UIBackgroundTaskIdentifier UIApplication::beginBackgroundTaskWithNameExpirationHandler(const Ref<NSString>&, std::function<void()> handler)
{
    return beginBackgroundTaskWithExpirationHandler(std::move(handler));
}

void UIApplication::endBackgroundTask(UIBackgroundTaskIdentifier identifier)
{
    if (identifier == UIBackgroundTaskInvalid)
        return;
    std::function<void()> handler; // released outside the lock: it may hold the last reference to its owner
    {
        dv::MutexLocker lock(m_tasksLock);
        auto it = m_tasks.find(identifier);
        if (it != m_tasks.end()) {
            handler = std::move(it->second);
            m_tasks.erase(it);
            return;
        }
    }
    NSLog("Can't end BackgroundTask: no background task exists with identifier %lu, or it may have already been ended.",
          static_cast<unsigned long>(identifier));
}

NSUInteger UIApplication::backgroundTaskCount() const
{
    dv::MutexLocker lock(m_tasksLock);
    return m_tasks.size();
}

NSTimeInterval UIApplication::backgroundTimeRemaining() const
{
    dv::MutexLocker lock(m_tasksLock);
    return m_state == UIApplicationStateBackground ? (m_tasks.empty() ? 0.0 : 180.0) : DBL_MAX;
}

void UIApplication::expireBackgroundTasks()
{
    // Each handler is taken out before it runs, and runs outside the lock: it normally ends its
    // own task (from this or another thread), and may begin another one, which is not expired in
    // this round.
    std::vector<UIBackgroundTaskIdentifier> due;
    {
        dv::MutexLocker lock(m_tasksLock);
        for (const auto& [identifier, handler] : m_tasks)
            due.push_back(identifier);
    }
    for (auto identifier : due) {
        std::function<void()> handler;
        {
            dv::MutexLocker lock(m_tasksLock);
            auto it = m_tasks.find(identifier);
            if (it == m_tasks.end())
                continue;
            handler = std::exchange(it->second, {});
        }
        if (handler)
            handler();
        handler = nullptr;
        bool leftOver = false;
        {
            dv::MutexLocker lock(m_tasksLock);
            leftOver = m_tasks.erase(identifier) > 0;
        }
        if (leftOver)
            NSLog("Background task %lu was not ended by its expiration handler; ended by the system.", static_cast<unsigned long>(identifier));
    }
}

Ref<NSData> UIApplication::deviceToken(Ref<NSError>* error) { return dv::pushDeviceToken(error); }

void UIApplication::registerUserNotificationSettings(const Ref<UIUserNotificationSettings>& settings)
{
    m_settings = settings;
    Weak<UIApplication> weak = self<UIApplication>();
    dispatch_async(dispatch_get_main_queue(), [weak, settings] {
        auto app = weak.lock();
        if (!app)
            return;
        if (auto d = app->delegate())
            d->applicationDidRegisterUserNotificationSettings(app, settings);
    });
}

void UIApplication::registerForRemoteNotifications()
{
    m_registeredForRemote = true;
    Weak<UIApplication> weak = self<UIApplication>();
    dispatch_async(dispatch_get_main_queue(), [weak] {
        auto app = weak.lock();
        if (!app || !app->m_registeredForRemote)
            return;
        Ref<NSError> error;
        auto token = deviceToken(&error);
        auto d = app->delegate();
        if (!d)
            return;
        if (token)
            d->applicationDidRegisterForRemoteNotificationsWithDeviceToken(app, token);
        else
            d->applicationDidFailToRegisterForRemoteNotificationsWithError(app, error);
    });
}

void UIApplication::registerForRemoteNotificationTypes(UIRemoteNotificationType types)
{
    m_settings = UIUserNotificationSettings::settingsForTypes(types, nil);
    registerForRemoteNotifications();
}

void UIApplication::unregisterForRemoteNotifications() { m_registeredForRemote = false; }

void UIApplication::deliverRemoteNotification(const Ref<NSDictionary>& userInfo, std::function<void(UIBackgroundFetchResult)> completion)
{
    Weak<UIApplication> weak = self<UIApplication>();
    dispatch_async(dispatch_get_main_queue(), [weak, userInfo, completion = std::move(completion)]() mutable {
        auto app = weak.lock();
        auto d = app ? app->delegate() : nil;
        if (!d)
            return;
        // The delegate may call the handler late or more than once; the caller hears it once.
        auto once = std::make_shared<std::function<void(UIBackgroundFetchResult)>>(std::move(completion));
        auto handler = [once](UIBackgroundFetchResult result) {
            auto done = std::exchange(*once, {});
            if (done)
                done(result);
        };
        if (!d->applicationDidReceiveRemoteNotificationFetchCompletionHandler(app, userInfo, handler))
            d->applicationDidReceiveRemoteNotification(app, userInfo);
    });
}

int UIApplicationMain(int, char**, const Ref<NSString>&, const Ref<NSString>& delegateClassName)
{
    auto app = UIApplication::sharedApplication();
    if (Class cls = delegateClassName ? NSClassFromString(delegateClassName) : Nil) {
        auto delegate = std::dynamic_pointer_cast<UIApplicationDelegate>(cls->createInstance());
        if (!delegate)
            NSLog("UIApplicationMain: %@ is not an application delegate", delegateClassName);
        app->keepDelegate(delegate);
    }
    app->launch(nil);
    NSRunLoop::mainRunLoop()->run();
    return 0;
}
