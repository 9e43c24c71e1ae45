#pragma once

// The delete loop of the table cleaner, run inside the engine: one execute block walks the
// rows a select finds and deletes each under its own savepoint, so a row that cannot go
// (a foreign key, a raising trigger) is undone alone and the walk goes on. The block
// returns a row per progress step, one per failing key, and a last one with the engine's
// own counts. One client statement per row would cost more than the delete itself. A walk
// by a unique key may also go without the savepoints, and stop at the first failing row.

#include "db/Value.h"

#include <QString>
#include <functional>
#include <vector>

namespace db {
class Query;
}

// What the system tables say about a table's first column.
struct FirstColumn {
    QString name;
    // NOT NULL with a single-column unique index or primary key: the cursor's row is the
    // one row holding that value.
    bool uniqueKey = false;
};

// The table's first column in column order; raises DbError when the table has none.
FirstColumn firstColumnOf(db::Query& q, const QString& tableName);

class DeleteBlock final {
public:
    // Rows walked between two progress rows.
    static constexpr qint64 progressStep = 4096;

    struct Outcome {
        quint64 walked = 0;
        quint64 removed = 0;
        std::vector<db::DbValue> failedKeys; // in the column's own type, in walk order
    };

    // Walks "select <first column> from <table><condition>" and deletes each row: where
    // current of the cursor for a unique key, else every row holding the walked value.
    // condition is the select form's " where ..." text with its :V0.. markers (or empty).
    // Without perRowSavepoint, for a unique key only, the first failing row ends the block
    // with its error, and which rows before it stay deleted is the engine's business: the
    // caller walks again.
    static QString selectForm(const QString& tableName, const FirstColumn& key,
                              const QString& condition, int paramCount,
                              bool perRowSavepoint = true);
    // Walks "select <sourceKey> from <sourceTable><condition>" and deletes the rows of
    // tableName whose keyField holds each walked id (a 32-bit integer).
    static QString idListForm(const QString& tableName, const QString& keyField,
                              const QString& sourceTable, const QString& sourceKey,
                              const QString& condition, int paramCount);

    explicit DeleteBlock(db::Query& q) : fQuery(q) {}

    // Runs a block with every parameter bound to value; onProgress gets the rows walked so
    // far, every progressStep rows and at the end.
    Outcome run(const QString& block, int paramCount, const db::DbValue& value,
                const std::function<void(quint64 walked)>& onProgress);

private:
    db::Query& fQuery;
};
