#include "cleaning/RunArguments.h"

#include "cleaning/CategoryTree.h"
#include "common/DateTime.h"
#include "common/Format.h"

#include <QRegularExpression>

QDate parseCutOffDate(const QString& text) {
    const QString t = text.trimmed();
    static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2}$"));
    if (iso.match(t).hasMatch())
        return QDate::fromString(t, QStringLiteral("yyyy-M-d"));
    const TDateTime value = txt2Date(t);
    return value == 0 ? QDate() : dateTimeFromValue(value).date();
}

std::optional<int> parseCategoryId(const QString& text) {
    bool ok = false;
    const int id = text.toInt(&ok);
    if (!ok || CategoryTree().indexOfCategory(id) < 0)
        return std::nullopt;
    return id;
}
