#include "db/ResultSet.h"

#include "db/DbError.h"
#include "db/FbApi.h"

#include <cstring>

namespace db {

namespace {

template <typename T> T load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

QDate decodeDate(ISC_DATE d) {
    unsigned y = 0, m = 0, day = 0;
    fb::util()->decodeDate(d, &y, &m, &day);
    return QDate(int(y), int(m), int(day));
}

QTime decodeTime(ISC_TIME t) {
    unsigned h = 0, m = 0, s = 0, f = 0;
    fb::util()->decodeTime(t, &h, &m, &s, &f);
    return QTime(int(h), int(m), int(s), int(f / 10));
}

qint64 pow10(int n) {
    qint64 r = 1;
    while (n-- > 0)
        r *= 10;
    return r;
}

} // namespace

int ResultSet::columnIndex(const QString& name) const {
    for (size_t i = 0; i < fColumns.size(); ++i) {
        if (fColumns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

const char* ResultSet::slot(qsizetype row, int col) const {
    if (row < 0 || row >= rowCount() || col < 0 || col >= columnCount())
        throw DbError(QStringLiteral("read column"),
                      QStringLiteral("Row %1, column %2 out of range").arg(row).arg(col));
    return fData.data() + size_t(row) * fRowStride + fColumns[size_t(col)].slotOffset;
}

bool ResultSet::isNull(qsizetype row, int col) const {
    return slot(row, col)[0] != 0;
}

DbValue ResultSet::value(qsizetype row, int col) const {
    const char* s = slot(row, col);
    if (s[0])
        return DbValue::null();
    const Column& c = fColumns[size_t(col)];
    return DbValue::column(c.type, QByteArray(s + 1, int(c.slotSize - 1)));
}

void ResultSet::conversionError(int col, const char* target) const {
    throw DbError(QStringLiteral("read column"),
                  QStringLiteral("Column %1 cannot be read as %2")
                      .arg(fColumns[size_t(col)].name, QLatin1String(target)));
}

qint64 ResultSet::asInt64(qsizetype row, int col) const {
    const char* s = slot(row, col);
    if (s[0])
        return 0;
    const Column& c = fColumns[size_t(col)];
    const char* p = s + 1;
    qint64 v = 0;
    switch (c.type.type) {
    case SQL_SHORT:
        v = load<ISC_SHORT>(p);
        break;
    case SQL_LONG:
        v = load<ISC_LONG>(p);
        break;
    case SQL_INT64:
        v = load<ISC_INT64>(p);
        break;
    case SQL_TEXT:
    case SQL_VARYING: {
        bool ok = false;
        v = asString(row, col).trimmed().toLongLong(&ok);
        if (!ok)
            conversionError(col, "an integer");
        return v;
    }
    default:
        conversionError(col, "an integer");
    }
    if (c.type.scale < 0)
        v /= pow10(-c.type.scale);
    return v;
}

qint32 ResultSet::asInt32(qsizetype row, int col) const {
    const qint64 v = asInt64(row, col);
    if (v < INT32_MIN || v > INT32_MAX)
        conversionError(col, "a 32-bit integer");
    return qint32(v);
}

QDateTime ResultSet::asDateTime(qsizetype row, int col) const {
    const char* s = slot(row, col);
    if (s[0])
        return QDateTime();
    const Column& c = fColumns[size_t(col)];
    const char* p = s + 1;
    switch (c.type.type) {
    case SQL_TIMESTAMP: {
        const auto ts = load<ISC_TIMESTAMP>(p);
        return QDateTime(decodeDate(ts.timestamp_date), decodeTime(ts.timestamp_time));
    }
    case SQL_TYPE_DATE:
        return QDateTime(decodeDate(load<ISC_DATE>(p)), QTime(0, 0));
    default:
        conversionError(col, "a date");
    }
}

QString ResultSet::asString(qsizetype row, int col) const {
    const char* s = slot(row, col);
    if (s[0])
        return QString();
    const Column& c = fColumns[size_t(col)];
    const char* p = s + 1;
    switch (c.type.type) {
    case SQL_TEXT: {
        // Fixed-width text comes padded with blanks.
        qsizetype n = c.type.length;
        while (n > 0 && p[n - 1] == ' ')
            --n;
        return QString::fromUtf8(p, n);
    }
    case SQL_VARYING: {
        const auto len = load<ISC_USHORT>(p);
        return QString::fromUtf8(p + 2, qMin<qsizetype>(len, c.type.length));
    }
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        const char* q = p;
        qint64 v = c.type.type == SQL_SHORT  ? load<ISC_SHORT>(q)
                   : c.type.type == SQL_LONG ? load<ISC_LONG>(q)
                                             : load<ISC_INT64>(q);
        if (c.type.scale >= 0)
            return QString::number(v);
        const qint64 div = pow10(-c.type.scale);
        const QString sign = v < 0 ? QStringLiteral("-") : QString();
        const qint64 a = v < 0 ? -v : v;
        return sign + QString::number(a / div) + QLatin1Char('.') +
               QString::number(a % div).rightJustified(-c.type.scale, QLatin1Char('0'));
    }
    case SQL_FLOAT:
        return QString::number(load<float>(p));
    case SQL_DOUBLE:
        return QString::number(load<double>(p), 'g', 15);
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
        return asDateTime(row, col).toString(Qt::ISODateWithMs);
    case SQL_TYPE_TIME:
        return decodeTime(load<ISC_TIME>(p)).toString(Qt::ISODateWithMs);
    case SQL_BOOLEAN:
        return p[0] ? QStringLiteral("true") : QStringLiteral("false");
    default:
        conversionError(col, "text");
    }
}

} // namespace db
