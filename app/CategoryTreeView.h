#pragma once

// The category tree of the main window (`tv`): a view of the one CategoryTree node table.
// The ticks live in that table and nowhere else; the view shows them with the two tick
// images and a click on a node's row toggles it there, spreading as the table's rules say.

#include "cleaning/CategoryTree.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QPixmap>
#include <QTreeView>
#include <array>

// The two 16 x 16 tick images (`ImageList1`): 0 an empty box, 1 the box with a tick.
class TickImages final {
public:
    TickImages();
    const QPixmap& image(int imageIndex) const { return fImages[imageIndex != 0 ? 1 : 0]; }
    // The same picture whether the node is selected or not.
    const QIcon& icon(int imageIndex) const { return fIcons[imageIndex != 0 ? 1 : 0]; }

    static QColor frameColour() { return QColor(0x1C, 0x51, 0x80); }
    static QColor insideColour() { return QColor(0xF4, 0xF4, 0xF4); }
    static QColor tickColour() { return QColor(0x21, 0xA1, 0x21); }

private:
    std::array<QPixmap, 2> fImages;
    std::array<QIcon, 2> fIcons;
};

// The node table as an item model: one column, the nodes' texts, the tick image of each
// node (its image index) and its category id (its state index).
class CategoryTreeModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    static constexpr int ImageIndexRole = Qt::UserRole + 1;
    static constexpr int StateIndexRole = Qt::UserRole + 2;

    explicit CategoryTreeModel(CategoryTree& tree, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The node's position in the table (its absolute index), -1 for an invalid index.
    static int nodeOf(const QModelIndex& index);
    QModelIndex indexOfNode(int node) const;

    // Toggles a node in the table and tells the view that every tick may have changed.
    void toggle(int node);

private:
    // The absolute index of the row-th child of parentNode (-1: the top level), or -1.
    int childNode(int parentNode, int row) const;
    int rowOf(int node) const;

    CategoryTree& fTree;
    TickImages fImages;
};

class TCategoryTreeView final : public QTreeView {
    Q_OBJECT
public:
    TCategoryTreeView(CategoryTree& tree, QWidget* parent = nullptr);

    CategoryTreeModel& categories() { return fModel; }
    // The node of the current (selected) row, or -1.
    int selectedNode() const;
    void selectNode(int node);

    // Toggles the selected node and spreads the change.
    void tvClick();

protected:
    // Space toggles the current node as a click does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A collapse is refused: the node is expanded again at once.
    void tvCollapsing(const QModelIndex& index);

    CategoryTreeModel fModel;
};
