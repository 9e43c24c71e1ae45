#pragma once

// Removes rows from one table of the work copy: either the rows a generated select
// finds, deleted one by one by their first column, or the rows of a list of keys, or
// the whole table. Restarts the table's sequence when everything is removed and ends
// each table with a retaining commit. A failing single statement is logged, shown, and
// the run goes on.

#include "cleaning/RemovalReport.h"
#include "db/Value.h"

#include <QString>
#include <vector>

class RunHost;
namespace db {
class Connection;
class Query;
} // namespace db

class TableCleaner final {
public:
    TableCleaner(db::Connection& conx, db::Query& q1, db::Query& q2, RunHost& host);

    // Runs one statement through q2, binding param1 to its first parameter if it has one.
    // Never raises for a failing statement.
    void RunCommand(const QString& aCmd, const db::DbValue& param1, bool messageOnError);

    // "select * from T", with "where (D0<:V0) or (D1<:V1) ..." in prior-to mode.
    QString GenerateSQLQuery(const QString& tableName, const QString& dates) const;

    // Select form: the rows the generated select finds.
    void CleanTable(const QString& tableName, const QString& dates, const QString& generatorName,
                    bool messageOnError);
    // Id-list form: the rows whose keyField is in idList, or the whole table without a list.
    void CleanTable(const QString& tableName, const QString& keyField,
                    const std::vector<qint32>* idList, const QString& generatorName,
                    bool messageOnError);

    bool priorToMode() const;
    // Binds the cut-off date to every parameter of q1.
    void bindCutOff();

    const RemovalReport& report() const { return fReport; }

private:
    void restartSequence(const QString& generatorName);

    db::Connection& fConx;
    db::Query& fQ1;
    db::Query& fQ2;
    RunHost& fHost;
    RemovalReport fReport;
    int fCurrentTable = -1;
};
