#include "cleaning/TriggerSwitch.h"

#include "db/Query.h"

QString quotedIdentifier(const QString& name) {
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

std::vector<ListedTrigger> TriggerSwitch::listTriggers() {
    fQ1.Close();
    fQ1.SetSQL(QStringLiteral("select * from RDB$TRIGGERS where RDB$TRIGGER_NAME like 'T%' and "
                              "RDB$RELATION_NAME like 'TBL_%'"));
    const db::ResultSet rows = fQ1.Open();
    const int column = rows.columnIndex(QStringLiteral("RDB$TRIGGER_NAME"));
    const int inactive = rows.columnIndex(QStringLiteral("RDB$TRIGGER_INACTIVE"));
    std::vector<ListedTrigger> listed;
    for (qsizetype r = 0; r < rows.rowCount(); ++r) {
        // A null flag counts as active, as the engine treats it.
        const bool active = rows.isNull(r, inactive) || rows.asInt32(r, inactive) == 0;
        listed.push_back({rows.asString(r, column), active});
    }
    fQ1.Close();
    return listed;
}

void TriggerSwitch::SetTriggerStatus(const QString& trigger, bool setActive) {
    fQ1.Close();
    fQ1.SetSQL(QStringLiteral("alter trigger ") + quotedIdentifier(trigger) +
               (setActive ? QStringLiteral(" active") : QStringLiteral(" inactive")));
    fQ1.ExecSQL();
    fQ1.Close();
}
