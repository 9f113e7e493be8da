#include "platform/system/PrivacyAccess.h"

#include "platform/dispatch/Dispatch.h"

#include <array>
#include <condition_variable>
#include <mutex>
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
    std::mutex mutex;
    std::condition_variable answered;
    std::array<ServiceState, 3> services;
    bool held = false;
};

State& state()
{
    static State s_state;
    return s_state;
}

ServiceState& service(State& s, PrivacyService which) { return s.services[static_cast<std::size_t>(which)]; }

void deliver(std::vector<std::function<void(bool)>> completions, bool granted)
{
    for (auto& completion : completions)
        if (completion)
            dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                [completion = std::move(completion), granted] { completion(granted); });
}

// Under the lock: records the answer of the prompt that shows and hands back its waiters.
std::vector<std::function<void(bool)>> settle(State& s, ServiceState& entry, bool granted)
{
    entry.status = granted ? PrivacyStatus::authorized : PrivacyStatus::denied;
    entry.promptShowing = false;
    s.answered.notify_all();
    return std::exchange(entry.waiting, {});
}

} // namespace

PrivacyStatus PrivacyAccess::status(PrivacyService which)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return service(s, which).status;
}

void PrivacyAccess::setStatus(PrivacyService which, PrivacyStatus status)
{
    auto& s = state();
    std::vector<std::function<void(bool)>> waiters;
    {
        std::lock_guard lock(s.mutex);
        auto& entry = service(s, which);
        if (entry.promptShowing && status != PrivacyStatus::notDetermined) {
            waiters = settle(s, entry, status == PrivacyStatus::authorized);
        }
        entry.status = status;
    }
    deliver(std::move(waiters), status == PrivacyStatus::authorized);
}

void PrivacyAccess::requestAccess(PrivacyService which, std::function<void(bool granted)> completion)
{
    auto& s = state();
    std::vector<std::function<void(bool)>> ready;
    bool granted = false;
    {
        std::lock_guard lock(s.mutex);
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
        std::unique_lock lock(s.mutex);
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
    std::lock_guard lock(s.mutex);
    service(s, which).promptAnswer = granted;
}

void PrivacyAccess::setPromptsHeld(bool held)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.held = held;
}

bool PrivacyAccess::isPromptShowing(PrivacyService which)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return service(s, which).promptShowing;
}

bool PrivacyAccess::answerPrompt(PrivacyService which, bool granted)
{
    auto& s = state();
    std::vector<std::function<void(bool)>> waiters;
    {
        std::lock_guard lock(s.mutex);
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
    std::lock_guard lock(s.mutex);
    return service(s, which).prompts;
}

void PrivacyAccess::reset()
{
    auto& s = state();
    std::vector<std::function<void(bool)>> refused;
    {
        std::lock_guard lock(s.mutex);
        for (auto& entry : s.services) {
            if (entry.promptShowing)
                for (auto& waiter : settle(s, entry, false))
                    refused.push_back(std::move(waiter));
            entry = ServiceState();
        }
        s.held = false;
    }
    deliver(std::move(refused), false);
}

} // namespace dv
