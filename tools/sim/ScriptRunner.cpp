#include "tools/sim/ScriptRunner.h"

#include "tools/sim/StepWriter.h"
#include "tools/sim/internal/ScreenSearch.h"
#include "tools/sim/internal/ToastLog.h"
#include "tools/sim/internal/ProcessMemory.h"
#include "tools/sim/internal/Verbs.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Clock.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/testing/UIDriver.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UIWindow.h"
#include "ui/images/RIWebImageManager.h"

#include <algorithm>
#include <array>

namespace dv::sim {

using dv::testing::UIDriver;
using namespace dv::internal::sim;

Result<void> goBack()
{
    UIDriver ui;
    auto navigation = ui.navigationController();
    auto stack = ui.navigationStack();
    if (!navigation || stack.size() < 2)
        return Failure("there is no screen to go back to");
    auto top = stack.back();
    auto item = top->navigationItem()->leftBarButtonItem();
    bool tapped = (item && ui.tap(item)) || ui.tapBackButton() || ui.swipeBack();
    dv::testing::runMainLoopUntil([&] { return !navigation->isTransitioning(); }, 5);
    auto after = ui.navigationStack();
    if (tapped && std::find(after.begin(), after.end(), top) == after.end())
        return {};
    return Failure("neither the back button nor the back swipe left " + dv::str(top->className()));
}

void endApplication()
{
    auto app = UIApplication::sharedApplication();
    app->terminate();
    UIDriver().runUntilIdle();
    // What the process showed goes with it; its windows are let go with the application below.
    if (auto windows = app->windows())
        for (const auto& item : windows->items())
            if (auto window = dv::as<UIWindow>(item))
                window->setHidden(true);
    NSUserDefaults::standardUserDefaults()->synchronize();
    app = nil;
    UIApplication::resetSharedApplication();
    NSUserDefaults::resetStandardUserDefaults();
    forgetProcessMemory();
    UIDriver().runUntilIdle();
}

class ScriptRunner::Context final : public VerbContext {
public:
    explicit Context(ScriptEnvironment environment) : m_environment(std::move(environment)) { }

    UIDriver& ui() override { return m_ui; }
    const ScriptEnvironment& environment() const override { return m_environment; }
    double findTimeout() const override { return m_environment.findTimeout; }

    void settle() override
    {
        dv::testing::runMainLoopUntil([&] { return screenAtRest(m_ui, Pictures::Ignored); }, 5);
        m_ui.runUntilIdle();
    }

    bool settleWithPictures(double limit) override
    {
        const bool rested = dv::testing::runMainLoopUntil([&] { return !overlayShown(m_ui) && screenAtRest(m_ui, Pictures::Included); }, limit);
        m_ui.runUntilIdle();
        return rested;
    }

    bool launched() const override { return m_launched; }

    Result<void> launch() override
    {
        if (m_launched)
            return {};
        for (std::size_t i = 0; i < m_promptBase.size(); ++i)
            m_promptBase[i] = PrivacyAccess::promptCount(static_cast<PrivacyService>(i));
        if (!m_environment.launch)
            return Failure("this run cannot start the application");
        DV_TRY(m_environment.launch());
        m_launched = true;
        m_ui.runUntilIdle();
        return {};
    }

    Result<void> relaunch() override
    {
        if (m_launched) {
            endApplication();
            m_launched = false;
        }
        return launch();
    }

    Result<void> writeStep(const std::string& name) override
    {
        if (!m_environment.steps)
            return Failure("this run keeps no pictures");
        return m_environment.steps->write(name, m_toasts ? m_toasts->takeSection() : std::string());
    }

    void say(const std::string& line) override
    {
        if (m_environment.say)
            m_environment.say(line);
    }

    int promptsSinceLaunch(PrivacyService service) const override
    {
        return PrivacyAccess::promptCount(service) - m_promptBase[static_cast<std::size_t>(service)];
    }

    std::vector<std::shared_ptr<PushCompletion>>& pushes() override { return m_pushes; }

    Result<void> run(const Script& script);
    const std::vector<std::string>& failedChecks() const { return m_failedChecks; }

private:
    // Launches the application first when the verb needs it.
    Result<void> runCommand(const Verb* verb, const ScriptCommand& command);

    ScriptEnvironment m_environment;
    UIDriver m_ui;
    bool m_launched = false;
    std::array<int, 3> m_promptBase {};
    std::vector<std::shared_ptr<PushCompletion>> m_pushes;
    std::vector<std::string> m_failedChecks;
    std::unique_ptr<ToastLog> m_toasts;
};

Result<void> ScriptRunner::Context::runCommand(const Verb* verb, const ScriptCommand& command)
{
    if (!verb)
        return Failure("the runner does not know this command");
    if (verb->phase == Phase::Application)
        DV_TRY(launch());
    return verb->run(*this, command);
}

Result<void> ScriptRunner::Context::run(const Script& script)
{
    // The application's clock is the system's until a script moves it (a test's manual clock
    // stays as it is).
    auto previousClock = Clock::currentShared();
    const bool shifted = !Clock::current().isManual();
    if (shifted)
        Clock::setCurrent(std::make_shared<ShiftedClock>());
    m_toasts = std::make_unique<ToastLog>();
    // Steps wait for what the application does, but not for the pictures it downloads: a picture
    // of the screen may show one still loading (wait-idle waits for them).
    UIDriver::setOtherThreadsIgnoredWhile([] { return RIWebImageManager::sharedManager()->isRunning(); });
    int checks = 0;
    std::optional<Failure> failure;
    for (const auto& command : script.commands) {
        const Verb* verb = findVerb(command.verb);
        const std::string where = script.name + ":" + std::to_string(command.line) + ": " + command.source;
        Result<void> done = runCommand(verb, command);
        if (command.check) {
            ++checks;
            if (!done) {
                m_failedChecks.push_back(where + ": " + done.reason());
                say("check failed: " + m_failedChecks.back());
            }
            continue;
        }
        if (!done) {
            failure = std::move(done).failure().context(where);
            if (m_launched && m_environment.steps) {
                settle();
                (void)writeStep("failed"); // the run's failure is the command's, not the picture's
            }
            break;
        }
        if (m_launched && m_environment.shots == ShotPolicy::All && m_environment.steps && verb->effect == Effect::Acts) {
            settle();
            std::string name = command.verb;
            std::replace(name.begin(), name.end(), ' ', '-');
            if (auto written = writeStep(name); !written) {
                failure = std::move(written).failure().context(script.name + ":" + std::to_string(command.line));
                break;
            }
        }
    }
    m_toasts.reset();
    UIDriver::setOtherThreadsIgnoredWhile({});
    if (shifted)
        Clock::setCurrent(previousClock);
    if (failure)
        return std::move(*failure);
    if (!m_failedChecks.empty()) {
        std::string summary = std::to_string(m_failedChecks.size()) + " of " + std::to_string(checks) + " checks failed:";
        for (const auto& failed : m_failedChecks)
            summary += " " + failed.substr(0, failed.find(": ")) + (&failed == &m_failedChecks.back() ? "" : ",");
        return Failure(summary);
    }
    return {};
}

ScriptRunner::ScriptRunner(ScriptEnvironment environment)
    : m_context(std::make_unique<Context>(std::move(environment)))
{
}

ScriptRunner::~ScriptRunner() = default;

Result<void> ScriptRunner::run(const Script& script) { return m_context->run(script); }
bool ScriptRunner::launched() const { return m_context->launched(); }
const std::vector<std::string>& ScriptRunner::failedChecks() const { return m_context->failedChecks(); }

} // namespace dv::sim
