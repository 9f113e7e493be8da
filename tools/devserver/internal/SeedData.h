// What a new server database is filled with: the home tiles and advertisements, the QR codes of
// the directory, the industry categories with their prospects, the authorised agents and the
// contact values; and the named sets of home tiles the server can switch to. Everything is made
// up: titles, nicknames, accounts and company names are invented, and every phone number is a
// mobile prefix followed by the block 0555 (see fictitiousMobileNumber).
//
// The seed is deterministic: the same lists on every machine, so tests may count on them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dv::internal::devserver {

struct HomeCategorySeed {
    std::int64_t categoryId;
    std::string name;
    std::string keyword; // screen number the application dispatches on
    std::int64_t type;   // 1 a screen of the application, 2 a web page
    std::string pageHtml; // body of home/web.do for this category
};

struct AdSeed {
    std::int64_t adId;
    std::string name;
    std::string linkPath; // relative to /DV/
    std::int64_t linkType;
};

struct CodeSeed {
    std::string type; // "3" group, "2" personal, "11" public
    std::string title;
    std::string account;
    std::string nickName;
    std::string descriptions;
    std::int32_t areaId;
    std::string equipId;
    std::string addTime; // "yyyy-MM-dd HH:mm:ss"
};

struct IndustrySeed {
    std::int64_t categoryId;
    std::string name;
    std::string keyword;
    int prospectCount;
};

struct ProspectSeed {
    std::int64_t categoryId;
    std::int64_t industryId;
    std::string companyName;
    std::string phone;
    std::string createTime;
};

struct AgentSeed {
    std::string agentNo; // the agent's 信聊 id
    std::string name;
    std::string region;
    std::string level;
    std::string letterNo;
    std::string validFrom;
    std::string validTo;
};

struct ContactSeed {
    std::string agentPhone;
    std::string buyPhone;
    std::string site;
};

// A named set of home categories. The application keeps only the categories named "信聊加粉",
// "精准加粉" and "行业客源" and opens a screen by a category's keyword, so each set gives those
// three names the keywords of the screens it is about; a few categories the application drops
// come along, as on the real server.
struct TileSetSeed {
    std::string name;    // "prospects", "directory", "information"
    std::string summary; // what the three tiles open, for help texts
    std::vector<HomeCategorySeed> categories;
};

// The sets, the first one being what a new database lists.
const std::vector<TileSetSeed>& tileSetSeeds();
const TileSetSeed* tileSetSeed(std::string_view name);
std::vector<HomeCategorySeed> homeCategorySeeds(); // the first set's categories
std::vector<AdSeed> adSeeds();
std::vector<CodeSeed> codeSeeds();
std::vector<IndustrySeed> industrySeeds();
std::vector<ProspectSeed> prospectSeeds();
std::vector<AgentSeed> agentSeeds();
ContactSeed contactSeed();

// How many codes of each kind the seed holds.
inline constexpr int kSeedGroupCodes = 23;
inline constexpr int kSeedPersonalCodes = 30;
inline constexpr int kSeedPublicCodes = 17;

// An eleven-digit mobile number that no subscriber has: one of the operators' mobile prefixes
// (picked by `prefixChoice`), the block 0555, which this server keeps for made-up numbers, and
// the last four digits of `last`.
std::string fictitiousMobileNumber(std::uint64_t prefixChoice, std::uint64_t last);

// "yyyy-MM-dd HH:mm:ss" of a Unix time in China Standard Time (UTC+8).
std::string formatChinaTime(std::int64_t unixSeconds);

// A small deterministic generator (splitmix64): the seed and the generated phone lists use it so
// that their content does not depend on the standard library's distributions.
class SeedRandom {
public:
    explicit SeedRandom(std::uint64_t seed) : m_state(seed) { }
    std::uint64_t next();
    // Uniform in [0, bound); bound must be positive.
    std::uint64_t below(std::uint64_t bound) { return next() % bound; }

private:
    std::uint64_t m_state;
};

} // namespace dv::internal::devserver
