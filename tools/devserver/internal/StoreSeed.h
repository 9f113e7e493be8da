// The tables of the server's database and what a new one is filled with: one seeder per table,
// each writing inside the transaction its caller opened (the store's first open). Used by the
// store only, on the thread that holds its lock.
#pragma once

#include "platform/base/Result.h"
#include "tools/devserver/internal/Store.h"

#include <string>
#include <utility>
#include <vector>

namespace dv {
class SqliteDatabase;
}

namespace dv::internal::devserver {

// The version a database's `meta` table records; a database of another version is not opened.
inline constexpr const char* kStoreSchemaVersion = "1";

Result<void> createTables(SqliteDatabase& db);
Result<void> seedDistricts(SqliteDatabase& db);
Result<void> seedAds(SqliteDatabase& db);
// Needs the districts, for each code's region name.
Result<void> seedQrCodes(SqliteDatabase& db);
Result<void> seedIndustries(SqliteDatabase& db);
Result<void> seedProspects(SqliteDatabase& db);
Result<void> seedAgents(SqliteDatabase& db);
Result<void> seedSettings(SqliteDatabase& db);
// Last of all: a database without its version is an unfinished one.
Result<void> writeSchemaVersion(SqliteDatabase& db);

// Inserts the home categories with their pages, listed in the given order (the seed's, or one
// that replaces it).
Result<void> insertHomeCategories(SqliteDatabase& db, const std::vector<std::pair<CategoryRecord, std::string>>& categories);

// A region's name as the code's row shows it: the province and city names joined, once for the
// four municipalities whose city bears the province's name ("北京市", not "北京市北京市").
std::string areaNameOf(const std::string& namePath);

} // namespace dv::internal::devserver
