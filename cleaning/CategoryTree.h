#pragma once

// The categories of station data the operator can tick, in tree order (parents before
// children), with the tick-spreading rules of the tree. The window shows this table; the
// command line clicks it by category id; the run reads the ticks.

#include <QString>
#include <span>
#include <vector>

struct CategoryNode {
    const char* text;
    int level;
    int categoryId;
};

// The nodes as the window shows them, in tree order.
std::span<const CategoryNode> categoryNodes();

class CategoryTree final {
public:
    CategoryTree();

    int count() const { return int(fTicked.size()); }
    const CategoryNode& node(int index) const { return categoryNodes()[size_t(index)]; }
    QString text(int index) const { return QString::fromUtf8(node(index).text); }
    int level(int index) const { return node(index).level; }
    int categoryId(int index) const { return node(index).categoryId; }
    // -1 for an index without a parent.
    int parent(int index) const;
    // -1 when no node carries the id.
    int indexOfCategory(int categoryId) const;

    bool isTicked(int index) const { return fTicked[size_t(index)]; }
    int tickedCount() const;

    // A click on a node: flips it; an untick spreads to every ancestor, and the new tick
    // spreads to every descendant. Ticking never ticks an ancestor.
    void toggle(int index);
    void clear();

private:
    std::vector<bool> fTicked;
};
