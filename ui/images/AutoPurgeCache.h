// AutoPurgeCache: the image cache's memory store, an NSCache that empties itself when the
// application receives a memory warning. Any thread, as NSCache.
#pragma once

#include "platform/base/NSCache.h"
#include "platform/dispatch/NSNotification.h"

class AutoPurgeCache : public NSCache {
    DV_CLASS(AutoPurgeCache, NSCache)

    AutoPurgeCache() = default;
    ~AutoPurgeCache() override;
    // Starts listening for memory warnings; the registration ends with the cache.
    Ref<AutoPurgeCache> init();

private:
    void handleMemoryWarning(const Ref<NSNotification>& notification);
};
