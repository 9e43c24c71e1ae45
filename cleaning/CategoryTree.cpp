#include "cleaning/CategoryTree.h"

#include <array>

namespace {

constexpr std::array<CategoryNode, 16> nodes{{
    {"Suppliers", 0, 1},
    {"Live Stock", 1, 2},
    {"Sales", 2, 3},
    {"Purchases", 2, 4},
    {"Pricing", 2, 9},
    {"Master Stock", 1, 5},
    {"Transactions", 1, 11},
    {"Bank / Reconciliation", 0, 6},
    {"Debtors", 0, 7},
    {"Transactions", 1, 71},
    {"Balances", 1, 72},
    {"Setup", 0, 8},
    {"Tanks", 1, 81},
    {"PDTs", 1, 82},
    {"Tills", 1, 83},
    {"Scales", 1, 84},
}};

} // namespace

std::span<const CategoryNode> categoryNodes() {
    return nodes;
}

CategoryTree::CategoryTree() : fTicked(nodes.size(), false) {}

int CategoryTree::parent(int index) const {
    const int lvl = level(index);
    for (int i = index - 1; i >= 0; --i) {
        if (level(i) < lvl)
            return i;
    }
    return -1;
}

int CategoryTree::indexOfCategory(int id) const {
    for (int i = 0; i < count(); ++i) {
        if (categoryId(i) == id)
            return i;
    }
    return -1;
}

int CategoryTree::tickedCount() const {
    int n = 0;
    for (bool t : fTicked)
        n += t ? 1 : 0;
    return n;
}

void CategoryTree::toggle(int index) {
    if (index < 0 || index >= count())
        return;
    const bool ticked = !fTicked[size_t(index)];
    fTicked[size_t(index)] = ticked;
    if (!ticked) {
        for (int p = parent(index); p >= 0; p = parent(p))
            fTicked[size_t(p)] = false;
    }
    for (int i = index + 1; i < count() && level(i) > level(index); ++i)
        fTicked[size_t(i)] = ticked;
}

void CategoryTree::clear() {
    fTicked.assign(fTicked.size(), false);
}
