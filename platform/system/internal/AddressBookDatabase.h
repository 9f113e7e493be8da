// Rows of the address-book database: people and their phone entries. The caller opens the
// transaction (one per save). The statements are prepared once per connection and kept, since a
// save may write thousands of people.
#pragma once

#include "platform/system/SqliteDatabase.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dv::internal::system {

struct PhoneRow {
    std::int32_t identifier = 0;
    std::optional<std::string> label;
    std::string value;
};

struct PersonRow {
    std::int64_t id = -1;
    std::optional<std::string> firstName, lastName, organization, note;
    std::optional<double> birthday; // seconds since the reference date
    bool hasPhones = false;
    std::int32_t nextPhoneIdentifier = 0;
    std::vector<PhoneRow> phones;
};

class AddressBookDatabase {
public:
    // A failure with the reason when the file cannot be opened or is not an address book.
    static Result<std::unique_ptr<AddressBookDatabase>> open(const std::string& path);

    SqliteDatabase& sql() { return *m_db; }
    Result<std::vector<PersonRow>> loadAll();
    Result<void> insert(PersonRow& person); // sets person.id
    Result<void> update(const PersonRow& person);
    Result<void> remove(std::int64_t id);

private:
    explicit AddressBookDatabase(std::unique_ptr<SqliteDatabase> db) : m_db(std::move(db)) { }
    // A new person has no phone rows yet: nothing to clear before writing them.
    enum class PhoneRows { New, Replaced };
    Result<void> writePhones(const PersonRow& person, PhoneRows rows);
    // The kept statement, prepared on first use and reset for the next one; a statement that
    // cannot be prepared is tried again next time, and reports why when it runs.
    SqliteStatement& statement(SqliteStatement& slot, std::string_view sql);

    std::unique_ptr<SqliteDatabase> m_db;
    // Declared after the connection, so finalized before it closes.
    SqliteStatement m_insertPerson, m_updatePerson, m_deletePerson, m_insertPhone, m_deletePhones;
};

} // namespace dv::internal::system
