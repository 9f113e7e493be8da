// What lies around the application: the local server's faults and home tiles, the network, the
// answers to permission prompts, the camera, and the stores the platform keeps (user defaults,
// pasteboard, address book). These may come before the launch, to set up a fresh home.
#include "tools/sim/internal/Verbs.h"

#include "tools/devserver/Server.h"
#include "tools/sim/ScriptRunner.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSString.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/system/AVCaptureDevice.h"
#include "platform/system/AddressBook.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/system/UIPasteboard.h"
#include "platform/testing/UIDriver.h"

#include <ctime>

using dv::sim::ScriptCommand;

namespace dv::internal::sim {

namespace {

const std::vector<std::string> kServices = { "addressbook", "photos", "camera" };

PrivacyService serviceOf(const std::string& name)
{
    return name == "addressbook" ? PrivacyService::addressBook : name == "photos" ? PrivacyService::photos : PrivacyService::camera;
}

// A JSON value of any kind (a text, a number, true, an object ...); nil when the text is none.
id jsonValue(const std::string& text)
{
    Ref<NSError> error;
    return NSJSONSerialization::JSONObjectWithData(NSData::fromString(text), NSJSONReadingAllowFragments, &error);
}

// A stored value as JSON text; dates as "yyyy-MM-ddTHH:mm:ssZ", other values JSON cannot hold
// as their description.
std::string jsonText(const id& value)
{
    if (!value)
        return "absent";
    if (auto date = dv::as<NSDate>(value)) {
        const std::time_t unix = static_cast<std::time_t>(date->timeIntervalSinceReferenceDate() + 978307200);
        std::tm parts {};
        gmtime_r(&unix, &parts);
        char text[32];
        std::strftime(text, sizeof text, "\"%Y-%m-%dT%H:%M:%SZ\"", &parts);
        return text;
    }
    Ref<NSError> error;
    auto data = NSJSONSerialization::dataWithJSONObject(NSArray::of({ value }), 0, &error);
    if (!data)
        return dv::str(value->description());
    const std::string wrapped(data->view());
    return wrapped.substr(1, wrapped.size() - 2);
}

// The local server, or a failure when the run talks to another one (which has no `what`).
Result<dv::devserver::Server*> localServer(VerbContext& context, const char* what)
{
    if (auto* server = context.environment().server)
        return server;
    return Failure(std::string(what) + " are the local server's; this run talks to another server");
}

Result<void> checkJSON(const ScriptCommand& command, bool absentToo)
{
    const auto& text = command.arguments[1];
    if ((absentToo && text == "absent") || jsonValue(text))
        return {};
    return Failure("JSON of " + command.verb + " is a JSON value (\"text\", 3, true, {...}" + (absentToo ? ", or absent" : "") + "), not "
        + text);
}

Result<void> setFault(VerbContext& context, const ScriptCommand& command)
{
    DV_TRY_ASSIGN(auto* server, localServer(context, "faults"));
    DV_TRY_ASSIGN(auto fault, dv::devserver::parseFault(command.arguments[1]));
    server->setFault(command.arguments[0], fault);
    return {};
}

Result<void> clearFaults(VerbContext& context, const ScriptCommand& command)
{
    DV_TRY_ASSIGN(auto* server, localServer(context, "faults"));
    if (command.arguments.empty())
        server->clearFaults();
    else
        server->clearFault(command.arguments[0]);
    return {};
}

Result<void> setTiles(VerbContext& context, const ScriptCommand& command)
{
    DV_TRY_ASSIGN(auto* server, localServer(context, "home tiles"));
    return server->setTileSet(command.arguments[0]);
}

Result<void> checkTilesLine(const ScriptCommand& command)
{
    for (const auto& set : dv::devserver::Server::tileSets())
        if (set.name == command.arguments[0])
            return {};
    return Failure("NAME of tiles is prospects, directory or information, not \"" + command.arguments[0] + "\"");
}

Result<void> setNetwork(VerbContext&, const ScriptCommand& command)
{
    dv::setNetworkSimulatedOffline(command.arguments[0] == "off");
    return {};
}

Result<void> setPermission(VerbContext&, const ScriptCommand& command)
{
    const auto& answer = command.arguments[1];
    PrivacyAccess::setStatus(serviceOf(command.arguments[0]), answer == "allow" ? PrivacyStatus::authorized
            : answer == "deny"                                                     ? PrivacyStatus::denied
                                                                                   : PrivacyStatus::notDetermined);
    return {};
}

Result<void> setPromptAnswer(VerbContext&, const ScriptCommand& command)
{
    PrivacyAccess::setPromptAnswer(serviceOf(command.arguments[0]), command.arguments[1] == "allow");
    return {};
}

Result<void> expectPrompt(VerbContext& context, const ScriptCommand& command)
{
    context.ui().runUntilIdle();
    if (context.promptsSinceLaunch(serviceOf(command.arguments[0])) > 0)
        return {};
    return Failure("no " + command.arguments[0] + " prompt has shown since the application started");
}

Result<void> expectNoPrompt(VerbContext& context, const ScriptCommand& command)
{
    context.ui().runUntilIdle();
    const int prompts = context.promptsSinceLaunch(serviceOf(command.arguments[0]));
    if (prompts == 0)
        return {};
    return Failure("the " + command.arguments[0] + " prompt has shown " + std::to_string(prompts) + " time" + (prompts == 1 ? "" : "s"));
}

Result<void> setCamera(VerbContext&, const ScriptCommand& command)
{
    for (auto position : { CameraPosition::rear, CameraPosition::front })
        Cameras::setPresent(position, command.arguments[0] == "present");
    return {};
}

Result<void> setDefault(VerbContext&, const ScriptCommand& command)
{
    auto value = jsonValue(command.arguments[1]);
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (dv::as<NSNull>(value))
        defaults->removeObjectForKey(NSString::fromUTF8(command.arguments[0]));
    else
        defaults->setObjectForKey(value, NSString::fromUTF8(command.arguments[0]));
    if (defaults->synchronize())
        return {};
    return Failure("the user defaults cannot be written");
}

Result<void> expectDefault(VerbContext& context, const ScriptCommand& command)
{
    context.ui().runUntilIdle();
    const std::string held = jsonText(NSUserDefaults::standardUserDefaults()->objectForKey(NSString::fromUTF8(command.arguments[0])));
    const auto& expected = command.arguments[1];
    if (held == expected || (expected != "absent" && held != "absent" && held == jsonText(jsonValue(expected))))
        return {};
    return Failure(command.arguments[0] + " is " + held);
}

Result<void> setPasteboard(VerbContext&, const ScriptCommand& command)
{
    UIPasteboard::generalPasteboard()->setString(NSString::fromUTF8(command.arguments[0]));
    return {};
}

Result<void> expectPasteboard(VerbContext& context, const ScriptCommand& command)
{
    context.ui().runUntilIdle();
    auto held = UIPasteboard::generalPasteboard()->string();
    if (held && dv::str(held) == command.arguments[0])
        return {};
    return Failure(held ? "the pasteboard holds \"" + dv::str(held) + "\"" : "the pasteboard holds no text");
}

Result<void> addPerson(VerbContext&, const ScriptCommand& command)
{
    if (auto added = AddressBookAccess::addPerson(command.arguments[0], command.arguments[1]); !added)
        return std::move(added).failure().context("the address book refused the person");
    return {};
}

Result<void> expectPersonCount(VerbContext& context, const ScriptCommand& command)
{
    context.ui().runUntilIdle();
    auto count = AddressBookAccess::personCount();
    if (!count)
        return std::move(count).failure().context("the address book cannot be read");
    if (*count == static_cast<NSInteger>(command.number(0)))
        return {};
    return Failure("the address book holds " + std::to_string(*count) + " people");
}

} // namespace

std::vector<Verb> deviceVerbs()
{
    return {
        { "fault", { text("PATH"), text("FAULT") }, 2, Phase::Anytime, Effect::Looks, Checkable::No,
            "switches on a fault of the local server (as dovrelta-devserver --fault)", setFault },
        { "clear-faults", { text("PATH") }, 0, Phase::Anytime, Effect::Looks, Checkable::No, "clears the local server's faults (or PATH's)",
            clearFaults },
        { "tiles", { text("NAME") }, 1, Phase::Anytime, Effect::Looks, Checkable::No,
            "the local server lists the home tiles NAME (prospects, directory, information; see --help); the home screen "
            "shows them when it starts (relaunch)",
            setTiles, checkTilesLine },
        { "network", { choice("STATE", { "on", "off" }) }, 1, Phase::Anytime, Effect::Looks, Checkable::No, "the machine goes online or offline",
            setNetwork },
        { "permission", { choice("KIND", kServices), choice("ANSWER", { "allow", "deny", "ask" }) }, 2, Phase::Anytime, Effect::Looks,
            Checkable::No,
            "what the settings say about KIND from now on, as the platform keeps it across launches: allowed, denied (no prompt "
            "then), or ask (the next request prompts)",
            setPermission },
        { "prompt-answer", { choice("KIND", kServices), choice("ANSWER", { "allow", "deny" }) }, 2, Phase::Anytime, Effect::Looks,
            Checkable::No, "what the person answers KIND's permission prompt when it shows (default: allow)", setPromptAnswer },
        { "expect-prompt", { choice("KIND", kServices) }, 1, Phase::Application, Effect::Looks, Checkable::Yes,
            "fails unless KIND's permission prompt has shown since the application (re)started", expectPrompt },
        { "expect-no-prompt", { choice("KIND", kServices) }, 1, Phase::Application, Effect::Looks, Checkable::Yes,
            "fails if KIND's permission prompt has shown since the application (re)started", expectNoPrompt },
        { "camera", { choice("STATE", { "absent", "present" }) }, 1, Phase::Anytime, Effect::Looks, Checkable::No,
            "the device has no camera, or its cameras (rear and front)", setCamera },
        { "defaults set", { text("KEY"), restOfLine("JSON") }, 2, Phase::Anytime, Effect::Looks, Checkable::No,
            "stores the JSON value under KEY in the application's user defaults (null removes it)", setDefault,
            [](const ScriptCommand& command) { return checkJSON(command, false); } },
        { "defaults expect", { text("KEY"), restOfLine("JSON|absent") }, 2, Phase::Anytime, Effect::Looks, Checkable::Yes,
            "fails unless the user defaults hold the JSON value under KEY (a date as \"2026-12-07T02:00:00Z\"), or nothing: absent",
            expectDefault, [](const ScriptCommand& command) { return checkJSON(command, true); } },
        { "pasteboard set", { text("TEXT") }, 1, Phase::Anytime, Effect::Looks, Checkable::No, "puts TEXT on the general pasteboard",
            setPasteboard },
        { "pasteboard expect", { text("TEXT") }, 1, Phase::Anytime, Effect::Looks, Checkable::Yes,
            "fails unless the general pasteboard holds TEXT", expectPasteboard },
        { "addressbook add", { text("NAME"), text("PHONE") }, 2, Phase::Anytime, Effect::Looks, Checkable::No,
            "adds a person NAME with the mobile number PHONE to the address book, as the person would in the contacts", addPerson },
        { "addressbook expect-count", { number("N") }, 1, Phase::Anytime, Effect::Looks, Checkable::Yes,
            "fails unless the address book holds N people", expectPersonCount },
    };
}

} // namespace dv::internal::sim
