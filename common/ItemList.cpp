#include "common/ItemList.h"

#include <QStringList>
#include <stdexcept>

namespace {

QStringList& separatorStack() {
    static QStringList stack;
    return stack;
}

} // namespace

void pushSIS(const QString& separator) {
    separatorStack().append(separator);
}

void popSIS() {
    auto& stack = separatorStack();
    if (stack.isEmpty())
        throw std::out_of_range("List index out of bounds (-1)");
    stack.removeLast();
}

QString getSeparator() {
    const auto& stack = separatorStack();
    return stack.isEmpty() ? QStringLiteral("@") : stack.last();
}

int itemCount(const QString& haystack) {
    const QString sep = getSeparator();
    if (sep.isEmpty())
        return 1;
    // Every position is tested, so overlapping occurrences of a longer separator each count.
    int count = 1;
    for (qsizetype p = 0; p < haystack.size(); ++p) {
        if (QStringView(haystack).mid(p).startsWith(sep))
            ++count;
    }
    return count;
}

QString item(int idx, const QString& haystack) {
    if (idx >= itemCount(haystack))
        return QString();
    const QString sep = getSeparator();
    if (sep.isEmpty())
        return haystack;
    qsizetype start = 0;
    for (int i = 0; i < idx; ++i) {
        const qsizetype at = haystack.indexOf(sep, start);
        if (at < 0)
            break;
        start = at + sep.size();
    }
    const qsizetype end = haystack.indexOf(sep, start);
    return end < 0 ? haystack.mid(start) : haystack.mid(start, end - start);
}

int itemCountEx(const QString& haystack, const QString& separator) {
    SeparatorScope scope(separator);
    return itemCount(haystack);
}

QString itemEx(int idx, const QString& haystack, const QString& separator) {
    SeparatorScope scope(separator);
    return item(idx, haystack);
}
