// Importing a batch of prospects into the address book, against the same people written straight
// into SQLite.
//
// BM_ImportProspects times, round by round over the same 10,000 numbers, the prospect lists'
// import (dv::app::addProspects: one handle, a person per number, one save) into an empty address
// book, and a hand-written load of the same rows (people and their two phone values) into an
// empty database of the same tables with prepared statements in one transaction, both from
// opening the database to its commit. It reports the median per-round ratio import/direct as the
// counter "ratio".
#include "app/directory/prospects/ProspectAddressBook.h"
#include "bench/support/BenchSupport.h"
#include "platform/base/Base.h"
#include "platform/base/NSDate.h"
#include "platform/system/AddressBook.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kNumbers = 10000;

const std::string& home()
{
    static const std::string folder = [] {
        char pattern[] = "/tmp/dvappbench-XXXXXX";
        std::string path = mkdtemp(pattern);
        setenv("DOVRELTA_HOME", path.c_str(), 1);
        return path;
    }();
    return folder;
}

std::vector<Ref<NSString>> numbers()
{
    std::vector<Ref<NSString>> list;
    list.reserve(kNumbers);
    for (int i = 0; i < kNumbers; ++i)
        list.push_back(NSString::stringWithFormat("1380013%04d", i));
    return list;
}

void removeDatabase(const std::string& path)
{
    std::error_code ec;
    for (const char* suffix : { "", "-journal", "-wal", "-shm" })
        std::filesystem::remove(path + suffix, ec);
}

bool exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// The same rows as the import writes, by hand: first and last names empty, the birthday, and the
// phone values "iphone" (the number) and "home" (empty).
bool writeDirectly(const std::string& path, const std::vector<Ref<NSString>>& phones, double birthday)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        return false;
    bool ok = exec(db, "CREATE TABLE IF NOT EXISTS people (id INTEGER PRIMARY KEY AUTOINCREMENT, first TEXT, last TEXT,"
                       " organization TEXT, note TEXT, birthday REAL, has_phones INTEGER NOT NULL DEFAULT 0,"
                       " next_phone INTEGER NOT NULL DEFAULT 0)")
        && exec(db, "CREATE TABLE IF NOT EXISTS phones (person INTEGER NOT NULL REFERENCES people(id) ON DELETE CASCADE,"
                    " position INTEGER NOT NULL, identifier INTEGER NOT NULL, label TEXT, value TEXT NOT NULL,"
                    " PRIMARY KEY (person, position))")
        && exec(db, "BEGIN IMMEDIATE");
    sqlite3_stmt* person = nullptr;
    sqlite3_stmt* phone = nullptr;
    ok = ok
        && sqlite3_prepare_v2(db, "INSERT INTO people (first, last, birthday, has_phones, next_phone) VALUES ('', '', ?1, 1, 2)", -1, &person, nullptr)
            == SQLITE_OK
        && sqlite3_prepare_v2(db, "INSERT INTO phones (person, position, identifier, label, value) VALUES (?1, ?2, ?2, ?3, ?4)", -1, &phone, nullptr)
            == SQLITE_OK;
    for (std::size_t i = 0; ok && i < phones.size(); ++i) {
        sqlite3_reset(person);
        sqlite3_bind_double(person, 1, birthday);
        ok = sqlite3_step(person) == SQLITE_DONE;
        const sqlite3_int64 id = sqlite3_last_insert_rowid(db);
        const std::string number = dv::str(phones[i]);
        const std::pair<const char*, std::string> values[] = { { "iphone", number }, { "home", "" } };
        for (int position = 0; ok && position < 2; ++position) {
            sqlite3_reset(phone);
            sqlite3_bind_int64(phone, 1, id);
            sqlite3_bind_int(phone, 2, position);
            sqlite3_bind_text(phone, 3, values[position].first, -1, SQLITE_STATIC);
            sqlite3_bind_text(phone, 4, values[position].second.c_str(), -1, SQLITE_TRANSIENT);
            ok = sqlite3_step(phone) == SQLITE_DONE;
        }
    }
    sqlite3_finalize(person);
    sqlite3_finalize(phone);
    ok = ok && exec(db, "COMMIT");
    sqlite3_close(db);
    return ok;
}

void BM_ImportProspects(benchmark::State& state)
{
    const std::string book = (home(), dv::AddressBookAccess::databasePath());
    const std::string direct = home() + "/direct.db";
    dv::AddressBookAccess::setStatus(kABAuthorizationStatusAuthorized);
    const auto phones = numbers();
    const auto birthday = NSDate::date();
    std::vector<double> imported, written;
    for (auto _ : state) {
        removeDatabase(book);
        auto start = std::chrono::steady_clock::now();
        const auto result = dv::app::addProspects(phones, birthday);
        imported.push_back(dv::bench::secondsSince(start));
        if (result != dv::app::AddressBookResult::Saved) {
            state.SkipWithError("the import failed");
            return;
        }

        removeDatabase(direct);
        start = std::chrono::steady_clock::now();
        const bool ok = writeDirectly(direct, phones, birthday->timeIntervalSinceReferenceDate());
        written.push_back(dv::bench::secondsSince(start));
        if (!ok) {
            state.SkipWithError("the direct write failed");
            return;
        }
    }
    state.counters["import_ms"] = dv::bench::median(imported) * 1000;
    state.counters["direct_ms"] = dv::bench::median(written) * 1000;
    state.counters["ratio"] = dv::bench::medianRatio(imported, written);
    removeDatabase(book);
    removeDatabase(direct);
}
BENCHMARK(BM_ImportProspects)->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace
