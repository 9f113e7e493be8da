#include "app/shell/start/AppDelegate.h"

#include "app/shell/guide/LYIntroduceController.h"
#include "app/shell/home/VQMainViewController.h"
#include "app/shell/navigation/SMNavigationController.h"
#include "app/shell/news/JZNewsDetailController.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerRequests.h"
#include "app/shell/server/ZHHttpTool.h"
#include "foundation/identity/DIUUID.h"
#include "platform/base/Associations.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/graphics/UIColor.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UIWindow.h"
#include "push/Lib/Controller/PushService.h"
#include "ui/toolkit/keyboard/KBKeyboardManager.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include <string>

namespace {

constexpr NSTimeInterval kReloginInterval = 28800.0;
constexpr const char* kPushAppKey = "7e41c0d93a5b8f26e1d47c08";
constexpr const char* kPushChannel = "Publish channel";
constexpr NSUInteger kNotificationTypes = 7; // badge 1, sound 2, alert 4
constexpr NSInteger kPushAlertTag = 101;
constexpr const char* kBackDateKey = "backDate";

// The key under which a push alert keeps the payload it was shown for.
const char kAlertPayloadKey = 0;

// A value in its text form, as "%@" writes it ("(null)" for nil).
Ref<NSString> textForm(const id& value) { return NSString::stringWithFormat("%@", value); }

// The login's refusal, over the window. A screen's loading overlay may be there already (or come
// while the refusal shows), waiting for its own reply, and that reply hides the window's topmost
// overlay: were the toast one of the window's overlays, it would be taken in the loading
// overlay's place, and the loading overlay would stay for good over a screen that no longer takes
// a touch. So the toast shows over a view of its own that covers the window, above the overlays
// there and out of their lookup, and that view goes with the toast.
void showRefusal(const Ref<NSString>& text, const Ref<UIWindow>& window)
{
    auto application = UIApplication::sharedApplication();
    const Ref<UIView> parent = window ? window : application ? application->keyWindow() : nil;
    if (!parent)
        return;
    auto host = alloc<UIView>()->initWithFrame(parent->bounds());
    host->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    parent->addSubview(host);
    PHProgressHUD::showError(text, host);
    if (auto toast = PHProgressHUD::HUDForView(host)) {
        Weak<UIView> weakHost = host;
        toast->setCompletionBlock([weakHost] {
            if (auto gone = weakHost.lock())
                gone->removeFromSuperview();
        });
    }
}

// A value of the payload; nil for a nil payload, as a message to nil answers.
id payloadValue(const Ref<NSDictionary>& payload, const Ref<NSString>& key)
{
    return payload ? payload->objectForKey(key) : nil;
}

NSInteger pushTypeOf(const Ref<NSDictionary>& payload)
{
    return dv::app::integerValueOfJSON(payloadValue(payload, "pushType"_ns)).value_or(0);
}

Ref<NSString> messageTextOf(const Ref<NSDictionary>& payload)
{
    auto aps = dv::as<NSDictionary>(payloadValue(payload, "aps"_ns));
    auto alert = aps ? aps->objectForKey("alert"_ns) : nil;
    // The alert is a text; anything else (a dictionary of localisation keys) has no text of its own.
    return dv::as<NSString>(alert);
}

} // namespace

DV_DEFINE_CLASS(AppDelegate)

Ref<AppDelegate> AppDelegate::init()
{
    UIResponder::init();
    return self<AppDelegate>();
}

std::optional<bool> AppDelegate::applicationDidFinishLaunchingWithOptions(const Ref<UIApplication>& application,
    const Ref<NSDictionary>& launchOptions)
{
    requestLogin();

    m_window = alloc<UIWindow>()->initWithFrame(UIScreen::mainScreen()->bounds());
    m_window->setBackgroundColor(UIColor::whiteColor());
    auto home = alloc<VQMainViewController>()->init();
    m_window->setRootViewController(alloc<SMNavigationController>()->initWithRootViewController(home));
    m_window->makeKeyAndVisible();

    application->setApplicationIconBadgeNumber(0);
    jiGuanTuiSong(launchOptions);

    auto keyboard = KBKeyboardManager::sharedManager();
    keyboard->setEnable(true);
    keyboard->setShouldResignOnTouchOutside(true);
    keyboard->setShouldToolbarUsesTextFieldTintColor(true);
    keyboard->setEnableAutoToolbar(false);

    NSUserDefaults::standardUserDefaults()->setObjectForKey(NSDate::date(), NSString::fromUTF8(kBackDateKey));
    return true;
}

void AppDelegate::jiGuanTuiSong(const Ref<NSDictionary>& launchOptions)
{
    PushService::registerForRemoteNotificationTypes(kNotificationTypes, nil);
    PushService::setupWithOption(launchOptions, NSString::fromUTF8(kPushAppKey), NSString::fromUTF8(kPushChannel), true);
    PushService::setTags(nil, DIUUID::uuidForDevice(), SEL(), nil);
}

void AppDelegate::requestLogin()
{
    auto request = dv::app::loginRequest();
    // The delegate lives for the process; the reply may come after a test has dropped it, so the
    // blocks hold it weakly.
    Weak<AppDelegate> weakSelf = self<AppDelegate>();
    ZHHttpTool::postWithURL(request.URL, request.fields,
        [weakSelf](const id& json) {
            auto me = weakSelf.lock();
            auto reply = ServerReply::fromObject(json);
            if (reply && reply->succeeded()) {
                // A successful reply without a token removes the one stored.
                NSUserDefaults::standardUserDefaults()->setObjectForKey(reply->textForKey("token"_ns),
                    NSString::fromUTF8(dv::app::kUserTokenKey));
            } else {
                showRefusal(reply ? reply->msg() : NSString::string(), me ? me->window() : nil);
            }
        },
        [](const Ref<NSError>& error) { NSLog("error=====%@", error); });
}

bool AppDelegate::applicationDidBecomeActive(const Ref<UIApplication>&)
{
    auto backDate = NSUserDefaults::standardUserDefaults()->dateForKey(NSString::fromUTF8(kBackDateKey));
    if (backDate && NSDate::date()->timeIntervalSinceDate(backDate) > kReloginInterval)
        requestLogin();
    return true;
}

bool AppDelegate::applicationWillResignActive(const Ref<UIApplication>&) { return true; }
bool AppDelegate::applicationDidEnterBackground(const Ref<UIApplication>&) { return true; }
bool AppDelegate::applicationWillEnterForeground(const Ref<UIApplication>&) { return true; }
bool AppDelegate::applicationWillTerminate(const Ref<UIApplication>&) { return true; }

bool AppDelegate::applicationDidRegisterForRemoteNotificationsWithDeviceToken(const Ref<UIApplication>&, const Ref<NSData>& deviceToken)
{
    PushService::registerDeviceToken(deviceToken);
    return true;
}

bool AppDelegate::applicationDidReceiveRemoteNotification(const Ref<UIApplication>&, const Ref<NSDictionary>& userInfo)
{
    PushService::handleRemoteNotification(userInfo);
    return true;
}

bool AppDelegate::applicationDidReceiveRemoteNotificationFetchCompletionHandler(const Ref<UIApplication>& application,
    const Ref<NSDictionary>& userInfo, std::function<void(UIBackgroundFetchResult)> completionHandler)
{
    PushService::handleRemoteNotification(userInfo);
    NSLog("%@", userInfo);
    auto message = messageTextOf(userInfo);
    m_msgDic = userInfo;

    if (application->applicationState() != UIApplicationStateActive) {
        NSLog("%@", userInfo);
        switch (pushTypeOf(userInfo)) {
        case 0:
            showNewsPage(userInfo, message);
            break;
        case 1:
            showPushAlert(userInfo, message);
            break;
        default:
            break;
        }
    } else {
        showPushAlert(userInfo, message);
    }

    if (completionHandler)
        completionHandler(UIBackgroundFetchResultNewData);
    return true;
}

void AppDelegate::showPushAlert(const Ref<NSDictionary>& payload, const Ref<NSString>& message)
{
    auto alert = alloc<UIAlertView>()->initWithTitle("收到一条推送消息"_ns, message, self<AppDelegate>(), "去查看"_ns, { "忽略"_ns });
    alert->setTag(kPushAlertTag);
    // Each alert answers for its own message, even when later ones arrived before it was answered.
    objc_setAssociatedObject(alert, &kAlertPayloadKey, payload, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    alert->show();
}

void AppDelegate::showNewsPage(const Ref<NSDictionary>& payload, const Ref<NSString>& message)
{
    auto navigation = dv::as<UINavigationController>(m_window ? m_window->rootViewController() : nil);
    if (!navigation)
        return;
    auto news = alloc<JZNewsDetailController>()->init();
    news->setContent(textForm(message));
    news->setTitleText(textForm(payloadValue(payload, "title"_ns)));
    news->setTimes(textForm(payloadValue(payload, "addTime"_ns)));
    navigation->pushViewController(news, true);
}

bool AppDelegate::alertViewClickedButtonAtIndex(const Ref<UIAlertView>& alertView, NSInteger buttonIndex)
{
    if (!alertView || alertView->tag() != kPushAlertTag || buttonIndex != 0 || !m_msgDic)
        return true;
    auto payload = dv::as<NSDictionary>(objc_getAssociatedObject(alertView, &kAlertPayloadKey));
    if (!payload)
        payload = m_msgDic;
    if (pushTypeOf(payload) == 1) {
        if (auto url = NSURL::URLWithString(textForm(payloadValue(payload, "info"_ns))))
            UIApplication::sharedApplication()->openURL(url);
    } else {
        NSLog("%@", payload);
        showNewsPage(payload, messageTextOf(payload));
    }
    return true;
}

void AppDelegate::showIntroduce()
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey("YES"_ns, "first"_ns);
    defaults->synchronize();
    if (!m_window)
        return;
    auto guide = alloc<LYIntroduceController>()->initWithImages(NSArray::of({ "yindao1"_ns, "yindao2"_ns, "yindao3"_ns }));
    guide->setDelegate(self<AppDelegate>());
    m_window->setRootViewController(guide);
}

void AppDelegate::introduceWillFinished()
{
    if (!m_window)
        return;
    auto home = alloc<VQMainViewController>()->init();
    m_window->setRootViewController(alloc<SMNavigationController>()->initWithRootViewController(home));
}

Ref<NSString> AppDelegate::compareCurrentTime(const Ref<NSDate>& date)
{
    const NSTimeInterval seconds = date ? NSDate::date()->timeIntervalSinceDate(date) : 0;
    if (seconds < 60)
        return "刚刚"_ns;
    const auto minutes = static_cast<long long>(seconds / 60);
    std::string text;
    if (minutes < 60)
        text = std::to_string(minutes) + "分前";
    else if (minutes < 1440)
        text = std::to_string(minutes / 60) + "小前";
    else if (minutes < 43200)
        text = std::to_string(minutes / 1440) + "天前";
    else if (minutes >= 518400)
        text = std::to_string(minutes / 518400) + "年前";
    else
        text = std::to_string(minutes / 43200) + "月前";
    return NSString::fromUTF8(text);
}
