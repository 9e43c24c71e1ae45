// The category tree: real clicks on its rows toggle the node table the run reads, with the
// spreading rules; the tick images; collapsing refused.

#include "AppTestSupport.h"

#include <QKeyEvent>
#include <algorithm>

using namespace app_testing;

namespace {

using TreeTest = WindowTest;

// Nodes by absolute index (two nodes read "Transactions").
enum Node {
    Suppliers = 0,
    LiveStock = 1,
    Sales = 2,
    Purchases = 3,
    Pricing = 4,
    MasterStock = 5,
    SupplierTransactions = 6,
    Bank = 7,
    Debtors = 8,
    DebtorTransactions = 9,
    Balances = 10,
    SetupNode = 11,
    Tanks = 12,
    PDTs = 13,
    Tills = 14,
    Scales = 15,
};

TEST_F(TreeTest, ClickSequencesSpreadTicksByTheRules) {
    struct Case {
        const char* name;
        std::vector<int> clicks;
        std::vector<int> ticked; // category ids, in tree order
    };
    const Case cases[] = {
        {"Suppliers ticks itself and its six descendants", {Suppliers}, {1, 2, 3, 4, 9, 5, 11}},
        {"unticking Sales unticks Live Stock and Suppliers only",
         {Suppliers, Sales},
         {4, 9, 5, 11}},
        {"ticking Sales again ticks no ancestor", {Suppliers, Sales, Sales}, {3, 4, 9, 5, 11}},
        {"Live Stock alone", {LiveStock}, {2, 3, 4, 9}},
        {"Debtors", {Debtors}, {7, 71, 72}},
        {"Balances after Debtors leaves the other Transactions", {Debtors, Balances}, {71}},
        {"all four children leave Setup unticked", {Tanks, PDTs, Tills, Scales}, {81, 82, 83, 84}},
        {"a second click unticks the whole branch", {Suppliers, Suppliers}, {}},
        {"one child of Setup unticked", {SetupNode, Tills}, {81, 82, 84}},
        {"unticking a leaf touches no sibling",
         {SetupNode, Scales, SetupNode},
         {8, 81, 82, 83, 84}},
        {"Bank alone", {Bank}, {6}},
        {"the two Transactions are different nodes",
         {SupplierTransactions, DebtorTransactions, SupplierTransactions},
         {71}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        for (const int node : c.clicks)
            clickNode(node);
        EXPECT_EQ(tickedIds(), c.ticked);
        // The view shows what the table holds.
        const TCategoryTreeView& tv = window->categoryView();
        for (int i = 0; i < window->tree().count(); ++i) {
            const QModelIndex index = window->categoryView().categories().indexOfNode(i);
            EXPECT_EQ(index.data(CategoryTreeModel::ImageIndexRole).toInt(),
                      window->tree().isTicked(i) ? 1 : 0)
                << i;
        }
        EXPECT_EQ(tv.selectedNode(), c.clicks.back());
    }
}

TEST_F(TreeTest, OneClickTogglesOnce) {
    clickNode(Bank);
    EXPECT_EQ(tickedIds(), std::vector<int>{6});
    clickNode(Bank);
    EXPECT_TRUE(tickedIds().empty());
    // Pressing alone changes nothing; the click is the press and the release.
    TCategoryTreeView& tv = window->categoryView();
    const QPoint at = tv.visualRect(tv.categories().indexOfNode(Debtors)).center();
    QTest::mousePress(tv.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_TRUE(tickedIds().empty());
    QTest::mouseRelease(tv.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(tickedIds(), (std::vector<int>{7, 71, 72}));
}

// The colour of the tick image of a node as the tree shows it.
QColor tickPixel(TCategoryTreeView& tv, int node, QPoint inImage) {
    const QModelIndex index = tv.categories().indexOfNode(node);
    tv.scrollTo(index);
    const QRect row = tv.visualRect(index);
    const QImage shot = tv.viewport()->grab().toImage();
    // The frame's left column is the first pixel of its colour along the row's middle;
    // its top is where that column's frame colour begins.
    for (int x = row.left(); x < row.right() - 16; ++x) {
        if (shot.pixelColor(x, row.center().y()) != TickImages::frameColour())
            continue;
        int y = row.center().y();
        while (y > row.top() && shot.pixelColor(x, y - 1) == TickImages::frameColour())
            --y;
        return shot.pixelColor(x - 2 + inImage.x(), y - 2 + inImage.y());
    }
    return QColor();
}

TEST_F(TreeTest, TickImagesAreDrawnInTheirColoursSelectedOrNot) {
    const TickImages images;
    // Image 0: a dark blue frame round a light inside; image 1 adds a green tick.
    const QImage empty = images.image(0).toImage();
    const QImage ticked = images.image(1).toImage();
    EXPECT_EQ(empty.size(), QSize(16, 16));
    EXPECT_EQ(empty.pixelColor(2, 8), TickImages::frameColour());
    EXPECT_EQ(empty.pixelColor(8, 8), TickImages::insideColour());
    EXPECT_EQ(empty.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(ticked.pixelColor(2, 8), TickImages::frameColour());
    EXPECT_EQ(ticked.pixelColor(7, 10), TickImages::tickColour());
    EXPECT_EQ(TickImages::frameColour(), QColor(0x1C, 0x51, 0x80));
    EXPECT_EQ(TickImages::tickColour(), QColor(0x21, 0xA1, 0x21));

    TCategoryTreeView& tv = window->categoryView();
    // Suppliers selected and unticked: the empty box, not a highlighted one.
    EXPECT_EQ(tickPixel(tv, Suppliers, {7, 10}), TickImages::insideColour());
    clickNode(Suppliers);
    EXPECT_EQ(tickPixel(tv, Suppliers, {7, 10}), TickImages::tickColour());
    EXPECT_EQ(tickPixel(tv, Sales, {7, 10}), TickImages::tickColour());
    // Sales selected, unticked through the click; Suppliers unticked through its descendant.
    clickNode(Sales);
    EXPECT_EQ(tickPixel(tv, Sales, {7, 10}), TickImages::insideColour());
    EXPECT_EQ(tickPixel(tv, Suppliers, {7, 10}), TickImages::insideColour());
    EXPECT_EQ(tickPixel(tv, Pricing, {7, 10}), TickImages::tickColour());
}

TEST_F(TreeTest, CollapsingIsRefused) {
    TCategoryTreeView& tv = window->categoryView();
    auto allExpanded = [&] {
        for (const int parent : {Suppliers, LiveStock, Debtors, SetupNode}) {
            if (!tv.isExpanded(tv.categories().indexOfNode(parent)))
                return false;
        }
        return true;
    };
    ASSERT_TRUE(allExpanded());

    // Its button: a click left of the image, where the branch indicator is.
    const QRect row = tv.visualRect(tv.categories().indexOfNode(LiveStock));
    QTest::mouseClick(tv.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(row.left() - tv.indentation() / 2, row.center().y()));
    EXPECT_TRUE(allExpanded());
    // The keyboard.
    tv.setFocus();
    tv.selectNode(SetupNode);
    QTest::keyClick(&tv, Qt::Key_Left);
    QTest::keyClick(&tv, Qt::Key_Minus);
    EXPECT_TRUE(allExpanded());
    // And through the view's own slot.
    tv.collapse(tv.categories().indexOfNode(Suppliers));
    EXPECT_TRUE(allExpanded());
    // None of it ticked anything.
    EXPECT_TRUE(tickedIds().empty());
}

TEST_F(TreeTest, TheRunReadsTheTableTheTreeShows) {
    clickNode(LiveStock);
    clickNode(Bank);
    const RunHost& host = *window;
    EXPECT_EQ(host.tree().tickedCount(), 5);
    for (const int id : {2, 3, 4, 9, 6})
        EXPECT_TRUE(host.tree().isTicked(host.tree().indexOfCategory(id))) << id;
    // What the run reads is what the view draws, node by node: the tick image on screen
    // and the row's text.
    TCategoryTreeView& tv = window->categoryView();
    ASSERT_EQ(host.tree().count(), Scales + 1);
    for (int node = 0; node < host.tree().count(); ++node) {
        SCOPED_TRACE(node);
        EXPECT_EQ(tickPixel(tv, node, {7, 10}), host.tree().isTicked(node)
                                                    ? TickImages::tickColour()
                                                    : TickImages::insideColour());
        EXPECT_EQ(tv.categories().indexOfNode(node).data(Qt::DisplayRole).toString(),
                  host.tree().text(node));
    }
}

} // namespace
