// A stand-in for the platform's reachability references: whether a host name, an address or the
// network in general (the any-address) can be reached, as flags. Flags come from the machine's
// interfaces (an interface up with an address other than loopback makes the network reachable;
// loopback addresses are always reachable and local); host names are not looked up. A reference
// scheduled on a run loop calls its callback there whenever its flags change; a netlink monitor
// notices interface and route changes. Tests can make the machine look offline (no flags, and URL
// loads fail with NSURLErrorNotConnectedToInternet) or force given flags.
//
//   auto target = SCNetworkReachabilityCreateWithName(nil, "example.com");
//   SCNetworkReachabilityFlags flags;
//   if (SCNetworkReachabilityGetFlags(target, &flags) && (flags & kSCNetworkReachabilityFlagsReachable)) ...
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <cstdint>
#include <optional>
#include <string>

struct sockaddr;
class NSRunLoop;
class SCNetworkReachability;

using SCNetworkReachabilityFlags = std::uint32_t;
enum : SCNetworkReachabilityFlags {
    kSCNetworkReachabilityFlagsTransientConnection = 1u << 0,
    kSCNetworkReachabilityFlagsReachable = 1u << 1,
    kSCNetworkReachabilityFlagsConnectionRequired = 1u << 2,
    kSCNetworkReachabilityFlagsConnectionOnTraffic = 1u << 3,
    kSCNetworkReachabilityFlagsInterventionRequired = 1u << 4,
    kSCNetworkReachabilityFlagsConnectionOnDemand = 1u << 5,
    kSCNetworkReachabilityFlagsIsLocalAddress = 1u << 16,
    kSCNetworkReachabilityFlagsIsDirect = 1u << 17,
    kSCNetworkReachabilityFlagsIsWWAN = 1u << 18,
};

struct SCNetworkReachabilityContext {
    long version = 0;
    void* info = nullptr;
    const void* (*retain)(const void* info) = nullptr;
    void (*release)(const void* info) = nullptr;
    Ref<NSString> (*copyDescription)(const void* info) = nullptr;
};

using SCNetworkReachabilityCallBack = void (*)(const Ref<SCNetworkReachability>& target, SCNetworkReachabilityFlags flags, void* info);

class SCNetworkReachability : public NSObject {
    DV_CLASS(SCNetworkReachability, NSObject)

    SCNetworkReachability() = default;
    ~SCNetworkReachability() override;
    Ref<SCNetworkReachability> initWithName(std::string name);
    Ref<SCNetworkReachability> initWithAddress(const sockaddr* address);

    SCNetworkReachabilityFlags currentFlags() const;
    Ref<NSString> description() const override;

    // Used by the scheduling functions and the monitor.
    bool setCallback(SCNetworkReachabilityCallBack callback, const SCNetworkReachabilityContext* context);
    bool schedule(const Ref<NSRunLoop>& runLoop, const std::string& mode);
    bool unschedule(const Ref<NSRunLoop>& runLoop, const std::string& mode);
    void flagsMayHaveChanged();

private:
    // Set by init, read only afterwards.
    enum class Kind { Name, Address } m_kind = Kind::Name;
    std::string m_name;
    bool m_anyAddress = false;
    bool m_loopback = false;

    mutable dv::Mutex m_mutex;
    SCNetworkReachabilityCallBack m_callback DV_GUARDED_BY(m_mutex) = nullptr;
    SCNetworkReachabilityContext m_context DV_GUARDED_BY(m_mutex) = {};
    Ref<NSRunLoop> m_runLoop DV_GUARDED_BY(m_mutex);
    std::string m_mode DV_GUARDED_BY(m_mutex);
    std::optional<SCNetworkReachabilityFlags> m_lastFlags DV_GUARDED_BY(m_mutex);
};
using SCNetworkReachabilityRef = Ref<SCNetworkReachability>;

Ref<SCNetworkReachability> SCNetworkReachabilityCreateWithName(const id& allocator, const char* nodename);
Ref<SCNetworkReachability> SCNetworkReachabilityCreateWithAddress(const id& allocator, const sockaddr* address);
bool SCNetworkReachabilityGetFlags(const Ref<SCNetworkReachability>& target, SCNetworkReachabilityFlags* flags);
bool SCNetworkReachabilitySetCallback(const Ref<SCNetworkReachability>& target, SCNetworkReachabilityCallBack callback,
    SCNetworkReachabilityContext* context);
bool SCNetworkReachabilityScheduleWithRunLoop(const Ref<SCNetworkReachability>& target, const Ref<NSRunLoop>& runLoop, const char* mode);
bool SCNetworkReachabilityUnscheduleFromRunLoop(const Ref<SCNetworkReachability>& target, const Ref<NSRunLoop>& runLoop, const char* mode);

namespace dv {

// While true the machine looks offline: every reference reports no flags and every new URL load
// fails with NSURLErrorNotConnectedToInternet. Scheduled references hear of the change.
void setNetworkSimulatedOffline(bool offline);
bool networkSimulatedOffline();
// Flags every reference reports instead of the machine's (nullopt: the machine's own), for tests
// of code that tells mobile and Wi-Fi apart. Scheduled references hear of the change.
void setNetworkReachabilityFlagsOverride(std::optional<SCNetworkReachabilityFlags> flags);

} // namespace dv
