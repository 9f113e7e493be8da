#include "tools/devserver/internal/Prospects.h"

#include "tools/devserver/internal/SeedData.h"

#include <cstdio>

namespace dv::internal::devserver {

namespace {

constexpr std::int64_t kNewestMillis = 1458475200000;

std::uint64_t mix(std::uint64_t value)
{
    return SeedRandom(value).next();
}

// FNV-1a: a text hash that is the same with every standard library.
std::uint64_t hashText(const std::string& text)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text)
        hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

std::string fourDigits(std::uint64_t value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof(buffer), "%04u", static_cast<unsigned>(value % 10000));
    return buffer;
}

// Rows [page * pageSize, ...) of a list of `count`; empty outside it.
template<typename Make>
std::vector<GeneratedPhone> pageOf(std::int64_t count, std::int64_t page, std::int64_t pageSize, Make make)
{
    std::vector<GeneratedPhone> out;
    if (page < 0 || pageSize <= 0 || page >= (count + pageSize - 1) / pageSize)
        return out;
    for (std::int64_t i = page * pageSize; i < count && i < (page + 1) * pageSize; ++i) {
        GeneratedPhone phone;
        phone.seq = i + 1;
        phone.createTimeMillis = kNewestMillis - i * 60000;
        make(i, phone);
        out.push_back(std::move(phone));
    }
    return out;
}

} // namespace

std::int64_t cityProspectCount(std::int64_t cityId)
{
    return 30 + static_cast<std::int64_t>(mix(static_cast<std::uint64_t>(cityId)) % 91);
}

std::vector<GeneratedPhone> cityProspects(std::int64_t cityId, std::int64_t page, std::int64_t pageSize)
{
    const std::uint64_t cityPrefix = mix(static_cast<std::uint64_t>(cityId) * 31);
    const std::uint64_t cityStart = mix(static_cast<std::uint64_t>(cityId) * 37) % 10000;
    return pageOf(cityProspectCount(cityId), page, pageSize, [&](std::int64_t i, GeneratedPhone& phone) {
        phone.phone = fictitiousMobileNumber(cityPrefix + static_cast<std::uint64_t>(i) / 7, static_cast<std::uint64_t>(i) * 7919 + cityStart);
        phone.phoneId = cityId * 1000 + i + 1;
    });
}

std::int64_t prefixProspectCount(std::int64_t regionId, const std::string& prefix)
{
    std::uint64_t seed = static_cast<std::uint64_t>(regionId) ^ hashText(prefix);
    return 40 + static_cast<std::int64_t>(mix(seed) % 60);
}

std::vector<GeneratedPhone> prefixProspects(std::int64_t regionId, const std::string& prefix, std::int64_t page, std::int64_t pageSize)
{
    std::uint64_t start = mix(static_cast<std::uint64_t>(regionId) + prefix.size()) % 10000;
    // 7919 and 10000 are coprime, so the first 10000 suffixes are all different.
    return pageOf(prefixProspectCount(regionId, prefix), page, pageSize, [&](std::int64_t i, GeneratedPhone& phone) {
        phone.phone = prefix + fourDigits(start + static_cast<std::uint64_t>(i) * 7919);
        phone.phoneId = 900000000 + i + 1;
    });
}

} // namespace dv::internal::devserver
