#include "platform/ui/internal/PassScheduler.h"

#include "platform/base/NSLog.h"
#include "platform/base/Scope.h"
#include "platform/dispatch/MainThreadCheck.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/FrameTiming.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIWindow.h"

#include <algorithm>

namespace dv::internal::uikit {

namespace {

// Rounds of layout then display in one pass; past this the work waits for the next turn.
constexpr int kMaxRounds = 16;

// A view counts as visible when neither it nor any ancestor (the window included) is hidden.
bool isShown(const UIView& view)
{
    for (const UIView* v = &view; v;) {
        if (v->isHidden())
            return false;
        auto super = v->superview();
        v = super.get();
    }
    return true;
}

} // namespace

PassScheduler& PassScheduler::shared()
{
    static PassScheduler* s_shared = new PassScheduler();
    return *s_shared;
}

void PassScheduler::ensureObserving()
{
    if (m_observing)
        return;
    m_observing = true;
    NSRunLoop::mainRunLoop()->addEndOfTurnObserver([] { PassScheduler::shared().runPasses(); });
}

void PassScheduler::scheduleLayout(UIView& view)
{
    DV_CHECK_MAIN_THREAD();
    if (view.m_layoutScheduled)
        return;
    ensureObserving();
    if (!hasPendingWork() && !m_running)
        NSRunLoop::mainRunLoop()->wakeUp();
    view.m_layoutScheduled = true;
    m_layout.push_back(view.self<UIView>());
}

void PassScheduler::scheduleDisplay(UIView& view)
{
    DV_CHECK_MAIN_THREAD();
    if (view.m_displayScheduled)
        return;
    ensureObserving();
    if (!hasPendingWork() && !m_running)
        NSRunLoop::mainRunLoop()->wakeUp();
    view.m_displayScheduled = true;
    m_display.push_back(view.self<UIView>());
}

void PassScheduler::reviveDeferredDisplays()
{
    DV_CHECK_MAIN_THREAD();
    if (m_deferredDisplay.empty())
        return;
    auto deferred = std::exchange(m_deferredDisplay, {});
    for (auto& weak : deferred) {
        auto view = weak.lock();
        if (!view)
            continue;
        view->m_displayScheduled = false;
        if (view->m_needsDisplay)
            scheduleDisplay(*view);
    }
}

void PassScheduler::runPasses()
{
    DV_CHECK_MAIN_THREAD();
    if (m_running)
        return;
    if (!hasPendingWork()) {
        // Nothing to draw: the screen already shows what the touches of this turn did.
        FrameTiming::frameDrawn();
        return;
    }
    int round = 0;
    {
        dv::TemporaryChange running(m_running, true);
        for (; round < kMaxRounds && hasPendingWork(); ++round) {
            runLayoutPass();
            runDisplayPass();
        }
    }
    FrameTiming::frameDrawn();
    if (round == kMaxRounds && hasPendingWork())
        NSLog("Layout did not settle within one turn: a view keeps marking itself while it is laid out or drawn.");
}

void PassScheduler::runLayoutPass()
{
    for (int round = 0; round < kMaxRounds && !m_layout.empty(); ++round) {
        auto queued = std::exchange(m_layout, {});
        std::vector<std::pair<std::size_t, Ref<UIView>>> views;
        views.reserve(queued.size());
        for (auto& weak : queued) {
            auto view = weak.lock();
            if (!view)
                continue;
            view->m_layoutScheduled = false;
            if (view->m_needsLayout && view->window())
                views.emplace_back(view->handleDepth(), std::move(view));
        }
        std::stable_sort(views.begin(), views.end(), [](auto& a, auto& b) { return a.first < b.first; });
        for (auto& [depth, view] : views)
            if (view->m_needsLayout && view->window())
                view->handleLayout();
    }
}

void PassScheduler::runDisplayPass()
{
    auto queued = std::exchange(m_display, {});
    for (auto& weak : queued) {
        auto view = weak.lock();
        if (!view)
            continue;
        view->m_displayScheduled = false;
        // A view outside any window is queued again when it enters one.
        if (!view->m_needsDisplay || !view->window())
            continue;
        if (!isShown(*view) || CGRectIsEmpty(view->bounds())) {
            // Still counts as queued, so that marking it again does not queue it twice.
            view->m_displayScheduled = true;
            m_deferredDisplay.push_back(view);
            continue;
        }
        view->handleDisplay();
    }
}

} // namespace dv::internal::uikit
