#include "app/AppOptions.h"

#include "cleaning/RunArguments.h"

#include <QCommandLineParser>
#include <QFileInfo>

QString appUsage() {
    return QStringLiteral(
               "usage: dolvane [FILE]\n"
               "       dolvane [--drop FILE | --run FILE] [--tick ID]... [--all | --prior-to "
               "DATE]\n"
               "               [--answer-yes | --answer-no] [--no-compress] [--screenshot PNG]\n"
               "  FILE               open the window with FILE as if it had been dropped on it\n"
               "Developer options, for screenshots and for timing a run through the window:\n"
               "  --drop FILE        drop FILE on the window as the file manager would\n"
               "  --run FILE         drop FILE, press Start and end when the run is over\n"
               "                     (exit status 0 when it reached \"Done\", 1 otherwise)\n"
               "  --answer-yes/-no   answer the backup question; every other message is closed\n"
               "                     at once and printed to stderr\n"
               "  --screenshot PNG   save a picture of the window: after the drop and the ticks,\n"
               "                     or with --run half-way through the first table cleaned\n") +
           SharedRunOptions::usageLines();
}

std::optional<AppOptions> parseAppArguments(const QStringList& arguments, QString* error) {
    QCommandLineParser parser;
    prepareParser(parser);
    const SharedRunOptions shared(parser);
    const QCommandLineOption drop(QStringLiteral("drop"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption run(QStringLiteral("run"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption answerYes(QStringLiteral("answer-yes"));
    const QCommandLineOption answerNo(QStringLiteral("answer-no"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(),
                                        QStringLiteral("PNG"));
    parser.addOptions({drop, run, answerYes, answerNo, screenshot});

    auto fail = [&](const QString& text) {
        *error = text;
        return std::nullopt;
    };
    const auto choices = shared.parse(QStringLiteral("dolvane"), arguments, error);
    if (!choices)
        return std::nullopt;
    AppOptions o;
    o.help = choices->help;
    o.version = choices->version;
    if (o.help || o.version)
        return o;
    o.ticks = choices->ticks;
    o.priorTo = choices->priorTo;
    o.cutOff = choices->cutOff;
    o.compress = choices->compress;

    const QStringList files = parser.values(drop) + parser.values(run);
    const QStringList positional = parser.positionalArguments();
    if (files.size() + positional.size() > 1)
        return fail(QStringLiteral("one file only"));
    for (const QString& file : files) {
        if (file.isEmpty())
            return fail(QStringLiteral("--drop and --run need a file"));
        o.drop = QFileInfo(file).absoluteFilePath();
    }
    o.run = parser.isSet(run);
    if (!positional.isEmpty()) {
        if (positional.first().isEmpty())
            return fail(QStringLiteral("no file given"));
        o.open = QFileInfo(positional.first()).absoluteFilePath();
    }
    if (parser.isSet(answerYes) && parser.isSet(answerNo))
        return fail(QStringLiteral("one answer only"));
    if (parser.isSet(answerYes) || parser.isSet(answerNo))
        o.answer = parser.isSet(answerYes) ? 6 : 7;
    if (parser.isSet(screenshot)) {
        const QString png = parser.value(screenshot);
        if (png.isEmpty())
            return fail(QStringLiteral("--screenshot needs a file"));
        o.screenshot = QFileInfo(png).absoluteFilePath();
    }
    return o;
}
