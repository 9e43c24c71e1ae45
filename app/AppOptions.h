#pragma once

// Developer options of the window program, for screenshots and for timing a whole run
// with the window: drop a file, tick categories, choose the mode, press Start and end
// when the run is over. The operator starts the program without options.

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct AppOptions {
    // --help or --version: print and end before any window exists.
    bool help = false;
    bool version = false;
    // `dolvane FILE`: the window opens with FILE as if it had been dropped on it.
    QString open;
    // The file dropped on the drop area once the window shows (--drop or --run).
    QString drop;
    // Press Start after the drop and end the program when the run is over.
    bool run = false;
    // Category ids clicked in the tree, in order (ticks spread as a click spreads them).
    std::vector<int> ticks;
    // --all or --prior-to; unset keeps the window's own choice.
    std::optional<bool> priorTo;
    QDate cutOff;
    // The answer to the backup question (6 Yes, 7 No); set, every message is answered
    // without waiting for a person and its text goes to stderr.
    std::optional<int> answer;
    bool compress = true;
    // A PNG of the window: in the selection state after the drop and the ticks, or, with
    // --run, half-way through the first table cleaned.
    QString screenshot;
};

// Parses the arguments after the program name (Qt's own options are not taken: the
// arguments are read before the application object exists); nullopt with *error set for
// bad usage.
std::optional<AppOptions> parseAppArguments(const QStringList& arguments, QString* error);
QString appUsage();
