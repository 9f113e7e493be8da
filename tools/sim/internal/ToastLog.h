// What the toasts of the application said while a script ran (the short messages that go by
// themselves, not the loading overlays that come and go with a request): each one noted once
// when it first shows, with its text and the seconds since the log began. The step writer puts
// the entries since the step before at the end of each step's dump, so that a toast that came and
// went between two pictures is still seen. Watches the screen at the end of the main loop's turns
// (at most every few milliseconds: a toast shows for most of a second). Main thread.
#pragma once

#include "platform/base/Forward.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class PHProgressHUD;

namespace dv::internal::sim {

class ToastLog {
public:
    ToastLog();
    ~ToastLog();
    ToastLog(const ToastLog&) = delete;
    ToastLog& operator=(const ToastLog&) = delete;

    // Looks at the screen now (the log does so by itself at the end of the loop's turns).
    void look();
    // The dump's section for what showed since the last call, "" when nothing did:
    //   toasts since the last step:
    //     3.52 s  toast "导入成功"
    std::string takeSection();

private:
    struct Seen {
        Weak<PHProgressHUD> overlay;
        std::string text;
    };
    std::uint64_t m_observer = 0;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastLook {};
    std::vector<Seen> m_seen;
    std::vector<std::string> m_entries;
};

} // namespace dv::internal::sim
