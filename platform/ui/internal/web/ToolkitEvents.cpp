#include "platform/ui/internal/web/ToolkitEvents.h"

#include <glib.h>

#include <cmath>
#include <limits>

namespace dv::internal::uikit {

ToolkitEvents::ToolkitEvents() : m_context(g_main_context_ref(g_main_context_default())) { }

ToolkitEvents::~ToolkitEvents()
{
    if (m_owned)
        g_main_context_release(m_context);
    g_main_context_unref(m_context);
}

double ToolkitEvents::prepare(std::vector<WatchedDescriptor>& watched)
{
    if (!m_owned)
        m_owned = g_main_context_acquire(m_context);
    Round round;
    const bool ready = g_main_context_prepare(m_context, &round.priority);
    gint timeout = -1;
    round.descriptors.resize(8);
    for (;;) {
        const gint needed = g_main_context_query(m_context, round.priority, &timeout, round.descriptors.data(),
            static_cast<gint>(round.descriptors.size()));
        if (needed <= static_cast<gint>(round.descriptors.size())) {
            round.descriptors.resize(static_cast<std::size_t>(needed));
            break;
        }
        round.descriptors.resize(static_cast<std::size_t>(needed));
    }
    for (const auto& descriptor : round.descriptors)
        watched.push_back({ descriptor.fd, static_cast<short>(descriptor.events), 0 });
    m_rounds.push_back(std::move(round));
    if (ready || timeout == 0)
        return 0;
    return timeout < 0 ? std::numeric_limits<double>::infinity() : timeout / 1000.0;
}

bool ToolkitEvents::dispatch(std::span<const WatchedDescriptor> watched)
{
    if (m_rounds.empty())
        return false;
    Round round = std::move(m_rounds.back());
    m_rounds.pop_back();
    for (std::size_t i = 0; i < round.descriptors.size() && i < watched.size(); ++i)
        round.descriptors[i].revents = static_cast<gushort>(watched[i].ready);
    if (!g_main_context_check(m_context, round.priority, round.descriptors.data(), static_cast<gint>(round.descriptors.size())))
        return false;
    g_main_context_dispatch(m_context);
    return true;
}

} // namespace dv::internal::uikit
