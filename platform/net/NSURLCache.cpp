#include "platform/net/NSURLCache.h"

#include "platform/base/AtomicFile.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/internal/CachePaths.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

DV_DEFINE_CLASS(NSURLCache)

namespace fs = std::filesystem;

namespace {

dv::Mutex s_sharedMutex;
dv::Uncounted<NSURLCache> s_shared DV_GUARDED_BY(s_sharedMutex); // the default one made on first use, or the one set

constexpr char kMagic[] = "DVURLCACHE1";

void writeString(std::string& out, const std::string& s)
{
    std::uint64_t n = s.size();
    out.append(reinterpret_cast<const char*>(&n), sizeof(n));
    out += s;
}

bool readString(const std::string& in, size_t& pos, std::string& s)
{
    std::uint64_t n = 0;
    if (pos + sizeof(n) > in.size())
        return false;
    std::memcpy(&n, in.data() + pos, sizeof(n));
    pos += sizeof(n);
    if (n > in.size() - pos)
        return false;
    s.assign(in, pos, static_cast<size_t>(n));
    pos += static_cast<size_t>(n);
    return true;
}

} // namespace

Ref<NSURLCache> NSURLCache::initWithMemoryCapacity(NSUInteger memoryCapacity, NSUInteger diskCapacity, const Ref<NSString>& diskPath)
{
    {
        dv::MutexLocker lock(m_mutex);
        m_memoryCapacity = memoryCapacity;
        m_diskCapacity = diskCapacity;
    }
    if (diskCapacity > 0) {
        std::string path = diskPath && diskPath->length() ? diskPath->utf8() : "dovrelta.urlcache";
        m_directory = path.front() == '/' ? path : (fs::path(dv::internal::net::cachesDirectoryPath()) / path).string();
        // Entries a killed process was writing are of no use to anyone.
        dv::removeStaleTemporaries(m_directory);
    }
    return self<NSURLCache>();
}

Ref<NSURLCache> NSURLCache::sharedURLCache()
{
    dv::MutexLocker lock(s_sharedMutex);
    if (!s_shared.get())
        s_shared.make([] { return alloc<NSURLCache>()->initWithMemoryCapacity(4 << 20, 20 << 20, nil); });
    return s_shared.get();
}

void NSURLCache::setSharedURLCache(const Ref<NSURLCache>& cache)
{
    dv::MutexLocker lock(s_sharedMutex);
    s_shared.make([&] { return cache; });
}

std::string NSURLCache::keyFor(const Ref<NSURLRequest>& request)
{
    if (!request || !request->URL() || request->HTTPMethod()->utf8() != "GET")
        return {};
    return request->URL()->absoluteString()->utf8();
}

std::string NSURLCache::fileFor(const std::string& key) const
{
    char name[32];
    std::snprintf(name, sizeof(name), "%016zx", std::hash<std::string>()(key));
    return (fs::path(m_directory) / name).string();
}

Ref<NSCachedURLResponse> NSURLCache::cachedResponseForRequest(const Ref<NSURLRequest>& request)
{
    auto key = keyFor(request);
    if (key.empty())
        return nullptr;
    dv::MutexLocker lock(m_mutex);
    auto found = m_memory.find(key);
    if (found != m_memory.end()) {
        m_lru.splice(m_lru.begin(), m_lru, found->second.order);
        return found->second.response;
    }
    return readDisk(key);
}

void NSURLCache::storeCachedResponse(const Ref<NSCachedURLResponse>& cachedResponse, const Ref<NSURLRequest>& request)
{
    auto key = keyFor(request);
    if (key.empty() || !cachedResponse || cachedResponse->storagePolicy() == NSURLCacheStorageNotAllowed)
        return;
    NSUInteger cost = cachedResponse->data()->length() + 512;
    dv::MutexLocker lock(m_mutex);
    if (auto old = m_memory.find(key); old != m_memory.end()) {
        m_memoryUsage -= old->second.cost;
        m_lru.erase(old->second.order);
        m_memory.erase(old);
    }
    if (cost <= m_memoryCapacity / 20) {
        m_lru.push_front(key);
        m_memory[key] = { cachedResponse, cost, m_lru.begin() };
        m_memoryUsage += cost;
        trimMemory();
    }
    if (cachedResponse->storagePolicy() == NSURLCacheStorageAllowed && !m_directory.empty() && cost <= m_diskCapacity / 20) {
        writeDisk(key, cachedResponse);
        trimDisk();
    }
}

void NSURLCache::removeCachedResponseForRequest(const Ref<NSURLRequest>& request)
{
    auto key = keyFor(request);
    if (key.empty())
        return;
    dv::MutexLocker lock(m_mutex);
    if (auto old = m_memory.find(key); old != m_memory.end()) {
        m_memoryUsage -= old->second.cost;
        m_lru.erase(old->second.order);
        m_memory.erase(old);
    }
    if (!m_directory.empty()) {
        std::error_code ignored;
        fs::remove(fileFor(key), ignored);
    }
}

void NSURLCache::removeAllCachedResponses()
{
    dv::MutexLocker lock(m_mutex);
    m_memory.clear();
    m_lru.clear();
    m_memoryUsage = 0;
    if (!m_directory.empty()) {
        std::error_code ignored;
        for (auto& entry : fs::directory_iterator(m_directory, ignored))
            fs::remove(entry.path(), ignored);
    }
}

void NSURLCache::trimMemory()
{
    while (m_memoryUsage > m_memoryCapacity && !m_lru.empty()) {
        auto key = m_lru.back();
        m_lru.pop_back();
        auto found = m_memory.find(key);
        m_memoryUsage -= found->second.cost;
        m_memory.erase(found);
    }
}

void NSURLCache::trimDisk()
{
    std::error_code ec;
    std::vector<std::pair<fs::file_time_type, fs::path>> files;
    std::uintmax_t total = 0;
    for (auto& entry : fs::directory_iterator(m_directory, ec)) {
        // Another process's entry on its way in is not ours to count or evict.
        if (!entry.is_regular_file(ec) || dv::isAtomicWriteTemporary(entry.path().filename().string()))
            continue;
        total += entry.file_size(ec);
        files.emplace_back(entry.last_write_time(ec), entry.path());
    }
    std::sort(files.begin(), files.end());
    for (auto& [when, path] : files) {
        if (total <= m_diskCapacity)
            break;
        total -= std::min<std::uintmax_t>(total, fs::file_size(path, ec));
        fs::remove(path, ec);
    }
}

void NSURLCache::writeDisk(const std::string& key, const Ref<NSCachedURLResponse>& cached)
{
    auto http = dv::as<NSHTTPURLResponse>(cached->response());
    if (!http)
        return;
    std::string out(kMagic, sizeof(kMagic));
    writeString(out, key);
    writeString(out, http->URL() ? http->URL()->absoluteString()->utf8() : key);
    writeString(out, std::to_string(http->statusCode()));
    writeString(out, std::to_string(http->receivedFields().size()));
    for (auto& [name, value] : http->receivedFields()) {
        writeString(out, name);
        writeString(out, value);
    }
    writeString(out, std::string(cached->data()->view()));

    std::error_code ec;
    fs::create_directories(m_directory, ec);
    // A failed write leaves the previous entry (or none); the cache is only a cache.
    (void)dv::writeFileAtomically(fileFor(key), out);
}

Ref<NSCachedURLResponse> NSURLCache::readDisk(const std::string& key)
{
    if (m_directory.empty())
        return nullptr;
    std::ifstream file(fileFor(key), std::ios::binary);
    if (!file)
        return nullptr;
    std::string in((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // A damaged or foreign file is a miss, never a crash.
    if (in.size() < sizeof(kMagic) || in.compare(0, sizeof(kMagic), std::string(kMagic, sizeof(kMagic))) != 0)
        return nullptr;
    size_t pos = sizeof(kMagic);
    std::string storedKey, url, status, count, body;
    if (!readString(in, pos, storedKey) || storedKey != key || !readString(in, pos, url) || !readString(in, pos, status) || !readString(in, pos, count))
        return nullptr;
    std::vector<std::pair<std::string, std::string>> fields;
    long n = std::strtol(count.c_str(), nullptr, 10);
    if (n < 0 || n > 10000)
        return nullptr;
    for (long i = 0; i < n; ++i) {
        std::string name, value;
        if (!readString(in, pos, name) || !readString(in, pos, value))
            return nullptr;
        fields.emplace_back(std::move(name), std::move(value));
    }
    if (!readString(in, pos, body))
        return nullptr;
    auto response = alloc<NSHTTPURLResponse>()->initWithURL(NSURL::URLWithString(NSString::fromUTF8(url)),
        std::strtol(status.c_str(), nullptr, 10), std::move(fields));
    return alloc<NSCachedURLResponse>()->initWithResponse(response, NSData::fromString(body));
}

NSUInteger NSURLCache::memoryCapacity() const { dv::MutexLocker lock(m_mutex); return m_memoryCapacity; }
NSUInteger NSURLCache::diskCapacity() const { dv::MutexLocker lock(m_mutex); return m_diskCapacity; }
void NSURLCache::setMemoryCapacity(NSUInteger capacity) { dv::MutexLocker lock(m_mutex); m_memoryCapacity = capacity; trimMemory(); }
void NSURLCache::setDiskCapacity(NSUInteger capacity) { dv::MutexLocker lock(m_mutex); m_diskCapacity = capacity; if (!m_directory.empty()) trimDisk(); }
NSUInteger NSURLCache::currentMemoryUsage() const { dv::MutexLocker lock(m_mutex); return m_memoryUsage; }
std::string NSURLCache::diskDirectory() const { return m_directory; }

NSUInteger NSURLCache::currentDiskUsage() const
{
    dv::MutexLocker lock(m_mutex);
    std::error_code ec;
    NSUInteger total = 0;
    if (m_directory.empty())
        return 0;
    for (auto& entry : fs::directory_iterator(m_directory, ec)) {
        if (entry.is_regular_file(ec))
            total += entry.file_size(ec);
    }
    return total;
}
