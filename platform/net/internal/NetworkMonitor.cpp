#include "platform/net/internal/NetworkMonitor.h"

#include "platform/net/SCNetworkReachability.h"

#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace dv::internal::net {

NetworkMonitor& NetworkMonitor::shared()
{
    static NetworkMonitor* monitor = new NetworkMonitor();
    return *monitor;
}

bool NetworkMonitor::hasRoutableInterface()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (ifaddrs* entry = list; entry && !found; entry = entry->ifa_next) {
        if (!entry->ifa_addr || !(entry->ifa_flags & IFF_UP) || !(entry->ifa_flags & IFF_RUNNING) || (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        found = entry->ifa_addr->sa_family == AF_INET || entry->ifa_addr->sa_family == AF_INET6;
    }
    freeifaddrs(list);
    return found;
}

void NetworkMonitor::add(const Ref<SCNetworkReachability>& target)
{
    std::vector<Ref<SCNetworkReachability>> seen;
    dv::MutexLocker lock(m_mutex);
    seen = dropLocked(target.get());
    m_targets.push_back(target);
    startLocked();
    lock.unlock();
}

void NetworkMonitor::remove(const SCNetworkReachability* target)
{
    std::vector<Ref<SCNetworkReachability>> seen;
    dv::MutexLocker lock(m_mutex);
    seen = dropLocked(target);
    lock.unlock();
}

std::vector<Ref<SCNetworkReachability>> NetworkMonitor::dropLocked(const SCNetworkReachability* target)
{
    std::vector<Ref<SCNetworkReachability>> seen;
    std::erase_if(m_targets, [&](auto& weak) {
        auto t = weak.lock();
        if (t)
            seen.push_back(t);
        return !t || t.get() == target;
    });
    return seen;
}

void NetworkMonitor::notifyAll()
{
    std::vector<Ref<SCNetworkReachability>> targets;
    {
        dv::MutexLocker lock(m_mutex);
        for (auto& weak : m_targets) {
            if (auto t = weak.lock())
                targets.push_back(t);
        }
    }
    for (auto& t : targets)
        t->flagsMayHaveChanged();
}

void NetworkMonitor::startLocked()
{
    if (m_started)
        return;
    m_started = true;
    int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return; // no monitor: flags are still read on demand and on test switches
    sockaddr_nl address {};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return;
    }
    std::thread([fd] {
        char buffer[8192];
        for (;;) {
            ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            NetworkMonitor::shared().notifyAll();
        }
        close(fd);
    }).detach();
}

} // namespace dv::internal::net
