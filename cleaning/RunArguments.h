#pragma once

// The run's choices as they are typed on a command line (dolvane-cli, and the window's
// developer options): a cut-off date and category ids.

#include <QDate>
#include <QString>
#include <optional>

// ISO form (yyyy-mm-dd), or what the date field takes (day first, any separators, year
// optional); invalid when it is neither.
QDate parseCutOffDate(const QString& text);

// The id of a node of the category tree, or nothing.
std::optional<int> parseCategoryId(const QString& text);
