// Waiting, looking and pictures: what a person waits for and checks on the screen, the pictures a
// run leaves, and marks for a harness outside the run.
#include "tools/sim/internal/Verbs.h"

#include "tools/sim/ScriptRunner.h"
#include "tools/sim/StepWriter.h"
#include "tools/sim/internal/ScreenSearch.h"

#include "platform/base/NSString.h"
#include "platform/testing/UIDriver.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIViewController.h"

#include <filesystem>
#include <fstream>

using dv::sim::ScriptCommand;

namespace dv::internal::sim {

namespace {

// The argument at `index` as a time limit, else the context's.
double limitOf(const VerbContext& context, const ScriptCommand& command, std::size_t index)
{
    return command.arguments.size() > index ? command.number(index) : context.findTimeout();
}

Result<void> letTimePass(VerbContext& context, const ScriptCommand& command)
{
    context.ui().advance(command.number(0));
    return {};
}

Result<void> waitFor(VerbContext& context, const ScriptCommand& command, bool present)
{
    const Target target { Target::Kind::Text, command.arguments[0] };
    const double limit = limitOf(context, command, 1);
    auto& ui = context.ui();
    if (dv::testing::runMainLoopUntil([&] { return viewsShowing(ui, target).empty() != present; }, limit))
        return {};
    return Failure(present ? "no visible view shows " + target.describe() + " after " + seconds(limit)
                           : target.describe() + " still shows after " + seconds(limit));
}

Result<void> waitIdle(VerbContext& context, const ScriptCommand& command)
{
    const double limit = limitOf(context, command, 0);
    if (context.settleWithPictures(limit))
        return {};
    return Failure(overlayShown(context.ui()) ? "an overlay still shows after " + seconds(limit)
                                              : "the screen still moves or loads after " + seconds(limit));
}

Result<void> expectShown(VerbContext& context, const ScriptCommand& command, bool present)
{
    const Target target { Target::Kind::Text, command.arguments[0] };
    context.ui().runUntilIdle();
    const bool shown = !viewsShowing(context.ui(), target).empty();
    if (shown == present)
        return {};
    return Failure(shown ? target.describe() + " shows" : "no visible view shows " + target.describe());
}

Result<void> expectTitle(VerbContext& context, const ScriptCommand& command)
{
    context.settle();
    const std::string title = context.ui().navigationTitle();
    if (title == command.arguments[0])
        return {};
    return Failure("the title is \"" + title + "\"");
}

Result<void> expectScreen(VerbContext& context, const ScriptCommand& command)
{
    context.settle();
    auto top = context.ui().topViewController();
    const std::string name = top ? dv::str(top->className()) : "(none)";
    if (name == command.arguments[0])
        return {};
    return Failure("the screen on top is " + name);
}

Result<void> screenshot(VerbContext& context, const ScriptCommand& command)
{
    // "now" keeps the loop from turning before the picture, so that what the previous command
    // waited for (a toast that shows for 0.7 s) is still there.
    if (command.arguments.size() < 2) {
        if (context.environment().settling == dv::sim::ShotSettling::Pictures) {
            auto& ui = context.ui();
            dv::testing::runMainLoopUntil([&ui] { return screenAtRest(ui, Pictures::Included); }, context.findTimeout());
        }
        context.settle();
    }
    return context.writeStep(command.arguments[0]);
}

Result<void> mark(VerbContext& context, const ScriptCommand& command)
{
    const auto* steps = context.environment().steps;
    if (!steps)
        return Failure("this run has no folder for marks");
    const std::filesystem::path file = std::filesystem::path(steps->folder()) / (command.arguments[0] + ".mark");
    std::error_code code;
    std::ofstream(file, std::ios::app).close();
    std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::now(), code);
    if (code || !std::filesystem::exists(file))
        return Failure("cannot touch " + file.string() + (code ? ": " + code.message() : std::string()));
    context.say("mark " + command.arguments[0]);
    return {};
}

} // namespace

std::vector<Verb> screenVerbs()
{
    return {
        { "wait", { number("SECONDS") }, 1, Phase::Application, Effect::Looks, Checkable::No,
            "lets SECONDS pass while the application runs", letTimePass },
        { "wait-for", { text("TEXT"), number("SECONDS") }, 1, Phase::Application, Effect::Looks, Checkable::No,
            "until a visible view shows TEXT (at most SECONDS, default 15)",
            [](VerbContext& context, const ScriptCommand& command) { return waitFor(context, command, true); } },
        { "wait-gone", { text("TEXT"), number("SECONDS") }, 1, Phase::Application, Effect::Looks, Checkable::No,
            "until no visible view shows TEXT (at most SECONDS, default 15)",
            [](VerbContext& context, const ScriptCommand& command) { return waitFor(context, command, false); } },
        { "wait-idle", { number("SECONDS") }, 0, Phase::Application, Effect::Looks, Checkable::No,
            "until no overlay or toast shows and nothing moves or loads, pictures included (at most SECONDS, default 15)", waitIdle },
        { "expect", { text("TEXT") }, 1, Phase::Application, Effect::Looks, Checkable::Yes, "fails unless a visible view shows TEXT now",
            [](VerbContext& context, const ScriptCommand& command) { return expectShown(context, command, true); } },
        { "expect-no", { text("TEXT") }, 1, Phase::Application, Effect::Looks, Checkable::Yes, "fails if a visible view shows TEXT now",
            [](VerbContext& context, const ScriptCommand& command) { return expectShown(context, command, false); } },
        { "expect-title", { text("TEXT") }, 1, Phase::Application, Effect::Looks, Checkable::Yes,
            "fails unless the navigation bar's title is TEXT", expectTitle },
        { "expect-screen", { text("CLASS") }, 1, Phase::Application, Effect::Looks, Checkable::Yes,
            "fails unless the screen on top is of class CLASS", expectScreen },
        { "screenshot", { fileName("NAME"), choice("now", { "now" }) }, 1, Phase::Application, Effect::Looks, Checkable::No,
            "writes NN-NAME.png and NN-NAME.txt (the dump, with the toasts since the last step) once the screen rests "
            "(pictures may still be loading: wait-idle first waits for them, and so does a --reproducible run); \"now\": at once (a toast "
            "after wait-for)",
            screenshot },
        { "mark", { fileName("NAME") }, 1, Phase::Anytime, Effect::Looks, Checkable::No,
            "prints \"dovrelta-sim: mark NAME\" and touches NAME.mark in the run's folder, for a harness that acts between steps", mark },
    };
}

} // namespace dv::internal::sim
