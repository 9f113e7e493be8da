#include "platform/system/internal/AddressBookDatabase.h"

#include <map>

namespace dv::internal::system {

namespace {

std::optional<std::string> optionalText(const SqliteStatement& st, int column)
{
    if (st.isNull(column))
        return std::nullopt;
    return st.text(column);
}

} // namespace

Result<std::unique_ptr<AddressBookDatabase>> AddressBookDatabase::open(const std::string& path)
{
    DV_TRY_ASSIGN(auto db, SqliteDatabase::open(path));
    DV_TRY(db->exec("CREATE TABLE IF NOT EXISTS people (id INTEGER PRIMARY KEY AUTOINCREMENT, first TEXT, last TEXT,"
                    " organization TEXT, note TEXT, birthday REAL, has_phones INTEGER NOT NULL DEFAULT 0,"
                    " next_phone INTEGER NOT NULL DEFAULT 0)"));
    DV_TRY(db->exec("CREATE TABLE IF NOT EXISTS phones (person INTEGER NOT NULL REFERENCES people(id) ON DELETE CASCADE,"
                    " position INTEGER NOT NULL, identifier INTEGER NOT NULL, label TEXT, value TEXT NOT NULL,"
                    " PRIMARY KEY (person, position))"));
    // Tables of the right names but the wrong shapes are as unusable as a foreign file.
    for (const char* probe : { "SELECT id, first, last, organization, note, birthday, has_phones, next_phone FROM people LIMIT 0",
                               "SELECT person, position, identifier, label, value FROM phones LIMIT 0" }) {
        if (auto read = db->prepare(probe).next(); !read)
            return std::move(read).failure().context("not an address book database");
    }
    return std::unique_ptr<AddressBookDatabase>(new AddressBookDatabase(std::move(db)));
}

Result<std::vector<PersonRow>> AddressBookDatabase::loadAll()
{
    std::vector<PersonRow> people;
    auto st = m_db->prepare("SELECT id, first, last, organization, note, birthday, has_phones, next_phone FROM people ORDER BY id");
    std::map<std::int64_t, std::size_t> index;
    for (;;) {
        DV_TRY_ASSIGN(bool row, st.next());
        if (!row)
            break;
        PersonRow person;
        person.id = st.int64(0);
        person.firstName = optionalText(st, 1);
        person.lastName = optionalText(st, 2);
        person.organization = optionalText(st, 3);
        person.note = optionalText(st, 4);
        if (!st.isNull(5))
            person.birthday = st.real(5);
        person.hasPhones = st.int64(6) != 0;
        person.nextPhoneIdentifier = static_cast<std::int32_t>(st.int64(7));
        index[person.id] = people.size();
        people.push_back(std::move(person));
    }
    auto phones = m_db->prepare("SELECT person, identifier, label, value FROM phones ORDER BY person, position");
    for (;;) {
        DV_TRY_ASSIGN(bool row, phones.next());
        if (!row)
            return people;
        auto it = index.find(phones.int64(0));
        if (it == index.end())
            continue;
        people[it->second].phones.push_back({ static_cast<std::int32_t>(phones.int64(1)), optionalText(phones, 2), phones.text(3) });
    }
}

SqliteStatement& AddressBookDatabase::statement(SqliteStatement& slot, std::string_view sql)
{
    if (!slot.valid())
        slot = m_db->prepare(sql);
    slot.reset();
    return slot;
}

Result<void> AddressBookDatabase::writePhones(const PersonRow& person, PhoneRows rows)
{
    if (rows == PhoneRows::Replaced) {
        auto& clear = statement(m_deletePhones, "DELETE FROM phones WHERE person = ?1");
        clear.bind(1, person.id);
        DV_TRY(clear.run());
    }
    std::int64_t position = 0;
    for (const auto& phone : person.phones) {
        auto& insert = statement(m_insertPhone, "INSERT INTO phones (person, position, identifier, label, value) VALUES (?1, ?2, ?3, ?4, ?5)");
        insert.bind(1, person.id);
        insert.bind(2, position++);
        insert.bind(3, std::int64_t(phone.identifier));
        insert.bindOptional(4, phone.label);
        insert.bind(5, std::string_view(phone.value));
        DV_TRY(insert.run());
    }
    return {};
}

static void bindPerson(SqliteStatement& st, const PersonRow& person)
{
    st.bindOptional(1, person.firstName);
    st.bindOptional(2, person.lastName);
    st.bindOptional(3, person.organization);
    st.bindOptional(4, person.note);
    if (person.birthday)
        st.bind(5, *person.birthday);
    else
        st.bindNull(5);
    st.bind(6, std::int64_t(person.hasPhones ? 1 : 0));
    st.bind(7, std::int64_t(person.nextPhoneIdentifier));
}

Result<void> AddressBookDatabase::insert(PersonRow& person)
{
    auto& st = statement(m_insertPerson, "INSERT INTO people (first, last, organization, note, birthday, has_phones, next_phone) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    bindPerson(st, person);
    DV_TRY(st.run());
    person.id = m_db->lastInsertRowId();
    return writePhones(person, PhoneRows::New);
}

Result<void> AddressBookDatabase::update(const PersonRow& person)
{
    auto& st = statement(m_updatePerson, "UPDATE people SET first = ?1, last = ?2, organization = ?3, note = ?4, birthday = ?5, has_phones = ?6, next_phone = ?7 WHERE id = ?8");
    bindPerson(st, person);
    st.bind(8, person.id);
    DV_TRY(st.run());
    return writePhones(person, PhoneRows::Replaced);
}

Result<void> AddressBookDatabase::remove(std::int64_t id)
{
    auto& phones = statement(m_deletePhones, "DELETE FROM phones WHERE person = ?1");
    phones.bind(1, id);
    DV_TRY(phones.run());
    auto& people = statement(m_deletePerson, "DELETE FROM people WHERE id = ?1");
    people.bind(1, id);
    return people.run();
}

} // namespace dv::internal::system
