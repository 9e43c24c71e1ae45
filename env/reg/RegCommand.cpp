#include "env/reg/RegCommand.h"

#include "env/Hive.h"
#include "env/reg/RegFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cctype>
#include <optional>

namespace {

const QString kSuccess = QStringLiteral("The operation completed successfully.");
const QString kNotFound =
    QStringLiteral("ERROR: The system was unable to find the specified registry key or value.");

class UsageError final : public std::runtime_error {
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// The switches of one command: "/v NAME", "/ve", "/f" ... ("-v" works too).
struct Switches {
    std::optional<QString> valueName; // /v NAME, or "" for /ve
    bool allValues = false;           // /va
    std::optional<QString> type;      // /t
    std::optional<QString> data;      // /d
    bool force = false;               // /f, /y
    bool recurse = false;             // /s
};

QString usage() {
    return QStringLiteral(
        "Usage:\n"
        "  dolvane-reg query KEY [/v NAME | /ve] [/s]\n"
        "  dolvane-reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD|REG_BINARY] [/d DATA] [/f]\n"
        "  dolvane-reg delete KEY [/v NAME | /ve | /va] [/f]\n"
        "  dolvane-reg import FILE.reg\n"
        "  dolvane-reg export KEY FILE.reg [/y]\n"
        "\n"
        "KEY is HKLM\\SOFTWARE\\... (the machine-wide hive) or HKCU\\SOFTWARE\\... (the\n"
        "current user's). REG_DWORD data is decimal or 0x-hexadecimal; REG_BINARY data is\n"
        "hexadecimal digits (8 bytes hold a float setting).\n");
}

Switches parseSwitches(const QStringList& args, qsizetype from, const QString& allowed) {
    Switches s;
    for (qsizetype i = from; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg.size() < 2 || (arg[0] != QLatin1Char('/') && arg[0] != QLatin1Char('-')))
            throw UsageError(QStringLiteral("Too many arguments (\"%1\").").arg(arg));
        const QString name = arg.mid(1).toLower();
        if (!allowed.split(QLatin1Char(' ')).contains(name))
            throw UsageError(QStringLiteral("Invalid switch \"%1\".").arg(arg));
        auto next = [&]() -> QString {
            if (i + 1 >= args.size())
                throw UsageError(QStringLiteral("%1 needs a value.").arg(arg));
            return args[++i];
        };
        if (name == QLatin1String("v"))
            s.valueName = next();
        else if (name == QLatin1String("ve"))
            s.valueName = QString();
        else if (name == QLatin1String("va"))
            s.allValues = true;
        else if (name == QLatin1String("t"))
            s.type = next().toUpper();
        else if (name == QLatin1String("d"))
            s.data = next();
        else if (name == QLatin1String("f") || name == QLatin1String("y"))
            s.force = true;
        else if (name == QLatin1String("s"))
            s.recurse = true;
    }
    if (s.valueName && s.allValues)
        throw UsageError(QStringLiteral("/v, /ve and /va exclude each other."));
    return s;
}

RegKeyPath keyArgument(const QString& text) {
    const auto key = parseRegKeyPath(text);
    if (!key)
        throw UsageError(QStringLiteral("\"%1\" is not a key under HKLM or HKCU.").arg(text));
    return *key;
}

QString typeName(int type) {
    switch (type) {
    case RegType::None:
        return QStringLiteral("REG_NONE");
    case RegType::String:
        return QStringLiteral("REG_SZ");
    case RegType::ExpandString:
        return QStringLiteral("REG_EXPAND_SZ");
    case RegType::Binary:
        return QStringLiteral("REG_BINARY");
    case RegType::DWord:
        return QStringLiteral("REG_DWORD");
    case RegType::MultiString:
        return QStringLiteral("REG_MULTI_SZ");
    case RegType::QWord:
        return QStringLiteral("REG_QWORD");
    default:
        return QStringLiteral("REG_0x%1").arg(type, 0, 16);
    }
}

QString displayData(const HiveValue& value) {
    if (value.isText())
        return value.text;
    if (value.type == RegType::DWord)
        return QStringLiteral("0x%1").arg(quint32(value.integer), 0, 16);
    return QString::fromLatin1(value.bytes.toHex().toUpper());
}

QString valueLine(const HiveValue& value) {
    const QString name = value.name.isEmpty() ? QStringLiteral("(Default)") : value.name;
    return QStringLiteral("    %1    %2    %3").arg(name, typeName(value.type), displayData(value));
}

bool confirm(QTextStream& out, QTextStream& in, const QString& question) {
    out << question << QStringLiteral(" (Yes/No)? ") << Qt::flush;
    const QString answer = in.readLine().trimmed().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes");
}

HiveValue valueFromSwitches(const Switches& s) {
    const QString name = s.valueName.value_or(QString());
    const QString type = s.type.value_or(QStringLiteral("REG_SZ"));
    const QString data = s.data.value_or(QString());
    if (type == QLatin1String("REG_SZ"))
        return HiveValue::fromText(name, data);
    if (type == QLatin1String("REG_DWORD")) {
        bool ok = false;
        qint64 number = data.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                            ? qint64(data.mid(2).toUInt(&ok, 16))
                            : data.toLongLong(&ok);
        if (data.isEmpty()) {
            ok = true;
            number = 0;
        }
        if (!ok || number < -2147483648LL || number > 0xFFFFFFFFLL)
            throw UsageError(QStringLiteral("\"%1\" is no 32-bit number.").arg(data));
        return HiveValue::fromInteger(name, qint32(quint32(number)));
    }
    if (type == QLatin1String("REG_BINARY")) {
        const QByteArray digits = data.toLatin1();
        bool ok = digits.size() % 2 == 0;
        for (const char c : digits)
            ok = ok && isxdigit(static_cast<unsigned char>(c));
        if (!ok)
            throw UsageError(
                QStringLiteral("\"%1\" is not an even number of hexadecimal digits.").arg(data));
        return HiveValue::fromBytes(name, QByteArray::fromHex(digits));
    }
    throw UsageError(QStringLiteral("Unsupported type \"%1\".").arg(type));
}

void queryKey(const Hive& hive, Hive::KeyId key, const QString& fullName, bool recurse,
              QTextStream& out) {
    out << '\n' << fullName << '\n';
    for (const HiveValue& value : hive.values(key))
        out << valueLine(value) << '\n';
    const QStringList subs = hive.subKeyNames(key);
    if (recurse) {
        for (const QString& sub : subs) {
            if (const auto id = hive.findKey(sub, key))
                queryKey(hive, *id, fullName + QLatin1Char('\\') + sub, true, out);
        }
        return;
    }
    if (!subs.isEmpty())
        out << '\n';
    for (const QString& sub : subs)
        out << fullName << '\\' << sub << '\n';
}

int query(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() < 2)
        throw UsageError(QStringLiteral("query needs a key."));
    const RegKeyPath key = keyArgument(args[1]);
    const Switches s = parseSwitches(args, 2, QStringLiteral("v ve s"));
    if (!QFileInfo::exists(hiveFilePath(key.root))) {
        err << kNotFound << '\n';
        return 1;
    }
    const Hive hive(hiveFilePath(key.root), Hive::Access::Read);
    const auto id = hive.findKey(key.path);
    if (!id) {
        err << kNotFound << '\n';
        return 1;
    }
    if (s.valueName) {
        const auto value = hive.value(*id, *s.valueName);
        if (!value) {
            err << kNotFound << '\n';
            return 1;
        }
        out << '\n' << key.fullName() << '\n' << valueLine(*value) << '\n';
        return 0;
    }
    queryKey(hive, *id, key.fullName(), s.recurse, out);
    return 0;
}

int add(const QStringList& args, QTextStream& out, QTextStream& in) {
    if (args.size() < 2)
        throw UsageError(QStringLiteral("add needs a key."));
    const RegKeyPath key = keyArgument(args[1]);
    const Switches s = parseSwitches(args, 2, QStringLiteral("v ve t d f"));
    if (!s.valueName && (s.type || s.data))
        throw UsageError(QStringLiteral("/t and /d need /v or /ve."));
    Hive hive(hiveFilePath(key.root), Hive::Access::Write);
    if (!s.valueName) {
        hive.createKey(key.path);
        out << kSuccess << '\n';
        return 0;
    }
    const HiveValue value = valueFromSwitches(s);
    const Hive::KeyId id = hive.createKey(key.path);
    // Asked before any lock is taken: the question may wait on a person.
    if (!s.force && hive.value(id, value.name)) {
        const QString shown = value.name.isEmpty() ? QStringLiteral("(Default)") : value.name;
        if (!confirm(out, in, QStringLiteral("Value %1 exists, overwrite").arg(shown))) {
            out << QStringLiteral("The operation was cancelled by the user.") << '\n';
            return 1;
        }
    }
    hive.setValue(id, value);
    out << kSuccess << '\n';
    return 0;
}

int remove(const QStringList& args, QTextStream& out, QTextStream& err, QTextStream& in) {
    if (args.size() < 2)
        throw UsageError(QStringLiteral("delete needs a key."));
    const RegKeyPath key = keyArgument(args[1]);
    const Switches s = parseSwitches(args, 2, QStringLiteral("v ve va f"));
    if (!s.valueName && !s.allValues && key.path.isEmpty())
        throw UsageError(QStringLiteral("A root key cannot be deleted."));
    if (!QFileInfo::exists(hiveFilePath(key.root))) {
        err << kNotFound << '\n';
        return 1;
    }
    Hive hive(hiveFilePath(key.root), Hive::Access::Write);
    const auto id = hive.findKey(key.path);
    if (!id || (s.valueName && !hive.value(*id, *s.valueName))) {
        err << kNotFound << '\n';
        return 1;
    }
    QString question;
    if (s.valueName)
        question = QStringLiteral("Delete the registry value %1")
                       .arg(s.valueName->isEmpty() ? QStringLiteral("(Default)") : *s.valueName);
    else if (s.allValues)
        question =
            QStringLiteral("Delete all values under the registry key %1").arg(key.fullName());
    else
        question = QStringLiteral("Permanently delete the registry key %1").arg(key.fullName());
    if (!s.force && !confirm(out, in, question)) {
        out << QStringLiteral("The operation was cancelled by the user.") << '\n';
        return 1;
    }

    Hive::WriteTransaction tx(hive);
    if (s.valueName) {
        hive.deleteValue(*id, *s.valueName);
    } else if (s.allValues) {
        for (const QString& name : hive.valueNames(*id))
            hive.deleteValue(*id, name);
    } else {
        const qsizetype cut = key.path.lastIndexOf(QLatin1Char('\\'));
        const auto parent = hive.findKey(cut < 0 ? QString() : key.path.left(cut));
        if (parent)
            hive.deleteSubKey(*parent, key.path.mid(cut + 1));
    }
    tx.commit();
    out << kSuccess << '\n';
    return 0;
}

int import(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() != 2)
        throw UsageError(QStringLiteral("import needs exactly one file."));
    QFile file(args[1]);
    if (!file.open(QIODevice::ReadOnly)) {
        err << QStringLiteral("ERROR: Cannot open %1: %2").arg(args[1], file.errorString()) << '\n';
        return 1;
    }
    try {
        applyRegChanges(parseRegFile(file.readAll()));
    } catch (const RegFileError& e) {
        err << QStringLiteral("ERROR: %1: %2. Nothing was imported.")
                   .arg(args[1], QString::fromStdString(e.what()))
            << '\n';
        return 1;
    }
    out << kSuccess << '\n';
    return 0;
}

int exportKey(const QStringList& args, QTextStream& out, QTextStream& err, QTextStream& in) {
    if (args.size() < 3)
        throw UsageError(QStringLiteral("export needs a key and a file."));
    const RegKeyPath key = keyArgument(args[1]);
    const Switches s = parseSwitches(args, 3, QStringLiteral("y"));
    if (!QFileInfo::exists(hiveFilePath(key.root))) {
        err << kNotFound << '\n';
        return 1;
    }
    const Hive hive(hiveFilePath(key.root), Hive::Access::Read);
    if (!hive.findKey(key.path)) {
        err << kNotFound << '\n';
        return 1;
    }
    const QByteArray bytes = encodeRegFile(exportRegText(hive, key));
    if (!s.force && QFileInfo::exists(args[2]) &&
        !confirm(out, in, QStringLiteral("File %1 already exists. Overwrite").arg(args[2]))) {
        out << QStringLiteral("The operation was cancelled by the user.") << '\n';
        return 1;
    }
    QSaveFile file(args[2]);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        err << QStringLiteral("ERROR: Cannot write %1: %2").arg(args[2], file.errorString())
            << '\n';
        return 1;
    }
    out << kSuccess << '\n';
    return 0;
}

} // namespace

int runRegCommand(const QStringList& arguments, QTextStream& out, QTextStream& err,
                  QTextStream& in) {
    try {
        const QString command = arguments.value(0).toLower();
        if (command.isEmpty() || command == QLatin1String("/?") || command == QLatin1String("-h") ||
            command == QLatin1String("--help")) {
            out << usage();
            return command.isEmpty() ? 1 : 0;
        }
        if (command == QLatin1String("query"))
            return query(arguments, out, err);
        if (command == QLatin1String("add"))
            return add(arguments, out, in);
        if (command == QLatin1String("delete"))
            return remove(arguments, out, err, in);
        if (command == QLatin1String("import"))
            return import(arguments, out, err);
        if (command == QLatin1String("export"))
            return exportKey(arguments, out, err, in);
        throw UsageError(QStringLiteral("Unknown command \"%1\".").arg(arguments[0]));
    } catch (const UsageError& e) {
        err << QStringLiteral("ERROR: Invalid syntax. ") << QString::fromStdString(e.what()) << '\n'
            << QStringLiteral("Type \"dolvane-reg /?\" for usage.") << '\n';
    } catch (const std::exception& e) {
        err << QStringLiteral("ERROR: ") << QString::fromStdString(e.what()) << '\n';
    }
    return 1;
}
