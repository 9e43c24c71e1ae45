#include "db/Value.h"

namespace db {

DbValue DbValue::int32(std::int32_t v) {
    DbValue r;
    r.fKind = Kind::Int32;
    r.fInt = v;
    return r;
}

DbValue DbValue::int64(std::int64_t v) {
    DbValue r;
    r.fKind = Kind::Int64;
    r.fInt = v;
    return r;
}

DbValue DbValue::real(double v) {
    DbValue r;
    r.fKind = Kind::Double;
    r.fReal = v;
    return r;
}

DbValue DbValue::text(const QString& v) {
    DbValue r;
    r.fKind = Kind::Text;
    r.fText = v;
    return r;
}

DbValue DbValue::date(const QDate& v) {
    if (!v.isValid())
        return null();
    DbValue r;
    r.fKind = Kind::Date;
    r.fDateTime = QDateTime(v, QTime(0, 0));
    return r;
}

DbValue DbValue::timestamp(const QDateTime& v) {
    if (!v.isValid())
        return null();
    DbValue r;
    r.fKind = Kind::Timestamp;
    r.fDateTime = v;
    return r;
}

DbValue DbValue::column(const ColumnType& type, QByteArray raw) {
    DbValue r;
    r.fKind = Kind::Column;
    r.fColumnType = type;
    r.fRaw = std::move(raw);
    return r;
}

} // namespace db
