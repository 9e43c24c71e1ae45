#pragma once

// Counts, per table, the rows a run with the host's choices would remove, without
// changing anything: it reads a throwaway copy of the database in the temporary folder
// through a read-only transaction, so the dropped file is never opened by the engine.

#include "cleaning/RemovalReport.h"

#include <QString>

class RunHost;
namespace db {
class Connection;
class Query;
} // namespace db

class DryRun final {
public:
    DryRun(db::Connection& conx, db::Query& q1, db::Query& q2, RunHost& host);

    // Throws on any database error; the throwaway copy is removed on every way out.
    RemovalReport count(const QString& fGDB);

private:
    db::Connection& fConx;
    db::Query& fQ1;
    db::Query& fQ2;
    RunHost& fHost;
};
