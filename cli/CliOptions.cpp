#include "cli/CliOptions.h"

#include "cleaning/RunArguments.h"

#include <QFileInfo>

QString cliUsage() {
    return QStringLiteral(
        "usage: dolvane-cli [--all | --prior-to DATE] [--tick ID]... [--backup] [--no-compress]\n"
        "                   [--dry-run] FILE\n"
        "  --all            remove all the data of the ticked categories\n"
        "  --prior-to DATE  remove the data dated before DATE (dd/mm/yyyy or yyyy-mm-dd;\n"
        "                   the default is prior to 1 January of this year)\n"
        "  --tick ID        click the category with that id (ticks spread to its children)\n"
        "  --backup         back the database up before the run\n"
        "  --no-compress    skip the compression of the cleaned database\n"
        "  --dry-run        count per table what the run would remove; change nothing\n");
}

std::optional<CliOptions> parseCliArguments(const QStringList& arguments, QString* error) {
    CliOptions o;
    bool modeGiven = false;
    auto fail = [&](const QString& text) {
        *error = text;
        return std::nullopt;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        if (a == QLatin1String("--all")) {
            if (modeGiven)
                return fail(QStringLiteral("--all and --prior-to exclude each other"));
            modeGiven = true;
            o.priorTo = false;
        } else if (a == QLatin1String("--prior-to")) {
            const auto v = value();
            if (!v)
                return fail(QStringLiteral("--prior-to needs a date"));
            if (modeGiven)
                return fail(QStringLiteral("--all and --prior-to exclude each other"));
            modeGiven = true;
            const QDate d = parseCutOffDate(*v);
            if (!d.isValid())
                return fail(QStringLiteral("Invalid Date: ") + *v);
            o.priorTo = true;
            o.cutOff = QDateTime(d, QTime(0, 0));
        } else if (a == QLatin1String("--tick")) {
            const auto v = value();
            const auto id = v ? parseCategoryId(*v) : std::nullopt;
            if (!id)
                return fail(QStringLiteral("--tick needs a category id"));
            o.ticks.push_back(*id);
        } else if (a == QLatin1String("--backup")) {
            o.backup = true;
        } else if (a == QLatin1String("--no-compress")) {
            o.compress = false;
        } else if (a == QLatin1String("--dry-run")) {
            o.dryRun = true;
        } else if (a.startsWith(QLatin1String("-")) && a.size() > 1) {
            return fail(QStringLiteral("unknown option ") + a);
        } else if (!o.file.isEmpty()) {
            return fail(QStringLiteral("one database file only"));
        } else {
            o.file = a;
        }
    }
    if (o.file.isEmpty())
        return fail(QStringLiteral("no database file given"));
    // A relative local path is made absolute; a server form ("srv:/data/SHOP.GDB") stays.
    const qsizetype colon = o.file.indexOf(QLatin1Char(':'));
    const qsizetype slash = o.file.indexOf(QLatin1Char('/'));
    const bool serverForm = colon > 0 && (slash < 0 || colon < slash);
    if (!serverForm && !o.file.startsWith(QLatin1Char('/')))
        o.file = QFileInfo(o.file).absoluteFilePath();
    return o;
}
