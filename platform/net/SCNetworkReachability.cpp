#include "platform/net/SCNetworkReachability.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/net/internal/NetworkMonitor.h"
#include "platform/net/internal/TaskDriver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>

DV_DEFINE_CLASS(SCNetworkReachability)

using dv::internal::net::NetworkMonitor;

namespace {

dv::Mutex s_overrideMutex;
std::optional<SCNetworkReachabilityFlags> s_override DV_GUARDED_BY(s_overrideMutex);

bool isLoopbackName(const std::string& name)
{
    if (name == "localhost" || name == "localhost.")
        return true;
    in_addr v4 {};
    if (inet_pton(AF_INET, name.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6 {};
    return inet_pton(AF_INET6, name.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

} // namespace

namespace dv {

void setNetworkSimulatedOffline(bool offline)
{
    internal::net::setNetworkSimulatedOffline(offline);
    NetworkMonitor::shared().notifyAll();
}

bool networkSimulatedOffline()
{
    return internal::net::networkSimulatedOffline();
}

void setNetworkReachabilityFlagsOverride(std::optional<SCNetworkReachabilityFlags> flags)
{
    {
        dv::MutexLocker lock(s_overrideMutex);
        s_override = flags;
    }
    NetworkMonitor::shared().notifyAll();
}

} // namespace dv

SCNetworkReachability::~SCNetworkReachability()
{
    NetworkMonitor::shared().remove(this);
    if (m_context.release && m_context.info)
        m_context.release(m_context.info);
}

Ref<SCNetworkReachability> SCNetworkReachability::initWithName(std::string name)
{
    m_kind = Kind::Name;
    m_name = std::move(name);
    m_loopback = isLoopbackName(m_name);
    return self<SCNetworkReachability>();
}

Ref<SCNetworkReachability> SCNetworkReachability::initWithAddress(const sockaddr* address)
{
    m_kind = Kind::Address;
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET) {
        auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        m_anyAddress = v4->sin_addr.s_addr == INADDR_ANY;
        m_loopback = (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof(text));
    } else if (address->sa_family == AF_INET6) {
        auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        m_anyAddress = IN6_IS_ADDR_UNSPECIFIED(&v6->sin6_addr);
        m_loopback = IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof(text));
    }
    m_name = text;
    return self<SCNetworkReachability>();
}

SCNetworkReachabilityFlags SCNetworkReachability::currentFlags() const
{
    if (dv::networkSimulatedOffline())
        return 0;
    {
        dv::MutexLocker lock(s_overrideMutex);
        if (s_override)
            return *s_override;
    }
    if (m_loopback)
        return kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress | kSCNetworkReachabilityFlagsIsDirect;
    return NetworkMonitor::hasRoutableInterface() ? SCNetworkReachabilityFlags(kSCNetworkReachabilityFlagsReachable) : SCNetworkReachabilityFlags(0);
}

Ref<NSString> SCNetworkReachability::description() const
{
    return NSString::stringWithFormat("<SCNetworkReachability %p [%s]>", this, m_name.c_str());
}

bool SCNetworkReachability::setCallback(SCNetworkReachabilityCallBack callback, const SCNetworkReachabilityContext* context)
{
    SCNetworkReachabilityContext old;
    {
        dv::MutexLocker lock(m_mutex);
        old = m_context;
        m_callback = callback;
        m_context = {};
        if (callback && context) {
            m_context = *context;
            if (m_context.retain && m_context.info)
                m_context.info = const_cast<void*>(m_context.retain(m_context.info));
        }
    }
    if (old.release && old.info)
        old.release(old.info);
    return true;
}

bool SCNetworkReachability::schedule(const Ref<NSRunLoop>& runLoop, const std::string& mode)
{
    if (!runLoop)
        return false;
    auto flags = currentFlags();
    {
        dv::MutexLocker lock(m_mutex);
        m_runLoop = runLoop;
        m_mode = mode;
        m_lastFlags = flags;
    }
    NetworkMonitor::shared().add(self<SCNetworkReachability>());
    return true;
}

bool SCNetworkReachability::unschedule(const Ref<NSRunLoop>& runLoop, const std::string&)
{
    {
        dv::MutexLocker lock(m_mutex);
        if (!m_runLoop || (runLoop && runLoop != m_runLoop))
            return false;
        m_runLoop = nullptr;
    }
    NetworkMonitor::shared().remove(this);
    return true;
}

void SCNetworkReachability::flagsMayHaveChanged()
{
    auto flags = currentFlags();
    Ref<NSRunLoop> runLoop;
    std::string mode;
    {
        dv::MutexLocker lock(m_mutex);
        if (!m_runLoop || (m_lastFlags && *m_lastFlags == flags))
            return;
        m_lastFlags = flags;
        runLoop = m_runLoop;
        mode = m_mode;
    }
    Weak<SCNetworkReachability> weak = self<SCNetworkReachability>();
    auto call = [weak, flags] {
        auto target = weak.lock();
        if (!target)
            return;
        SCNetworkReachabilityCallBack callback;
        void* info;
        {
            dv::MutexLocker lock(target->m_mutex);
            if (!target->m_runLoop)
                return;
            callback = target->m_callback;
            info = target->m_context.info;
        }
        if (callback)
            callback(target, flags, info);
    };
    if (mode.empty() || mode == NSRunLoopCommonModes)
        runLoop->performBlock(call);
    else
        runLoop->performInModes({ mode }, call);
}

Ref<SCNetworkReachability> SCNetworkReachabilityCreateWithName(const id&, const char* nodename)
{
    if (!nodename)
        return nullptr;
    return alloc<SCNetworkReachability>()->initWithName(nodename);
}

Ref<SCNetworkReachability> SCNetworkReachabilityCreateWithAddress(const id&, const sockaddr* address)
{
    if (!address || (address->sa_family != AF_INET && address->sa_family != AF_INET6))
        return nullptr;
    return alloc<SCNetworkReachability>()->initWithAddress(address);
}

bool SCNetworkReachabilityGetFlags(const Ref<SCNetworkReachability>& target, SCNetworkReachabilityFlags* flags)
{
    if (!target || !flags)
        return false;
    *flags = target->currentFlags();
    return true;
}

bool SCNetworkReachabilitySetCallback(const Ref<SCNetworkReachability>& target, SCNetworkReachabilityCallBack callback,
    SCNetworkReachabilityContext* context)
{
    return target && target->setCallback(callback, context);
}

bool SCNetworkReachabilityScheduleWithRunLoop(const Ref<SCNetworkReachability>& target, const Ref<NSRunLoop>& runLoop, const char* mode)
{
    return target && target->schedule(runLoop, mode ? mode : "");
}

bool SCNetworkReachabilityUnscheduleFromRunLoop(const Ref<SCNetworkReachability>& target, const Ref<NSRunLoop>& runLoop, const char* mode)
{
    return target && target->unschedule(runLoop, mode ? mode : "");
}
