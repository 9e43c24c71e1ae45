#pragma once

// The one line that says what a run will do before it starts: the mode with its cut-off
// and the ticked categories. Text only; the window shows it in its run state.

#include "cleaning/CategoryTree.h"
#include "common/DateTime.h"

#include <QString>

// For example "Remove Data Prior To: 01/01/2023 - Suppliers, Debtors". A ticked node
// stands for its subtree (a tick spreads to every descendant), so only the ticked nodes
// whose parent is not ticked are named; a name the tree holds twice is followed by its
// parent's name in brackets.
QString runSummary(const CategoryTree& tree, bool priorToMode, TDateTime cutOff);
