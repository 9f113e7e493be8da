// The verbs of the runner's script language, one table: each entry is a verb's whole definition,
// its words and arguments, the line --print-tour shows for it, when it may run, whether it acts
// on what the screen shows, whether it has a `check` form, the check its line passes when the
// script is read, and what it does. A new verb is one new entry in the section of its kind:
//
//   { "expect-badge", { number("N") }, 1, Phase::Application, Effect::Looks, Checkable::Yes,
//       "fails unless the application's icon badge shows N", expectBadge },
//
// where expectBadge is a function of the section's file that answers the step's Result (a
// failure says why, in words that follow "NAME:LINE: COMMAND: "); a handler of one line may be a
// lambda in place.
//
// The sections live beside their handlers: ScreenVerbs.cpp (waiting, looking, pictures, marks),
// TouchVerbs.cpp (touches, typing, going back, alerts), ApplicationVerbs.cpp (launch, states,
// pushes, the clock) and DeviceVerbs.cpp (the server, network, permissions, camera, defaults,
// pasteboard, address book). Handlers run on the main thread, in order, through the context the
// script runner gives them.
#pragma once

#include "tools/sim/Script.h"

#include "platform/base/Result.h"
#include "platform/system/PrivacyAccess.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dv::testing {
class UIDriver;
}

namespace dv::sim {
class StepWriter;
struct ScriptEnvironment;
}

namespace dv::internal::sim {

// What an argument must be when the script is read.
enum class ArgumentKind {
    Text,         // a word or a quoted text, not empty
    Number,       // a number, not negative
    SignedNumber, // any number
    Choice,       // one of `choices`
    FileName,     // a text without folders: it names a file in the run's folder
    RestOfLine,   // the rest of the line as written (the last argument only)
};

struct VerbArgument {
    ArgumentKind kind;
    const char* name;
    std::vector<std::string> choices {};
};

inline VerbArgument text(const char* name) { return { ArgumentKind::Text, name }; }
inline VerbArgument number(const char* name) { return { ArgumentKind::Number, name }; }
inline VerbArgument signedNumber(const char* name) { return { ArgumentKind::SignedNumber, name }; }
inline VerbArgument choice(const char* name, std::vector<std::string> choices) { return { ArgumentKind::Choice, name, std::move(choices) }; }
inline VerbArgument fileName(const char* name) { return { ArgumentKind::FileName, name }; }
inline VerbArgument restOfLine(const char* name) { return { ArgumentKind::RestOfLine, name }; }

// Whether the application must run for the verb (it is launched first) or the verb sets up or
// reads what lies around it (the server, the device) and may come before the launch.
enum class Phase { Anytime, Application };
// Whether the verb changes what the screen shows: with --shots all a picture follows it.
enum class Effect { Looks, Acts };
// Whether `check VERB ...` records a failure and goes on instead of ending the run.
enum class Checkable { No, Yes };

// What the application did with the completion handler of a delivered push: how often it called
// it (once is right) and with which result (UIBackgroundFetchResult; -1 before the first call).
struct PushCompletion {
    int calls = 0;
    int result = -1;
};

// What a handler may use of the running script.
class VerbContext {
public:
    virtual ~VerbContext() = default;
    virtual dv::testing::UIDriver& ui() = 0;
    virtual const dv::sim::ScriptEnvironment& environment() const = 0;
    // How long commands wait for a view, a row or an alert (real seconds).
    virtual double findTimeout() const = 0;
    // Runs the loop until the screen is at rest: no navigation transition, no view animation, no
    // web page loading, nothing queued (pictures may still be downloading).
    virtual void settle() = 0;
    // ... and until no picture downloads either; false when something still moves at the limit.
    virtual bool settleWithPictures(double limit) = 0;
    virtual bool launched() const = 0;
    virtual Result<void> launch() = 0;
    // Ends the application and starts it again, keeping its home.
    virtual Result<void> relaunch() = 0;
    // A picture and a dump of the screen now, named as given.
    virtual Result<void> writeStep(const std::string& name) = 0;
    // A line of the runner's own, for the person watching the run.
    virtual void say(const std::string& line) = 0;
    // How many permission prompts the service has shown since the application last started.
    virtual int promptsSinceLaunch(dv::PrivacyService service) const = 0;
    // The pushes delivered so far, oldest first, with what the application told each one's
    // completion handler.
    virtual std::vector<std::shared_ptr<PushCompletion>>& pushes() = 0;
};

using VerbHandler = std::function<Result<void>(VerbContext& context, const dv::sim::ScriptCommand& command)>;
// A check of a line beyond its arguments' kinds, when the script is read: a failure says why the
// line is bad.
using LineCheck = std::function<Result<void>(const dv::sim::ScriptCommand& command)>;

struct Verb {
    std::string name; // one word, or two ("defaults set")
    std::vector<VerbArgument> arguments;
    std::size_t required;
    Phase phase;
    Effect effect;
    Checkable checkable;
    const char* help;
    VerbHandler run;
    LineCheck checkLine {};
};

// The sections, and the table made of them in the order --print-tour shows.
std::vector<Verb> screenVerbs();
std::vector<Verb> touchVerbs();
std::vector<Verb> applicationVerbs();
std::vector<Verb> deviceVerbs();
struct VerbSection {
    const char* title;
    std::vector<Verb> verbs;
};
const std::vector<VerbSection>& verbSections();
const Verb* findVerb(std::string_view name);

// "tap TEXT", "tap-row ROW [SECTION]", "swipe left|right|up|down".
std::string usageOf(const Verb& verb);

} // namespace dv::internal::sim
