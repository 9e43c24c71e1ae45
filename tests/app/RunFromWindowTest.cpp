// Start pressed in the real window on generated station databases: the run state, the
// questions, the status line and counters at the end, the rows removed, the dropped file
// replaced; and a drop and a Close in the middle of a run.

#include "AppTestSupport.h"
#include "app/ProgressRing.h"
#include "cleaning/CleaningRun.h"

#include <QDir>
#include <QDirIterator>
#include <QLineEdit>

using namespace app_testing;
using testing_support::fileBytes;
using testing_support::Peek;
using testing_support::RecordingHost;

namespace {

const QStringList countedTables = {"TBL_SALES",        "TBL_SALES_EX",     "TBL_ORDER_HEADER",
                                   "TBL_ORDER_DETAIL", "TBL_STOCK_PRICES", "TBL_AUDIT_RECORDS"};

std::map<QString, qint64> tableCounts(const QString& path) {
    std::map<QString, qint64> counts;
    Peek peek(path);
    for (const QString& t : countedTables)
        counts[t] = peek.count(t);
    return counts;
}

// What the window looked like at a moment of the run.
struct RunStateSeen {
    bool seen = false;
    bool active = false;
    bool startEnabled = true;
    bool closeEnabled = true;
    bool selectionVisible = true;
    QSize size;
    QRect status, overall, phase, buttons;
};

class RunFromWindowTest : public WindowTest {
protected:
    RunStateSeen look() const {
        RunStateSeen s;
        s.seen = true;
        s.active = window->runActive();
        s.startEnabled = startButton()->isEnabled();
        s.closeEnabled = closeButton()->isEnabled();
        s.selectionVisible = child("pn01")->isVisible();
        s.size = window->size();
        s.status = child("pnStatusText")->isVisible() ? child("pnStatusText")->geometry() : QRect();
        s.overall = child("Panel6")->isVisible() ? child("Panel6")->geometry() : QRect();
        s.phase = child("Panel5")->isVisible() ? child("Panel5")->geometry() : QRect();
        s.buttons = child("Panel2")->geometry();
        return s;
    }

    void typeCutOff(const QString& text) {
        auto* calendar = child<TQelCalendar>("QelCalendar1");
        QLineEdit* edit = calendar->edit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    void pressStart() { QTest::mouseClick(startButton(), Qt::LeftButton); }

    QStringList statuses;
    QMetaObject::Connection statusWatch;

    void watchStatuses(std::function<void(const QString&)> also = {}) {
        statusWatch = QObject::connect(window.get(), &TfmMain::statusChanged,
                                       [this, also = std::move(also)](const QString& s) {
                                           statuses << s;
                                           if (also)
                                               also(s);
                                       });
    }
};

TEST_F(RunFromWindowTest, FullRunCleansTheDroppedDatabaseAndShowsTheEnd) {
    // What the same choices remove when the run is driven without the window.
    const QString reference = folder() + QStringLiteral("/REFERENCE.GDB");
    ASSERT_TRUE(QFile::copy(station, reference));
    RemovalReport expected;
    {
        RecordingHost host;
        host.tick(1);
        host.priorTo = true;
        host.cutOff = QDateTime(QDate(2023, 1, 1), QTime(0, 0));
        db::Connection conx;
        testing_support::setStationParams(conx, reference);
        db::Query q1(conx), q2(conx);
        CleaningRun run(conx, q1, q2, host);
        ASSERT_EQ(run.Execute(reference), RunOutcome::Done);
        expected = run.removed();
    }
    ASSERT_GT(expected.total(), 0u);
    const auto before = tableCounts(station);
    const QByteArray originalBytes = fileBytes(station);

    ASSERT_NO_FATAL_FAILURE(dropStation());
    clickCategory(1);
    typeCutOff(QStringLiteral("01/01/2023"));
    ASSERT_EQ(window->cutOffDate(), QDateTime(QDate(2023, 1, 1), QTime(0, 0)));
    ASSERT_TRUE(window->priorToMode());

    RunStateSeen during;
    watchStatuses([&](const QString& s) {
        if (s == QLatin1String("Disabling Triggers"))
            during = look();
    });
    messages.answer = 7;
    pressStart();

    // The run state while it worked: 374 high, status line and both channels between
    // the drop band and the buttons; Start and Close off.
    ASSERT_TRUE(during.seen);
    EXPECT_TRUE(during.active);
    EXPECT_FALSE(during.startEnabled);
    EXPECT_FALSE(during.closeEnabled);
    EXPECT_FALSE(during.selectionVisible);
    EXPECT_EQ(during.size, QSize(505, 374));
    EXPECT_EQ(during.buttons, QRect(0, 309, 501, 61));
    EXPECT_EQ(during.phase, QRect(0, 209, 501, 100));
    EXPECT_EQ(during.overall, QRect(0, 109, 501, 100));
    EXPECT_EQ(during.status, QRect(0, 85, 501, 24));

    // One question, no error.
    ASSERT_EQ(messages.seen.size(), 1u) << messages.texts().join(u'|').toStdString();
    EXPECT_EQ(messages.seen[0].text, QStringLiteral("Do you wish to do a backup beforehand?"));
    EXPECT_FALSE(messages.seen[0].plainBox);
    EXPECT_EQ(messages.seen[0].caption, QStringLiteral("Pellisar"));

    // The end: "Done", the counters at their maximum, the rings showing them.
    EXPECT_EQ(window->lastOutcome(), RunOutcome::Done);
    EXPECT_EQ(window->statusText(), QStringLiteral("Done"));
    // The status line of an earlier run is cleared first.
    EXPECT_EQ(statuses.mid(0, 2), (QStringList{"", "Copying GDB to temp folder"}));
    EXPECT_EQ(statuses.mid(statuses.size() - 4),
              (QStringList{"Enabling Triggers", "Compressing Data",
                           "Copying file to original location", "Done"}));
    EXPECT_TRUE(statuses.contains(QStringLiteral("Cleaning: TBL_SALES")));
    EXPECT_EQ(label("lbStatus1"), QStringLiteral("Step 11 of 11"));
    EXPECT_EQ(window->progressCurrent(1), 11);
    EXPECT_EQ(label("lbStatus2"), QStringLiteral("Step 7 of 7")); // the seven switched triggers
    QImage full = makeRingSurface(80);
    drawProgressRing(full, 100, toQColor(clBtnFace));
    EXPECT_EQ(child<QLabel>("Image1")->pixmap().toImage().convertToFormat(full.format()), full);
    EXPECT_EQ(child<QLabel>("Image2")->pixmap().toImage().convertToFormat(full.format()), full);

    // The window stays in the run state; Start waits for another drop.
    const RunStateSeen after = look();
    EXPECT_FALSE(after.active);
    EXPECT_FALSE(after.startEnabled);
    EXPECT_TRUE(after.closeEnabled);
    EXPECT_FALSE(after.selectionVisible);
    EXPECT_EQ(after.size, QSize(505, 374));

    // The same rows went as without the window, and the dropped file holds the result.
    EXPECT_EQ(window->lastRemoved().rows(), expected.rows());
    const auto afterCounts = tableCounts(station);
    EXPECT_EQ(afterCounts, tableCounts(reference));
    for (const QString& t : countedTables)
        EXPECT_LE(afterCounts.at(t), before.at(t)) << t.toStdString();
    EXPECT_LT(afterCounts.at("TBL_SALES"), before.at("TBL_SALES"));
    EXPECT_NE(fileBytes(station), originalBytes);
    EXPECT_TRUE(workFilesLeft().isEmpty()) << workFilesLeft().join(u' ').toStdString();
}

TEST_F(RunFromWindowTest, RemoveAllModeEmptiesOnlyTheTickedCategories) {
    const auto before = tableCounts(station);
    ASSERT_NO_FATAL_FAILURE(dropStation());
    clickCategory(3); // Sales
    QTest::mouseClick(child<QRadioButton>("RadioButton1"), Qt::LeftButton, Qt::NoModifier,
                      QPoint(8, 8));
    ASSERT_FALSE(window->priorToMode());
    pressStart();

    EXPECT_EQ(window->lastOutcome(), RunOutcome::Done);
    EXPECT_EQ(label("lbStatus1"), QStringLiteral("Step 5 of 5"));
    const auto after = tableCounts(station);
    EXPECT_EQ(after.at("TBL_SALES"), 0);
    EXPECT_EQ(after.at("TBL_SALES_EX"), 0);
    EXPECT_EQ(after.at("TBL_ORDER_HEADER"), before.at("TBL_ORDER_HEADER"));
    EXPECT_EQ(after.at("TBL_STOCK_PRICES"), before.at("TBL_STOCK_PRICES"));
    EXPECT_EQ(window->lastRemoved().removed(QStringLiteral("TBL_SALES")),
              quint64(before.at("TBL_SALES")));
}

TEST_F(RunFromWindowTest, RingsAreRedrawnOnlyWhenTheirPercentageMoves) {
    struct Redraw {
        int id;
        qint64 current, maximum;
    };
    std::vector<Redraw> redraws;
    ASSERT_NO_FATAL_FAILURE(dropStation());
    QObject::connect(window.get(), &TfmMain::ringRedrawn, [&](int id) {
        redraws.push_back({id, window->progressCurrent(id), window->progressMaximum(id)});
    });
    clickCategory(1);
    pressStart();
    ASSERT_EQ(window->lastOutcome(), RunOutcome::Done);

    const quint64 removed = window->lastRemoved().total();
    ASSERT_GT(removed, 1000u);
    int phaseRedraws = 0;
    int last[3] = {-1, -1, -1};
    for (const Redraw& r : redraws) {
        const int percent = progressPercent(r.current, r.maximum);
        // A redraw at 0 of a maximum starts a phase; any other shows a new percentage.
        if (r.current != 0) {
            EXPECT_NE(percent, last[r.id]) << r.id << ": " << r.current << " of " << r.maximum;
        }
        last[r.id] = percent;
        phaseRedraws += r.id == 2 ? 1 : 0;
    }
    // Far fewer redraws than rows stepped over.
    EXPECT_LT(quint64(phaseRedraws), removed);
    EXPECT_EQ(label("lbStatus1"), QStringLiteral("Step 11 of 11"));
}

TEST_F(RunFromWindowTest, ADropAndACloseDuringARunChangeNothing) {
    const QString other = folder() + QStringLiteral("/OTHER.GDB");
    ASSERT_TRUE(QFile::copy(station, other));
    const QByteArray otherBytes = fileBytes(other);
    const qint64 salesBefore = tableCounts(station).at("TBL_SALES");

    ASSERT_NO_FATAL_FAILURE(dropStation());
    clickCategory(3);

    // Both at the backup question and while a table is cleaned.
    struct Attempt {
        bool active = false;
        bool dragTaken = true;
        bool visibleAfterClose = false;
        bool closeEnabled = true;
    };
    std::vector<Attempt> attempts;
    auto tryToDisturb = [&] {
        Attempt a;
        a.active = window->runActive();
        a.dragTaken = dropFiles(dropArea(), {other});
        a.closeEnabled = closeButton()->isEnabled();
        QTest::mouseClick(closeButton(), Qt::LeftButton);
        window->close();
        QCoreApplication::processEvents();
        a.visibleAfterClose = window->isVisible();
        attempts.push_back(a);
    };
    messages.whileShown = [&](const SeenMessage& m) {
        if (m.text.startsWith(QLatin1String("Do you wish")))
            tryToDisturb();
    };
    watchStatuses([&](const QString& s) {
        if (s == QLatin1String("Cleaning: TBL_SALES"))
            tryToDisturb();
    });
    pressStart();

    ASSERT_EQ(attempts.size(), 2u);
    for (const Attempt& a : attempts) {
        EXPECT_TRUE(a.active);
        EXPECT_FALSE(a.dragTaken);
        EXPECT_FALSE(a.closeEnabled);
        EXPECT_TRUE(a.visibleAfterClose);
    }
    // The run went on to the end on the database it started with.
    EXPECT_EQ(window->lastOutcome(), RunOutcome::Done);
    EXPECT_EQ(window->statusText(), QStringLiteral("Done"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->GDB(), station);
    EXPECT_EQ(dropArea()->caption(), station);
    EXPECT_FALSE(startButton()->isEnabled());
    EXPECT_EQ(fileBytes(other), otherBytes);
    EXPECT_LT(tableCounts(station).at("TBL_SALES"), salesBefore);
    EXPECT_EQ(messages.seen.size(), 1u) << messages.texts().join(u'|').toStdString();

    // Once the run is over both work again.
    EXPECT_TRUE(dropFiles(dropArea(), {other}));
    EXPECT_EQ(window->GDB(), other);
    EXPECT_EQ(dropArea()->caption(), other);
    EXPECT_TRUE(startButton()->isEnabled());
    EXPECT_FALSE(child("pn01")->isVisible());
    QTest::mouseClick(closeButton(), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(RunFromWindowTest, AFailingRunShowsItsMessageAndLeavesTheFileAlone) {
    {
        Peek peek(station);
        peek.execute(QStringLiteral("drop table TBL_VOIDS"));
        peek.commit();
    }
    const auto before = tableCounts(station);
    ASSERT_NO_FATAL_FAILURE(dropStation());
    clickCategory(3);
    pressStart();

    EXPECT_EQ(window->lastOutcome(), RunOutcome::Failed);
    ASSERT_EQ(messages.seen.size(), 2u) << messages.texts().join(u'|').toStdString();
    EXPECT_TRUE(messages.seen[1].plainBox);
    EXPECT_TRUE(messages.seen[1].text.contains(QStringLiteral("TBL_VOIDS")))
        << messages.seen[1].text.toStdString();
    EXPECT_EQ(window->statusText(), CleaningRun::failedStatus());
    // The drop's own attachment touches the file's header, so its data are compared.
    EXPECT_EQ(tableCounts(station), before);
    EXPECT_TRUE(workFilesLeft().isEmpty());
    EXPECT_TRUE(closeButton()->isEnabled());
}

TEST_F(RunFromWindowTest, AnsweringYesBacksTheDroppedDatabaseUpFirst) {
    ASSERT_NO_FATAL_FAILURE(dropStation());
    messages.answer = 6;
    pressStart();

    EXPECT_EQ(window->lastOutcome(), RunOutcome::Done);
    QStringList backups;
    QDirIterator it(QFileInfo(station).absolutePath(), {QStringLiteral("*.fbk")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        backups << it.next();
    EXPECT_EQ(backups.size(), 1) << messages.texts().join(u'|').toStdString();
    EXPECT_EQ(messages.texts(), QStringList{"Do you wish to do a backup beforehand?"});
}

} // namespace
