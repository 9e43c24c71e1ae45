// What a run shows before it works: the line saying what it will do, and nothing left of an
// earlier run while the backup question waits.

#include "app/RunSummary.h"
#include "AppTestSupport.h"
#include "app/ProgressRing.h"
#include "common/DateTime.h"

using namespace app_testing;

namespace {

TEST(RunSummaryLine, NamesTheModeTheCutOffAndTheTickedBranches) {
    struct Case {
        const char* name;
        std::vector<int> clicks; // category ids clicked
        bool priorTo;
        QDate cutOff;
        QString expected;
    };
    const Case cases[] = {
        {"Sales, Purchases and Pricing prior to a date",
         {3, 4, 9},
         true,
         {2023, 1, 1},
         "Remove Data Prior To: 01/01/2023 - Sales, Purchases, Pricing"},
        {"a ticked branch is named once", {1}, false, {}, "Remove All Selected Data - Suppliers"},
        {"a name the tree holds twice says its parent",
         {11, 71},
         false,
         {},
         "Remove All Selected Data - Transactions (Suppliers), Transactions (Debtors)"},
        {"a branch with one child unticked names the rest",
         {8, 83},
         true,
         {2020, 2, 29},
         "Remove Data Prior To: 29/02/2020 - Tanks, PDTs, Scales"},
        {"nothing ticked",
         {},
         true,
         {2024, 1, 1},
         "Remove Data Prior To: 01/01/2024 - nothing ticked"},
        {"no cut-off date", {3}, true, {}, "Remove Data Prior To: no date - Sales"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CategoryTree tree;
        for (int id : c.clicks)
            tree.toggle(tree.indexOfCategory(id));
        const TDateTime cutOff = c.cutOff.isValid() ? valueFromDate(c.cutOff) : 0;
        EXPECT_EQ(runSummary(tree, c.priorTo, cutOff), c.expected);
    }
}

class RunStateTest : public WindowTest {
protected:
    struct AtQuestion {
        bool seen = false;
        QString status;
        QString summary;
        QString label1, label2;
        QImage ring1, ring2;
    };
    AtQuestion atTheBackupQuestion() {
        AtQuestion seen;
        messages.whileShown = [&](const SeenMessage& m) {
            if (!m.text.startsWith(QLatin1String("Do you wish")))
                return;
            seen.seen = true;
            seen.status = window->statusText();
            seen.summary = child<QLabel>("lbRunSummary")->text();
            seen.label1 = label("lbStatus1");
            seen.label2 = label("lbStatus2");
            seen.ring1 = child<QLabel>("Image1")->pixmap().toImage();
            seen.ring2 = child<QLabel>("Image2")->pixmap().toImage();
        };
        messages.answer = 7;
        QTest::mouseClick(startButton(), Qt::LeftButton);
        messages.whileShown = {};
        return seen;
    }
};

TEST_F(RunStateTest, ASecondRunStartsClearAndSaysWhatItWillDo) {
    ASSERT_NO_FATAL_FAILURE(dropStation());
    clickCategory(3);
    child<TQelCalendar>("QelCalendar1")->SetDate(valueFromDate(QDate(2023, 1, 1)));

    const AtQuestion first = atTheBackupQuestion();
    ASSERT_TRUE(first.seen);
    EXPECT_EQ(first.summary, QStringLiteral("Remove Data Prior To: 01/01/2023 - Sales"));
    EXPECT_TRUE(child("lbRunSummary")->isVisible());
    ASSERT_EQ(window->lastOutcome(), RunOutcome::Done);
    ASSERT_EQ(window->statusText(), QStringLiteral("Done"));
    ASSERT_NE(label("lbStatus1"), QStringLiteral("Step 0 of 0"));

    // A further drop allows a further run: at its backup question nothing of the first
    // run is left on screen.
    ASSERT_NO_FATAL_FAILURE(dropStation());
    const AtQuestion second = atTheBackupQuestion();
    ASSERT_TRUE(second.seen);
    EXPECT_EQ(second.status, QString());
    EXPECT_EQ(second.label1, QStringLiteral("Step 0 of 0"));
    EXPECT_EQ(second.label2, QStringLiteral("Step 0 of 0"));
    QImage empty = makeRingSurface(80, child("Image1")->devicePixelRatioF());
    drawProgressRing(empty, 0, toQColor(clBtnFace));
    EXPECT_EQ(second.ring1.convertToFormat(empty.format()), empty);
    EXPECT_EQ(second.ring2.convertToFormat(empty.format()), empty);
    EXPECT_EQ(second.summary, QStringLiteral("Remove Data Prior To: 01/01/2023 - Sales"));
    EXPECT_EQ(window->lastOutcome(), RunOutcome::Done);
}

TEST_F(RunStateTest, TheSummaryLineSitsBetweenTheDropAreaAndTheStatusLine) {
    ASSERT_NO_FATAL_FAILURE(dropStation());
    clickCategory(7);
    QTest::mouseClick(child<QRadioButton>("RadioButton1"), Qt::LeftButton);
    const AtQuestion seen = atTheBackupQuestion();
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.summary, QStringLiteral("Remove All Selected Data - Debtors"));
    const QRect line = child("lbRunSummary")->geometry();
    EXPECT_GE(line.top(), dropArea()->geometry().bottom() + 1);
    EXPECT_LE(line.bottom(), child("pnStatusText")->geometry().top() - 1);
    EXPECT_GE(line.width(), child("lbRunSummary")->fontMetrics().horizontalAdvance(seen.summary));
    // The run state keeps its designed height.
    EXPECT_EQ(window->size(), QSize(505, 374));
}

} // namespace
