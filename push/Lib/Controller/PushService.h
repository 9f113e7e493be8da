// PushService: the push client's public interface, used through class methods only. This build
// has no push server to talk to: the service asks the system for remote notifications, keeps the
// values it is set up with (application key, channel, environment, launch options), the alias and
// tags the application registers and the device token the system hands over, and notes the
// message id of every notification handed to it as received. Nothing is sent anywhere; each step
// is written to the log. The readers below show what the service holds.
//
//   PushService::registerForRemoteNotificationTypes(7, nil);   // badge, sound, alert
//   PushService::setupWithOption(launchOptions, "7e41c0d93a5b8f26e1d47c08"_ns, "Publish channel"_ns, true);
//   PushService::setTags(nil, DIUUID::uuidForDevice(), SEL(), nil);
//
// Any thread; the application calls it from the main thread.
#pragma once

#include "platform/base/Runtime.h"

#include <vector>

class PushService {
public:
    // Asks the system for remote notifications of `types` (badge 1, sound 2, alert 4): on system
    // version 8 and later through user-notification settings with the categories, then the
    // registration for remote notifications; before that through the types alone. The system
    // answers through the application delegate's device-token callback.
    static void registerForRemoteNotificationTypes(NSUInteger types, const Ref<NSSet>& categories);

    // Starts the client with these values (kept; a key that is not 24 lower-case hexadecimal
    // characters is kept too, and reported in the log).
    static void setupWithOption(const Ref<NSDictionary>& launchOptions, const Ref<NSString>& appKey, const Ref<NSString>& channel,
        bool apsForProduction);

    // Registers the alias (nil leaves it as it is) and the tags (nil leaves them unchanged). With
    // no selector nobody is told the result; with one, this build has no server to ask and tells
    // nobody either.
    static void setTags(const Ref<NSSet>& tags, const Ref<NSString>& alias, SEL callbackSelector, const id& object);

    // The system's device token, kept for the upload the client would make.
    static void registerDeviceToken(const Ref<NSData>& deviceToken);

    // Reads the client's own keys `_j_msgid` and `_j_flag` from a received notification and notes
    // the message id as received. The payload is not changed; a payload without a message id is
    // noted as nothing.
    static void handleRemoteNotification(const Ref<NSDictionary>& remoteInfo);

    // What the service holds.
    static bool isSetUp();
    static Ref<NSString> appKey();
    static Ref<NSString> channel();
    static bool apsForProduction();
    static Ref<NSDictionary> launchOptions();
    static Ref<NSString> alias();
    static Ref<NSSet> tags();
    static Ref<NSData> deviceToken();
    // The message ids reported as received, oldest first (each as its text form).
    static std::vector<Ref<NSString>> receivedMessageIds();
    // Forgets everything (tests).
    static void reset();
};
