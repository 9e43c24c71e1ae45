#pragma once

// The product line's settings store: settings named by a section below
// "SOFTWARE\Velmora\Brevik" and a value name, kept under the machine-wide root when this
// process can write it, else under the current user's. Every read writes the value read
// back. Made for one use and released at once.

#include "env/Hive.h"
#include "env/RegistryAccess.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>

inline const QString kProductKey = QStringLiteral("SOFTWARE\\Velmora\\Brevik");

// How a setting is stored; values always travel as text.
namespace RegMode {
inline constexpr int Text = 0; // also any other number
inline constexpr int Integer = 1;
inline constexpr int Float = 2;
} // namespace RegMode

// A text that should be a number and is not.
class ConversionError final : public std::runtime_error {
public:
    explicit ConversionError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// The letters a to z in upper case; no other letter changes.
QString asciiUpper(const QString& text);
// Equal when the case of A to Z is ignored (and only theirs).
bool sameTextAscii(const QString& a, const QString& b);

class TBrevikReg final {
public:
    // Chooses the root; never fails because of the hive.
    TBrevikReg();

    HiveRoot root() const { return fRKEY; }

    // Makes a new access (the caller owns it) and opens the section's key on it: read-only
    // without creating, or with full rights creating every missing key.
    bool GetRegistryAtSection(const QString& section, std::unique_ptr<RegistryAccess>& reg,
                              bool readOnly) const;

    QString ReadString(const QString& section, const QString& key, const QString& Default,
                       int mode);
    void WriteString(const QString& section, const QString& key, const QString& value, int mode);
    qint32 ReadInteger(const QString& section, const QString& key, qint32 Default);
    void WriteInteger(const QString& section, const QString& key, qint32 value);
    double readFloat(const QString& section, const QString& key);
    void writeFloat(const QString& section, const QString& key, double value);
    void deleteKey(const QString& section, const QString& key);
    void deleteSection(const QString& section);

    QString getLastDB();
    void setLastDB(const QString& DBName);
    QString getLastUser();
    void setLastUser(const QString& UserName);

    // A one-shot command left for a program of the product line; the running program's
    // own command is cleared once read.
    QString GetCommandSequence(const QString& moduleName);
    void SetCommandSequence(const QString& target, const QString& command);

    // Replace list with the names; leave it alone when the section cannot be opened.
    void GetValueNames(const QString& section, QStringList& list) const;
    void GetKeyNames(const QString& section, QStringList& list) const;

    // The product's database list as entries "alias;LocalPath;ServerPath;Colour" (with the
    // separator given); returns the index of the default entry (see Locations.h).
    int getDBDetails(QStringList& pathList, const QString& separator, const QString& defaultDB);
    // ServerPath (server) or LocalPath of the last used database.
    QString getLastUsedDBPath(bool server);

    // The text form of the float kind: up to 15 significant digits, the locale's decimal
    // separator, no grouping.
    static QString floatToText(double value);

private:
    HiveRoot fRKEY = HiveRoot::CurrentUser;
};
