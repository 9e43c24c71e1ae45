#pragma once

// One access to a hive root in the manner of a registry key handle: open a key (with read
// or full rights), read and write its values, enumerate, close. The settings store makes
// one per operation and releases it before returning.

#include "env/Hive.h"

#include <memory>
#include <optional>

class RegistryAccess final {
public:
    enum class Rights { Read, Full };

    RegistryAccess(HiveRoot root, Rights rights);
    ~RegistryAccess();
    RegistryAccess(const RegistryAccess&) = delete;
    RegistryAccess& operator=(const RegistryAccess&) = delete;

    HiveRoot RootKey() const { return fRoot; }
    // Takes effect on the next OpenKey.
    void setRootKey(HiveRoot root);

    // Opens a key path ("SOFTWARE\Velmora\Brevik\Debug"), creating it and the keys above
    // it when asked. False when the hive or the key cannot be opened with the rights asked
    // for (full rights need a hive this process can write); never raises.
    bool OpenKey(const QString& path, bool canCreate);
    void CloseKey();
    bool isOpen() const { return fKey.has_value(); }

    bool ValueExists(const QString& name) const;
    // Text values; a missing value reads as empty. Raises HiveTypeError for other types.
    QString ReadString(const QString& name) const;
    // Raises HiveTypeError when the value is no 32-bit integer, HiveError when missing.
    qint32 ReadInteger(const QString& name) const;
    // Raises HiveTypeError unless the value is raw bytes of exactly 8, HiveError when missing.
    double ReadFloat(const QString& name) const;

    // Raise HiveError, carrying SQLite's message, when the write fails.
    void WriteString(const QString& name, const QString& value);
    void WriteInteger(const QString& name, qint32 value);
    void WriteFloat(const QString& name, double value);
    bool DeleteValue(const QString& name);
    // Deletes a subkey of the open key with everything below it.
    bool DeleteKey(const QString& name);

    QStringList GetKeyNames() const;
    QStringList GetValueNames() const;
    bool HasSubKeys() const;

private:
    const Hive& openHive() const;
    Hive& writableHive();
    HiveValue read(const QString& name) const;
    void write(const HiveValue& value);

    HiveRoot fRoot;
    Rights fRights;
    std::unique_ptr<Hive> fHive;
    std::optional<Hive::KeyId> fKey;
};
