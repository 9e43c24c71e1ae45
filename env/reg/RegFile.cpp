#include "env/reg/RegFile.h"

#include <QStringConverter>
#include <QtEndian>
#include <map>
#include <memory>
#include <vector>

namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");
// regedit breaks hex data once a line has reached this many characters.
constexpr int kMaxHexChars = 77;

std::optional<HiveRoot> rootFromName(const QString& name) {
    const QString upper = name.toUpper();
    if (upper == QLatin1String("HKEY_LOCAL_MACHINE") || upper == QLatin1String("HKLM"))
        return HiveRoot::LocalMachine;
    if (upper == QLatin1String("HKEY_CURRENT_USER") || upper == QLatin1String("HKCU"))
        return HiveRoot::CurrentUser;
    return std::nullopt;
}

QString escapeRegString(const QString& text) {
    QString result = text;
    result.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    result.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return result;
}

// Text that fits a quoted string on one line of a file.
bool quotable(const QString& text) {
    for (const QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0)
            return false;
    }
    return true;
}

QByteArray utf16WithTerminator(const QString& text) {
    QByteArray bytes((text.size() + 1) * 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian(text[i].unicode(), bytes.data() + 2 * i);
    return bytes;
}

QString textFromUtf16(const QByteArray& bytes) {
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text += QChar(qFromLittleEndian<quint16>(bytes.constData() + i));
    // The terminator the registry keeps with text is no part of the text.
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

QString hexLine(const QString& lineStart, const QString& prefix, const QByteArray& bytes) {
    QString out = lineStart + prefix;
    int lineLength = int(out.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out += QStringLiteral("%1").arg(quint8(bytes[i]), 2, 16, QLatin1Char('0'));
        if (i == bytes.size() - 1)
            break;
        out += QLatin1Char(',');
        lineLength += 3;
        if (lineLength >= kMaxHexChars) {
            out += QStringLiteral("\\\r\n  ");
            lineLength = 2;
        }
    }
    return out;
}

bool isHexDigit(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

QString decodeFile(const QByteArray& content) {
    auto decode = [](QStringConverter::Encoding encoding, const QByteArray& bytes) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        QString text = decoder.decode(bytes);
        if (decoder.hasError())
            throw RegFileError(1, QStringLiteral("the file is not valid text"));
        return text;
    };
    if (content.startsWith("\xFF\xFE"))
        return decode(QStringConverter::Utf16LE, content.mid(2));
    if (content.startsWith("\xFE\xFF"))
        return decode(QStringConverter::Utf16BE, content.mid(2));
    if (content.startsWith("\xEF\xBB\xBF"))
        return decode(QStringConverter::Utf8, content.mid(3));
    return decode(QStringConverter::Utf8, content);
}

// Reads a quoted string starting at pos (on the opening quote); pos ends after the closing
// quote. The file escapes "\" and '"' with a backslash.
QString readQuoted(const QString& line, qsizetype& pos, int lineNo) {
    QString result;
    ++pos;
    while (pos < line.size()) {
        const QChar c = line[pos++];
        if (c == QLatin1Char('"'))
            return result;
        if (c == QLatin1Char('\\')) {
            if (pos >= line.size())
                break;
            const QChar escaped = line[pos++];
            if (escaped != QLatin1Char('\\') && escaped != QLatin1Char('"'))
                throw RegFileError(lineNo, QStringLiteral("unknown escape \\%1 in a quoted text "
                                                          "(write a backslash as \\\\)")
                                               .arg(escaped));
            result += escaped;
            continue;
        }
        result += c;
    }
    throw RegFileError(lineNo, QStringLiteral("a quoted text is not closed"));
}

QByteArray parseHexBytes(const QString& data, int lineNo) {
    QByteArray bytes;
    const QStringList pieces = data.split(QLatin1Char(','));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QString piece = pieces[i].trimmed();
        if (piece.isEmpty() && i == pieces.size() - 1)
            break; // nothing after the last comma
        if (piece.isEmpty() || piece.size() > 2 || !isHexDigit(piece[0]) ||
            (piece.size() == 2 && !isHexDigit(piece[1])))
            throw RegFileError(lineNo,
                               QStringLiteral("\"%1\" is not a hexadecimal byte").arg(piece));
        bytes.append(char(piece.toUInt(nullptr, 16)));
    }
    return bytes;
}

HiveValue hexValue(const QString& name, int type, const QByteArray& bytes, int lineNo) {
    switch (type) {
    case RegType::String:
    case RegType::ExpandString:
        if (bytes.size() % 2 != 0)
            throw RegFileError(lineNo, QStringLiteral("text data has an odd number of bytes"));
        return HiveValue::fromText(name, textFromUtf16(bytes), type);
    case RegType::DWord:
        if (bytes.size() != 4)
            throw RegFileError(lineNo, QStringLiteral("a dword value needs 4 bytes"));
        return HiveValue::fromInteger(name, qFromLittleEndian<qint32>(bytes.constData()));
    default:
        return HiveValue::fromBytes(name, bytes, type);
    }
}

class Parser final {
public:
    explicit Parser(const QString& text) : fLines(text.split(QLatin1Char('\n'))) {
        for (QString& line : fLines) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
        }
    }

    QList<RegChange> run() {
        if (fLines.isEmpty() || fLines[0].trimmed() != kHeader)
            throw RegFileError(1,
                               QStringLiteral("the file does not begin with \"%1\"").arg(kHeader));
        for (fIndex = 1; fIndex < fLines.size(); ++fIndex) {
            const QString line = fLines[fIndex].trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
                continue;
            if (line.startsWith(QLatin1Char('[')))
                keyLine(line);
            else if (line.startsWith(QLatin1Char('"')) || line.startsWith(QLatin1Char('@')))
                valueLine(line);
            else
                throw RegFileError(lineNo(),
                                   QStringLiteral("the line is neither a key nor a value"));
        }
        return fChanges;
    }

private:
    int lineNo() const { return int(fIndex) + 1; }

    void keyLine(const QString& line) {
        if (!line.endsWith(QLatin1Char(']')))
            throw RegFileError(lineNo(), QStringLiteral("a key line must end with \"]\""));
        QString name = line.mid(1, line.size() - 2);
        const bool remove = name.startsWith(QLatin1Char('-'));
        if (remove)
            name.remove(0, 1);
        const auto key = parseRegKeyPath(name);
        if (!key)
            throw RegFileError(lineNo(), QStringLiteral("\"%1\" is not under HKEY_LOCAL_MACHINE or "
                                                        "HKEY_CURRENT_USER")
                                             .arg(name));
        if (remove && key->path.isEmpty())
            throw RegFileError(lineNo(), QStringLiteral("a root key cannot be deleted"));
        RegChange change;
        change.kind = remove ? RegChange::Kind::DeleteKey : RegChange::Kind::CreateKey;
        change.key = *key;
        change.line = lineNo();
        fChanges.append(change);
        // Values after a deleted key belong to no key; regedit passes over them.
        fKey = remove ? std::nullopt : key;
        fSkipValues = remove;
    }

    void valueLine(const QString& line) {
        const int first = lineNo();
        qsizetype pos = 0;
        QString name;
        if (line[0] == QLatin1Char('@'))
            pos = 1;
        else
            name = readQuoted(line, pos, first);
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != QLatin1Char('='))
            throw RegFileError(first, QStringLiteral("\"=\" expected after the value name"));
        const QString data = line.mid(pos + 1).trimmed();

        RegChange change;
        change.line = first;
        change.value = parseData(name, data, first);
        if (data == QLatin1String("-"))
            change.kind = RegChange::Kind::DeleteValue;
        else
            change.kind = RegChange::Kind::SetValue;
        if (fSkipValues)
            return;
        if (!fKey)
            throw RegFileError(first, QStringLiteral("a value before the first key"));
        change.key = *fKey;
        fChanges.append(change);
    }

    HiveValue parseData(const QString& name, const QString& data, int first) {
        if (data == QLatin1String("-"))
            return HiveValue::fromText(name, QString());
        if (data.startsWith(QLatin1Char('"'))) {
            qsizetype pos = 0;
            const QString text = readQuoted(data, pos, first);
            if (!data.mid(pos).trimmed().isEmpty())
                throw RegFileError(first, QStringLiteral("text after the closing quote"));
            return HiveValue::fromText(name, text);
        }
        if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            const QString digits = data.mid(6).trimmed();
            bool ok = digits.size() >= 1 && digits.size() <= 8;
            for (const QChar c : digits)
                ok = ok && isHexDigit(c);
            if (!ok)
                throw RegFileError(first,
                                   QStringLiteral("a dword needs 1 to 8 hexadecimal digits"));
            return HiveValue::fromInteger(name, qint32(digits.toUInt(nullptr, 16)));
        }
        if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            int type = RegType::Binary;
            qsizetype colon = data.indexOf(QLatin1Char(':'));
            if (colon < 0)
                throw RegFileError(first, QStringLiteral("\":\" expected after hex"));
            const QString kind = data.mid(3, colon - 3).trimmed();
            if (!kind.isEmpty()) {
                bool ok = kind.size() > 2 && kind.startsWith(QLatin1Char('(')) &&
                          kind.endsWith(QLatin1Char(')'));
                if (ok)
                    type = kind.mid(1, kind.size() - 2).toInt(&ok, 16);
                if (!ok)
                    throw RegFileError(first,
                                       QStringLiteral("\"hex%1\" is no value type").arg(kind));
            }
            QString bytes = data.mid(colon + 1);
            // Long data goes on over lines ending in "\".
            while (bytes.trimmed().endsWith(QLatin1Char('\\'))) {
                bytes = bytes.trimmed();
                bytes.chop(1);
                if (++fIndex >= fLines.size() || fLines[fIndex].trimmed().isEmpty())
                    throw RegFileError(first,
                                       QStringLiteral("the hex data is continued on an empty "
                                                      "line or past the end of the file"));
                bytes += fLines[fIndex].trimmed();
            }
            return hexValue(name, type, parseHexBytes(bytes, first), first);
        }
        throw RegFileError(first, QStringLiteral("unknown value data \"%1\"").arg(data));
    }

    QStringList fLines;
    qsizetype fIndex = 0;
    std::optional<RegKeyPath> fKey;
    bool fSkipValues = false;
    QList<RegChange> fChanges;
};

// The key's names as stored (the case they were created with), or nothing when missing.
std::optional<std::pair<Hive::KeyId, QString>> resolveStored(const Hive& hive,
                                                             const QString& path) {
    Hive::KeyId current = Hive::rootKey();
    QString stored;
    for (const QString& part : path.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        const auto id = hive.findKey(part, current);
        if (!id)
            return std::nullopt;
        QString name = part;
        for (const QString& candidate : hive.subKeyNames(current)) {
            if (hiveNameKey(candidate) == hiveNameKey(part)) {
                name = candidate;
                break;
            }
        }
        stored += (stored.isEmpty() ? QString() : QStringLiteral("\\")) + name;
        current = *id;
    }
    if (!hive.keyExists(current))
        return std::nullopt;
    return std::make_pair(current, stored);
}

void exportKey(const Hive& hive, Hive::KeyId key, const QString& fullName, QString& out) {
    out += QStringLiteral("\r\n[") + fullName + QStringLiteral("]\r\n");
    for (const HiveValue& value : hive.values(key))
        out += regValueLine(value) + QStringLiteral("\r\n");
    for (const QString& sub : hive.subKeyNames(key)) {
        if (const auto id = hive.findKey(sub, key))
            exportKey(hive, *id, fullName + QLatin1Char('\\') + sub, out);
    }
}

} // namespace

QString RegKeyPath::fullName() const {
    return path.isEmpty() ? hiveRootName(root) : hiveRootName(root) + QLatin1Char('\\') + path;
}

std::optional<RegKeyPath> parseRegKeyPath(const QString& text) {
    const qsizetype slash = text.indexOf(QLatin1Char('\\'));
    const auto root = rootFromName(slash < 0 ? text : text.left(slash));
    if (!root)
        return std::nullopt;
    RegKeyPath key;
    key.root = *root;
    if (slash >= 0)
        key.path = text.mid(slash + 1)
                       .split(QLatin1Char('\\'), Qt::SkipEmptyParts)
                       .join(QLatin1Char('\\'));
    return key;
}

RegFileError::RegFileError(int line, const QString& message)
    : std::runtime_error(QStringLiteral("line %1: %2").arg(line).arg(message).toStdString()),
      fLine(line) {}

QList<RegChange> parseRegFile(const QByteArray& content) {
    return Parser(decodeFile(content)).run();
}

void applyRegChanges(const QList<RegChange>& changes) {
    // Hives are locked in a fixed order, so two imports cannot wait on each other.
    std::map<HiveRoot, std::unique_ptr<Hive>> hives;
    for (const RegChange& change : changes) {
        if (!hives.count(change.key.root))
            hives[change.key.root] =
                std::make_unique<Hive>(hiveFilePath(change.key.root), Hive::Access::Write);
    }
    std::vector<std::unique_ptr<Hive::WriteTransaction>> transactions;
    transactions.reserve(hives.size());
    for (auto& [root, hive] : hives)
        transactions.push_back(std::make_unique<Hive::WriteTransaction>(*hive));

    for (const RegChange& change : changes) {
        Hive& hive = *hives.at(change.key.root);
        switch (change.kind) {
        case RegChange::Kind::CreateKey:
            hive.createKey(change.key.path);
            break;
        case RegChange::Kind::DeleteKey: {
            const qsizetype cut = change.key.path.lastIndexOf(QLatin1Char('\\'));
            const QString parent = cut < 0 ? QString() : change.key.path.left(cut);
            if (const auto id = hive.findKey(parent))
                hive.deleteSubKey(*id, change.key.path.mid(cut + 1));
            break;
        }
        case RegChange::Kind::SetValue:
            hive.setValue(hive.createKey(change.key.path), change.value);
            break;
        case RegChange::Kind::DeleteValue:
            if (const auto id = hive.findKey(change.key.path))
                hive.deleteValue(*id, change.value.name);
            break;
        }
    }
    for (auto& transaction : transactions)
        transaction->commit();
}

QString exportRegText(const Hive& hive, const RegKeyPath& key) {
    const auto found = resolveStored(hive, key.path);
    if (!found)
        throw HiveError(QStringLiteral("The key %1 does not exist").arg(key.fullName()));
    RegKeyPath stored = key;
    stored.path = found->second;
    QString out = kHeader + QStringLiteral("\r\n");
    exportKey(hive, found->first, stored.fullName(), out);
    out += QStringLiteral("\r\n");
    return out;
}

QByteArray encodeRegFile(const QString& text) {
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return QByteArray("\xFF\xFE") + QByteArray(encoder.encode(text));
}

QString regValueLine(const HiveValue& value) {
    const QString start = value.name.isEmpty() ? QStringLiteral("@=")
                                               : QLatin1Char('"') + escapeRegString(value.name) +
                                                     QStringLiteral("\"=");
    switch (value.type) {
    case RegType::String:
        if (quotable(value.text))
            return start + QLatin1Char('"') + escapeRegString(value.text) + QLatin1Char('"');
        return hexLine(start, QStringLiteral("hex(1):"), utf16WithTerminator(value.text));
    case RegType::ExpandString:
        return hexLine(start, QStringLiteral("hex(2):"), utf16WithTerminator(value.text));
    case RegType::DWord:
        return start +
               QStringLiteral("dword:%1").arg(quint32(value.integer), 8, 16, QLatin1Char('0'));
    case RegType::Binary:
        return hexLine(start, QStringLiteral("hex:"), value.bytes);
    default:
        return hexLine(start, QStringLiteral("hex(%1):").arg(value.type, 0, 16), value.bytes);
    }
}
