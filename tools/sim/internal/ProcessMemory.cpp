#include "tools/sim/internal/ProcessMemory.h"

#include "foundation/identity/DIUUID.h"
#include "platform/base/NSArray.h"
#include "platform/net/NSHTTPCookie.h"
#include "platform/net/NSHTTPCookieStorage.h"
#include "platform/net/NSURLCache.h"
#include "push/Lib/Controller/PushService.h"
#include "ui/images/RIImageCache.h"
#include "ui/images/RIWebImageManager.h"
#include "ui/toolkit/keyboard/KBKeyboardManager.h"

namespace dv::internal::sim {

namespace {

// The memory tier goes, the disk tier stays.
void forgetMemoryOf(const Ref<NSURLCache>& cache)
{
    const NSUInteger capacity = cache->memoryCapacity();
    cache->setMemoryCapacity(0);
    cache->setMemoryCapacity(capacity);
}

// The jar lives for the process: a new one starts empty, taking every cookie.
void forgetCookies()
{
    auto jar = NSHTTPCookieStorage::sharedHTTPCookieStorage();
    if (auto cookies = jar->cookies())
        for (const auto& cookie : cookies->items())
            jar->deleteCookie(std::static_pointer_cast<NSHTTPCookie>(cookie));
    jar->setCookieAcceptPolicy(NSHTTPCookieAcceptPolicyAlways);
}

} // namespace

void forgetProcessMemory()
{
    forgetMemoryOf(NSURLCache::sharedURLCache());
    forgetCookies();
    RIWebImageManager::resetSharedManager();
    RIImageCache::sharedImageCache()->clearMemory();
    KBKeyboardManager::resetSharedManager();
    PushService::reset();
    DIUUID::resetSharedInstanceForTesting();
}

} // namespace dv::internal::sim
