// Watches the machine's interfaces and routes over a netlink socket on one background thread and
// tells every scheduled reachability reference when something changed. The thread starts with the
// first scheduled reference and lives for the process.
#pragma once

#include "platform/base/Forward.h"

class SCNetworkReachability;

namespace dv::internal {

class NetworkMonitor {
public:
    static NetworkMonitor& shared();
    void add(const Ref<SCNetworkReachability>& target);
    void remove(const SCNetworkReachability* target);
    // Re-reads every scheduled reference now (after an interface change or a test switch).
    void notifyAll();

    // Whether an interface other than loopback is up with an address.
    static bool hasRoutableInterface();

private:
    NetworkMonitor() = default;
    void startLocked();
};

} // namespace dv::internal
