#include "cleaning/RunArguments.h"

#include "cleaning/CategoryTree.h"
#include "common/Clock.h"
#include "common/DateTime.h"
#include "common/Format.h"

#include <QCommandLineParser>
#include <QRegularExpression>

QDate parseCutOffDate(const QString& text) {
    const QString t = text.trimmed();
    static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2}$"));
    if (iso.match(t).hasMatch())
        return QDate::fromString(t, QStringLiteral("yyyy-M-d"));
    const TDateTime value = txt2Date(t);
    return value == 0 ? QDate() : dateTimeFromValue(value).date();
}

std::optional<int> parseCategoryId(const QString& text) {
    bool ok = false;
    const int id = text.toInt(&ok);
    if (!ok || CategoryTree().indexOfCategory(id) < 0)
        return std::nullopt;
    return id;
}

QDate defaultCutOffDate() {
    return QDate(currentDate().year(), 1, 1);
}

QString programVersion() {
    return QStringLiteral(DOLVANE_VERSION);
}

void prepareParser(QCommandLineParser& parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
}

SharedRunOptions::SharedRunOptions(QCommandLineParser& parser)
    : fParser(parser), fTick(QStringLiteral("tick"), QString(), QStringLiteral("ID")),
      fAll(QStringLiteral("all")),
      fPriorTo(QStringLiteral("prior-to"), QString(), QStringLiteral("DATE")),
      fNoCompress(QStringLiteral("no-compress")), fHelp(QStringList{"h", "help"}),
      fVersion(QStringLiteral("version")) {
    for (const QCommandLineOption* o : {&fTick, &fAll, &fPriorTo, &fNoCompress, &fHelp, &fVersion})
        fParser.addOption(*o);
}

std::optional<RunChoices> SharedRunOptions::parse(const QString& program,
                                                  const QStringList& arguments,
                                                  QString* error) const {
    // The parser skips the first entry, the program's name.
    if (!fParser.parse(QStringList{program} + arguments)) {
        *error = fParser.errorText();
        return std::nullopt;
    }
    if (fParser.isSet(fHelp) || fParser.isSet(fVersion)) {
        RunChoices c;
        c.help = fParser.isSet(fHelp);
        c.version = fParser.isSet(fVersion);
        return c;
    }
    return read(error);
}

std::optional<RunChoices> SharedRunOptions::read(QString* error) const {
    RunChoices c;
    auto fail = [&](const QString& text) {
        *error = text;
        return std::nullopt;
    };
    for (const QString& value : fParser.values(fTick)) {
        const auto id = parseCategoryId(value);
        if (!id)
            return fail(QStringLiteral("--tick needs a category id: ") + value);
        c.ticks.push_back(*id);
    }
    const QStringList dates = fParser.values(fPriorTo);
    if (fParser.isSet(fAll) && !dates.isEmpty())
        return fail(QStringLiteral("--all and --prior-to exclude each other"));
    if (dates.size() > 1)
        return fail(QStringLiteral("one --prior-to only"));
    if (fParser.isSet(fAll))
        c.priorTo = false;
    if (!dates.isEmpty()) {
        c.cutOff = parseCutOffDate(dates.first());
        if (!c.cutOff.isValid())
            return fail(QStringLiteral("Invalid Date: ") + dates.first());
        c.priorTo = true;
    }
    c.compress = !fParser.isSet(fNoCompress);
    return c;
}

QString SharedRunOptions::usageLines() {
    return QStringLiteral(
        "  --tick ID          click the category with that id in the tree: a tick spreads\n"
        "                     to the children, an untick to the parents\n"
        "  --all              choose \"Remove All Selected Data\"\n"
        "  --prior-to DATE    choose \"Remove Data Prior To:\" with DATE (yyyy-mm-dd, or day\n"
        "                     first as the date field takes it); the mode and date both\n"
        "                     programs start with are prior to 1 January of this year\n"
        "  --no-compress      leave out the compression step of the run\n"
        "  -h, --help         print this text and end\n"
        "  --version          print the version and end\n");
}
