#include "cli/CliOptions.h"

#include "cleaning/RunArguments.h"

#include <QCommandLineParser>
#include <QFileInfo>

QString cliUsage() {
    return QStringLiteral(
               "usage: dolvane-cli [--all | --prior-to DATE] [--tick ID]... [--backup] "
               "[--no-compress]\n"
               "                   [--dry-run] [--json] [--] FILE\n"
               "  FILE               the station database (a local path, or the server path\n"
               "                     under which the database list names it)\n"
               "  --backup           back the database up before the run\n"
               "  --dry-run          count per table what the run would remove; change nothing\n"
               "  --json             print one JSON object on stdout instead of the table\n"
               "  --                 end of the options: what follows is the file, even when\n"
               "                     it begins with \"-\"\n") +
           SharedRunOptions::usageLines() +
           QStringLiteral("Without --all or --prior-to the run removes the data dated before "
                          "1 January of this year.\n"
                          "Exit status: 0 when the run reached \"Done\", 1 when it failed "
                          "(the file is unchanged),\n"
                          "2 for bad usage.\n");
}

std::optional<CliOptions> parseCliArguments(const QStringList& arguments, QString* error) {
    QCommandLineParser parser;
    prepareParser(parser);
    const SharedRunOptions shared(parser);
    const QCommandLineOption backup(QStringLiteral("backup"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption json(QStringLiteral("json"));
    parser.addOptions({backup, dryRun, json});

    auto fail = [&](const QString& text) {
        *error = text;
        return std::nullopt;
    };
    const auto choices = shared.parse(QStringLiteral("dolvane-cli"), arguments, error);
    if (!choices)
        return std::nullopt;
    CliOptions o;
    o.help = choices->help;
    o.version = choices->version;
    if (o.help || o.version)
        return o;
    o.ticks = choices->ticks;
    o.priorTo = choices->priorTo.value_or(true);
    o.cutOff =
        QDateTime(choices->cutOff.isValid() ? choices->cutOff : defaultCutOffDate(), QTime(0, 0));
    o.compress = choices->compress;
    o.backup = parser.isSet(backup);
    o.dryRun = parser.isSet(dryRun);
    o.json = parser.isSet(json);

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return fail(QStringLiteral("one database file only"));
    if (files.isEmpty() || files.first().isEmpty())
        return fail(QStringLiteral("no database file given"));
    o.file = files.first();
    // A relative local path is made absolute; a server form ("srv:/data/SHOP.GDB") stays.
    const qsizetype colon = o.file.indexOf(QLatin1Char(':'));
    const qsizetype slash = o.file.indexOf(QLatin1Char('/'));
    const bool serverForm = colon > 0 && (slash < 0 || colon < slash);
    if (!serverForm && !o.file.startsWith(QLatin1Char('/')))
        o.file = QFileInfo(o.file).absoluteFilePath();
    return o;
}
