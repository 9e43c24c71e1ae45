#pragma once

// The arguments of dolvane-cli, read into the choices of a run.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct CliOptions {
    QString file;
    bool priorTo = true;
    QDateTime cutOff; // invalid: 1 January of the current year
    std::vector<int> ticks;
    bool backup = false;
    bool compress = true;
    bool dryRun = false;
};

// The options, or an error text for bad usage.
std::optional<CliOptions> parseCliArguments(const QStringList& arguments, QString* error);

QString cliUsage();
