#include "foundation/http/PNNetworkReachabilityManager.h"

#include "foundation/http/internal/NetworkingStrings.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSRunLoop.h"

#include <netinet/in.h>

#include <cstring>

DV_DEFINE_CLASS(PNNetworkReachabilityManager)

const Ref<NSString> PNReachabilityChangeNotificationName = "com.pellucor.networking.reachability.change"_ns;
const Ref<NSString> PNReachabilityStatusItemKey = "PNNetworkingReachabilityNotificationStatusItem"_ns;

namespace {

using ReportBlock = std::function<void(PNReachabilityStatus)>;

void flagsDidChange(SCNetworkReachabilityFlags flags, const ReportBlock& block)
{
    const PNReachabilityStatus status = PNStatusFromReachabilityFlags(flags);
    dispatch_async(dispatch_get_main_queue(), [block, status] {
        if (block)
            block(status);
        NSNotificationCenter::defaultCenter()->postNotificationName(PNReachabilityChangeNotificationName, nil,
            NSDictionary::of({ { PNReachabilityStatusItemKey, NSNumber::numberWithInteger(status) } }));
    });
}

void flagsCallback(const Ref<SCNetworkReachability>&, SCNetworkReachabilityFlags flags, void* info)
{
    if (info)
        flagsDidChange(flags, *static_cast<const ReportBlock*>(info));
}

// The context's info is a block of its own; the reference copies and releases it.
const void* retainBlock(const void* info)
{
    return new ReportBlock(*static_cast<const ReportBlock*>(info));
}

void releaseBlock(const void* info)
{
    delete static_cast<const ReportBlock*>(info);
}

} // namespace

PNReachabilityStatus PNStatusFromReachabilityFlags(SCNetworkReachabilityFlags flags)
{
    const bool reachable = flags & kSCNetworkReachabilityFlagsReachable;
    const bool needsConnection = flags & kSCNetworkReachabilityFlagsConnectionRequired;
    const bool canConnectAutomatically = (flags & kSCNetworkReachabilityFlagsConnectionOnDemand) || (flags & kSCNetworkReachabilityFlagsConnectionOnTraffic);
    const bool canConnectWithoutUser = canConnectAutomatically && !(flags & kSCNetworkReachabilityFlagsInterventionRequired);
    if (!reachable || (needsConnection && !canConnectWithoutUser))
        return PNReachabilityStatusNotReachable;
    if (flags & kSCNetworkReachabilityFlagsIsWWAN)
        return PNReachabilityStatusReachableViaWWAN;
    return PNReachabilityStatusReachableViaWiFi;
}

Ref<NSString> PNReachabilityStatusString(NSInteger status)
{
    switch (status) {
    case PNReachabilityStatusNotReachable:
        return dv::internal::http::networkingString("Not Reachable");
    case PNReachabilityStatusReachableViaWWAN:
        return dv::internal::http::networkingString("Reachable via WWAN");
    case PNReachabilityStatusReachableViaWiFi:
        return dv::internal::http::networkingString("Reachable via WiFi");
    default:
        return dv::internal::http::networkingString("Unknown");
    }
}

PNNetworkReachabilityManager::~PNNetworkReachabilityManager()
{
    stopMonitoring();
}

Ref<PNNetworkReachabilityManager> PNNetworkReachabilityManager::initWithReachability(const Ref<SCNetworkReachability>& reachability)
{
    m_networkReachability = reachability;
    dv::MutexLocker lock(m_mutex);
    m_status = PNReachabilityStatusUnknown;
    return self<PNNetworkReachabilityManager>();
}

Ref<PNNetworkReachabilityManager> PNNetworkReachabilityManager::sharedManager()
{
    static const Ref<PNNetworkReachabilityManager> shared = dv::keepingForever([] { return manager(); });
    return shared;
}

Ref<PNNetworkReachabilityManager> PNNetworkReachabilityManager::managerForDomain(const Ref<NSString>& domain)
{
    auto reachability = SCNetworkReachabilityCreateWithName(nil, domain ? domain->utf8().c_str() : "");
    return alloc<PNNetworkReachabilityManager>()->initWithReachability(reachability);
}

Ref<PNNetworkReachabilityManager> PNNetworkReachabilityManager::managerForAddress(const sockaddr* address)
{
    auto reachability = address ? SCNetworkReachabilityCreateWithAddress(nil, address) : nil;
    return alloc<PNNetworkReachabilityManager>()->initWithReachability(reachability);
}

Ref<PNNetworkReachabilityManager> PNNetworkReachabilityManager::manager()
{
    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    return managerForAddress(reinterpret_cast<const sockaddr*>(&address));
}

PNReachabilityStatus PNNetworkReachabilityManager::networkReachabilityStatus() const
{
    dv::MutexLocker lock(m_mutex);
    return m_status;
}

void PNNetworkReachabilityManager::setNetworkReachabilityStatus(PNReachabilityStatus status)
{
    changeValueForKey("networkReachabilityStatus", [&] {
        dv::MutexLocker lock(m_mutex);
        m_status = status;
    });
}

Ref<NSString> PNNetworkReachabilityManager::localizedNetworkReachabilityStatusString() const
{
    return PNReachabilityStatusString(networkReachabilityStatus());
}

void PNNetworkReachabilityManager::setReachabilityStatusChangeBlock(StatusBlock block)
{
    dv::MutexLocker lock(m_mutex);
    m_statusBlock = std::move(block);
}

void PNNetworkReachabilityManager::startMonitoring()
{
    stopMonitoring();
    if (!m_networkReachability)
        return;

    Weak<PNNetworkReachabilityManager> weakSelf = self<PNNetworkReachabilityManager>();
    ReportBlock callback = [weakSelf](PNReachabilityStatus status) {
        auto strongSelf = weakSelf.lock();
        if (!strongSelf)
            return;
        strongSelf->setNetworkReachabilityStatus(status);
        StatusBlock block;
        {
            dv::MutexLocker lock(strongSelf->m_mutex);
            block = strongSelf->m_statusBlock;
        }
        if (block)
            block(status);
    };

    SCNetworkReachabilityContext context { 0, &callback, retainBlock, releaseBlock, nullptr };
    SCNetworkReachabilitySetCallback(m_networkReachability, flagsCallback, &context);
    SCNetworkReachabilityScheduleWithRunLoop(m_networkReachability, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes);

    auto reachability = m_networkReachability;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0), [reachability, callback] {
        SCNetworkReachabilityFlags flags = 0;
        if (SCNetworkReachabilityGetFlags(reachability, &flags))
            flagsDidChange(flags, callback);
    });
}

void PNNetworkReachabilityManager::stopMonitoring()
{
    if (!m_networkReachability)
        return;
    SCNetworkReachabilityUnscheduleFromRunLoop(m_networkReachability, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes);
}

std::vector<std::string> PNNetworkReachabilityManager::keyPathsForValuesAffectingValueForKey(std::string_view key) const
{
    if (key == "reachable" || key == "reachableViaWWAN" || key == "reachableViaWiFi")
        return { "networkReachabilityStatus" };
    return dv::Observable::keyPathsForValuesAffectingValueForKey(key);
}

id PNNetworkReachabilityManager::observedValueForKeyPath(std::string_view keyPath) const
{
    if (keyPath == "networkReachabilityStatus")
        return NSNumber::numberWithInteger(networkReachabilityStatus());
    if (keyPath == "reachable")
        return NSNumber::numberWithBool(isReachable());
    if (keyPath == "reachableViaWWAN")
        return NSNumber::numberWithBool(isReachableViaWWAN());
    if (keyPath == "reachableViaWiFi")
        return NSNumber::numberWithBool(isReachableViaWiFi());
    return dv::Observable::observedValueForKeyPath(keyPath);
}
