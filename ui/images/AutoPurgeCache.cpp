#include "ui/images/AutoPurgeCache.h"

#include "platform/base/ClassBuilder.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/ui/UIApplication.h"

DV_DEFINE_CLASS(AutoPurgeCache)

Ref<AutoPurgeCache> AutoPurgeCache::init()
{
    NSCache::init();
    auto self = this->self<AutoPurgeCache>();
    NSNotificationCenter::defaultCenter()->addObserver(self, &AutoPurgeCache::handleMemoryWarning,
        UIApplicationDidReceiveMemoryWarningNotification, nil);
    return self;
}

AutoPurgeCache::~AutoPurgeCache() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

void AutoPurgeCache::handleMemoryWarning(const Ref<NSNotification>&) { removeAllObjects(); }
