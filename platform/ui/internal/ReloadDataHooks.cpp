#include "platform/ui/internal/ReloadDataHooks.h"

#include <algorithm>

namespace dv::internal::uikit {

ReloadDataHooks& ReloadDataHooks::tables()
{
    static ReloadDataHooks* s_hooks = new ReloadDataHooks();
    return *s_hooks;
}

ReloadDataHooks& ReloadDataHooks::collections()
{
    static ReloadDataHooks* s_hooks = new ReloadDataHooks();
    return *s_hooks;
}

ReloadDataHookID ReloadDataHooks::add(ReloadDataHook hook)
{
    static ReloadDataHookID s_next = 1;
    const ReloadDataHookID id = s_next++;
    m_entries.push_back({id, std::make_shared<ReloadDataHook>(std::move(hook))});
    return id;
}

void ReloadDataHooks::remove(ReloadDataHookID id)
{
    std::erase_if(m_entries, [id](const Entry& e) { return e.id == id; });
}

void ReloadDataHooks::run(const Ref<UIScrollView>& reloaded)
{
    // A copy: hooks may add or remove hooks while they run. One removed meanwhile is skipped.
    const auto snapshot = m_entries;
    for (auto& entry : snapshot) {
        if (std::none_of(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.id == entry.id; }))
            continue;
        if (*entry.hook)
            (*entry.hook)(reloaded);
    }
}

} // namespace dv::internal::uikit
