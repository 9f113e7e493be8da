#include "platform/system/PrivacyAccess.h"

#include "platform/base/AtomicFile.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSLog.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/system/SystemPaths.h"

#include <array>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace dv {

namespace {

struct ServiceState {
    PrivacyStatus status = PrivacyStatus::notDetermined;
    bool promptAnswer = true;
    bool promptShowing = false;
    int prompts = 0;
    std::vector<std::function<void(bool)>> waiting; // completions of the prompt that shows
};

struct State {
    dv::Mutex mutex;
    dv::ConditionVariable answered;
    std::array<ServiceState, 3> services DV_GUARDED_BY(mutex);
    bool held DV_GUARDED_BY(mutex) = false;
    // The home whose record the statuses were read from; another home (a test's own) reads its own.
    std::string home DV_GUARDED_BY(mutex);
    bool loaded DV_GUARDED_BY(mutex) = false;
};

State& state()
{
    static State s_state;
    return s_state;
}

constexpr std::array<const char*, 3> kServiceNames = { "addressBook", "photos", "camera" };

// The system's record of the answers, one "service=status" line each. It lies with the device's
// stores, so that a person who has answered is not asked again when the application starts anew.
std::string recordPath() { return SystemPaths::deviceFolder() + "/privacy"; }

// Under the lock: the statuses of the current home, read once per home.
void loadRecord(State& s) DV_REQUIRES(s.mutex)
{
    auto home = SystemPaths::home();
    if (s.loaded && home == s.home)
        return;
    s.home = home;
    s.loaded = true;
    for (auto& entry : s.services)
        entry.status = PrivacyStatus::notDetermined;
    std::ifstream in(recordPath());
    std::string line;
    while (std::getline(in, line)) {
        auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        for (std::size_t i = 0; i < kServiceNames.size(); ++i) {
            if (line.compare(0, equals, kServiceNames[i]) != 0)
                continue;
            int value = std::atoi(line.c_str() + equals + 1);
            if (value >= 0 && value <= static_cast<int>(PrivacyStatus::authorized))
                s.services[i].status = static_cast<PrivacyStatus>(value);
        }
    }
}

// Under the lock: writes the statuses back (the file goes when nothing is determined).
void saveRecord(State& s) DV_REQUIRES(s.mutex)
{
    std::string text;
    for (std::size_t i = 0; i < kServiceNames.size(); ++i)
        if (s.services[i].status != PrivacyStatus::notDetermined)
            text += std::string(kServiceNames[i]) + "=" + std::to_string(static_cast<int>(s.services[i].status)) + "\n";
    auto path = recordPath();
    if (text.empty()) {
        std::remove(path.c_str());
        return;
    }
    int error = 0;
    if (!SystemPaths::ensureDirectory(SystemPaths::deviceFolder()) || !writeFileAtomically(path, text, &error))
        NSLog("Permission answers not kept: %s", std::strerror(error));
}

ServiceState& service(State& s, PrivacyService which) DV_REQUIRES(s.mutex)
{
    loadRecord(s);
    return s.services[static_cast<std::size_t>(which)];
}

void deliver(std::vector<std::function<void(bool)>> completions, bool granted)
{
    for (auto& completion : completions)
        if (completion)
            dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                [completion = std::move(completion), granted] { completion(granted); });
}

// Under the lock: records the answer of the prompt that shows and hands back its waiters.
std::vector<std::function<void(bool)>> settle(State& s, ServiceState& entry, bool granted) DV_REQUIRES(s.mutex)
{
    entry.status = granted ? PrivacyStatus::authorized : PrivacyStatus::denied;
    entry.promptShowing = false;
    saveRecord(s);
    s.answered.notifyAll();
    return std::exchange(entry.waiting, {});
}

} // namespace

PrivacyStatus PrivacyAccess::status(PrivacyService which)
{
    auto& s = state();
    dv::MutexLocker lock(s.mutex);
    return service(s, which).status;
}

void PrivacyAccess::setStatus(PrivacyService which, PrivacyStatus status)
{
    auto& s = state();
    std::vector<std::function<void(bool)>> waiters;
    {
        dv::MutexLocker lock(s.mutex);
        auto& entry = service(s, which);
        if (entry.promptShowing && status != PrivacyStatus::notDetermined) {
            waiters = settle(s, entry, status == PrivacyStatus::authorized);
        }
        entry.status = status;
        saveRecord(s);
    }
    deliver(std::move(waiters), status == PrivacyStatus::authorized);
}

void PrivacyAccess::requestAccess(PrivacyService which, std::function<void(bool granted)> completion)
{
    auto& s = state();
    std::vector<std::function<void(bool)>> ready;
    bool granted = false;
    {
        dv::MutexLocker lock(s.mutex);
        auto& entry = service(s, which);
        if (entry.status == PrivacyStatus::notDetermined) {
            if (!entry.promptShowing) {
                entry.promptShowing = true;
                ++entry.prompts;
            }
            entry.waiting.push_back(std::move(completion));
            if (s.held)
                return;
            granted = entry.promptAnswer;
            ready = settle(s, entry, granted);
        } else {
            granted = entry.status == PrivacyStatus::authorized;
            ready.push_back(std::move(completion));
        }
    }
    deliver(std::move(ready), granted);
}

bool PrivacyAccess::waitForAccess(PrivacyService which)
{
    auto& s = state();
    std::vector<std::function<void(bool)>> ready;
    bool granted = false;
    {
        dv::MutexLocker lock(s.mutex);
        auto& entry = service(s, which);
        if (entry.status == PrivacyStatus::notDetermined) {
            if (!entry.promptShowing) {
                entry.promptShowing = true;
                ++entry.prompts;
            }
            if (!s.held) {
                ready = settle(s, entry, entry.promptAnswer);
            } else {
                s.answered.wait(lock, [&] { return !entry.promptShowing; });
            }
        }
        granted = entry.status == PrivacyStatus::authorized;
    }
    deliver(std::move(ready), granted);
    return granted;
}

void PrivacyAccess::setPromptAnswer(PrivacyService which, bool granted)
{
    auto& s = state();
    dv::MutexLocker lock(s.mutex);
    service(s, which).promptAnswer = granted;
}

void PrivacyAccess::setPromptsHeld(bool held)
{
    auto& s = state();
    dv::MutexLocker lock(s.mutex);
    s.held = held;
}

bool PrivacyAccess::isPromptShowing(PrivacyService which)
{
    auto& s = state();
    dv::MutexLocker lock(s.mutex);
    return service(s, which).promptShowing;
}

bool PrivacyAccess::answerPrompt(PrivacyService which, bool granted)
{
    auto& s = state();
    std::vector<std::function<void(bool)>> waiters;
    {
        dv::MutexLocker lock(s.mutex);
        auto& entry = service(s, which);
        if (!entry.promptShowing)
            return false;
        waiters = settle(s, entry, granted);
    }
    deliver(std::move(waiters), granted);
    return true;
}

int PrivacyAccess::promptCount(PrivacyService which)
{
    auto& s = state();
    dv::MutexLocker lock(s.mutex);
    return service(s, which).prompts;
}

void PrivacyAccess::reset()
{
    auto& s = state();
    std::vector<std::function<void(bool)>> refused;
    {
        dv::MutexLocker lock(s.mutex);
        for (auto& entry : s.services) {
            if (entry.promptShowing)
                for (auto& waiter : settle(s, entry, false))
                    refused.push_back(std::move(waiter));
            entry = ServiceState();
        }
        s.held = false;
        s.home = SystemPaths::home();
        s.loaded = true;
        saveRecord(s);
    }
    deliver(std::move(refused), false);
}

} // namespace dv
