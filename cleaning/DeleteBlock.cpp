#include "cleaning/DeleteBlock.h"

#include "cleaning/TriggerSwitch.h"
#include "db/DbError.h"
#include "db/Query.h"

namespace {

// Rows the block returns, told apart by their first column.
enum RowKind { progressRow = 0, failedRow = 1, lastRow = 2 };

QString inputs(int paramCount) {
    if (paramCount == 0)
        return QString();
    QStringList names;
    for (int i = 0; i < paramCount; ++i)
        names << QStringLiteral("V%1 timestamp = ?").arg(i);
    return QStringLiteral(" (") + names.join(QStringLiteral(", ")) + QStringLiteral(")");
}

// The loop around one positioned delete without a savepoint per row: the first failing
// row ends the block. Every walked row is a removed one, so the loop keeps no counts per
// row: a countdown to the next progress row is all it does besides the delete.
QString positionedLoop(const QString& walk, const QString& deleteStatement) {
    return QStringLiteral("declare variable STEP integer = %3;\n"
                          "begin\n"
                          "  ROWS_WALKED = 0;\n"
                          "  for %1 do\n"
                          "  begin\n"
                          "    %2;\n"
                          "    STEP = STEP - 1;\n"
                          "    if (STEP = 0) then\n"
                          "    begin\n"
                          "      ROWS_WALKED = ROWS_WALKED + %3;\n"
                          "      STEP = %3;\n"
                          "      ROW_KIND = %4;\n"
                          "      suspend;\n"
                          "    end\n"
                          "  end\n"
                          "  ROWS_WALKED = ROWS_WALKED + %3 - STEP;\n"
                          "  ROWS_REMOVED = ROWS_WALKED;\n"
                          "  ROW_KIND = %5;\n"
                          "  suspend;\n"
                          "end")
        .arg(walk, deleteStatement, QString::number(DeleteBlock::progressStep),
             QString::number(progressRow), QString::number(lastRow));
}

// The loop around one delete: its own savepoint (the handler undoes that row alone), a
// returned row for a failing key and one every progressStep rows.
// removed adds what the delete removed to ROWS_REMOVED.
QString loop(const QString& walk, const QString& deleteStatement, const QString& removed) {
    return QStringLiteral("declare variable FAILED smallint;\n"
                          "begin\n"
                          "  ROWS_WALKED = 0;\n"
                          "  ROWS_REMOVED = 0;\n"
                          "  for %1 do\n"
                          "  begin\n"
                          "    ROWS_WALKED = ROWS_WALKED + 1;\n"
                          "    FAILED = 0;\n"
                          "    begin\n"
                          "      %2;\n"
                          "      ROWS_REMOVED = ROWS_REMOVED + %7;\n"
                          "      when any do FAILED = 1;\n"
                          "    end\n"
                          "    if (FAILED = 1) then\n"
                          "    begin\n"
                          "      ROW_KIND = %3;\n"
                          "      suspend;\n"
                          "    end\n"
                          "    if (mod(ROWS_WALKED, %4) = 0) then\n"
                          "    begin\n"
                          "      ROW_KIND = %5;\n"
                          "      suspend;\n"
                          "    end\n"
                          "  end\n"
                          "  ROW_KIND = %6;\n"
                          "  suspend;\n"
                          "end")
        // One pass, so no text put in is read for markers again.
        .arg(walk, deleteStatement, QString::number(failedRow),
             QString::number(DeleteBlock::progressStep), QString::number(progressRow),
             QString::number(lastRow), removed);
}

QString header(int paramCount, const QString& keyType) {
    return QStringLiteral("execute block") + inputs(paramCount) +
           QStringLiteral("\nreturns (ROW_KIND smallint, ROWS_WALKED bigint, ROWS_REMOVED bigint, "
                          "ROW_KEY ") +
           keyType + QStringLiteral(")\nas\n");
}

} // namespace

FirstColumn firstColumnOf(db::Query& q, const QString& tableName) {
    q.Close();
    q.SetSQL(QStringLiteral(
        "select first 1 trim(rf.rdb$field_name), "
        "coalesce(rf.rdb$null_flag, f.rdb$null_flag, 0), "
        "(select count(*) from rdb$indices i join rdb$index_segments s on s.rdb$index_name = "
        "i.rdb$index_name where i.rdb$relation_name = rf.rdb$relation_name and i.rdb$unique_flag "
        "= 1 and i.rdb$segment_count = 1 and coalesce(i.rdb$index_inactive, 0) = 0 and "
        "i.rdb$expression_blr is null and s.rdb$field_name = rf.rdb$field_name) "
        "from rdb$relation_fields rf join rdb$fields f on f.rdb$field_name = rf.rdb$field_source "
        "where rf.rdb$relation_name = :V0 order by rf.rdb$field_position"));
    q.SetParam(0, db::DbValue::text(tableName));
    const db::ResultSet rs = q.Open();
    q.Close();
    if (rs.isEmpty())
        throw db::DbError(QStringLiteral("first column"),
                          QStringLiteral("Table unknown: ") + tableName);
    FirstColumn column;
    column.name = rs.asString(0, 0);
    column.uniqueKey = rs.asInt64(0, 1) != 0 && rs.asInt64(0, 2) > 0;
    return column;
}

QString DeleteBlock::selectForm(const QString& tableName, const FirstColumn& key,
                                const QString& condition, int paramCount, bool perRowSavepoint) {
    const QString column = quotedIdentifier(key.name);
    const QString walk = QStringLiteral("select ") + column + QStringLiteral(" from ") + tableName +
                         condition + QStringLiteral(" into :ROW_KEY as cursor WALK");
    // Without a unique key the row goes by its value, as a delete statement per row would
    // take it: rows sharing the value go with it, and a null value matches nothing.
    const QString remove =
        QStringLiteral("delete from ") + tableName +
        (key.uniqueKey ? QStringLiteral(" where current of WALK")
                       : QStringLiteral(" where ") + column + QStringLiteral(" = :ROW_KEY"));
    const QString head = header(paramCount, QStringLiteral("type of column ") + tableName +
                                                QLatin1Char('.') + column);
    if (key.uniqueKey && !perRowSavepoint)
        return head + positionedLoop(walk, remove);
    // A positioned delete removes the cursor's row or raises; Firebird 3's row_count after
    // it counts the cursor's deletes so far, not this one.
    return head +
           loop(walk, remove, key.uniqueKey ? QStringLiteral("1") : QStringLiteral("row_count"));
}

QString DeleteBlock::idListForm(const QString& tableName, const QString& keyField,
                                const QString& sourceTable, const QString& sourceKey,
                                const QString& condition, int paramCount) {
    const QString walk = QStringLiteral("select ") + sourceKey + QStringLiteral(" from ") +
                         sourceTable + condition + QStringLiteral(" into :ROW_KEY");
    const QString remove = QStringLiteral("delete from ") + tableName + QStringLiteral(" where ") +
                           keyField + QStringLiteral(" = :ROW_KEY");
    return header(paramCount, QStringLiteral("integer")) +
           loop(walk, remove, QStringLiteral("row_count"));
}

DeleteBlock::Outcome DeleteBlock::run(const QString& block, int paramCount,
                                      const db::DbValue& value,
                                      const std::function<void(quint64 walked)>& onProgress) {
    Outcome outcome;
    fQuery.Close();
    fQuery.SetRawSQL(block, paramCount);
    for (int i = 0; i < paramCount; ++i)
        fQuery.SetParam(i, value);
    bool finished = false;
    fQuery.Fetch([&](const db::ResultSet& row) {
        switch (row.asInt32(0, 0)) {
        case failedRow:
            outcome.failedKeys.push_back(row.value(0, 3));
            break;
        case lastRow:
            finished = true;
            outcome.removed = quint64(row.asInt64(0, 2));
            [[fallthrough]];
        default:
            outcome.walked = quint64(row.asInt64(0, 1));
            if (onProgress)
                onProgress(outcome.walked);
            break;
        }
    });
    fQuery.Close();
    if (!finished)
        throw db::DbError(QStringLiteral("delete block"),
                          QStringLiteral("The delete loop ended without its last row"));
    return outcome;
}
