#include "common/ui/DateField.h"
#include "common/Clock.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "common/ui/CalendarPopup.h"
#include "common/ui/MessageDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <optional>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QDate& date, std::ostream* os) {
    *os << date.toString(Qt::ISODate).toStdString();
}

namespace {

QDate dayOf(TDateTime value) {
    return dateTimeEpoch().addDays(qint64(std::floor(value)));
}

// Records the date field's events in the order they come.
struct EventLog {
    QStringList entries;
    void changed(QObject*) { entries << "changed"; }
    void enterPressed(QObject*) { entries << "enter"; }
};

class DatePicker : public ::testing::Test {
protected:
    void SetUp() override {
        clock.emplace(QDateTime(QDate(2021, 3, 15), QTime(10, 30)));
        installDialogMessages();
        setMessageDialogHook([this](TMessageForm& form) {
            dialogs << form.MsgLabel()->text();
            QTest::mouseClick(form.buttonForCaption(0), Qt::LeftButton);
        });
        host = std::make_unique<QWidget>();
        host->resize(420, 240);
        picker = new TQelCalendar(host.get());
        picker->setObjectName("QelCalendar1");
        picker->setGeometry(20, 20, 112, 20);
        start = new QPushButton("Start", host.get());
        start->setGeometry(200, 20, 80, 25);
        host->show();
        host->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
        picker->setOnChanged({&log, &EventLog::changed});
    }
    void TearDown() override {
        host.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        setMessageDialogHook({});
        setMessageSink(nullptr);
        clock.reset();
    }

    void setDate(const QDate& date) {
        picker->SetDate(valueFromDate(date));
        log.entries.clear();
    }
    QDate date() const { return dayOf(picker->Date()); }
    void typeInField(const QString& text) {
        QTest::mouseClick(picker->edit(), Qt::LeftButton);
        picker->edit()->selectAll();
        QTest::keyClick(picker->edit(), Qt::Key_Delete);
        QTest::keyClicks(picker->edit(), text);
    }
    TFrmCalendar* openPopup() {
        QTest::mouseClick(picker->button(), Qt::LeftButton);
        TFrmCalendar* popup = picker->popup();
        EXPECT_NE(popup, nullptr);
        if (popup) {
            EXPECT_EQ(QApplication::activePopupWidget(), popup);
        }
        return popup;
    }
    static void clickCell(QTableWidget* grid, int row, int col) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualItemRect(grid->item(row, col)).center());
    }
    // A click, then the double click of the second press.
    static void doubleClickCell(QTableWidget* grid, int row, int col) {
        clickCell(grid, row, col);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {},
                           grid->visualItemRect(grid->item(row, col)).center());
    }
    void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    // Through the window system, as a real click elsewhere comes.
    // The offscreen platform leaves no window active when a pop-up goes; a desktop gives
    // the activation back to the window below, as done here.
    void clickOutside() {
        QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {}, QPoint(400, 220));
        reactivateHost();
    }
    void reactivateHost() {
        if (!host->isActiveWindow()) {
            host->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(host.get()));
        }
    }

    std::optional<FixedClock> clock;
    std::unique_ptr<QWidget> host;
    TQelCalendar* picker = nullptr;
    QPushButton* start = nullptr;
    EventLog log;
    QStringList dialogs;
};

TEST_F(DatePicker, StartsWithNowAndNamesItsParts) {
    TQelCalendar fresh;
    EXPECT_EQ(dateTimeFromValue(fresh.Date()), QDateTime(QDate(2021, 3, 15), QTime(10, 30)));
    EXPECT_EQ(fresh.edit()->text(), "15/03/2021");
    EXPECT_EQ(fresh.LastCol(), -1);
    EXPECT_EQ(fresh.LastRow(), -1);
    EXPECT_EQ(picker->edit()->objectName(), "QelCalendar1_edit");
    EXPECT_EQ(picker->button()->objectName(), "QelCalendar1_button");
    EXPECT_EQ(picker->button()->text(), "...");
    EXPECT_EQ(picker->button()->width(), 20);
    EXPECT_EQ(picker->button()->geometry().right(), picker->width() - 1);
    EXPECT_EQ(picker->edit()->alignment(), Qt::AlignCenter);
}

TEST_F(DatePicker, TypingAndLeavingRewritesTheDate) {
    struct Case {
        const char* typed;
        const char* shown;
        QDate date;
    };
    const Case cases[] = {
        {"1/2", "01/02/2021", {2021, 2, 1}},
        {"24 12", "24/12/2020", {2020, 12, 24}},
        {"3112", "30/11/2021", {2021, 11, 30}},
        {"", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        setDate({2021, 3, 15});
        typeInField(c.typed);
        EXPECT_EQ(picker->Date(), valueFromDate({2021, 3, 15})) << "applied before leaving";
        QTest::mouseClick(start, Qt::LeftButton); // Start takes the focus
        EXPECT_EQ(picker->edit()->text(), c.shown);
        EXPECT_EQ(picker->Date(), c.date.isValid() ? valueFromDate(c.date) : 0.0);
        EXPECT_EQ(log.entries, QStringList{"changed"});
    }
    EXPECT_TRUE(dialogs.isEmpty());
}

TEST_F(DatePicker, EnterWithAnImpossibleDateShowsInvalidDateThenFiresBothEvents) {
    picker->setOnEnterPressed({&log, &EventLog::enterPressed});
    setDate({2021, 3, 15});
    typeInField("31/4/2021");
    QTest::keyClick(picker->edit(), Qt::Key_Return);
    EXPECT_EQ(dialogs, QStringList{"Invalid Date"});
    EXPECT_EQ(picker->edit()->text(), "");
    EXPECT_EQ(picker->Date(), 0.0);
    EXPECT_EQ(log.entries, QStringList({"changed", "enter"}));
}

TEST_F(DatePicker, SameHandlerForChangedAndEnterRunsOnce) {
    EventLog other;
    struct Case {
        const char* name;
        TEnterPressedEvent enter;
        QStringList logged, otherLogged;
    };
    const Case cases[] = {
        {"same method, same object", {&log, &EventLog::changed}, {"changed"}, {}},
        {"same method, other object", {&other, &EventLog::changed}, {"changed"}, {}},
        {"other method", {&log, &EventLog::enterPressed}, {"changed", "enter"}, {}},
        {"a callable", [&](QObject*) { other.entries << "lambda"; }, {"changed"}, {"lambda"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        picker->setOnEnterPressed(c.enter);
        setDate({2021, 3, 15});
        other.entries.clear();
        typeInField("1/2");
        QTest::keyClick(picker->edit(), Qt::Key_Enter);
        EXPECT_EQ(log.entries, c.logged);
        EXPECT_EQ(other.entries, c.otherLogged);
        EXPECT_EQ(picker->edit()->text(), "01/02/2021");
    }
}

TEST_F(DatePicker, ButtonWithNoDateTakesTodayAtOnceButLeavesTheField) {
    setDate({});
    ASSERT_EQ(picker->Date(), 0.0);
    ASSERT_EQ(picker->edit()->text(), "");
    TFrmCalendar* popup = openPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(picker->Date(), valueFromDate({2021, 3, 15}));
    EXPECT_EQ(picker->edit()->text(), "");
    EXPECT_TRUE(log.entries.isEmpty());
    EXPECT_EQ(popup->cmSelected()->text(), "15 Mar 2021");
    // The pop-up lies directly below the field, in the field's font family.
    EXPECT_EQ(popup->pos(), picker->mapToGlobal(QPoint(0, picker->height())));
    EXPECT_EQ(popup->size(), QSize(230, 200));
    EXPECT_EQ(popup->font().family(), picker->font().family());
    EXPECT_EQ(popup->font().pixelSize(), 11);
    EXPECT_EQ(popup->ebYear()->font().pointSize(), 10);
    EXPECT_EQ(popup->cmSelected()->font().pointSize(), 10);
    EXPECT_EQ(popup->cmSelected()->font().family(), picker->font().family());
    clickOutside();
}

TEST_F(DatePicker, ButtonDoesNotTakeTheFocusSoTypedTextWaits) {
    setDate({2021, 3, 15});
    typeInField("1/2");
    // A click leaves the focus where it is (only Tab reaches the button).
    EXPECT_FALSE(picker->button()->focusPolicy() & Qt::ClickFocus);
    TFrmCalendar* popup = openPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->cmSelected()->text(), "15 Mar 2021");
    EXPECT_EQ(picker->Date(), valueFromDate({2021, 3, 15}));
    clickOutside();
    flushDeletes();
    EXPECT_EQ(picker->edit()->text(), "1/2");
    EXPECT_TRUE(log.entries.isEmpty());
    // Leaving for a button that takes the focus applies the text before the button acts.
    QDate seenByStart;
    QObject::connect(start, &QPushButton::clicked, [&] { seenByStart = date(); });
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(seenByStart, QDate(2021, 2, 1));
}

TEST_F(DatePicker, TabReachesTheButtonAndSpaceOrEnterOpensTheCalendar) {
    for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        setDate({2021, 3, 15});
        typeInField("1/2");
        // Tab leaves the text box for the button, confirming the typed date on the way.
        QTest::keyClick(picker->edit(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), picker->button());
        EXPECT_EQ(date(), QDate(2021, 2, 1));
        EXPECT_EQ(picker->popup(), nullptr);

        QTest::keyClick(picker->button(), key);
        TFrmCalendar* popup = picker->popup();
        ASSERT_NE(popup, nullptr);
        EXPECT_TRUE(popup->isVisible());
        EXPECT_EQ(popup->cmSelected()->text(), "01 Feb 2021");
        clickOutside();
        flushDeletes();
        EXPECT_EQ(picker->popup(), nullptr);
        EXPECT_EQ(date(), QDate(2021, 2, 1));
    }
}

TEST_F(DatePicker, CalendarPlacementKeepsThePopupOnTheScreen) {
    const QSize popup(230, 200);
    struct Case {
        const char* name;
        QRect field;
        QRect screen;
        QPoint expected;
    };
    const Case cases[] = {
        {"room below: directly below the field", {100, 100, 112, 20}, {0, 0, 800, 600}, {100, 120}},
        {"no room below: above the field", {100, 500, 112, 20}, {0, 0, 800, 600}, {100, 300}},
        {"right edge: moved left onto the screen",
         {700, 100, 112, 20},
         {0, 0, 800, 600},
         {570, 120}},
        {"left of the screen: moved right", {-40, 100, 112, 20}, {0, 0, 800, 600}, {0, 120}},
        {"a panel at the top takes room", {100, 10, 112, 20}, {0, 32, 800, 568}, {100, 32}},
        {"a second screen to the right", {1300, 1000, 112, 20}, {1280, 0, 1280, 1024}, {1300, 800}},
        {"room neither below nor above: clamped to the bottom",
         {10, 150, 112, 20},
         {0, 0, 400, 300},
         {10, 100}},
        {"a screen smaller than the pop-up: its top left corner",
         {10, 100, 112, 20},
         {0, 0, 200, 150},
         {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QPoint at = calendarPlacement(c.field, popup, c.screen);
        EXPECT_EQ(at, c.expected);
        if (c.screen.width() >= popup.width() && c.screen.height() >= popup.height()) {
            EXPECT_TRUE(c.screen.contains(QRect(at, popup)));
        }
    }
}

TEST_F(DatePicker, CalendarOpenedNearTheBottomOfTheScreenLiesInsideIt) {
    const QRect screen = host->screen()->availableGeometry();
    struct Case {
        const char* name;
        QPoint fieldAt; // the field's top left corner on the screen
        bool above;
    };
    const Case cases[] = {
        {"bottom left", {screen.left() + 40, screen.bottom() - 40}, true},
        {"bottom right", {screen.right() - 60, screen.bottom() - 25}, true},
        {"top right", {screen.right() - 60, screen.top() + 40}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The window's frame, where the platform draws one, shifts the field: move by what
        // is left.
        host->move(host->pos() + c.fieldAt - picker->mapToGlobal(QPoint(0, 0)));
        QCoreApplication::processEvents();
        reactivateHost();
        const QRect field(picker->mapToGlobal(QPoint(0, 0)), picker->size());
        ASSERT_EQ(field.topLeft(), c.fieldAt);
        TFrmCalendar* popup = openPopup();
        ASSERT_NE(popup, nullptr);
        const QRect placed = popup->frameGeometry();
        EXPECT_TRUE(screen.contains(placed)) << placed.x() << ',' << placed.y();
        if (c.above) {
            EXPECT_LE(placed.bottom(), field.top() - 1);
        } else {
            EXPECT_EQ(placed.top(), field.bottom() + 1);
        }
        clickOutside();
        flushDeletes();
    }
}

TEST_F(DatePicker, LockedFieldKeepsItsDateButTakesTheFocus) {
    setDate({2021, 3, 15});
    picker->SetEnabled(false);
    EXPECT_FALSE(picker->Enabled());
    EXPECT_TRUE(picker->isEnabled());
    QTest::mouseClick(picker->edit(), Qt::LeftButton);
    EXPECT_TRUE(picker->edit()->hasFocus());
    QTest::keyClicks(picker->edit(), "7");
    EXPECT_EQ(picker->edit()->text(), "15/03/2021");
    picker->edit()->selectAll();
    EXPECT_EQ(picker->edit()->selectedText(), "15/03/2021");
    QTest::mouseClick(picker->button(), Qt::LeftButton);
    EXPECT_EQ(picker->popup(), nullptr);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    picker->SetEnabled(true);
    QTest::keyClicks(picker->edit(), "7");
    EXPECT_NE(picker->edit()->text(), "15/03/2021");
}

TEST_F(DatePicker, ButtonTextReadsOnItsBackground) {
    struct Case {
        QColor background;
        QColor text;
    };
    const Case cases[] = {
        {QColor(66, 69, 66), Qt::white},
        {QColor(127, 128, 128), Qt::white}, // 383
        {QColor(128, 128, 128), Qt::black}, // 384
        {QColor(240, 240, 240), Qt::black},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.background.name().toStdString());
        QWidget panel;
        QPalette palette = panel.palette();
        palette.setColor(QPalette::Window, c.background);
        panel.setPalette(palette);
        panel.setAutoFillBackground(true);
        TQelCalendar field(&panel);
        field.setGeometry(0, 0, 112, 20);
        EXPECT_EQ(field.button()->palette().color(QPalette::ButtonText), c.text);
        // What is drawn: the dots in that colour on the panel's own background.
        const QImage image = panel.grab(field.button()->geometry()).toImage();
        bool dots = false;
        for (int y = 0; y < image.height() && !dots; ++y)
            for (int x = 0; x < image.width() && !dots; ++x)
                dots = std::abs(image.pixelColor(x, y).lightness() - c.text.lightness()) < 40;
        EXPECT_TRUE(dots);
        EXPECT_EQ(image.pixelColor(1, 1), c.background);
    }
}

TEST_F(DatePicker, GetColourChoosesTheTextColour) {
    picker->setOnGetColour([](QObject*, TDateTime aDate, QColor& colour) {
        EXPECT_EQ(colour, QColor(Qt::black)); // starts as the window-text colour
        if (aDate < valueFromDate({2021, 1, 1}))
            colour = Qt::red;
    });
    setDate({2020, 6, 1});
    EXPECT_EQ(picker->edit()->palette().color(QPalette::Text), QColor(Qt::red));
    setDate({2021, 6, 1});
    EXPECT_EQ(picker->edit()->palette().color(QPalette::Text), QColor(Qt::black));
}

// --- The calendar pop-up -------------------------------------------------------------

using CalendarPopup = DatePicker;

QString cellText(TFrmCalendar* popup, int row, int col) {
    return popup->sgDay()->item(row, col)->text();
}

TEST_F(CalendarPopup, DayGridStartsOnTheMondayBeforeTheFirst) {
    struct Case {
        QDate shown;
        QDate gridStart;
        int firstRow, firstCol;
    };
    const Case cases[] = {
        {{2021, 3, 15}, {2021, 2, 22}, 1, 0}, // starts on a Monday: a full week of February
        {{2021, 5, 9}, {2021, 4, 26}, 0, 5},
        {{2021, 2, 10}, {2021, 1, 25}, 1, 0}, // 28 days: rows 1 to 4 are February
        {{2021, 8, 1}, {2021, 7, 26}, 0, 6},  // starts on a Sunday
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown.toString(Qt::ISODate).toStdString());
        setDate(c.shown);
        TFrmCalendar* popup = openPopup();
        ASSERT_NE(popup, nullptr);
        const qint64 start = qint64(valueFromDate(c.gridStart));
        for (int i = 0; i < 42; ++i) {
            const QDate day = c.gridStart.addDays(i);
            const bool inMonth = day.month() == c.shown.month();
            SCOPED_TRACE(day.toString(Qt::ISODate).toStdString());
            EXPECT_EQ(
                cellText(popup, i / 7, i % 7),
                QStringLiteral("%1,%2,%3").arg(start + i).arg(day.day()).arg(inMonth ? 0 : 1));
            const auto look = popup->dayCellLook(i / 7, i % 7);
            if (day == c.shown) {
                EXPECT_EQ(popup->sgDay()->currentRow(), i / 7);
                EXPECT_EQ(popup->sgDay()->currentColumn(), i % 7);
                EXPECT_TRUE(look.font.bold());
                EXPECT_EQ(look.colour, QColor(255, 0, 0));
            } else if (!inMonth) {
                EXPECT_TRUE(look.font.italic());
                EXPECT_EQ(look.colour, QColor(166, 202, 240));
            } else {
                EXPECT_FALSE(look.font.bold() || look.font.italic());
                EXPECT_EQ(look.colour, QColor(Qt::black));
            }
        }
        EXPECT_EQ(cellText(popup, c.firstRow, c.firstCol).section(',', 1), "1,0");
        EXPECT_EQ(popup->ebYear()->text(), QString::number(c.shown.year()));
        const int m = c.shown.month() - 1;
        EXPECT_EQ(popup->sgMon()->currentRow(), m / 2);
        EXPECT_EQ(popup->sgMon()->currentColumn(), m % 2);
        EXPECT_TRUE(popup->monthCellLook(m / 2, m % 2).font.bold());
        EXPECT_EQ(popup->monthCellLook(m / 2, m % 2).colour, QColor(255, 0, 0));
        EXPECT_EQ(popup->monthCellLook((m + 1) % 12 / 2, (m + 1) % 2).colour, QColor(Qt::white));
        clickOutside();
        flushDeletes();
    }
    // 1 March 2021 is day 44256.
    setDate({2021, 3, 15});
    TFrmCalendar* popup = openPopup();
    EXPECT_EQ(cellText(popup, 1, 0), "44256,1,0");
    clickOutside();
}

TEST_F(CalendarPopup, WhatIsDrawnFollowsTheCellLooks) {
    setDate({2021, 3, 15});
    TFrmCalendar* popup = openPopup();
    ASSERT_NE(popup, nullptr);
    const auto countPixels = [](QWidget* grid, const QRect& rect, auto&& match) {
        const QImage image = grid->grab().toImage().copy(rect);
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += match(image.pixelColor(x, y));
        return n;
    };
    const auto reddish = [](const QColor& c) {
        return c.red() > 200 && c.green() < 120 && c.blue() < 120;
    };
    const auto bluish = [](const QColor& c) {
        return c.blue() > 200 && c.red() < 220 && c.red() > 100;
    };
    QTableWidget* days = popup->sgDay();
    const QRect selected = days->visualItemRect(days->item(3, 0)); // 15 March
    const QRect february = days->visualItemRect(days->item(0, 0));
    const QRect plain = days->visualItemRect(days->item(3, 1));
    EXPECT_GT(countPixels(days->viewport(), selected, reddish), 0);
    EXPECT_GT(countPixels(days->viewport(), february, bluish), 0);
    EXPECT_EQ(countPixels(days->viewport(), plain, reddish), 0);
    QTableWidget* months = popup->sgMon();
    EXPECT_GT(countPixels(months->viewport(), months->visualItemRect(months->item(1, 0)), reddish),
              0);
    EXPECT_EQ(months->item(0, 0)->text(), "Jan");
    EXPECT_EQ(months->item(5, 1)->text(), "Dec");
    clickOutside();
}

TEST_F(CalendarPopup, MonthClickKeepsTheDayOrTakesTheMonthsLast) {
    struct Case {
        QDate shown;
        int row, col;
        const char* caption;
    };
    const Case cases[] = {
        {{2021, 1, 31}, 0, 1, "28 Feb 2021"},
        {{2024, 1, 31}, 0, 1, "29 Feb 2024"},
        {{2021, 3, 31}, 1, 1, "30 Apr 2021"},
        {{2021, 3, 15}, 5, 1, "15 Dec 2021"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        picker->SetLastCell(-1, -1);
        setDate(c.shown);
        TFrmCalendar* popup = openPopup();
        ASSERT_NE(popup, nullptr);
        clickCell(popup->sgMon(), c.row, c.col);
        EXPECT_EQ(popup->cmSelected()->text(), c.caption);
        EXPECT_EQ(picker->LastCol(), c.col);
        EXPECT_EQ(picker->LastRow(), c.row);
        EXPECT_EQ(date(), c.shown) << "nothing handed over yet";
        clickOutside();
        flushDeletes();
    }
}

TEST_F(CalendarPopup, RecordedMonthCellSurvivesAcrossPopups) {
    setDate({2021, 3, 15});
    TFrmCalendar* popup = openPopup();
    ASSERT_NE(popup, nullptr);
    clickCell(popup->sgMon(), 1, 0); // March, the month shown: recorded
    EXPECT_EQ(picker->LastRow(), 1);
    EXPECT_EQ(picker->LastCol(), 0);
    clickCell(popup->sgDay(), 5, 3); // a sky-blue day of April
    EXPECT_EQ(popup->cmSelected()->text(), "01 Apr 2021");
    EXPECT_EQ(cellText(popup, 0, 3).section(',', 1), "1,0") << "the grid moved to April";
    clickCell(popup->sgMon(), 1, 0);
    EXPECT_EQ(popup->cmSelected()->text(), "01 Apr 2021") << "the recorded cell is ignored";
    clickCell(popup->sgMon(), 2, 1); // June works
    EXPECT_EQ(popup->cmSelected()->text(), "01 Jun 2021");
    clickOutside();
    flushDeletes();

    // A later pop-up of the same field still knows June.
    popup = openPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->cmSelected()->text(), "15 Mar 2021");
    clickCell(popup->sgMon(), 2, 1);
    EXPECT_EQ(popup->cmSelected()->text(), "15 Mar 2021");
    clickCell(popup->sgMon(), 1, 0);
    EXPECT_EQ(popup->cmSelected()->text(), "15 Mar 2021"); // March shown already
    clickCell(popup->sgMon(), 0, 0);
    EXPECT_EQ(popup->cmSelected()->text(), "15 Jan 2021");
    clickOutside();
}

TEST_F(CalendarPopup, NeighbouringDayMovesTheGridAndDoubleClicksChoose) {
    setDate({2021, 3, 15});
    TFrmCalendar* popup = openPopup();
    ASSERT_NE(popup, nullptr);
    clickCell(popup->sgDay(), 5, 4); // Friday 2 April
    EXPECT_EQ(popup->cmSelected()->text(), "02 Apr 2021");
    EXPECT_EQ(popup->sgMon()->currentRow(), 1);
    EXPECT_EQ(popup->sgMon()->currentColumn(), 1);
    const QString selected =
        popup->sgDay()->item(popup->sgDay()->currentRow(), popup->sgDay()->currentColumn())->text();
    EXPECT_EQ(selected, QStringLiteral("%1,2,0").arg(qint64(valueFromDate({2021, 4, 2}))));
    // Keys move the selection like clicks.
    QTest::keyClick(popup->sgDay(), Qt::Key_Right);
    EXPECT_EQ(popup->cmSelected()->text(), "03 Apr 2021");
    EXPECT_EQ(date(), QDate(2021, 3, 15));
    doubleClickCell(popup->sgDay(), 2, 2);
    flushDeletes();
    EXPECT_EQ(picker->popup(), nullptr);
    EXPECT_EQ(date(), QDate(2021, 4, 14));
    EXPECT_EQ(picker->edit()->text(), "14/04/2021");
    EXPECT_EQ(log.entries, QStringList{"changed"});

    log.entries.clear();
    popup = openPopup();
    ASSERT_NE(popup, nullptr);
    doubleClickCell(popup->sgMon(), 4, 0); // September: its first day
    flushDeletes();
    EXPECT_EQ(picker->popup(), nullptr);
    EXPECT_EQ(date(), QDate(2021, 9, 1));
    EXPECT_EQ(log.entries, QStringList{"changed"});
}

TEST_F(CalendarPopup, YearBoxAndYearButtonsAround29February) {
    setDate({2024, 2, 29});
    TFrmCalendar* popup = openPopup();
    ASSERT_NE(popup, nullptr);
    QLineEdit* year = popup->ebYear();
    EXPECT_EQ(year->text(), "2024");
    // Replaced in one step by a year without 29 February: ignored.
    year->selectAll();
    year->insert("2023");
    EXPECT_EQ(popup->cmSelected()->text(), "29 Feb 2024");
    QTest::mouseClick(popup->cmNxYear(), Qt::LeftButton);
    EXPECT_EQ(popup->cmSelected()->text(), "28 Feb 2025");
    EXPECT_EQ(year->text(), "2025");
    QTest::mouseClick(popup->cmPvYear(), Qt::LeftButton);
    QTest::mouseClick(popup->cmPvYear(), Qt::LeftButton);
    EXPECT_EQ(popup->cmSelected()->text(), "28 Feb 2023");
    clickOutside();
    flushDeletes();

    // Digit by digit the date follows every valid intermediate year.
    setDate({2024, 2, 29});
    popup = openPopup();
    ASSERT_NE(popup, nullptr);
    year = popup->ebYear();
    QTest::mouseClick(year, Qt::LeftButton);
    year->selectAll();
    QStringList captions;
    for (const char digit : QByteArray("2020")) {
        QTest::keyClick(year, digit);
        captions << popup->cmSelected()->text();
    }
    EXPECT_EQ(captions, QStringList({"29 Feb 2024", "29 Feb 0020", "29 Feb 0020", "29 Feb 2020"}));
    EXPECT_EQ(year->text(), "2020");
    // Nothing or zero: ignored.
    year->clear();
    year->insert("0");
    EXPECT_EQ(popup->cmSelected()->text(), "29 Feb 2020");
    clickOutside();
}

TEST_F(CalendarPopup, EveryQuickChoice) {
    struct Case {
        const char* item;
        const char* caption;
        QDate chosen;
    };
    const Case cases[] = {
        {"oday1", "Today", {2021, 3, 15}},
        {"Yesterday1", "Yesterday", {2021, 3, 14}},
        {"StartoftheMonth1", "Start of Month", {2021, 8, 1}},
        {"EndoftheMonth1", "End of Month", {2021, 8, 31}},
        {"StartoftheYear1", "Start of Year", {2021, 1, 1}},
        {"EndoftheYear1", "End of Year", {2021, 12, 31}},
        {"StartofFiscalYear1", "Start of Fiscal Year", {2021, 1, 1}},
        {"EndofFiscalYear1", "End of Fiscal Year", {2021, 12, 31}},
    };
    int position = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        setDate({2021, 8, 15});
        TFrmCalendar* popup = openPopup();
        ASSERT_NE(popup, nullptr);
        QTest::mouseClick(popup->LMDButton1(), Qt::LeftButton);
        QMenu* menu = popup->pm();
        ASSERT_TRUE(menu->isVisible());
        const QList<QAction*> actions = menu->actions();
        ASSERT_EQ(actions.size(), 8);
        QAction* action = actions[position++];
        EXPECT_EQ(action->objectName(), c.item);
        EXPECT_EQ(action->text(), c.caption);
        EXPECT_EQ(action->data().toInt(), position);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        flushDeletes();
        EXPECT_EQ(picker->popup(), nullptr);
        EXPECT_EQ(date(), c.chosen);
        EXPECT_EQ(picker->Date(), double(qint64(picker->Date()))) << "a whole day";
        EXPECT_EQ(log.entries, QStringList{"changed"});
    }
}

TEST_F(CalendarPopup, ClosingWithoutAChoiceKeepsThePreviousDate) {
    setDate({2021, 3, 15});
    TFrmCalendar* popup = openPopup();
    ASSERT_NE(popup, nullptr);
    clickCell(popup->sgDay(), 3, 3);
    EXPECT_EQ(popup->cmSelected()->text(), "18 Mar 2021");
    clickOutside();
    flushDeletes();
    EXPECT_EQ(picker->popup(), nullptr);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(date(), QDate(2021, 3, 15));
    EXPECT_TRUE(log.entries.isEmpty());

    // Loss of activation closes it the same way.
    popup = openPopup();
    ASSERT_NE(popup, nullptr);
    clickCell(popup->sgDay(), 3, 3);
    QWidget other;
    other.setGeometry(600, 400, 50, 50);
    other.show();
    other.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&other));
    flushDeletes();
    EXPECT_EQ(picker->popup(), nullptr);
    EXPECT_EQ(date(), QDate(2021, 3, 15));
    EXPECT_TRUE(log.entries.isEmpty());
}

TEST_F(CalendarPopup, SelectedDateButtonHandsOverOrShowsInvalidDate) {
    setDate({2021, 3, 15});
    TFrmCalendar* popup = openPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->cmSelected()->text(), "15 Mar 2021");
    clickCell(popup->sgDay(), 5, 0);
    QTest::mouseClick(popup->cmSelected(), Qt::LeftButton);
    flushDeletes();
    EXPECT_EQ(picker->popup(), nullptr);
    EXPECT_EQ(date(), QDate(2021, 3, 29));
    EXPECT_EQ(log.entries, QStringList{"changed"});

    // On or before 1 January 1980 the date is refused.
    for (const char* year : {"1980", "1979"}) {
        SCOPED_TRACE(year);
        dialogs.clear();
        setDate({2021, 3, 15});
        popup = openPopup();
        ASSERT_NE(popup, nullptr);
        popup->ebYear()->selectAll();
        popup->ebYear()->insert(year);
        if (QByteArray(year) == "1980") { // 1 January 1980 itself
            clickCell(popup->sgMon(), 0, 0);
            clickCell(popup->sgDay(), 0, 1);
            EXPECT_EQ(popup->cmSelected()->text(), "01 Jan 1980");
        }
        QTest::mouseClick(popup->cmSelected(), Qt::LeftButton);
        EXPECT_EQ(dialogs, QStringList{"Invalid Date"});
        flushDeletes();
        EXPECT_EQ(picker->popup(), nullptr);
        EXPECT_EQ(date(), QDate(2021, 3, 15));
        EXPECT_TRUE(log.entries.isEmpty());
    }
}

} // namespace
