#pragma once

// A value to bind to a statement parameter, or a value fetched from a result column.
// A fetched value keeps the column's own type (its raw bytes and description) so it can
// be bound back unchanged: a key is deleted in the type of the column it came from.

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace db {

// How Firebird describes a column or parameter in a message.
struct ColumnType {
    unsigned type = 0; // SQL_LONG, SQL_VARYING, ... without the nullable bit
    int subType = 0;
    unsigned length = 0; // bytes in the message, without the varying length word
    int scale = 0;
    unsigned charSet = 0;

    bool operator==(const ColumnType&) const = default;
};

class DbValue {
public:
    enum class Kind { Null, Int32, Int64, Double, Text, Date, Timestamp, Column };

    DbValue() = default;
    static DbValue null() { return DbValue(); }
    static DbValue int32(std::int32_t v);
    static DbValue int64(std::int64_t v);
    static DbValue real(double v);
    static DbValue text(const QString& v);
    static DbValue date(const QDate& v);
    static DbValue timestamp(const QDateTime& v);
    // Raw message bytes of a fetched column (for VARCHAR the length word and the data).
    static DbValue column(const ColumnType& type, QByteArray raw);

    Kind kind() const { return fKind; }
    bool isNull() const { return fKind == Kind::Null; }
    std::int64_t integer() const { return fInt; }
    double realValue() const { return fReal; }
    const QString& textValue() const { return fText; }
    const QDateTime& dateTime() const { return fDateTime; }
    const ColumnType& columnType() const { return fColumnType; }
    const QByteArray& raw() const { return fRaw; }

private:
    Kind fKind = Kind::Null;
    std::int64_t fInt = 0;
    double fReal = 0;
    QString fText;
    QDateTime fDateTime;
    ColumnType fColumnType;
    QByteArray fRaw;
};

} // namespace db
