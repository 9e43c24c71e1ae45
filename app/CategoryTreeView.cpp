#include "app/CategoryTreeView.h"

#include "app/UiFont.h"

#include <QFont>
#include <QKeyEvent>
#include <QPainter>

TickImages::TickImages() {
    for (int i = 0; i < 2; ++i) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        {
            QPainter p(&pixmap);
            // Square pixels, no smoothing: the frame and the tick keep their exact colours.
            p.setRenderHint(QPainter::Antialiasing, false);
            p.fillRect(QRect(2, 2, 12, 12), frameColour());
            p.fillRect(QRect(3, 3, 10, 10), insideColour());
            if (i == 1) {
                QPen pen(tickColour(), 2);
                pen.setCapStyle(Qt::SquareCap);
                p.setPen(pen);
                p.drawLine(QPoint(5, 8), QPoint(7, 10));
                p.drawLine(QPoint(7, 10), QPoint(11, 5));
            }
        }
        fImages[size_t(i)] = pixmap;
        QIcon icon;
        icon.addPixmap(pixmap, QIcon::Normal);
        icon.addPixmap(pixmap, QIcon::Selected);
        icon.addPixmap(pixmap, QIcon::Active);
        fIcons[size_t(i)] = icon;
    }
}

CategoryTreeModel::CategoryTreeModel(CategoryTree& tree, QObject* parent)
    : QAbstractItemModel(parent), fTree(tree) {}

int CategoryTreeModel::childNode(int parentNode, int row) const {
    const int childLevel = parentNode < 0 ? 0 : fTree.level(parentNode) + 1;
    int seen = 0;
    for (int i = parentNode + 1; i < fTree.count(); ++i) {
        const int lvl = fTree.level(i);
        if (lvl < childLevel)
            break;
        if (lvl == childLevel && seen++ == row)
            return i;
    }
    return -1;
}

int CategoryTreeModel::rowOf(int node) const {
    const int parentNode = fTree.parent(node);
    int row = 0;
    for (int i = parentNode + 1; i < node; ++i) {
        if (fTree.level(i) == fTree.level(node))
            ++row;
    }
    return row;
}

QModelIndex CategoryTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    const int node = childNode(parent.isValid() ? nodeOf(parent) : -1, row);
    return node < 0 ? QModelIndex() : createIndex(row, 0, quintptr(node));
}

QModelIndex CategoryTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    const int parentNode = fTree.parent(nodeOf(child));
    return parentNode < 0 ? QModelIndex() : createIndex(rowOf(parentNode), 0, quintptr(parentNode));
}

int CategoryTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    const int parentNode = parent.isValid() ? nodeOf(parent) : -1;
    int rows = 0;
    while (childNode(parentNode, rows) >= 0)
        ++rows;
    return rows;
}

int CategoryTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant CategoryTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int node = nodeOf(index);
    const int imageIndex = fTree.isTicked(node) ? 1 : 0;
    switch (role) {
    case Qt::DisplayRole:
        return fTree.text(node);
    case Qt::DecorationRole:
        return fImages.icon(imageIndex);
    case ImageIndexRole:
        return imageIndex;
    case StateIndexRole:
        return fTree.categoryId(node);
    default:
        return {};
    }
}

Qt::ItemFlags CategoryTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

int CategoryTreeModel::nodeOf(const QModelIndex& index) {
    return index.isValid() ? int(index.internalId()) : -1;
}

QModelIndex CategoryTreeModel::indexOfNode(int node) const {
    if (node < 0 || node >= fTree.count())
        return {};
    return createIndex(rowOf(node), 0, quintptr(node));
}

void CategoryTreeModel::toggle(int node) {
    if (node < 0 || node >= fTree.count())
        return;
    fTree.toggle(node);
    // Ancestors and descendants may change with the node: refresh every row.
    for (int i = 0; i < fTree.count(); ++i) {
        const QModelIndex changed = indexOfNode(i);
        emit dataChanged(changed, changed, {Qt::DecorationRole, ImageIndexRole});
    }
}

TCategoryTreeView::TCategoryTreeView(CategoryTree& tree, QWidget* parent)
    : QTreeView(parent), fModel(tree) {
    setModel(&fModel);
    setHeaderHidden(true);
    setIndentation(20);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(false);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setFont(uiFont());
    connect(this, &QTreeView::clicked, this, [this] { tvClick(); });
    connect(this, &QTreeView::collapsed, this, &TCategoryTreeView::tvCollapsing);
}

int TCategoryTreeView::selectedNode() const {
    return CategoryTreeModel::nodeOf(currentIndex());
}

void TCategoryTreeView::selectNode(int node) {
    setCurrentIndex(fModel.indexOfNode(node));
}

void TCategoryTreeView::tvClick() {
    const int node = selectedNode();
    if (node < 0)
        return;
    fModel.toggle(node);
    viewport()->update();
}

void TCategoryTreeView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        tvClick();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void TCategoryTreeView::tvCollapsing(const QModelIndex& index) {
    expand(index);
}
