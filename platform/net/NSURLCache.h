// Responses kept for later requests of the same URL: a memory tier and a disk tier, each bounded
// by its capacity (least recently used entries go first; an entry larger than a twentieth of a
// tier is not kept there). The disk tier lives in a directory under the application's caches
// directory (a relative path) or at an absolute path, one file per entry written atomically.
// Thread-safe. Sessions consult it by their request's cache policy.
//
//   auto cache = alloc<NSURLCache>()->initWithMemoryCapacity(20 << 20, 150 << 20, "images"_ns);
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <list>
#include <string>
#include <unordered_map>

class NSCachedURLResponse;
class NSURLRequest;

class NSURLCache : public NSObject {
    DV_CLASS(NSURLCache, NSObject)

    NSURLCache() = default;
    Ref<NSURLCache> initWithMemoryCapacity(NSUInteger memoryCapacity, NSUInteger diskCapacity, const Ref<NSString>& diskPath);
    static Ref<NSURLCache> sharedURLCache();
    static void setSharedURLCache(const Ref<NSURLCache>& cache);

    Ref<NSCachedURLResponse> cachedResponseForRequest(const Ref<NSURLRequest>& request);
    void storeCachedResponse(const Ref<NSCachedURLResponse>& cachedResponse, const Ref<NSURLRequest>& request);
    void removeCachedResponseForRequest(const Ref<NSURLRequest>& request);
    void removeAllCachedResponses();

    NSUInteger memoryCapacity() const;
    NSUInteger diskCapacity() const;
    void setMemoryCapacity(NSUInteger capacity);
    void setDiskCapacity(NSUInteger capacity);
    NSUInteger currentMemoryUsage() const;
    NSUInteger currentDiskUsage() const;
    // The directory of the disk tier ("" when there is none).
    std::string diskDirectory() const;

private:
    struct MemoryEntry {
        Ref<NSCachedURLResponse> response;
        NSUInteger cost = 0;
        std::list<std::string>::iterator order;
    };
    static std::string keyFor(const Ref<NSURLRequest>& request);
    std::string fileFor(const std::string& key) const;
    void trimMemory() DV_REQUIRES(m_mutex);
    void trimDisk() DV_REQUIRES(m_mutex);
    Ref<NSCachedURLResponse> readDisk(const std::string& key) DV_REQUIRES(m_mutex);
    void writeDisk(const std::string& key, const Ref<NSCachedURLResponse>& response) DV_REQUIRES(m_mutex);

    // Set by init, read only afterwards.
    std::string m_directory;

    mutable dv::Mutex m_mutex;
    NSUInteger m_memoryCapacity DV_GUARDED_BY(m_mutex) = 0;
    NSUInteger m_diskCapacity DV_GUARDED_BY(m_mutex) = 0;
    std::unordered_map<std::string, MemoryEntry> m_memory DV_GUARDED_BY(m_mutex);
    std::list<std::string> m_lru DV_GUARDED_BY(m_mutex); // most recent first
    NSUInteger m_memoryUsage DV_GUARDED_BY(m_mutex) = 0;
};
