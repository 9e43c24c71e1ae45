// The tick-spreading rules of the category tree, as click sequences.

#include "cleaning/CategoryTree.h"

#include <gtest/gtest.h>
#include <set>

namespace {

std::set<int> tickedIds(const CategoryTree& t) {
    std::set<int> ids;
    for (int i = 0; i < t.count(); ++i) {
        if (t.isTicked(i))
            ids.insert(t.categoryId(i));
    }
    return ids;
}

TEST(CategoryTree, NodesInTreeOrder) {
    const CategoryTree t;
    ASSERT_EQ(t.count(), 16);
    const int ids[] = {1, 2, 3, 4, 9, 5, 11, 6, 7, 71, 72, 8, 81, 82, 83, 84};
    const int levels[] = {0, 1, 2, 2, 2, 1, 1, 0, 0, 1, 1, 0, 1, 1, 1, 1};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(t.categoryId(i), ids[i]) << i;
        EXPECT_EQ(t.level(i), levels[i]) << i;
    }
    EXPECT_EQ(t.text(7), QStringLiteral("Bank / Reconciliation"));
    EXPECT_EQ(t.tickedCount(), 0);
}

TEST(CategoryTree, ClickSequencesSpreadTicks) {
    struct Case {
        const char* name;
        std::vector<int> clicks; // category ids clicked in order
        std::set<int> ticked;
    };
    const Case cases[] = {
        {"suppliers ticks its six descendants", {1}, {1, 2, 3, 4, 9, 5, 11}},
        {"unticking sales unticks its ancestors only", {1, 3}, {4, 9, 5, 11}},
        {"ticking sales again ticks no ancestor", {1, 3, 3}, {3, 4, 9, 5, 11}},
        {"debtors", {7}, {7, 71, 72}},
        {"balances unticks debtors", {7, 72}, {71}},
        {"all four children of setup leave setup unticked", {81, 82, 83, 84}, {81, 82, 83, 84}},
        {"live stock alone", {2}, {2, 3, 4, 9}},
        {"a second click unticks the subtree", {2, 2}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CategoryTree t;
        for (int id : c.clicks)
            t.toggle(t.indexOfCategory(id));
        EXPECT_EQ(tickedIds(t), c.ticked);
    }
}

} // namespace
