#pragma once

// The arguments of dolvane-cli, read into the choices of a run.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct CliOptions {
    // --help or --version: print and end.
    bool help = false;
    bool version = false;
    QString file;
    bool priorTo = true;
    // --prior-to's date, else 1 January of the current year by the program's clock.
    QDateTime cutOff;
    std::vector<int> ticks;
    bool backup = false;
    bool compress = true;
    bool dryRun = false;
    // One JSON object on stdout instead of the table.
    bool json = false;
};

// The options, or an error text for bad usage.
std::optional<CliOptions> parseCliArguments(const QStringList& arguments, QString* error);

QString cliUsage();
