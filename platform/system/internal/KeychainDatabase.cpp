#include "platform/system/internal/KeychainDatabase.h"

namespace dv::internal::system {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS items ("
    " rowid INTEGER PRIMARY KEY, pkey BLOB NOT NULL UNIQUE, class TEXT NOT NULL, agrp TEXT NOT NULL,"
    " acct TEXT, svce TEXT, srvr TEXT, ptcl TEXT, atyp TEXT, port INTEGER, path TEXT, sdmn TEXT,"
    " sync INTEGER NOT NULL, gena BLOB, labl TEXT, icmt TEXT, descr TEXT, pdmn TEXT NOT NULL,"
    " accc INTEGER, data BLOB, cdat REAL NOT NULL, mdat REAL NOT NULL)";

constexpr const char* kColumns =
    "class, agrp, acct, svce, srvr, ptcl, atyp, port, path, sdmn, sync, gena, labl, icmt, descr, pdmn, accc, data, cdat, mdat, pkey";

void appendField(std::string& key, const std::optional<std::string>& value)
{
    const std::string& text = value ? *value : std::string();
    key += std::to_string(text.size());
    key += ':';
    key += text;
}

std::optional<std::string> optionalText(const SqliteStatement& st, int column)
{
    if (st.isNull(column))
        return std::nullopt;
    return st.text(column);
}

} // namespace

std::string KeychainItem::primaryKey() const
{
    std::string key = itemClass + "|";
    appendField(key, accessGroup);
    appendField(key, account);
    if (itemClass == "inet") {
        appendField(key, server);
        appendField(key, protocol);
        appendField(key, authenticationType);
        appendField(key, port ? std::optional<std::string>(std::to_string(*port)) : std::nullopt);
        appendField(key, path);
        appendField(key, securityDomain);
    } else {
        appendField(key, service);
    }
    key += synchronizable ? "|1" : "|0";
    return key;
}

Result<std::unique_ptr<KeychainDatabase>> KeychainDatabase::open(const std::string& path)
{
    DV_TRY_ASSIGN(auto db, SqliteDatabase::open(path));
    DV_TRY(db->exec(kSchema));
    // A table of the right name but the wrong shape is as unusable as a foreign file.
    auto probe = db->prepare(std::string("SELECT rowid, ") + kColumns + " FROM items LIMIT 0");
    if (auto read = probe.next(); !read)
        return std::move(read).failure().context("not a keychain database");
    return std::unique_ptr<KeychainDatabase>(new KeychainDatabase(std::move(db)));
}

Result<std::vector<KeychainItem>> KeychainDatabase::loadClass(const std::string& itemClass)
{
    auto st = m_db->prepare(std::string("SELECT rowid, ") + kColumns + " FROM items WHERE class = ?1 ORDER BY rowid");
    st.bind(1, std::string_view(itemClass));
    std::vector<KeychainItem> items;
    for (;;) {
        DV_TRY_ASSIGN(bool row, st.next());
        if (!row)
            return items;
        KeychainItem item;
        item.rowId = st.int64(0);
        item.itemClass = st.text(1);
        item.accessGroup = st.text(2);
        item.account = optionalText(st, 3);
        item.service = optionalText(st, 4);
        item.server = optionalText(st, 5);
        item.protocol = optionalText(st, 6);
        item.authenticationType = optionalText(st, 7);
        if (!st.isNull(8))
            item.port = st.int64(8);
        item.path = optionalText(st, 9);
        item.securityDomain = optionalText(st, 10);
        item.synchronizable = st.int64(11) != 0;
        if (!st.isNull(12))
            item.generic = st.blob(12);
        item.label = optionalText(st, 13);
        item.comment = optionalText(st, 14);
        item.description = optionalText(st, 15);
        item.accessible = st.text(16);
        if (!st.isNull(17))
            item.accessControlFlags = st.int64(17);
        if (!st.isNull(18))
            item.data = st.blob(18);
        item.creationDate = st.real(19);
        item.modificationDate = st.real(20);
        items.push_back(std::move(item));
    }
}

void KeychainDatabase::bindItem(SqliteStatement& st, const KeychainItem& item)
{
    st.bind(1, std::string_view(item.itemClass));
    st.bind(2, std::string_view(item.accessGroup));
    st.bindOptional(3, item.account);
    st.bindOptional(4, item.service);
    st.bindOptional(5, item.server);
    st.bindOptional(6, item.protocol);
    st.bindOptional(7, item.authenticationType);
    if (item.port)
        st.bind(8, *item.port);
    else
        st.bindNull(8);
    st.bindOptional(9, item.path);
    st.bindOptional(10, item.securityDomain);
    st.bind(11, std::int64_t(item.synchronizable ? 1 : 0));
    if (item.generic)
        st.bindBlob(12, *item.generic);
    else
        st.bindNull(12);
    st.bindOptional(13, item.label);
    st.bindOptional(14, item.comment);
    st.bindOptional(15, item.description);
    st.bind(16, std::string_view(item.accessible));
    if (item.accessControlFlags)
        st.bind(17, *item.accessControlFlags);
    else
        st.bindNull(17);
    if (item.data)
        st.bindBlob(18, *item.data);
    else
        st.bindNull(18);
    st.bind(19, item.creationDate);
    st.bind(20, item.modificationDate);
    std::string key = item.primaryKey();
    st.bindBlob(21, std::vector<std::uint8_t>(key.begin(), key.end()));
}

Result<KeychainDatabase::Write> KeychainDatabase::write(SqliteStatement& st)
{
    if (auto ran = st.run(); !ran) {
        if (ran.reason().find("UNIQUE") != std::string::npos)
            return Write::Duplicate;
        return std::move(ran).failure();
    }
    return Write::Stored;
}

Result<KeychainDatabase::Write> KeychainDatabase::insert(KeychainItem& item)
{
    auto st = m_db->prepare(std::string("INSERT INTO items (") + kColumns
                            + ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21)");
    bindItem(st, item);
    DV_TRY_ASSIGN(Write written, write(st));
    if (written == Write::Stored)
        item.rowId = m_db->lastInsertRowId();
    return written;
}

Result<KeychainDatabase::Write> KeychainDatabase::update(const KeychainItem& item)
{
    auto st = m_db->prepare(
        "UPDATE items SET class = ?1, agrp = ?2, acct = ?3, svce = ?4, srvr = ?5, ptcl = ?6, atyp = ?7, port = ?8,"
        " path = ?9, sdmn = ?10, sync = ?11, gena = ?12, labl = ?13, icmt = ?14, descr = ?15, pdmn = ?16, accc = ?17,"
        " data = ?18, cdat = ?19, mdat = ?20, pkey = ?21 WHERE rowid = ?22");
    bindItem(st, item);
    st.bind(22, item.rowId);
    return write(st);
}

Result<void> KeychainDatabase::remove(std::int64_t rowId)
{
    auto st = m_db->prepare("DELETE FROM items WHERE rowid = ?1");
    st.bind(1, rowId);
    return st.run();
}

} // namespace dv::internal::system
