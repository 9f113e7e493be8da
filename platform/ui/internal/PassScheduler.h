// The layout and display passes. Views that are marked while they are in a window are queued
// here; at the end of every turn of the main run loop the scheduler runs every queued layout,
// parents before children (layouts queued by a layout run in the following round), then draws
// the queued views that are visible and not empty. Views marked while invisible or empty wait
// until they are shown or sized. The cost of a pass depends on the views queued, not on the size
// of the tree. Main thread only.
#pragma once

#include "platform/ui/Forward.h"

#include <cstdint>
#include <vector>

namespace dv::internal::uikit {

class PassScheduler {
public:
    static PassScheduler& shared();

    void scheduleLayout(UIView& view);
    void scheduleDisplay(UIView& view);
    // Views whose display waited because they were hidden or empty are looked at again.
    void reviveDeferredDisplays();

    // Runs both passes until nothing is queued (bounded, so that a view that marks itself in
    // its own layoutSubviews cannot stall the loop). Called at the end of each main-loop turn.
    void runPasses();
    bool hasPendingWork() const { return !m_layout.empty() || !m_display.empty(); }

private:
    PassScheduler() = default;
    void ensureObserving();
    void runLayoutPass();
    void runDisplayPass();

    std::vector<Weak<UIView>> m_layout;
    std::vector<Weak<UIView>> m_display;
    std::vector<Weak<UIView>> m_deferredDisplay;
    bool m_observing = false;
    bool m_running = false;
};

} // namespace dv::internal::uikit
