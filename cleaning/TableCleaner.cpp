#include "cleaning/TableCleaner.h"

#include "common/FaultPoint.h"

#include "cleaning/DeleteBlock.h"
#include "cleaning/RunHost.h"
#include "common/ItemList.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "env/Log.h"

#include <algorithm>

TableCleaner::TableCleaner(db::Connection& conx, db::Query& q1, db::Query& q2, RunHost& host)
    : fConx(conx), fQ1(q1), fQ2(q2), fHost(host) {}

bool TableCleaner::priorToMode() const {
    return fHost.priorToMode();
}

void TableCleaner::RunCommand(const QString& aCmd, const db::DbValue& param1, bool messageOnError) {
    fQ2.Close();
    fQ2.SetSQL(aCmd);
    if (fQ2.ParamCount() > 0)
        fQ2.SetParam(0, param1);
    try {
        const quint64 changed = fQ2.ExecSQL();
        if (fCurrentTable >= 0 && aCmd.startsWith(QLatin1String("delete ")))
            fReport.add(fCurrentTable, changed);
    } catch (const db::DbError& e) {
        // The log names the statement with its markers, not the bound value.
        DebugOut(aCmd + QStringLiteral(": \r\n") + e.message(), 0, QString());
        if (messageOnError)
            fHost.DlgError(e.message());
    }
    fQ2.Close();
}

QString TableCleaner::GenerateSQLQuery(const QString& tableName, const QString& dates) const {
    QString sql = QStringLiteral("select * from ") + tableName;
    if (priorToMode() && !dates.isEmpty()) {
        sql += QStringLiteral(" where ");
        const int count = itemCountEx(dates, QStringLiteral(";"));
        for (int i = 0; i < count; ++i) {
            sql += QStringLiteral("(") + itemEx(i, dates, QStringLiteral(";")) +
                   QStringLiteral("<:V") + QString::number(i) + QStringLiteral(") or ");
        }
        sql.chop(4);
    }
    return sql;
}

void TableCleaner::bindCutOff() {
    const db::DbValue cutOff = db::DbValue::timestamp(fHost.cutOffDate());
    for (int i = 0; i < fQ1.ParamCount(); ++i)
        fQ1.SetParam(i, cutOff);
}

void TableCleaner::restartSequence(const QString& generatorName) {
    if (!generatorName.isEmpty() && !priorToMode())
        RunCommand(QStringLiteral("alter sequence ") + generatorName +
                       QStringLiteral(" restart with 0"),
                   db::DbValue::null(), false);
}

QString TableCleaner::condition(const QString& tableName, const QString& dates,
                                int* paramCount) const {
    const QString select = GenerateSQLQuery(tableName, dates);
    QStringList names;
    db::convertNamedParameters(select, &names);
    *paramCount = int(names.size());
    return select.mid(QStringLiteral("select * from ").size() + tableName.size());
}

void TableCleaner::runBlock(const QString& block, int paramCount, const QString& deleteSql,
                            bool messageOnError, quint64* shown, const quint64* selected) {
    DeleteBlock loop(fQ2);
    const DeleteBlock::Outcome outcome = loop.run(
        block, paramCount, db::DbValue::timestamp(fHost.cutOffDate()), [&](quint64 walked) {
            if (walked > *shown) {
                fHost.AdvanceProgress(2, qint64(walked - *shown));
                *shown = walked;
            }
        });
    // After a walk that stopped at a failing row, the selected rows this walk did not find
    // were removed by that one.
    quint64 removed = outcome.removed;
    if (selected) {
        removed += *selected - std::min(outcome.walked, *selected);
        if (*selected > *shown) {
            fHost.AdvanceProgress(2, qint64(*selected - *shown));
            *shown = *selected;
        }
    }
    if (fCurrentTable >= 0)
        fReport.add(fCurrentTable, removed);
    for (const db::DbValue& key : outcome.failedKeys)
        RunCommand(deleteSql, key, messageOnError);
}

void TableCleaner::CleanTable(const QString& tableName, const QString& dates,
                              const QString& generatorName, bool messageOnError) {
    fHost.SetStatus(QStringLiteral("Cleaning: ") + tableName);
    faultPoint(QByteArray("table:" + tableName.toUtf8()).constData());
    fCurrentTable = fReport.table(tableName);
    // The number of selected rows sets channel 2's maximum; the count also reads the pages
    // the deletes will touch.
    int paramCount = 0;
    const QString where = condition(tableName, dates, &paramCount);
    fQ1.Close();
    fQ1.SetSQL(QStringLiteral("select count(*) from ") + tableName + where);
    bindCutOff();
    const qint64 selected = fQ1.Open().asInt64(0, 0);
    fQ1.Close();
    fHost.InitialiseProgress(2, selected);
    if (selected > 0) {
        const FirstColumn key = firstColumnOf(fQ1, tableName);
        const QString deleteSql = QStringLiteral("delete from ") + tableName +
                                  QStringLiteral(" where ") + key.name + QStringLiteral(" = :V1");
        quint64 shown = 0;
        bool walked = false;
        if (key.uniqueKey) {
            // With the triggers off only a foreign key makes a delete fail, and most tables
            // have none that does: a walk without a savepoint and counts per row costs what
            // the set-based delete costs, a third less than the walk with them. When a row
            // fails, the walk with savepoints goes over what is left.
            try {
                runBlock(DeleteBlock::selectForm(tableName, key, where, paramCount, false),
                         paramCount, deleteSql, messageOnError, &shown, nullptr);
                walked = true;
            } catch (const db::DbError&) {
            }
        }
        if (!walked) {
            const quint64 all = quint64(selected);
            runBlock(DeleteBlock::selectForm(tableName, key, where, paramCount), paramCount,
                     deleteSql, messageOnError, &shown, key.uniqueKey ? &all : nullptr);
        }
    }
    restartSequence(generatorName);
    fConx.CommitRetaining();
}

void TableCleaner::CleanTable(const QString& tableName, const QString& keyField,
                              const std::vector<qint32>* idList, const QString& generatorName,
                              bool messageOnError, const IdSource* source) {
    fHost.SetStatus(QStringLiteral("Cleaning: ") + tableName);
    faultPoint(QByteArray("table:" + tableName.toUtf8()).constData());
    fCurrentTable = fReport.table(tableName);
    if (idList) {
        fHost.InitialiseProgress(2, qint64(idList->size()));
        const QString deleteSql = QStringLiteral("delete from ") + tableName +
                                  QStringLiteral(" where ") + keyField + QStringLiteral(" = :V1");
        if (source && !idList->empty()) {
            // The list is what the source's selection finds, so walking that selection
            // inside the engine deletes the rows of exactly the listed ids.
            int paramCount = 0;
            const QString where = condition(source->table, source->dates, &paramCount);
            quint64 shown = 0;
            runBlock(DeleteBlock::idListForm(tableName, keyField, source->table, source->keyField,
                                             where, paramCount),
                     paramCount, deleteSql, messageOnError, &shown, nullptr);
        } else {
            for (const qint32 id : *idList) {
                fHost.StepProgress(2);
                RunCommand(deleteSql, db::DbValue::int32(id), messageOnError);
            }
        }
    } else {
        RunCommand(QStringLiteral("delete from ") + tableName, db::DbValue::null(), messageOnError);
    }
    restartSequence(generatorName);
    fConx.CommitRetaining();
}
