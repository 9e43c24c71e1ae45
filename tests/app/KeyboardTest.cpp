// The window driven from the keyboard: Space on the current tree node ticks it with the
// same spreading as a click on it.

#include "AppTestSupport.h"

#include <QToolButton>

using namespace app_testing;

namespace {

using KeyboardTest = WindowTest;

TEST_F(KeyboardTest, SpaceTicksTheCurrentNodeWithTheSpreadingOfAClick) {
    struct Case {
        const char* name;
        std::vector<int> nodes;  // absolute node indexes, toggled in this order
        std::vector<int> ticked; // category ids, in tree order
    };
    const Case cases[] = {
        {"Suppliers ticks its six descendants", {0}, {1, 2, 3, 4, 9, 5, 11}},
        {"unticking Sales unticks its ancestors", {0, 2}, {4, 9, 5, 11}},
        {"Debtors, then Balances", {8, 10}, {71}},
        {"Live Stock twice", {1, 1}, {}},
        {"the four children of Setup leave Setup unticked", {12, 13, 14, 15}, {81, 82, 83, 84}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // By keyboard: Home, Down to the node, Space.
        openWindow();
        TCategoryTreeView& tv = window->categoryView();
        tv.setFocus(Qt::TabFocusReason);
        for (int node : c.nodes) {
            QTest::keyClick(&tv, Qt::Key_Home);
            for (int i = 0; i < node; ++i)
                QTest::keyClick(&tv, Qt::Key_Down);
            ASSERT_EQ(tv.selectedNode(), node);
            QTest::keyClick(&tv, Qt::Key_Space);
        }
        const std::vector<int> byKeyboard = tickedIds();
        EXPECT_EQ(byKeyboard, c.ticked);

        // The same nodes clicked give the same ticks.
        openWindow();
        for (int node : c.nodes)
            clickNode(node);
        EXPECT_EQ(tickedIds(), byKeyboard);
    }
}

TEST_F(KeyboardTest, TabReachesTheTreeTheModeRowAndTheDateButton) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* field = child<TQelCalendar>("QelCalendar1");
    QStringList reached;
    QWidget* start = &window->categoryView();
    start->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 8; ++i) {
        QWidget* w = QApplication::focusWidget();
        reached << (w ? w->objectName() : QStringLiteral("<none>"));
        QTest::keyClick(w ? w : window.get(), Qt::Key_Tab);
    }
    EXPECT_TRUE(reached.contains(QStringLiteral("tv"))) << reached.join(u' ').toStdString();
    EXPECT_TRUE(reached.contains(QStringLiteral("QelCalendar1_edit")))
        << reached.join(u' ').toStdString();
    EXPECT_TRUE(reached.contains(QStringLiteral("QelCalendar1_button")))
        << reached.join(u' ').toStdString();
    // The button opens the calendar from the keyboard.
    field->button()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field->button(), Qt::Key_Space);
    ASSERT_NE(field->popup(), nullptr);
    EXPECT_TRUE(field->popup()->isVisible());
    field->popup()->close();
}

} // namespace
