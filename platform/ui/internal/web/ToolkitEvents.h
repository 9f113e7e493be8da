// ToolkitEvents: the web engine's main context (GLib's default context, where the engine and its
// toolkit deliver their signals, timers and socket events) served by the main run loop, so that
// the engine's signals arrive on the main thread between turns like every other delegate message,
// and the loop sleeps while neither has anything due. The main thread owns the context from the
// first turn on. Installed once by WebEngine; main thread only.
#pragma once

#include "platform/dispatch/ExternalEventSource.h"

#include <vector>

typedef struct _GMainContext GMainContext;
typedef struct _GPollFD GPollFD;

namespace dv::internal::uikit {

class ToolkitEvents final : public ExternalEventSource {
public:
    ToolkitEvents();
    ~ToolkitEvents() override;

    double prepare(std::vector<WatchedDescriptor>& watched) override;
    bool dispatch(std::span<const WatchedDescriptor> watched) override;

private:
    // One prepared round; a dispatch may run a nested round, which stacks its own.
    struct Round {
        int priority = 0;
        std::vector<GPollFD> descriptors;
    };
    GMainContext* m_context;
    bool m_owned = false;
    std::vector<Round> m_rounds;
};

} // namespace dv::internal::uikit
