// PNNetworkReachabilityManager: watches whether a host, an address or the network in general can
// be reached, and through which kind of interface, over a platform reachability reference. Each
// report (on the main queue) stores the status, calls the owner's block and then posts
// PNReachabilityChangeNotificationName. The shared manager watches the network in general; it is
// held by every session manager, and monitors only once an owner calls startMonitoring.
//
//   auto reachability = PNNetworkReachabilityManager::sharedManager();
//   reachability->setReachabilityStatusChangeBlock([](PNReachabilityStatus status) { ... });
//   reachability->startMonitoring();
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/dispatch/Observable.h"
#include "platform/net/SCNetworkReachability.h"

#include <functional>

struct sockaddr;

enum PNReachabilityStatus : NSInteger {
    PNReachabilityStatusUnknown = -1,
    PNReachabilityStatusNotReachable = 0,
    PNReachabilityStatusReachableViaWWAN = 1,
    PNReachabilityStatusReachableViaWiFi = 2,
};

// Posted on the main queue, without object; the status (a number) under the status item key.
extern const Ref<NSString> PNReachabilityChangeNotificationName;   // "com.pellucor.networking.reachability.change"
extern const Ref<NSString> PNReachabilityStatusItemKey;            // "PNNetworkingReachabilityNotificationStatusItem"

// "Not Reachable", "Reachable via WWAN", "Reachable via WiFi", else "Unknown" (localised).
Ref<NSString> PNReachabilityStatusString(NSInteger status);
PNReachabilityStatus PNStatusFromReachabilityFlags(SCNetworkReachabilityFlags flags);

class PNNetworkReachabilityManager : public NSObject, public dv::Observable {
    DV_CLASS(PNNetworkReachabilityManager, NSObject)

public:
    using StatusBlock = std::function<void(PNReachabilityStatus status)>;

    PNNetworkReachabilityManager() = default;
    ~PNNetworkReachabilityManager() override;
    // Takes the reference over (nil gives a manager that never reports).
    Ref<PNNetworkReachabilityManager> initWithReachability(const Ref<SCNetworkReachability>& reachability);
    // Not available: a manager needs a reachability reference.
    Ref<PNNetworkReachabilityManager> init() { return nil; }

    static Ref<PNNetworkReachabilityManager> sharedManager();
    static Ref<PNNetworkReachabilityManager> managerForDomain(const Ref<NSString>& domain);
    static Ref<PNNetworkReachabilityManager> managerForAddress(const sockaddr* address);
    // The network in general (the IPv4 any-address).
    static Ref<PNNetworkReachabilityManager> manager();

    Ref<SCNetworkReachability> networkReachability() const { return m_networkReachability; }
    PNReachabilityStatus networkReachabilityStatus() const;
    void setNetworkReachabilityStatus(PNReachabilityStatus status);
    bool isReachable() const { return isReachableViaWWAN() || isReachableViaWiFi(); }
    bool isReachableViaWWAN() const { return networkReachabilityStatus() == PNReachabilityStatusReachableViaWWAN; }
    bool isReachableViaWiFi() const { return networkReachabilityStatus() == PNReachabilityStatusReachableViaWiFi; }
    Ref<NSString> localizedNetworkReachabilityStatusString() const;

    void setReachabilityStatusChangeBlock(StatusBlock block);

    // Schedules the reference on the main run loop (after stopping any earlier monitoring) and
    // reports the current flags shortly after, from a background queue.
    void startMonitoring();
    // Unschedules the reference; the last status is kept.
    void stopMonitoring();

    std::vector<std::string> keyPathsForValuesAffectingValueForKey(std::string_view key) const override;
    id observedValueForKeyPath(std::string_view keyPath) const override;

private:
    Ref<SCNetworkReachability> m_networkReachability;
    mutable dv::Mutex m_mutex;
    PNReachabilityStatus m_status DV_GUARDED_BY(m_mutex) = PNReachabilityStatusUnknown;
    StatusBlock m_statusBlock DV_GUARDED_BY(m_mutex);
};
