#pragma once

// All rows of a select, fetched before anything else runs on the connection. Rows are
// kept as compact copies of the message bytes of the kept columns, so a selection of a
// million keys costs a few bytes per row.

#include "db/Value.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace db {

class ResultSet final {
public:
    int columnCount() const { return int(fColumns.size()); }
    QString columnName(int col) const { return fColumns.at(col).name; }
    // -1 when no kept column has that name (compared ignoring case).
    int columnIndex(const QString& name) const;
    qsizetype rowCount() const { return fRowStride ? qsizetype(fData.size() / fRowStride) : 0; }
    bool isEmpty() const { return rowCount() == 0; }

    bool isNull(qsizetype row, int col) const;
    // The value in the column's own type, to bind back unchanged.
    DbValue value(qsizetype row, int col) const;
    // Conversions; a value that cannot be read as asked raises DbError naming the column.
    QString asString(qsizetype row, int col) const;
    qint32 asInt32(qsizetype row, int col) const;
    qint64 asInt64(qsizetype row, int col) const;
    QDateTime asDateTime(qsizetype row, int col) const;

private:
    friend class Query;
    struct Column {
        QString name;
        ColumnType type;
        unsigned sourceOffset = 0;     // in the fetched message
        unsigned sourceNullOffset = 0; // in the fetched message
        unsigned slotOffset = 0;       // in a kept row: null byte, then the value bytes
        unsigned slotSize = 0;
    };
    const char* slot(qsizetype row, int col) const;
    [[noreturn]] void conversionError(int col, const char* target) const;

    std::vector<Column> fColumns;
    std::vector<char> fData;
    unsigned fRowStride = 0;
};

} // namespace db
