#include "foundation/identity/internal/HardwareAddress.h"

#include "platform/base/Mutex.h"

#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <sys/socket.h>

namespace dv::internal::identity {

namespace {

dv::Mutex s_readerLock;
std::function<HardwareAddress::Result()> s_reader DV_GUARDED_BY(s_readerLock);

HardwareAddress::Result readFromSystem()
{
    HardwareAddress::Result result;
    // No interface at all: the step that looks up the interface fails.
    if (::if_nametoindex("en0") == 0) {
        struct if_nameindex* names = ::if_nameindex();
        const bool none = !names || names[0].if_index == 0;
        if (names)
            ::if_freenameindex(names);
        if (none) {
            result.failure = "if_nametoindex failure";
            return result;
        }
    }
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        result.failure = "sysctl mgmtInfoBase failure";
        return result;
    }
    const ifaddrs* chosen = nullptr;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET)
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        if (link->sll_halen != 6)
            continue;
        bool zero = true;
        for (int i = 0; i < 6; ++i)
            zero = zero && link->sll_addr[i] == 0;
        if (zero)
            continue;
        if (std::strcmp(entry->ifa_name, "en0") == 0) {
            chosen = entry;
            break;
        }
        if (!chosen && !(entry->ifa_flags & IFF_LOOPBACK) && (entry->ifa_flags & IFF_UP))
            chosen = entry;
    }
    if (!chosen) {
        result.failure = "sysctl msgBuffer failure";
    } else {
        HardwareAddress::Bytes bytes {};
        std::memcpy(bytes.data(), reinterpret_cast<const sockaddr_ll*>(chosen->ifa_addr)->sll_addr, bytes.size());
        result.address = bytes;
    }
    ::freeifaddrs(list);
    return result;
}

} // namespace

HardwareAddress::Result HardwareAddress::read()
{
    std::function<Result()> reader;
    {
        dv::MutexLocker lock(s_readerLock);
        reader = s_reader;
    }
    return reader ? reader() : readFromSystem();
}

void HardwareAddress::setReaderForTesting(std::function<Result()> reader)
{
    dv::MutexLocker lock(s_readerLock);
    s_reader = std::move(reader);
}

} // namespace dv::internal::identity
