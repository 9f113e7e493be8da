// The region tree the server hands to the region pickers: every province-level division of the
// country with its prefecture-level cities (and the county-level units that report to a province
// directly), under the national administrative division codes. Hong Kong, Macao and Taiwan are
// listed as provinces without cities.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace dv::internal::devserver {

struct Region {
    std::int32_t code;     // national division code, e.g. 440100
    std::string_view name; // e.g. "广州市"
    char initial;          // first letter of the name's pinyin, upper case
};

// Provinces in code order.
std::span<const Region> provinces();
// Cities of every province, in code order; a city's province is code / 10000 * 10000.
std::span<const Region> cities();

inline std::int32_t provinceCodeOf(std::int32_t cityCode) { return cityCode / 10000 * 10000; }

} // namespace dv::internal::devserver
