#include "cleaning/TableCleaner.h"

#include "common/FaultPoint.h"

#include "cleaning/RunHost.h"
#include "common/ItemList.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "env/Log.h"

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

void TableCleaner::CleanTable(const QString& tableName, const QString& dates,
                              const QString& generatorName, bool messageOnError) {
    fHost.SetStatus(QStringLiteral("Cleaning: ") + tableName);
    faultPoint(QByteArray("table:" + tableName.toUtf8()).constData());
    fCurrentTable = fReport.table(tableName);
    fQ1.Close();
    fQ1.SetSQL(GenerateSQLQuery(tableName, dates));
    bindCutOff();
    // Every selected row is fetched before the first delete. Only the first column (the
    // key) is kept in memory; the others are selected but never used.
    const db::ResultSet rows = fQ1.Open(1);
    fHost.InitialiseProgress(2, rows.rowCount());
    if (!rows.isEmpty()) {
        const QString deleteSql = QStringLiteral("delete from ") + tableName +
                                  QStringLiteral(" where ") + rows.columnName(0) +
                                  QStringLiteral(" = :V1");
        for (qsizetype r = 0; r < rows.rowCount(); ++r) {
            fHost.StepProgress(2);
            RunCommand(deleteSql, rows.value(r, 0), messageOnError);
        }
    }
    fQ1.Close();
    restartSequence(generatorName);
    fConx.CommitRetaining();
}

void TableCleaner::CleanTable(const QString& tableName, const QString& keyField,
                              const std::vector<qint32>* idList, const QString& generatorName,
                              bool messageOnError) {
    fHost.SetStatus(QStringLiteral("Cleaning: ") + tableName);
    faultPoint(QByteArray("table:" + tableName.toUtf8()).constData());
    fCurrentTable = fReport.table(tableName);
    if (idList) {
        fHost.InitialiseProgress(2, qint64(idList->size()));
        const QString deleteSql = QStringLiteral("delete from ") + tableName +
                                  QStringLiteral(" where ") + keyField + QStringLiteral(" = :V1");
        for (const qint32 id : *idList) {
            fHost.StepProgress(2);
            RunCommand(deleteSql, db::DbValue::int32(id), messageOnError);
        }
    } else {
        RunCommand(QStringLiteral("delete from ") + tableName, db::DbValue::null(), messageOnError);
    }
    restartSequence(generatorName);
    fConx.CommitRetaining();
}
