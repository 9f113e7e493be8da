// Watches the machine's interfaces and routes over a netlink socket on one background thread and
// tells every scheduled reachability reference when something changed. The thread starts with the
// first scheduled reference and lives for the process.
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Mutex.h"

#include <vector>

class SCNetworkReachability;

namespace dv::internal::net {

class NetworkMonitor {
public:
    static NetworkMonitor& shared();
    void add(const Ref<SCNetworkReachability>& target) DV_EXCLUDES(m_mutex);
    // Called by a reference's destructor too.
    void remove(const SCNetworkReachability* target) DV_EXCLUDES(m_mutex);
    // Re-reads every scheduled reference now (after an interface change or a test switch).
    void notifyAll() DV_EXCLUDES(m_mutex);

    // Whether an interface other than loopback is up with an address.
    static bool hasRoutableInterface();

private:
    NetworkMonitor() = default;
    void startLocked() DV_REQUIRES(m_mutex);
    // Drops `target` and the references gone. The live ones it looked at come back, for the
    // caller to let go after the lock: the destructor of a last one unregisters itself.
    std::vector<Ref<SCNetworkReachability>> dropLocked(const SCNetworkReachability* target) DV_REQUIRES(m_mutex);

    dv::Mutex m_mutex;
    std::vector<Weak<SCNetworkReachability>> m_targets DV_GUARDED_BY(m_mutex);
    bool m_started DV_GUARDED_BY(m_mutex) = false;
};

} // namespace dv::internal::net
