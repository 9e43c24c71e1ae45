#include "env/Hive.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <cstring>
#include <sqlite3.h>

namespace {

// Writers wait this long for another process's transaction before giving up.
constexpr int kBusyTimeoutMs = 30000;

QString environmentPath(const char* name) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString() : QDir::cleanPath(value);
}

QString userConfigFolder() {
    // XDG: a relative XDG_CONFIG_HOME is invalid and ignored.
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
}

QStringList splitKeyPath(const QString& path) {
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

} // namespace

QString hiveFilePath(HiveRoot root) {
    if (root == HiveRoot::LocalMachine) {
        const QString over = environmentPath("DOLVANE_MACHINE_HIVE");
        return over.isEmpty() ? QStringLiteral("/var/lib/velmora/registry.sqlite") : over;
    }
    const QString over = environmentPath("DOLVANE_USER_HIVE");
    return over.isEmpty() ? userConfigFolder() + QStringLiteral("/velmora/registry.sqlite") : over;
}

QString hiveRootName(HiveRoot root) {
    return root == HiveRoot::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                          : QStringLiteral("HKEY_CURRENT_USER");
}

QString hiveNameKey(const QString& name) {
    // One code point at a time, like the registry's own upper-case table ("ß" stays "ß").
    QString result;
    result.reserve(name.size());
    for (const char32_t c : name.toUcs4()) {
        const char32_t upper = QChar::toUpper(c);
        result += QString::fromUcs4(&upper, 1);
    }
    return result;
}

HiveValue HiveValue::fromText(const QString& name, const QString& text, int type) {
    HiveValue v;
    v.name = name;
    v.type = type;
    v.text = text;
    return v;
}

HiveValue HiveValue::fromInteger(const QString& name, qint32 value) {
    HiveValue v;
    v.name = name;
    v.type = RegType::DWord;
    v.integer = value;
    return v;
}

HiveValue HiveValue::fromBytes(const QString& name, const QByteArray& bytes, int type) {
    HiveValue v;
    v.name = name;
    v.type = type;
    v.bytes = bytes;
    return v;
}

HiveValue HiveValue::fromDouble(const QString& name, double value) {
    // The float kind is the 8 bytes of an IEEE 754 double, little-endian.
    QByteArray raw(8, '\0');
    qToLittleEndian(value, raw.data());
    return fromBytes(name, raw, RegType::Binary);
}

bool HiveValue::sameData(const HiveValue& other) const {
    if (type != other.type)
        return false;
    if (isText())
        return text == other.text;
    if (type == RegType::DWord)
        return integer == other.integer;
    return bytes == other.bytes;
}

// A prepared statement, finalized on every way out.
class Hive::Statement final {
public:
    Statement(const Hive& hive, const char* sql) : fHive(hive) {
        if (sqlite3_prepare_v2(hive.fDb.get(), sql, -1, &fStmt, nullptr) != SQLITE_OK)
            hive.fail(QStringLiteral("Cannot read the settings hive"));
    }
    ~Statement() { sqlite3_finalize(fStmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, qint64 value) {
        check(sqlite3_bind_int64(fStmt, index, value));
        return *this;
    }
    Statement& bind(int index, const QString& value) {
        const QByteArray utf8 = value.toUtf8();
        check(
            sqlite3_bind_text(fStmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bindData(int index, const HiveValue& value) {
        if (value.isText())
            return bind(index, value.text);
        if (value.type == RegType::DWord)
            return bind(index, qint64(value.integer));
        // An empty blob must stay a blob, not NULL.
        if (value.bytes.isEmpty())
            check(sqlite3_bind_zeroblob(fStmt, index, 0));
        else
            check(sqlite3_bind_blob(fStmt, index, value.bytes.constData(), int(value.bytes.size()),
                                    SQLITE_TRANSIENT));
        return *this;
    }

    // True while a row is available.
    bool step() {
        const int rc = sqlite3_step(fStmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        fHive.fail(QStringLiteral("Settings hive access failed"));
    }
    void run() {
        while (step()) {
        }
    }

    qint64 integer(int column) const { return sqlite3_column_int64(fStmt, column); }
    QString text(int column) const {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(fStmt, column));
        return QString::fromUtf8(data, sqlite3_column_bytes(fStmt, column));
    }
    QByteArray bytes(int column) const {
        const void* data = sqlite3_column_blob(fStmt, column);
        return QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(fStmt, column));
    }
    HiveValue value(int nameColumn) const {
        HiveValue v;
        v.name = text(nameColumn);
        v.type = int(integer(nameColumn + 1));
        if (v.isText())
            v.text = text(nameColumn + 2);
        else if (v.type == RegType::DWord)
            v.integer = qint32(integer(nameColumn + 2));
        else
            v.bytes = bytes(nameColumn + 2);
        return v;
    }

private:
    void check(int rc) const {
        if (rc != SQLITE_OK)
            fHive.fail(QStringLiteral("Settings hive access failed"));
    }

    const Hive& fHive;
    sqlite3_stmt* fStmt = nullptr;
};

void Hive::Closer::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

Hive::Hive(const QString& path, Access access) : fPath(path) {
    int flags = SQLITE_OPEN_FULLMUTEX;
    if (access == Access::Write) {
        const QString folder = QFileInfo(path).absolutePath();
        if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
            throw HiveError(
                QStringLiteral("Cannot create the folder of the settings hive %1").arg(path));
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    } else {
        flags |= SQLITE_OPEN_READONLY;
    }

    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    fDb.reset(raw);
    if (rc != SQLITE_OK) {
        const QString message =
            raw ? QString::fromUtf8(sqlite3_errmsg(raw)) : QString::fromUtf8(sqlite3_errstr(rc));
        throw HiveError(QStringLiteral("Cannot open the settings hive %1: %2").arg(path, message));
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    exec("PRAGMA foreign_keys = ON");

    // SQLite falls back to read-only for a write-protected file; that is no write access.
    fWritable = access == Access::Write && sqlite3_db_readonly(raw, "main") == 0;
    if (access == Access::Write && !fWritable)
        throw HiveError(QStringLiteral("The settings hive %1 cannot be written").arg(path));

    {
        // Finalized before any write: a statement still open holds a read lock, and a
        // reader asking for the write lock is refused at once instead of waiting.
        Statement probe(*this, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                               "name IN ('keys', 'vals')");
        probe.step();
        fHasSchema = probe.integer(0) == 2;
    }
    if (!fHasSchema && fWritable)
        ensureSchema();
}

Hive::~Hive() = default;

void Hive::fail(const QString& what) const {
    throw HiveError(
        QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(fDb.get()))));
}

void Hive::exec(const char* sql) {
    if (sqlite3_exec(fDb.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QStringLiteral("Settings hive access failed"));
}

void Hive::requireWritable() const {
    if (!fWritable)
        throw HiveError(QStringLiteral("The settings hive %1 is open for reading only").arg(fPath));
}

void Hive::ensureSchema() {
    // Key ids are never reused (AUTOINCREMENT), so an id another process still holds can
    // never come to name a different key. Row 0 is the hive root.
    WriteTransaction tx(*this);
    exec("CREATE TABLE IF NOT EXISTS keys ("
         " id INTEGER PRIMARY KEY AUTOINCREMENT,"
         " parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
         " name TEXT NOT NULL,"
         " fold TEXT NOT NULL,"
         " UNIQUE (parent, fold))");
    exec("INSERT OR IGNORE INTO keys (id, parent, name, fold) VALUES (0, NULL, '', '')");
    exec("CREATE TABLE IF NOT EXISTS vals ("
         " key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
         " name TEXT NOT NULL,"
         " fold TEXT NOT NULL,"
         " type INTEGER NOT NULL,"
         " data,"
         " UNIQUE (key, fold))");
    exec("PRAGMA user_version = 1");
    tx.commit();
    fHasSchema = true;
}

std::optional<Hive::KeyId> Hive::findKey(const QString& path, KeyId from) const {
    if (!fHasSchema)
        return std::nullopt;
    if (!keyExists(from))
        return std::nullopt;
    KeyId current = from;
    for (const QString& part : splitKeyPath(path)) {
        Statement q(*this, "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
        q.bind(1, current).bind(2, hiveNameKey(part));
        if (!q.step())
            return std::nullopt;
        current = q.integer(0);
    }
    return current;
}

Hive::KeyId Hive::createKey(const QString& path, KeyId from) {
    requireWritable();
    if (const auto found = findKey(path, from))
        return *found;
    WriteTransaction tx(*this);
    if (!keyExists(from))
        throw HiveError(QStringLiteral("The key was deleted"));
    KeyId current = from;
    for (const QString& part : splitKeyPath(path)) {
        Statement q(*this, "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
        q.bind(1, current).bind(2, hiveNameKey(part));
        if (q.step()) {
            current = q.integer(0);
            continue;
        }
        Statement insert(*this, "INSERT INTO keys (parent, name, fold) VALUES (?1, ?2, ?3)");
        insert.bind(1, current).bind(2, part).bind(3, hiveNameKey(part)).run();
        current = sqlite3_last_insert_rowid(fDb.get());
    }
    tx.commit();
    return current;
}

bool Hive::keyExists(KeyId key) const {
    if (!fHasSchema)
        return false;
    Statement q(*this, "SELECT 1 FROM keys WHERE id = ?1");
    q.bind(1, key);
    return q.step();
}

std::optional<HiveValue> Hive::value(KeyId key, const QString& name) const {
    if (!fHasSchema)
        return std::nullopt;
    Statement q(*this, "SELECT name, type, data FROM vals WHERE key = ?1 AND fold = ?2");
    q.bind(1, key).bind(2, hiveNameKey(name));
    if (!q.step())
        return std::nullopt;
    return q.value(0);
}

QList<HiveValue> Hive::values(KeyId key) const {
    QList<HiveValue> result;
    if (!fHasSchema)
        return result;
    Statement q(*this, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY rowid");
    q.bind(1, key);
    while (q.step())
        result.append(q.value(0));
    return result;
}

QStringList Hive::valueNames(KeyId key) const {
    QStringList result;
    if (!fHasSchema)
        return result;
    Statement q(*this, "SELECT name FROM vals WHERE key = ?1 ORDER BY rowid");
    q.bind(1, key);
    while (q.step())
        result.append(q.text(0));
    return result;
}

QStringList Hive::subKeyNames(KeyId key) const {
    QStringList result;
    if (!fHasSchema)
        return result;
    Statement q(*this, "SELECT name FROM keys WHERE parent = ?1 ORDER BY fold, name");
    q.bind(1, key);
    while (q.step())
        result.append(q.text(0));
    return result;
}

int Hive::subKeyCount(KeyId key) const {
    if (!fHasSchema)
        return 0;
    Statement q(*this, "SELECT count(*) FROM keys WHERE parent = ?1");
    q.bind(1, key);
    q.step();
    return int(q.integer(0));
}

void Hive::setValue(KeyId key, const HiveValue& value) {
    requireWritable();
    // Storing a value again unchanged (every read writes back) costs no write.
    if (const auto old = this->value(key, value.name); old && old->sameData(value))
        return;
    WriteTransaction tx(*this);
    if (!keyExists(key))
        throw HiveError(
            QStringLiteral("Failed to set data for '%1': the key was deleted").arg(value.name));
    Statement upsert(*this, "INSERT INTO vals (key, name, fold, type, data)"
                            " VALUES (?1, ?2, ?3, ?4, ?5)"
                            " ON CONFLICT (key, fold) DO UPDATE"
                            " SET type = excluded.type, data = excluded.data");
    upsert.bind(1, key).bind(2, value.name).bind(3, hiveNameKey(value.name));
    upsert.bind(4, qint64(value.type)).bindData(5, value);
    upsert.run();
    tx.commit();
}

bool Hive::deleteValue(KeyId key, const QString& name) {
    requireWritable();
    WriteTransaction tx(*this);
    Statement del(*this, "DELETE FROM vals WHERE key = ?1 AND fold = ?2");
    del.bind(1, key).bind(2, hiveNameKey(name)).run();
    const bool deleted = sqlite3_changes(fDb.get()) > 0;
    tx.commit();
    return deleted;
}

bool Hive::deleteSubKey(KeyId parent, const QString& name) {
    requireWritable();
    if (splitKeyPath(name).isEmpty())
        return false;
    WriteTransaction tx(*this);
    const auto target = findKey(name, parent);
    if (!target)
        return false;
    // The whole subtree, values first so no value is left without its key.
    static const char* const kTree =
        "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL"
        " SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id)";
    Statement values(*this,
                     (QByteArray(kTree) + " DELETE FROM vals WHERE key IN tree").constData());
    values.bind(1, *target).run();
    Statement keys(*this, (QByteArray(kTree) + " DELETE FROM keys WHERE id IN tree").constData());
    keys.bind(1, *target).run();
    tx.commit();
    return true;
}

Hive::WriteTransaction::WriteTransaction(Hive& hive) : fHive(hive) {
    hive.requireWritable();
    if (hive.fTransactionDepth == 0) {
        // IMMEDIATE takes the write lock at once, so two writers queue on the busy timeout
        // instead of failing when a read lock would have to be upgraded.
        hive.exec("BEGIN IMMEDIATE");
        fOuter = true;
    }
    ++hive.fTransactionDepth;
}

Hive::WriteTransaction::~WriteTransaction() {
    --fHive.fTransactionDepth;
    if (fOuter && !fDone)
        sqlite3_exec(fHive.fDb.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Hive::WriteTransaction::commit() {
    if (fOuter)
        fHive.exec("COMMIT");
    fDone = true;
}
