#include "push/Lib/Controller/PushService.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/system/UIDevice.h"
#include "platform/system/UIUserNotificationSettings.h"
#include "platform/ui/UIApplication.h"

#include <cctype>

namespace {

struct PushState {
    dv::Mutex mutex;
    bool setUp DV_GUARDED_BY(mutex) = false;
    Ref<NSString> appKey DV_GUARDED_BY(mutex);
    Ref<NSString> channel DV_GUARDED_BY(mutex);
    bool production DV_GUARDED_BY(mutex) = false;
    Ref<NSDictionary> launchOptions DV_GUARDED_BY(mutex);
    Ref<NSString> alias DV_GUARDED_BY(mutex);
    Ref<NSSet> tags DV_GUARDED_BY(mutex);
    Ref<NSData> deviceToken DV_GUARDED_BY(mutex);
    std::vector<Ref<NSString>> received DV_GUARDED_BY(mutex);
};

PushState& state()
{
    static PushState* s = new PushState; // lives for the process
    return *s;
}

bool isApplicationKey(const Ref<NSString>& key)
{
    if (!key || key->length() != 24)
        return false;
    for (char c : dv::str(key))
        if (!std::isxdigit(static_cast<unsigned char>(c)) || std::isupper(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// The text form of a message id as payloads carry it: a text, or a number's decimal text.
Ref<NSString> messageIdText(const id& value)
{
    if (auto text = dv::as<NSString>(value))
        return text->length() ? text : nil;
    if (auto number = dv::as<NSNumber>(value))
        return number->stringValue();
    return nil;
}

} // namespace

void PushService::registerForRemoteNotificationTypes(NSUInteger types, const Ref<NSSet>& categories)
{
    auto app = UIApplication::sharedApplication();
    auto version = UIDevice::currentDevice()->systemVersion();
    if (version && version->doubleValue() >= 8.0) {
        app->registerUserNotificationSettings(UIUserNotificationSettings::settingsForTypes(types, categories));
        app->registerForRemoteNotifications();
    } else {
        app->registerForRemoteNotificationTypes(types);
    }
}

void PushService::setupWithOption(const Ref<NSDictionary>& launchOptions, const Ref<NSString>& appKey, const Ref<NSString>& channel,
    bool apsForProduction)
{
    if (!isApplicationKey(appKey))
        NSLog("push: the application key %@ is not 24 lower-case hexadecimal characters", appKey);
    {
        auto& s = state();
        dv::MutexLocker lock(s.mutex);
        s.setUp = true;
        s.appKey = appKey;
        s.channel = channel;
        s.production = apsForProduction;
        s.launchOptions = launchOptions;
    }
    NSLog("push: set up with key %@, channel %@, %s environment; no push server is reachable from this build", appKey, channel,
        apsForProduction ? "production" : "development");
}

void PushService::setTags(const Ref<NSSet>& tags, const Ref<NSString>& alias, SEL, const id&)
{
    auto& s = state();
    dv::MutexLocker lock(s.mutex);
    if (tags)
        s.tags = tags;
    if (alias)
        s.alias = alias;
}

void PushService::registerDeviceToken(const Ref<NSData>& deviceToken)
{
    auto& s = state();
    dv::MutexLocker lock(s.mutex);
    s.deviceToken = deviceToken;
}

void PushService::handleRemoteNotification(const Ref<NSDictionary>& remoteInfo)
{
    if (!remoteInfo)
        return;
    auto messageId = messageIdText(remoteInfo->objectForKey("_j_msgid"_ns));
    if (!messageId)
        return;
    auto flag = remoteInfo->objectForKey("_j_flag"_ns);
    {
        auto& s = state();
        dv::MutexLocker lock(s.mutex);
        s.received.push_back(messageId);
    }
    NSLog("push: message %@ received (flag %@)", messageId, flag);
}

bool PushService::isSetUp()
{
    auto& s = state();
    dv::MutexLocker lock(s.mutex);
    return s.setUp;
}

#define DV_PUSH_READER(Type, name, member)                                                       \
    Type PushService::name()                                                                     \
    {                                                                                            \
        auto& s = state();                                                                       \
        dv::MutexLocker lock(s.mutex);                                                           \
        return s.member;                                                                         \
    }

DV_PUSH_READER(Ref<NSString>, appKey, appKey)
DV_PUSH_READER(Ref<NSString>, channel, channel)
DV_PUSH_READER(bool, apsForProduction, production)
DV_PUSH_READER(Ref<NSDictionary>, launchOptions, launchOptions)
DV_PUSH_READER(Ref<NSString>, alias, alias)
DV_PUSH_READER(Ref<NSSet>, tags, tags)
DV_PUSH_READER(Ref<NSData>, deviceToken, deviceToken)
DV_PUSH_READER(std::vector<Ref<NSString>>, receivedMessageIds, received)

#undef DV_PUSH_READER

void PushService::reset()
{
    auto& s = state();
    dv::MutexLocker lock(s.mutex);
    s.setUp = false;
    s.production = false;
    s.appKey = s.channel = s.alias = nil;
    s.launchOptions = nil;
    s.tags = nil;
    s.deviceToken = nil;
    s.received.clear();
}
