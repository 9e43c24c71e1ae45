#include "env/RegistryAccess.h"

#include <QtEndian>

RegistryAccess::RegistryAccess(HiveRoot root, Rights rights) : fRoot(root), fRights(rights) {}

RegistryAccess::~RegistryAccess() = default;

void RegistryAccess::setRootKey(HiveRoot root) {
    if (root == fRoot)
        return;
    CloseKey();
    fHive.reset();
    fRoot = root;
}

bool RegistryAccess::OpenKey(const QString& path, bool canCreate) {
    CloseKey();
    try {
        if (!fHive) {
            const auto access = fRights == Rights::Full ? Hive::Access::Write : Hive::Access::Read;
            fHive = std::make_unique<Hive>(hiveFilePath(fRoot), access);
        }
        if (canCreate && fRights == Rights::Full)
            fKey = fHive->createKey(path);
        else
            fKey = fHive->findKey(path);
    } catch (const HiveError&) {
        // A hive that cannot be opened with these rights is a key that cannot be opened.
        fKey.reset();
    }
    return fKey.has_value();
}

void RegistryAccess::CloseKey() {
    fKey.reset();
}

const Hive& RegistryAccess::openHive() const {
    if (!fHive || !fKey)
        throw HiveError(QStringLiteral("No registry key is open"));
    return *fHive;
}

Hive& RegistryAccess::writableHive() {
    openHive();
    return *fHive;
}

bool RegistryAccess::ValueExists(const QString& name) const {
    if (!fKey)
        return false;
    return openHive().value(*fKey, name).has_value();
}

HiveValue RegistryAccess::read(const QString& name) const {
    const auto value = openHive().value(*fKey, name);
    if (!value)
        throw HiveError(QStringLiteral("Failed to get data for '%1'").arg(name));
    return *value;
}

QString RegistryAccess::ReadString(const QString& name) const {
    const auto value = openHive().value(*fKey, name);
    if (!value)
        return QString();
    if (!value->isText())
        throw HiveTypeError(name);
    return value->text;
}

qint32 RegistryAccess::ReadInteger(const QString& name) const {
    const HiveValue value = read(name);
    if (value.type != RegType::DWord)
        throw HiveTypeError(name);
    return value.integer;
}

double RegistryAccess::ReadFloat(const QString& name) const {
    const HiveValue value = read(name);
    if (value.type != RegType::Binary || value.bytes.size() != 8)
        throw HiveTypeError(name);
    return qFromLittleEndian<double>(value.bytes.constData());
}

void RegistryAccess::write(const HiveValue& value) {
    try {
        writableHive().setValue(*fKey, value);
    } catch (const HiveError& e) {
        throw HiveError(QStringLiteral("Failed to set data for '%1': %2")
                            .arg(value.name, QString::fromStdString(e.what())));
    }
}

void RegistryAccess::WriteString(const QString& name, const QString& value) {
    write(HiveValue::fromText(name, value));
}

void RegistryAccess::WriteInteger(const QString& name, qint32 value) {
    write(HiveValue::fromInteger(name, value));
}

void RegistryAccess::WriteFloat(const QString& name, double value) {
    write(HiveValue::fromDouble(name, value));
}

bool RegistryAccess::DeleteValue(const QString& name) {
    return writableHive().deleteValue(*fKey, name);
}

bool RegistryAccess::DeleteKey(const QString& name) {
    return writableHive().deleteSubKey(*fKey, name);
}

QStringList RegistryAccess::GetKeyNames() const {
    return fKey ? openHive().subKeyNames(*fKey) : QStringList();
}

QStringList RegistryAccess::GetValueNames() const {
    return fKey ? openHive().valueNames(*fKey) : QStringList();
}

bool RegistryAccess::HasSubKeys() const {
    return fKey && openHive().subKeyCount(*fKey) > 0;
}
