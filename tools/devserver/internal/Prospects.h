// The prospect lists by city and by number prefix. They are generated on request rather than
// stored: the prefix list depends on whatever prefix the user types, and a city list is the same
// on every request. Numbers by city are made-up mobile numbers (see fictitiousMobileNumber);
// numbers by prefix are the user's prefix followed by four generated digits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dv::internal::devserver {

struct GeneratedPhone {
    std::string phone;
    std::int64_t phoneId = 0;
    std::int64_t seq = 0;
    std::int64_t createTimeMillis = 0;
};

std::int64_t cityProspectCount(std::int64_t cityId);
std::vector<GeneratedPhone> cityProspects(std::int64_t cityId, std::int64_t page, std::int64_t pageSize);

std::int64_t prefixProspectCount(std::int64_t regionId, const std::string& prefix);
std::vector<GeneratedPhone> prefixProspects(std::int64_t regionId, const std::string& prefix, std::int64_t page, std::int64_t pageSize);

} // namespace dv::internal::devserver
