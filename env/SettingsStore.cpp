#include "env/SettingsStore.h"

#include "env/Locations.h"

#include <QFileInfo>
#include <QLocale>
#include <optional>

namespace {

QString sectionPath(const QString& section) {
    return section.isEmpty() ? kProductKey : kProductKey + QLatin1Char('\\') + section;
}

qint32 textToInteger(const QString& text) {
    bool ok = false;
    const qint32 value = text.toInt(&ok);
    if (!ok)
        throw ConversionError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

double textToFloat(const QString& text) {
    bool ok = false;
    const double value = QLocale().toDouble(text, &ok);
    if (!ok)
        throw ConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

} // namespace

QString asciiUpper(const QString& text) {
    QString result = text;
    for (QChar& c : result) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - ('a' - 'A'));
    }
    return result;
}

bool sameTextAscii(const QString& a, const QString& b) {
    return asciiUpper(a) == asciiUpper(b);
}

TBrevikReg::TBrevikReg() {
    // Machine-wide when this process may create or write the product key there.
    try {
        RegistryAccess reg(HiveRoot::LocalMachine, RegistryAccess::Rights::Full);
        if (reg.OpenKey(kProductKey, true))
            fRKEY = HiveRoot::LocalMachine;
    } catch (...) {
        // The current user's root stays.
    }
}

QString TBrevikReg::floatToText(double value) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

bool TBrevikReg::GetRegistryAtSection(const QString& section, std::unique_ptr<RegistryAccess>& reg,
                                      bool readOnly) const {
    reg = std::make_unique<RegistryAccess>(fRKEY, readOnly ? RegistryAccess::Rights::Read
                                                           : RegistryAccess::Rights::Full);
    return reg->OpenKey(sectionPath(section), !readOnly);
}

QString TBrevikReg::ReadString(const QString& section, const QString& key, const QString& Default,
                               int mode) {
    QString result = Default;
    // A float found is written back as read, not through its 15-digit text, so reading
    // never changes a stored value.
    std::optional<double> foundFloat;
    {
        std::unique_ptr<RegistryAccess> reg;
        if (GetRegistryAtSection(section, reg, true) && reg->ValueExists(key)) {
            switch (mode) {
            case RegMode::Integer:
                result = QString::number(reg->ReadInteger(key));
                break;
            case RegMode::Float:
                foundFloat = reg->ReadFloat(key);
                result = floatToText(*foundFloat);
                break;
            default:
                result = reg->ReadString(key);
                break;
            }
        }
    }
    if (foundFloat) {
        std::unique_ptr<RegistryAccess> reg;
        if (GetRegistryAtSection(section, reg, false))
            reg->WriteFloat(key, *foundFloat);
    } else {
        WriteString(section, key, result, mode);
    }
    return result;
}

void TBrevikReg::WriteString(const QString& section, const QString& key, const QString& value,
                             int mode) {
    std::unique_ptr<RegistryAccess> reg;
    if (!GetRegistryAtSection(section, reg, false))
        return; // no write access: skipped without a word
    switch (mode) {
    case RegMode::Integer:
        reg->WriteInteger(key, textToInteger(value));
        break;
    case RegMode::Float:
        reg->WriteFloat(key, textToFloat(value));
        break;
    default:
        reg->WriteString(key, value);
        break;
    }
}

qint32 TBrevikReg::ReadInteger(const QString& section, const QString& key, qint32 Default) {
    bool ok = false;
    const qint32 value =
        ReadString(section, key, QString::number(Default), RegMode::Integer).toInt(&ok);
    return ok ? value : Default;
}

void TBrevikReg::WriteInteger(const QString& section, const QString& key, qint32 value) {
    WriteString(section, key, QString::number(value), RegMode::Integer);
}

double TBrevikReg::readFloat(const QString& section, const QString& key) {
    bool ok = false;
    const double value =
        QLocale().toDouble(ReadString(section, key, QStringLiteral("0"), RegMode::Float), &ok);
    return ok ? value : 0.0;
}

void TBrevikReg::writeFloat(const QString& section, const QString& key, double value) {
    WriteString(section, key, floatToText(value), RegMode::Float);
}

void TBrevikReg::deleteKey(const QString& section, const QString& key) {
    std::unique_ptr<RegistryAccess> reg;
    if (GetRegistryAtSection(section, reg, false))
        reg->DeleteValue(key);
}

void TBrevikReg::deleteSection(const QString& section) {
    // Trailing separators name no key of their own ("Debug\" is the key "Debug"); an empty
    // section never deletes the product key.
    QString path = section;
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    if (path.isEmpty())
        return;
    const qsizetype cut = path.lastIndexOf(QLatin1Char('\\'));
    const QString parent = cut < 0 ? QString() : path.left(cut);
    const QString name = cut < 0 ? path : path.mid(cut + 1);
    std::unique_ptr<RegistryAccess> reg;
    if (GetRegistryAtSection(parent, reg, false))
        reg->DeleteKey(name);
}

QString TBrevikReg::getLastDB() {
    return asciiUpper(
        ReadString(QStringLiteral("Database"), QStringLiteral("DefaultDatabase"), QString(), 0));
}

void TBrevikReg::setLastDB(const QString& DBName) {
    WriteString(QStringLiteral("Database"), QStringLiteral("DefaultDatabase"), DBName, 0);
}

QString TBrevikReg::getLastUser() {
    return ReadString(QString(), QStringLiteral("LastUser"), QString(), 0);
}

void TBrevikReg::setLastUser(const QString& UserName) {
    WriteString(QString(), QStringLiteral("LastUser"), UserName, 0);
}

QString TBrevikReg::GetCommandSequence(const QString& moduleName) {
    const QString ownName = QFileInfo(uu_getModuleName()).fileName();
    const QString target = moduleName.isEmpty() ? ownName : moduleName;
    QString result =
        ReadString(QStringLiteral("IDEx\\") + target, QStringLiteral("COMMAND"), QString(), 0);
    SetCommandSequence(ownName, QString());
    return result;
}

void TBrevikReg::SetCommandSequence(const QString& target, const QString& command) {
    WriteString(QStringLiteral("IDEx\\") + target, QStringLiteral("COMMAND"), command, 0);
}

void TBrevikReg::GetValueNames(const QString& section, QStringList& list) const {
    std::unique_ptr<RegistryAccess> reg;
    if (GetRegistryAtSection(section, reg, true))
        list = reg->GetValueNames();
}

void TBrevikReg::GetKeyNames(const QString& section, QStringList& list) const {
    std::unique_ptr<RegistryAccess> reg;
    if (GetRegistryAtSection(section, reg, true))
        list = reg->GetKeyNames();
}

int TBrevikReg::getDBDetails(QStringList& pathList, const QString& separator,
                             const QString& defaultDB) {
    int result = defaultDB.isEmpty() ? 0 : -1;
    pathList.clear();
    const QString lastDB = getLastDB();

    const QString listKey = kProductKey + QStringLiteral("\\Database\\List");
    RegistryAccess reg(fRKEY, RegistryAccess::Rights::Full);
    if (!reg.OpenKey(listKey, false) || !reg.HasSubKeys())
        return result;
    const QStringList aliases = reg.GetKeyNames();
    for (const QString& alias : aliases) {
        // Straight reads: the database list is never written back.
        if (!reg.OpenKey(listKey + QLatin1Char('\\') + alias, false))
            continue;
        const QString localPath = reg.ReadString(QStringLiteral("LocalPath"));
        const QString serverPath = reg.ReadString(QStringLiteral("ServerPath"));
        qint32 colour = 0;
        try {
            colour = reg.ReadInteger(QStringLiteral("Colour"));
        } catch (const std::exception&) {
            colour = 0;
        }
        pathList.append(alias + separator + localPath + separator + serverPath + separator +
                        QString::number(colour));
        reg.CloseKey();
        if ((!defaultDB.isEmpty() && sameTextAscii(alias, defaultDB)) ||
            (defaultDB.isEmpty() && sameTextAscii(alias, lastDB)))
            result = int(pathList.size()) - 1;
    }
    return result;
}

QString TBrevikReg::getLastUsedDBPath(bool server) {
    const QString section = QStringLiteral("Database\\List\\") + getLastDB();
    return ReadString(section, server ? QStringLiteral("ServerPath") : QStringLiteral("LocalPath"),
                      QString(), 0);
}
