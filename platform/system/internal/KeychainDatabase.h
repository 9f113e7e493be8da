// Rows of the keychain database. The public item calls (Security.h) turn dictionaries into these
// rows and back; this class only stores them, inside the transaction its caller opened.
#pragma once

#include "platform/system/SqliteDatabase.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dv::internal::system {

struct KeychainItem {
    std::int64_t rowId = 0;
    std::string itemClass;   // value of kSecClassGenericPassword or kSecClassInternetPassword
    std::string accessGroup;
    std::optional<std::string> account, service, server, protocol, authenticationType, path, securityDomain;
    std::optional<std::int64_t> port;
    bool synchronizable = false;
    std::optional<std::vector<std::uint8_t>> generic;
    std::optional<std::string> label, comment, description;
    std::string accessible;
    std::optional<std::int64_t> accessControlFlags; // present when written with an access control
    std::optional<std::vector<std::uint8_t>> data;
    double creationDate = 0;
    double modificationDate = 0;

    // The primary key of the item's class as one comparable byte string.
    std::string primaryKey() const;
};

class KeychainDatabase {
public:
    // A failure with the reason when the file cannot be opened or is not a keychain database.
    static Result<std::unique_ptr<KeychainDatabase>> open(const std::string& path);

    SqliteDatabase& sql() { return *m_db; }
    Result<std::vector<KeychainItem>> loadClass(const std::string& itemClass);
    // Whether a write stored the item or found another with the same primary key (and changed
    // nothing); any other failure comes with its reason.
    enum class Write { Stored, Duplicate };
    Result<Write> insert(KeychainItem& item);
    Result<Write> update(const KeychainItem& item);
    Result<void> remove(std::int64_t rowId);

private:
    explicit KeychainDatabase(std::unique_ptr<SqliteDatabase> db) : m_db(std::move(db)) { }
    void bindItem(SqliteStatement& st, const KeychainItem& item);
    Result<Write> write(SqliteStatement& st);
    std::unique_ptr<SqliteDatabase> m_db;
};

} // namespace dv::internal::system
