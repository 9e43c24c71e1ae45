#pragma once

// Registry editor files ("Windows Registry Editor Version 5.00", as regedit exports them):
// reading one into a list of changes that is applied all or nothing, and writing a key
// with everything below it in the same form (UTF-16LE with a byte-order mark, CR LF).

#include "env/Hive.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <stdexcept>

// A key as the registry tools write it: a root and a path below it.
struct RegKeyPath {
    HiveRoot root = HiveRoot::CurrentUser;
    QString path; // "SOFTWARE\Velmora\Brevik"; empty for the root itself

    QString fullName() const;
};

// "HKLM\SOFTWARE\..." or "HKEY_CURRENT_USER\SOFTWARE\..." (root names in any case).
std::optional<RegKeyPath> parseRegKeyPath(const QString& text);

// A file that cannot be imported; the message names the line.
class RegFileError final : public std::runtime_error {
public:
    RegFileError(int line, const QString& message);
    int line() const { return fLine; }

private:
    int fLine;
};

struct RegChange {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::CreateKey;
    RegKeyPath key;
    HiveValue value; // SetValue; DeleteValue uses its name
    int line = 0;
};

// Reads a whole file (UTF-16LE with a byte-order mark, or UTF-8 with or without one).
// Raises RegFileError at the first fault, so a bad file yields no changes at all.
QList<RegChange> parseRegFile(const QByteArray& content);

// Applies the changes in one transaction per hive; on any failure nothing is applied.
void applyRegChanges(const QList<RegChange>& changes);

// The text of an export of key (with its subkeys); raises HiveError when it is missing.
QString exportRegText(const Hive& hive, const RegKeyPath& key);
// The bytes regedit writes for text: a byte-order mark and UTF-16LE.
QByteArray encodeRegFile(const QString& text);

// One value as it appears in a file: "name"=data (or @=data), hex data wrapped as regedit
// wraps it, without the final line break.
QString regValueLine(const HiveValue& value);
