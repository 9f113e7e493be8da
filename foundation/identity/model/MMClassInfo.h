// MMClassInfo: the description of one registered class (or metaclass) for the model mapping: its
// identity, superclass chain and its own ivars, methods and properties, read from the runtime's
// class descriptors. One description per class, cached for the life of the process; after the
// first request a lookup takes no lock. Any thread may ask and read.
//
//   Ref<MMClassInfo> info = MMClassInfo::classInfoWithClass(VQCityModel::class_());
//   auto title = dv::as<MMClassPropertyInfo>(info->propertyInfos()->objectForKey("title"));
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSDictionary.h"

#include <atomic>

class MMClassInfo : public NSObject {
    DV_CLASS(MMClassInfo, NSObject)

    MMClassInfo() = default;

    // The cached description; nil for Nil or a name that names no class.
    static Ref<MMClassInfo> classInfoWithClass(Class cls);
    static Ref<MMClassInfo> classInfoWithClassName(const Ref<NSString>& className);

    // Builds a description (the cache's job; nil for Nil).
    Ref<MMClassInfo> initWithClass(Class cls);
    // Marks the member dictionaries stale, after members were added to the class; the next
    // classInfoWithClass: refreshes them.
    void setNeedUpdate();
    bool needUpdate() const { return m_needUpdate.load(std::memory_order_acquire); }

    Class cls() const { return m_cls; }
    Class superCls() const { return m_superCls; }
    Class metaCls() const { return m_metaCls; }
    bool isMeta() const { return m_isMeta; }
    Ref<NSString> name() const { return m_name; }
    Ref<MMClassInfo> superClassInfo() const { return m_superClassInfo; }

    // Only the class's own members, keyed by name; nil when it has none of a kind.
    Ref<NSDictionary> ivarInfos() const;
    Ref<NSDictionary> methodInfos() const;
    Ref<NSDictionary> propertyInfos() const;

private:
    void update();

    Class m_cls = Nil;
    Class m_superCls = Nil;
    Class m_metaCls = Nil;
    bool m_isMeta = false;
    Ref<NSString> m_name;
    Ref<MMClassInfo> m_superClassInfo;

    mutable dv::Mutex m_membersMutex; // a refresh may replace the dictionaries under readers
    Ref<NSDictionary> m_ivarInfos DV_GUARDED_BY(m_membersMutex);
    Ref<NSDictionary> m_methodInfos DV_GUARDED_BY(m_membersMutex);
    Ref<NSDictionary> m_propertyInfos DV_GUARDED_BY(m_membersMutex);
    std::atomic<bool> m_needUpdate { false };
};
