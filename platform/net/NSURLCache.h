// Responses kept for later requests of the same URL: a memory tier and a disk tier, each bounded
// by its capacity (least recently used entries go first; an entry larger than a twentieth of a
// tier is not kept there). The disk tier lives in a directory under the application's caches
// directory (a relative path) or at an absolute path, one file per entry written atomically.
// Thread-safe. Sessions consult it by their request's cache policy.
//
//   auto cache = alloc<NSURLCache>()->initWithMemoryCapacity(20 << 20, 150 << 20, "images"_ns);
#pragma once

#include "platform/base/NSObject.h"

#include <list>
#include <mutex>
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
    void trimMemory();
    void trimDisk();
    Ref<NSCachedURLResponse> readDisk(const std::string& key);
    void writeDisk(const std::string& key, const Ref<NSCachedURLResponse>& response);

    mutable std::mutex m_mutex;
    NSUInteger m_memoryCapacity = 0;
    NSUInteger m_diskCapacity = 0;
    std::string m_directory;
    std::unordered_map<std::string, MemoryEntry> m_memory;
    std::list<std::string> m_lru; // most recent first
    NSUInteger m_memoryUsage = 0;
};
