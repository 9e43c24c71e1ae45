#include "app/RunSummary.h"

#include "common/Format.h"

#include <QStringList>

namespace {

bool nameIsShared(const CategoryTree& tree, int node) {
    for (int i = 0; i < tree.count(); ++i) {
        if (i != node && tree.text(i) == tree.text(node))
            return true;
    }
    return false;
}

} // namespace

QString runSummary(const CategoryTree& tree, bool priorToMode, TDateTime cutOff) {
    QString mode = QStringLiteral("Remove All Selected Data");
    if (priorToMode) {
        const QString date = dtsEx(cutOff);
        mode = QStringLiteral("Remove Data Prior To: ") +
               (date.isEmpty() ? QStringLiteral("no date") : date);
    }
    QStringList names;
    for (int i = 0; i < tree.count(); ++i) {
        const int parent = tree.parent(i);
        if (!tree.isTicked(i) || (parent >= 0 && tree.isTicked(parent)))
            continue;
        QString name = tree.text(i);
        if (parent >= 0 && nameIsShared(tree, i))
            name += QStringLiteral(" (") + tree.text(parent) + QLatin1Char(')');
        names << name;
    }
    const QString categories =
        names.isEmpty() ? QStringLiteral("nothing ticked") : names.join(QStringLiteral(", "));
    return mode + QStringLiteral(" - ") + categories;
}
