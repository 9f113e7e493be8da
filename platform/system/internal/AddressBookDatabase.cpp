#include "platform/system/internal/AddressBookDatabase.h"

#include <map>

namespace dv::internal {

namespace {

using Step = SqliteStatement::Step;

std::optional<std::string> optionalText(const SqliteStatement& st, int column)
{
    if (st.isNull(column))
        return std::nullopt;
    return st.text(column);
}

} // namespace

std::unique_ptr<AddressBookDatabase> AddressBookDatabase::open(const std::string& path, std::string& error)
{
    auto db = SqliteDatabase::open(path, error);
    if (!db)
        return nullptr;
    if (!db->exec("CREATE TABLE IF NOT EXISTS people (id INTEGER PRIMARY KEY AUTOINCREMENT, first TEXT, last TEXT,"
                  " organization TEXT, note TEXT, birthday REAL, has_phones INTEGER NOT NULL DEFAULT 0,"
                  " next_phone INTEGER NOT NULL DEFAULT 0)")
        || !db->exec("CREATE TABLE IF NOT EXISTS phones (person INTEGER NOT NULL REFERENCES people(id) ON DELETE CASCADE,"
                     " position INTEGER NOT NULL, identifier INTEGER NOT NULL, label TEXT, value TEXT NOT NULL,"
                     " PRIMARY KEY (person, position))")) {
        error = db->lastError();
        return nullptr;
    }
    if (!db->prepare("SELECT id, first, last, organization, note, birthday, has_phones, next_phone FROM people LIMIT 0").valid()
        || !db->prepare("SELECT person, position, identifier, label, value FROM phones LIMIT 0").valid()) {
        error = "not an address book database: " + db->lastError();
        return nullptr;
    }
    return std::unique_ptr<AddressBookDatabase>(new AddressBookDatabase(std::move(db)));
}

bool AddressBookDatabase::loadAll(std::vector<PersonRow>& people)
{
    auto st = m_db->prepare("SELECT id, first, last, organization, note, birthday, has_phones, next_phone FROM people ORDER BY id");
    if (!st.valid())
        return false;
    std::map<std::int64_t, std::size_t> index;
    for (;;) {
        auto step = st.step();
        if (step == Step::Error)
            return false;
        if (step == Step::Done)
            break;
        PersonRow row;
        row.id = st.int64(0);
        row.firstName = optionalText(st, 1);
        row.lastName = optionalText(st, 2);
        row.organization = optionalText(st, 3);
        row.note = optionalText(st, 4);
        if (!st.isNull(5))
            row.birthday = st.real(5);
        row.hasPhones = st.int64(6) != 0;
        row.nextPhoneIdentifier = static_cast<std::int32_t>(st.int64(7));
        index[row.id] = people.size();
        people.push_back(std::move(row));
    }
    auto phones = m_db->prepare("SELECT person, identifier, label, value FROM phones ORDER BY person, position");
    if (!phones.valid())
        return false;
    for (;;) {
        auto step = phones.step();
        if (step == Step::Error)
            return false;
        if (step == Step::Done)
            return true;
        auto it = index.find(phones.int64(0));
        if (it == index.end())
            continue;
        people[it->second].phones.push_back({ static_cast<std::int32_t>(phones.int64(1)), optionalText(phones, 2), phones.text(3) });
    }
}

SqliteStatement* AddressBookDatabase::statement(SqliteStatement& slot, std::string_view sql)
{
    if (!slot.valid())
        slot = m_db->prepare(sql);
    if (!slot.valid())
        return nullptr;
    slot.reset();
    return &slot;
}

bool AddressBookDatabase::writePhones(const PersonRow& person, PhoneRows rows)
{
    if (rows == PhoneRows::Replaced) {
        auto clear = statement(m_deletePhones, "DELETE FROM phones WHERE person = ?1");
        if (!clear)
            return false;
        clear->bind(1, person.id);
        if (clear->step() != Step::Done)
            return false;
    }
    std::int64_t position = 0;
    for (const auto& phone : person.phones) {
        auto insert = statement(m_insertPhone, "INSERT INTO phones (person, position, identifier, label, value) VALUES (?1, ?2, ?3, ?4, ?5)");
        if (!insert)
            return false;
        insert->bind(1, person.id);
        insert->bind(2, position++);
        insert->bind(3, std::int64_t(phone.identifier));
        insert->bindOptional(4, phone.label);
        insert->bind(5, std::string_view(phone.value));
        if (insert->step() != Step::Done)
            return false;
    }
    return true;
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

bool AddressBookDatabase::insert(PersonRow& person)
{
    auto st = statement(m_insertPerson, "INSERT INTO people (first, last, organization, note, birthday, has_phones, next_phone) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    if (!st)
        return false;
    bindPerson(*st, person);
    if (st->step() != Step::Done)
        return false;
    person.id = m_db->lastInsertRowId();
    return writePhones(person, PhoneRows::New);
}

bool AddressBookDatabase::update(const PersonRow& person)
{
    auto st = statement(m_updatePerson, "UPDATE people SET first = ?1, last = ?2, organization = ?3, note = ?4, birthday = ?5, has_phones = ?6, next_phone = ?7 WHERE id = ?8");
    if (!st)
        return false;
    bindPerson(*st, person);
    st->bind(8, person.id);
    return st->step() == Step::Done && writePhones(person, PhoneRows::Replaced);
}

bool AddressBookDatabase::remove(std::int64_t id)
{
    auto phones = statement(m_deletePhones, "DELETE FROM phones WHERE person = ?1");
    if (!phones)
        return false;
    phones->bind(1, id);
    if (phones->step() != Step::Done)
        return false;
    auto people = statement(m_deletePerson, "DELETE FROM people WHERE id = ?1");
    if (!people)
        return false;
    people->bind(1, id);
    return people->step() == Step::Done;
}

} // namespace dv::internal
