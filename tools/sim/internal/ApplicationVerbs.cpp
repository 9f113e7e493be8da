// The application as the platform runs it: launch and relaunch, its states, remote notifications
// and what the push service was told, its icon badge, URLs handed to the system, and its clock.
#include "tools/sim/internal/Verbs.h"

#include "tools/sim/internal/ScreenSearch.h"

#include "foundation/identity/DIUUID.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/Clock.h"
#include "platform/system/UIUserNotificationSettings.h"
#include "platform/testing/UIDriver.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIApplication.h"
#include "push/Lib/Controller/PushService.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>

using dv::sim::ScriptCommand;

namespace dv::internal::sim {

namespace {

// Seconds between 1970-01-01 and the reference date 2001-01-01 (UTC).
constexpr double kReferenceDateInUnixTime = 978307200;

// "2026-12-07T10:00:00+08:00" or "...Z" as seconds since the reference date.
std::optional<NSTimeInterval> parseTime(const std::string& text)
{
    int year, month, day, hour, minute, second, consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute, &second, &consumed) != 6 || consumed != 19)
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    const std::string zone = text.substr(19);
    long offset = 0;
    if (zone != "Z") {
        int zoneHours, zoneMinutes, zoneConsumed = 0;
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-')
            || std::sscanf(zone.c_str() + 1, "%2d:%2d%n", &zoneHours, &zoneMinutes, &zoneConsumed) != 2 || zoneConsumed != 5)
            return std::nullopt;
        offset = (zone[0] == '-' ? -1 : 1) * (zoneHours * 3600L + zoneMinutes * 60L);
    }
    std::tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return static_cast<double>(timegm(&parts) - offset) - kReferenceDateInUnixTime;
}

Ref<NSDictionary> payloadOf(const std::string& json)
{
    Ref<NSError> error;
    return dv::as<NSDictionary>(NSJSONSerialization::JSONObjectWithData(NSData::fromString(json), 0, &error));
}

const char* fetchResultName(int result)
{
    switch (result) {
    case UIBackgroundFetchResultNewData: return "newdata";
    case UIBackgroundFetchResultNoData: return "nodata";
    case UIBackgroundFetchResultFailed: return "failed";
    default: return "none";
    }
}

Result<void> expectOpened(VerbContext& context, const ScriptCommand& command, bool opened)
{
    context.ui().runUntilIdle();
    auto urls = UIApplication::sharedApplication()->openedURLs();
    std::string all;
    bool found = false;
    for (const auto& item : urls ? urls->items() : std::vector<id>()) {
        const auto url = dv::str(dv::as<NSURL>(item) ? dv::as<NSURL>(item)->absoluteString() : nil);
        found = found || url.find(command.arguments[0]) != std::string::npos;
        all += (all.empty() ? "" : ", ") + url;
    }
    if (found == opened)
        return {};
    return Failure(all.empty() ? "no URL was opened" : "the URLs opened were " + all);
}

std::string yesNo(bool value) { return value ? "yes" : "no"; }

// What the push service holds for `what`, in the words of expect-push-service.
std::string pushServiceValue(const std::string& what, const std::string& expected)
{
    if (what == "types") {
        auto settings = UIApplication::sharedApplication()->currentUserNotificationSettings();
        return std::to_string(settings ? settings->types() : 0);
    }
    if (what == "registered")
        return yesNo(UIApplication::sharedApplication()->isRegisteredForRemoteNotifications());
    if (what == "setup")
        return yesNo(PushService::isSetUp());
    if (what == "key")
        return dv::str(PushService::appKey());
    if (what == "channel")
        return dv::str(PushService::channel());
    if (what == "production")
        return yesNo(PushService::apsForProduction());
    if (what == "alias") {
        const std::string alias = dv::str(PushService::alias());
        return expected == "device-id" && alias == dv::str(DIUUID::uuidForDevice()) ? "device-id" : alias;
    }
    if (what == "tags") {
        std::vector<std::string> tags;
        if (auto set = PushService::tags())
            for (const auto& tag : set->allObjects()->items())
                tags.push_back(dv::str(dv::as<NSString>(tag)));
        std::sort(tags.begin(), tags.end());
        std::string joined;
        for (const auto& tag : tags)
            joined += (joined.empty() ? "" : ",") + tag;
        return joined.empty() ? "none" : joined;
    }
    if (what == "token")
        return yesNo(PushService::deviceToken() != nil);
    // received: the message ids the client noted, one of which must be the one expected.
    std::string ids;
    for (const auto& id : PushService::receivedMessageIds()) {
        if (dv::str(id) == expected)
            return expected;
        ids += (ids.empty() ? "" : ",") + dv::str(id);
    }
    return ids.empty() ? "none" : ids;
}

Result<void> setState(VerbContext& context, const ScriptCommand& command)
{
    const std::string& state = command.arguments[0];
    auto app = UIApplication::sharedApplication();
    if (state == "background") {
        app->enterBackground();
    } else if (state == "inactive") {
        // From the background the way back passes the foreground; the application is then
        // covered (a prompt, the notification centre) before it is used.
        app->enterForeground();
        app->resignActive();
    } else {
        app->enterForeground();
        app->reactivate();
    }
    context.ui().runUntilIdle();
    return {};
}

Result<void> launch(VerbContext& context, const ScriptCommand&)
{
    if (context.launched())
        return Failure("the application runs already");
    return context.launch();
}

Result<void> push(VerbContext& context, const ScriptCommand& command)
{
    auto payload = payloadOf(command.arguments[0]);
    if (!payload)
        return Failure("the payload is not a JSON object");
    auto completion = std::make_shared<PushCompletion>();
    context.pushes().push_back(completion);
    UIApplication::sharedApplication()->deliverRemoteNotification(payload, [completion](UIBackgroundFetchResult result) {
        ++completion->calls;
        completion->result = static_cast<int>(result);
    });
    context.ui().runUntilIdle();
    return {};
}

Result<void> checkPushLine(const ScriptCommand& command)
{
    if (!payloadOf(command.arguments[0]))
        return Failure("the payload of push is not a JSON object");
    return {};
}

Result<void> expectPushCompletion(VerbContext& context, const ScriptCommand& command)
{
    if (context.pushes().empty())
        return Failure("no push was delivered");
    context.ui().runUntilIdle();
    const auto& last = *context.pushes().back();
    const std::string result = last.calls ? fetchResultName(last.result) : "none";
    if (result == command.arguments[0])
        return {};
    return Failure(last.calls ? std::string("the application called it with ") + result : "the application has not called it");
}

Result<void> expectPushService(VerbContext& context, const ScriptCommand& command)
{
    context.ui().runUntilIdle();
    const std::string held = pushServiceValue(command.arguments[0], command.arguments[1]);
    if (held == command.arguments[1])
        return {};
    return Failure("the push service's " + command.arguments[0] + " is " + (held.empty() ? "empty" : held));
}

Result<void> expectBadge(VerbContext& context, const ScriptCommand& command)
{
    context.ui().runUntilIdle();
    const auto badge = UIApplication::sharedApplication()->applicationIconBadgeNumber();
    if (badge == static_cast<NSInteger>(command.number(0)))
        return {};
    return Failure("the badge is " + std::to_string(badge));
}

Result<void> setClock(VerbContext& context, const ScriptCommand& command)
{
    const NSTimeInterval time = *parseTime(command.arguments[0]);
    if (auto* shifted = dynamic_cast<ShiftedClock*>(&Clock::current()))
        shifted->setNow(time);
    else if (auto* manual = dynamic_cast<ManualClock*>(&Clock::current()); manual && time >= manual->now())
        manual->setNow(time);
    else
        return Failure("this clock cannot be set back");
    context.ui().runUntilIdle();
    return {};
}

Result<void> checkClockLine(const ScriptCommand& command)
{
    if (parseTime(command.arguments[0]))
        return {};
    return Failure("TIME of clock set is a date and time such as 2026-12-07T10:00:00+08:00, not \"" + command.arguments[0] + "\"");
}

Result<void> advanceClock(VerbContext& context, const ScriptCommand& command)
{
    if (auto* shifted = dynamic_cast<ShiftedClock*>(&Clock::current()))
        shifted->advance(command.number(0));
    else if (auto* manual = dynamic_cast<ManualClock*>(&Clock::current()))
        manual->advance(command.number(0));
    else
        return Failure("this clock cannot be moved");
    context.ui().runUntilIdle();
    return {};
}

} // namespace

std::vector<Verb> applicationVerbs()
{
    return {
        { "launch", {}, 0, Phase::Anytime, Effect::Acts, Checkable::No, "starts the application (done before the first command that needs it)",
            launch },
        { "relaunch", {}, 0, Phase::Anytime, Effect::Acts, Checkable::No,
            "ends the application and starts it again, keeping its home (defaults, keychain, caches, address book, album) "
            "and the answers given to permission prompts",
            [](VerbContext& context, const ScriptCommand&) { return context.relaunch(); } },
        { "state", { choice("STATE", { "active", "inactive", "background" }) }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "brings the application to the front (active), covers it (inactive: a prompt, the notification centre) or sends it "
            "to the background",
            setState },
        { "push", { restOfLine("JSON") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "delivers a remote notification with the JSON payload, noting what the application tells its completion handler", push,
            checkPushLine },
        { "expect-push-completion", { choice("RESULT", { "newdata", "nodata", "failed", "none" }) }, 1, Phase::Application, Effect::Looks,
            Checkable::Yes, "fails unless the application called the last push's completion handler once with RESULT (none: not at all)",
            expectPushCompletion },
        { "expect-push-service", { choice("WHAT", { "types", "registered", "setup", "key", "channel", "production", "alias", "tags", "token", "received" }),
                                   text("VALUE") }, 2, Phase::Application, Effect::Looks, Checkable::Yes,
            "fails unless the push service holds VALUE for WHAT: types (the notification types asked for, 7), registered "
            "yes|no, setup yes|no, key (the application key), channel, production yes|no, alias (device-id: the device "
            "identifier), tags (A,B or none), token yes|no (the device token handed over), received (a message id)",
            expectPushService },
        { "expect-badge", { number("N") }, 1, Phase::Application, Effect::Looks, Checkable::Yes, "fails unless the application's icon badge is N",
            expectBadge },
        { "expect-opened", { text("URL") }, 1, Phase::Application, Effect::Looks, Checkable::Yes,
            "fails unless the application has handed a URL containing URL to the system browser",
            [](VerbContext& context, const ScriptCommand& command) { return expectOpened(context, command, true); } },
        { "expect-not-opened", { text("URL") }, 1, Phase::Application, Effect::Looks, Checkable::Yes,
            "fails if the application has handed a URL containing URL to the system browser",
            [](VerbContext& context, const ScriptCommand& command) { return expectOpened(context, command, false); } },
        { "clock set", { text("TIME") }, 1, Phase::Anytime, Effect::Looks, Checkable::No,
            "the application's clock reads TIME (2026-12-07T10:00:00+08:00, or ...Z) from now on and runs on from there", setClock,
            checkClockLine },
        { "clock advance", { number("SECONDS") }, 1, Phase::Anytime, Effect::Looks, Checkable::No,
            "moves the application's clock SECONDS ahead at once; its timers and delayed work fall due on the way, in order",
            advanceClock },
    };
}

} // namespace dv::internal::sim
