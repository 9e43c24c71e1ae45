#pragma once

// The Start sequence: copies the dropped database to a work copy in the temporary
// folder, switches the table triggers off, runs the rules of the ticked categories,
// switches the triggers on, compresses the work copy and puts it in place of the dropped
// file. The dropped file is only ever replaced whole, at the very end.

#include "cleaning/RemovalReport.h"

#include <QString>
#include <QStringList>

class RunHost;
namespace db {
class Connection;
class Query;
} // namespace db

enum class RunOutcome {
    Done,             // the dropped file now holds the cleaned copy
    CopyToTempFailed, // nothing happened
    Failed,           // an error ended the run; the dropped file is unchanged
    CopyBackFailed,   // the cleaning worked but the dropped file could not be replaced
};

class CleaningRun final {
public:
    CleaningRun(db::Connection& conx, db::Query& q1, db::Query& q2, RunHost& host);

    // The run for the file dropped as fGDB. Status texts, progress, questions and errors
    // go to the host.
    RunOutcome Execute(const QString& fGDB);

    const RemovalReport& removed() const { return fRemoved; }
    // The work copy's path (deleted by the time Execute returns).
    const QString& workCopy() const { return gdbName; }
    const QStringList& triggers() const { return triggerList; }
    qint64 steps() const { return max; }

    static QString failedStatus();

private:
    RunOutcome executeSteps(const QString& fGDB);
    void protectedBlock(const QString& fGDB);

    db::Connection& conx;
    db::Query& q1;
    db::Query& q2;
    RunHost& fHost;
    QString fName;
    QString gdbName;
    qint64 max = 0;
    QStringList triggerList;
    RemovalReport fRemoved;
    bool fForcedWrites = true;
};
