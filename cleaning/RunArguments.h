#pragma once

// The run's choices as they are typed on a command line. `dolvane-cli` and the window's
// developer options declare and read the options they share here, so the two programs
// cannot disagree on what one of them means.

#include <QCommandLineOption>
#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class QCommandLineParser;

// ISO form (yyyy-mm-dd), or what the date field takes (day first, any separators, year
// optional); invalid when it is neither.
QDate parseCutOffDate(const QString& text);

// The id of a node of the category tree, or nothing.
std::optional<int> parseCategoryId(const QString& text);

// The cut-off both fronts start with: 1 January of the current year, by the program's clock.
QDate defaultCutOffDate();

// The version both programs print for --version.
QString programVersion();

// What the shared options chose.
struct RunChoices {
    // --help or --version: the program prints and ends; nothing else is read.
    bool help = false;
    bool version = false;
    // Category ids clicked in the tree, in order (ticks spread as a click spreads them).
    std::vector<int> ticks;
    // --all (false) or --prior-to (true); unset when neither was given.
    std::optional<bool> priorTo;
    // The date of --prior-to; invalid when it was not given.
    QDate cutOff;
    // --no-compress clears it.
    bool compress = true;
};

// Declares --tick, --all, --prior-to, --no-compress, --help and --version on a parser; the
// program adds its own options, then parse() reads the command line.
class SharedRunOptions final {
public:
    explicit SharedRunOptions(QCommandLineParser& parser);
    SharedRunOptions(const SharedRunOptions&) = delete;
    SharedRunOptions& operator=(const SharedRunOptions&) = delete;

    // Parses the arguments after the program's name with every option declared on the
    // parser. The shared choices, or nullopt with *error set for bad usage; the program's
    // own options are then read from the parser.
    std::optional<RunChoices> parse(const QString& program, const QStringList& arguments,
                                    QString* error) const;

    // The usage lines of the shared options, for the programs' own usage texts.
    static QString usageLines();

private:
    std::optional<RunChoices> read(QString* error) const;

    QCommandLineParser& fParser;
    QCommandLineOption fTick;
    QCommandLineOption fAll;
    QCommandLineOption fPriorTo;
    QCommandLineOption fNoCompress;
    QCommandLineOption fHelp;
    QCommandLineOption fVersion;
};

// A parser set up as both programs want it: long options with two dashes, "--" ends the
// options, single-letter options only where declared.
void prepareParser(QCommandLineParser& parser);
