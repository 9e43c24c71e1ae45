#pragma once

// Removes rows from one table of the work copy: either the rows a generated select
// finds, deleted one by one by their first column, or the rows of a list of keys, or
// the whole table. Restarts the table's sequence when everything is removed and ends
// each table with a retaining commit. A failing single statement is logged, shown, and
// the run goes on.
//
// The one-by-one deletes run as a loop inside the engine (DeleteBlock). A row the loop
// could not delete is then deleted once more through RunCommand with the statement a
// per-row delete uses, so its log line and message are the same.

#include "cleaning/RemovalReport.h"
#include "db/Value.h"

#include <QString>
#include <vector>

class RunHost;
namespace db {
class Connection;
class Query;
} // namespace db

// Where a list of ids came from: the keyField values of the rows of table that the select
// form's condition on dates finds. With it the id-list form walks that selection inside
// the engine instead of sending one statement per id.
struct IdSource {
    QString table;
    QString dates;
    QString keyField;
};

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
                    bool messageOnError, const IdSource* source = nullptr);

    bool priorToMode() const;
    // Binds the cut-off date to every parameter of q1.
    void bindCutOff();

    const RemovalReport& report() const { return fReport; }

private:
    void restartSequence(const QString& generatorName);
    // The " where ..." part of the generated select (empty without one) and its marker count.
    QString condition(const QString& tableName, const QString& dates, int* paramCount) const;
    // Runs a delete block, moving channel 2 on from *shown as it reports, and sends each
    // failing key through RunCommand with deleteSql. With selected, the block walks what an
    // earlier walk of those rows left: the rows it does not find count as removed.
    void runBlock(const QString& block, int paramCount, const QString& deleteSql,
                  bool messageOnError, quint64* shown, const quint64* selected);

    db::Connection& fConx;
    db::Query& fQ1;
    db::Query& fQ2;
    RunHost& fHost;
    RemovalReport fReport;
    int fCurrentTable = -1;
};
