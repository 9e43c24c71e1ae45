#pragma once

// The settings hive: one SQLite file per root holding a tree of keys with typed values,
// laid out as the product line's registry (names ignore case and keep it). Several
// processes may use one hive at once; every write is one transaction.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <stdexcept>

struct sqlite3;

// The two roots under which the product key can live.
enum class HiveRoot { LocalMachine, CurrentUser };

// The hive file of a root. DOLVANE_MACHINE_HIVE and DOLVANE_USER_HIVE name other files,
// so tests and sandboxes never touch the real locations.
QString hiveFilePath(HiveRoot root);
// "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER".
QString hiveRootName(HiveRoot root);

// Registry value types, numbered as the registry numbers them (".reg" files use them).
namespace RegType {
inline constexpr int None = 0;
inline constexpr int String = 1;
inline constexpr int ExpandString = 2;
inline constexpr int Binary = 3;
inline constexpr int DWord = 4;
inline constexpr int MultiString = 7;
inline constexpr int QWord = 11;
} // namespace RegType

// A failure of the hive; the message carries SQLite's own text where SQLite failed.
class HiveError : public std::runtime_error {
public:
    explicit HiveError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// A value read as a kind other than the one it is stored as.
class HiveTypeError final : public HiveError {
public:
    explicit HiveTypeError(const QString& valueName)
        : HiveError(QStringLiteral("Invalid data type for '%1'").arg(valueName)) {}
};

// One stored value. String and ExpandString keep text, DWord a 32-bit integer, every other
// type its raw bytes.
struct HiveValue {
    QString name;
    int type = RegType::String;
    QString text;
    qint32 integer = 0;
    QByteArray bytes;

    static HiveValue fromText(const QString& name, const QString& text, int type = RegType::String);
    static HiveValue fromInteger(const QString& name, qint32 value);
    static HiveValue fromBytes(const QString& name, const QByteArray& bytes,
                               int type = RegType::Binary);
    static HiveValue fromDouble(const QString& name, double value);

    bool isText() const { return type == RegType::String || type == RegType::ExpandString; }
    // Same type and data; the name is not compared.
    bool sameData(const HiveValue& other) const;
};

// Compares names as the registry does: letter case ignored.
QString hiveNameKey(const QString& name);

// An open hive file. Keys are addressed by id; the hive root (the parent of "SOFTWARE") is
// rootKey(). Paths are key names separated by "\" relative to the root; empty parts are
// ignored.
class Hive final {
public:
    using KeyId = qint64;
    enum class Access { Read, Write };

    // Opens the file. Read access never creates anything; write access creates the file
    // and its folder when missing and fails when the file cannot be written.
    Hive(const QString& path, Access access);
    ~Hive();
    Hive(const Hive&) = delete;
    Hive& operator=(const Hive&) = delete;

    const QString& path() const { return fPath; }
    static constexpr KeyId rootKey() { return 0; }

    std::optional<KeyId> findKey(const QString& path, KeyId from = rootKey()) const;
    // Creates every missing key of the path; returns the last one.
    KeyId createKey(const QString& path, KeyId from = rootKey());
    bool keyExists(KeyId key) const;

    std::optional<HiveValue> value(KeyId key, const QString& name) const;
    // In the order the values were created.
    QList<HiveValue> values(KeyId key) const;
    QStringList valueNames(KeyId key) const;
    // Sorted as the registry enumerates them: by upper-case name.
    QStringList subKeyNames(KeyId key) const;
    int subKeyCount(KeyId key) const;

    // Creates or replaces the value; an existing value keeps the name case it was created
    // with and its place in the enumeration. Writing unchanged data writes nothing.
    void setValue(KeyId key, const HiveValue& value);
    bool deleteValue(KeyId key, const QString& name);
    // Deletes the subkey and everything below it.
    bool deleteSubKey(KeyId parent, const QString& name);

    // Groups writes into one transaction (BEGIN IMMEDIATE); nested scopes join the
    // outermost one. Rolled back unless commit() was called.
    class WriteTransaction final {
    public:
        explicit WriteTransaction(Hive& hive);
        ~WriteTransaction();
        void commit();
        WriteTransaction(const WriteTransaction&) = delete;
        WriteTransaction& operator=(const WriteTransaction&) = delete;

    private:
        Hive& fHive;
        bool fOuter = false;
        bool fDone = false;
    };

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    class Statement;
    friend class Statement;

    void exec(const char* sql);
    void ensureSchema();
    [[noreturn]] void fail(const QString& what) const;
    void requireWritable() const;

    QString fPath;
    std::unique_ptr<sqlite3, Closer> fDb;
    bool fWritable = false;
    bool fHasSchema = false;
    int fTransactionDepth = 0;
};
