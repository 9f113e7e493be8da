// A process-wide list of what runs after every reloadData of a kind of view: one list for table
// views, one for collection views (the toolkit's refresh component reports the data count through
// both). Hooks run in the order they were added; one may remove itself or add another while they
// run (a new one waits for the next reload). Main thread only.
#pragma once

#include "platform/ui/UIScrollView.h"

#include <memory>
#include <vector>

namespace dv::internal::uikit {

class ReloadDataHooks {
public:
    static ReloadDataHooks& tables();
    static ReloadDataHooks& collections();

    ReloadDataHookID add(ReloadDataHook hook);
    void remove(ReloadDataHookID id);
    void run(const Ref<UIScrollView>& reloaded);

private:
    struct Entry {
        ReloadDataHookID id;
        std::shared_ptr<ReloadDataHook> hook;
    };
    std::vector<Entry> m_entries;
};

} // namespace dv::internal::uikit
