#include "tools/sim/internal/ToastLog.h"

#include "tools/sim/ScreenCapture.h"

#include "platform/base/NSString.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/testing/UIDriver.h"
#include "platform/ui/UIApplication.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include <algorithm>
#include <cstdio>

namespace dv::internal::sim {

namespace {

// Between two looks at the screen: far below the 0.7 s a toast shows.
constexpr auto kLookInterval = std::chrono::milliseconds(20);

} // namespace

ToastLog::ToastLog()
    : m_start(std::chrono::steady_clock::now())
{
    m_observer = NSRunLoop::mainRunLoop()->addEndOfTurnObserver([this] {
        if (std::chrono::steady_clock::now() - m_lastLook >= kLookInterval)
            look();
    });
}

ToastLog::~ToastLog() { NSRunLoop::mainRunLoop()->removeEndOfTurnObserver(m_observer); }

void ToastLog::look()
{
    m_lastLook = std::chrono::steady_clock::now();
    if (!UIApplication::sharedApplication()->keyWindow())
        return;
    std::erase_if(m_seen, [](const Seen& seen) { return seen.overlay.expired(); });
    dv::testing::UIDriver ui;
    for (const auto& overlay : ui.findAll<PHProgressHUD>()) {
        // Fading away: what it said was noted when it showed. A spinner is a request's, not a toast.
        if (overlay->alpha() < 0.05 || overlay->mode() == PHProgressHUDModeIndeterminate)
            continue;
        std::string text = dv::str(overlay->labelText());
        if (auto details = overlay->detailsLabelText(); details && details->length())
            text += (text.empty() ? "" : " ") + dv::str(details);
        auto known = std::find_if(m_seen.begin(), m_seen.end(), [&](const Seen& seen) { return seen.overlay.lock() == overlay; });
        if (known != m_seen.end() && known->text == text)
            continue;
        if (known == m_seen.end())
            m_seen.push_back({ overlay, text });
        else
            known->text = text;
        char when[32];
        std::snprintf(when, sizeof when, "%7.2f s", std::chrono::duration<double>(m_lastLook - m_start).count());
        m_entries.push_back(std::string("  ") + when + "  toast " + dv::sim::dumpQuoted(text));
    }
}

std::string ToastLog::takeSection()
{
    look();
    if (m_entries.empty())
        return {};
    std::string section = "toasts since the last step:\n";
    for (const auto& entry : m_entries)
        section += entry + "\n";
    m_entries.clear();
    return section;
}

} // namespace dv::internal::sim
