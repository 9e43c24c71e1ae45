#pragma once

// Delimited item lists: texts whose items are joined by a one-character separator,
// read in place without splitting. The separator comes from a process-wide stack so a
// caller can set one for a stretch of work; "@" is current when nothing is pushed.

#include <QString>

void pushSIS(const QString& separator);
// Raises std::out_of_range when nothing is pushed: pushes and pops must pair.
void popSIS();
QString getSeparator();

int itemCount(const QString& haystack);
QString item(int idx, const QString& haystack);

int itemCountEx(const QString& haystack, const QString& separator);
QString itemEx(int idx, const QString& haystack, const QString& separator);

// Pushes a separator for the life of the object; pops on every way out.
class SeparatorScope final {
public:
    explicit SeparatorScope(const QString& separator) { pushSIS(separator); }
    // The constructor pushed, so this pop always finds its entry and cannot throw.
    ~SeparatorScope() { popSIS(); } // NOLINT(bugprone-exception-escape)
    SeparatorScope(const SeparatorScope&) = delete;
    SeparatorScope& operator=(const SeparatorScope&) = delete;
};
