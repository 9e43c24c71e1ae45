// The main window as the operator first sees it, and its drop area: real drop events
// with two files, a folder, a text file, a station database.

#include "AppTestSupport.h"
#include "cleaning/DatabaseFileCheck.h"
#include "common/Clock.h"
#include "common/DateTime.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <unistd.h>

using namespace app_testing;

namespace {

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, StartsInTheSelectionStateAsDesigned) {
    // Borderless, centred, 505 x 474, titled for the task bar.
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->size(), QSize(505, 474));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Pellisar"));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((window->geometry().center() - screenCentre).manhattanLength(), 2);

    // Two frames, each 1 pixel inside the one around it.
    EXPECT_EQ(child("Panel3")->geometry(), QRect(1, 1, 503, 472));
    EXPECT_EQ(child("Panel4")->geometry(), QRect(1, 1, 501, 470));

    // The drop band on top, the buttons at the bottom, the selection area between.
    EXPECT_EQ(dropArea()->geometry(), QRect(0, 0, 501, 57));
    EXPECT_EQ(dropArea()->tag(), 1);
    EXPECT_EQ(dropArea()->caption(), QStringLiteral("Drag GDB Here"));
    EXPECT_EQ(child("Panel2")->geometry(), QRect(0, 409, 501, 61));
    EXPECT_EQ(child("pn01")->geometry(), QRect(0, 57, 501, 352));
    EXPECT_TRUE(child("pn01")->isVisible());
    for (const char* hidden : {"pnStatusText", "Panel6", "Panel5"}) {
        SCOPED_TRACE(hidden);
        EXPECT_FALSE(child(hidden)->isVisible());
    }
    EXPECT_EQ(child("Panel7")->height(), 58);
    EXPECT_EQ(child("Panel7")->geometry().bottom(), child("pn01")->height() - 1);
    EXPECT_EQ(child("pnStatusText")->height(), 24);
    EXPECT_EQ(child("Panel6")->height(), 100);
    EXPECT_EQ(child("Panel5")->height(), 100);

    EXPECT_EQ(child<QLabel>("LMDLabel1")->text(),
              QStringLiteral("Select the type of data you wish to remove"));
    EXPECT_TRUE(child<QLabel>("LMDLabel1")->alignment() & Qt::AlignRight);
    const QRect tree = child("tv")->geometry();
    EXPECT_EQ(tree.left(), 12);
    EXPECT_EQ(child("pn01")->width() - 1 - tree.right(), 12);

    // The mode row: prior-to mode chosen.
    auto* all = child<QRadioButton>("RadioButton1");
    auto* priorTo = child<QRadioButton>("RadioButton2");
    EXPECT_EQ(all->text(), QStringLiteral("Remove All Selected Data"));
    // Where the designed width would cut the caption in the font this desktop has, the
    // caption's size hint gives the width.
    auto designedOrHint = [](QWidget* w, QRect designed) {
        designed.setWidth(std::max(designed.width(), w->sizeHint().width()));
        designed.setHeight(std::max(designed.height(), w->sizeHint().height()));
        return designed;
    };
    EXPECT_EQ(all->geometry(), designedOrHint(all, QRect(32, 4, 185, 17)));
    EXPECT_FALSE(all->isChecked());
    EXPECT_EQ(priorTo->text(), QStringLiteral("Remove Data Prior To:"));
    EXPECT_EQ(priorTo->geometry(), designedOrHint(priorTo, QRect(302, 4, 148, 17)));
    EXPECT_TRUE(priorTo->isChecked());
    const QRect field = child("QelCalendar1")->geometry();
    EXPECT_EQ(field.topLeft(), QPoint(369, 27));
    EXPECT_EQ(field.height(), 20);
    EXPECT_EQ(field.width(), std::max(112, child("QelCalendar1")->minimumSizeHint().width()));

    // Close at the far right, Start beside it; Start waits for a database.
    EXPECT_EQ(closeButton()->text(), QStringLiteral("Close"));
    EXPECT_EQ(closeButton()->geometry(), QRect(501 - 12 - 100, 4, 100, 45));
    EXPECT_EQ(startButton()->text(), QStringLiteral("Start"));
    EXPECT_EQ(startButton()->geometry(), QRect(501 - 12 - 100 - 8 - 100, 4, 100, 45));
    EXPECT_FALSE(startButton()->isEnabled());
    EXPECT_TRUE(closeButton()->isEnabled());
    EXPECT_EQ(startButton()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(closeButton()->cursor().shape(), Qt::PointingHandCursor);

    EXPECT_TRUE(window->GDB().isEmpty());

    // Both channels drawn once at 0 of 0, though hidden.
    EXPECT_EQ(label("lbStatus1"), QStringLiteral("Step 0 of 0"));
    EXPECT_EQ(label("lbStatus2"), QStringLiteral("Step 0 of 0"));
    EXPECT_EQ(child<QLabel>("Image1")->size(), QSize(80, 80));
    EXPECT_FALSE(child<QLabel>("Image1")->pixmap().isNull());
    EXPECT_EQ(window->progressSurface(1).size(), QSize(80, 80));
}

TEST_F(MainWindowTest, FirstShowExpandsTheTreeSelectsSuppliersAndTicksNothing) {
    TCategoryTreeView& tv = window->categoryView();
    const CategoryTree& t = window->tree();
    ASSERT_EQ(t.count(), 16);
    for (int i = 0; i < t.count(); ++i) {
        SCOPED_TRACE(i);
        const QModelIndex index = tv.categories().indexOfNode(i);
        EXPECT_EQ(index.data().toString(), t.text(i));
        EXPECT_EQ(index.data(CategoryTreeModel::StateIndexRole).toInt(), t.categoryId(i));
        EXPECT_EQ(index.data(CategoryTreeModel::ImageIndexRole).toInt(), 0);
        if (tv.categories().rowCount(index) > 0) {
            EXPECT_TRUE(tv.isExpanded(index));
        }
    }
    EXPECT_EQ(tv.selectedNode(), 0);
    EXPECT_EQ(tv.currentIndex().data().toString(), QStringLiteral("Suppliers"));
    EXPECT_TRUE(tickedIds().empty());
}

TEST_F(MainWindowTest, DatePickerStartsOnTheFirstOfJanuaryOfThisYear) {
    for (const QDate today : {QDate(2024, 6, 15), QDate(2031, 1, 1), QDate(2030, 12, 31)}) {
        SCOPED_TRACE(today.toString(Qt::ISODate).toStdString());
        FixedClock clock(QDateTime(today, QTime(10, 30)));
        TfmMain fresh;
        fresh.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
        auto* calendar = fresh.findChild<TQelCalendar*>(QStringLiteral("QelCalendar1"));
        ASSERT_NE(calendar, nullptr);
        EXPECT_EQ(dateTimeFromValue(calendar->Date()),
                  QDateTime(QDate(today.year(), 1, 1), QTime(0, 0)));
        EXPECT_EQ(calendar->edit()->text(), QDate(today.year(), 1, 1).toString("dd/MM/yyyy"));
        EXPECT_TRUE(fresh.priorToMode());
        EXPECT_EQ(fresh.cutOffDate(), QDateTime(QDate(today.year(), 1, 1), QTime(0, 0)));
    }
}

TEST_F(MainWindowTest, PanelsKeepTheDesignedColoursUnderTheStyle) {
    const QImage shot = window->grab().toImage();
    // Panel3 shows as a white line 1 pixel inside the window's edge.
    EXPECT_EQ(shot.pixelColor(1, 200), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(250, 1), QColor(Qt::white));
    // The window's edge and the selection area have the style's face and window colours.
    EXPECT_EQ(shot.pixelColor(0, 200), toQColor(clBtnFace));
    EXPECT_EQ(shot.pixelColor(4, 300), toQColor(clWindow));
}

// ---------------------------------------------------------------------------------------
// Drops

TEST_F(MainWindowTest, DropsAreTakenOrRefusedAsTheDropAreaRules) {
    QDir(folder()).mkpath(QStringLiteral("a folder"));
    const QString aFolder = folder() + QStringLiteral("/a folder");
    const QString textFile = folder() + QStringLiteral("/notes.txt");
    {
        QFile f(textFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("These are not the data you are looking for.\n");
    }
    const QString otherCopy = folder() + QStringLiteral("/other.GDB");
    ASSERT_TRUE(QFile::copy(station, otherCopy));

    struct Case {
        const char* name;
        QStringList paths;
        bool startBefore; // Start enabled by an earlier drop of a database
        bool taken;       // the drop area takes the drag while it hovers
        QString errorBox; // "" none; "*" any text (the connection's own message)
        QString caption;  // expected caption; "" unchanged
        bool startAfter;
    };
    const Case cases[] = {
        // Two files are refused before the drop happens: nothing to tell, nothing changes.
        {"two files", {station, otherCopy}, false, false, "", "", false},
        {"two files after a database", {station, otherCopy}, true, false, "", "", true},
        {"a folder", {aFolder}, false, true, "", aFolder, false},
        {"a text file", {textFile}, false, true, "*", textFile, false},
        {"a text file after a database", {textFile}, true, true, "*", textFile, true},
        {"a station database", {station}, false, true, "", station, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        if (c.startBefore) {
            ASSERT_NO_FATAL_FAILURE(dropStation());
        }
        const QString captionBefore = dropArea()->caption();
        const QString gdbBefore = window->GDB();
        messages.seen.clear();

        EXPECT_EQ(dropFiles(dropArea(), c.paths), c.taken);

        if (c.errorBox.isEmpty()) {
            EXPECT_TRUE(messages.seen.empty()) << messages.texts().join(u'|').toStdString();
        } else {
            ASSERT_EQ(messages.seen.size(), 1u);
            const SeenMessage& m = messages.seen.front();
            EXPECT_TRUE(m.plainBox);
            EXPECT_EQ(m.icon, QMessageBox::Critical);
            if (c.errorBox == QLatin1String("Too many files.")) {
                EXPECT_EQ(m.text, c.errorBox);
                EXPECT_EQ(m.caption, QStringLiteral("Drag and drop error"));
            } else {
                EXPECT_FALSE(m.text.isEmpty());
                EXPECT_EQ(m.caption, QStringLiteral("Pellisar"));
            }
        }
        const QString caption = c.caption.isEmpty() ? captionBefore : c.caption;
        EXPECT_EQ(dropArea()->caption(), caption);
        EXPECT_EQ(window->GDB(), c.caption.isEmpty() ? gdbBefore : c.caption);
        EXPECT_EQ(startButton()->isEnabled(), c.startAfter);
    }
}

TEST_F(MainWindowTest, DropOfAFileTheRunWouldRefuseIsRefusedWithTheReason) {
    const QString notes = folder() + QStringLiteral("/NOTES.GDB");
    {
        QFile f(notes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    const QString linked = folder() + QStringLiteral("/LINKED.GDB");
    ASSERT_TRUE(QFile::copy(station, linked));
    ASSERT_EQ(::link(QFile::encodeName(linked).constData(),
                     QFile::encodeName(folder() + QStringLiteral("/SECOND_NAME.GDB")).constData()),
              0);
    struct Case {
        QString path;
        const char* reason;
    };
    const Case cases[] = {
        {notes, "it does not start with a Firebird database header"},
        {linked, "it has 2 hard links"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        openWindow();
        messages.seen.clear();
        EXPECT_TRUE(dropFiles(dropArea(), {c.path}));
        ASSERT_EQ(messages.seen.size(), 1u);
        EXPECT_EQ(messages.seen.front().text, databaseFileRefusal(c.path));
        EXPECT_TRUE(messages.seen.front().text.contains(QLatin1String(c.reason)))
            << messages.seen.front().text.toStdString();
        EXPECT_EQ(messages.seen.front().icon, QMessageBox::Critical);
        EXPECT_FALSE(startButton()->isEnabled());
    }
}

TEST_F(MainWindowTest, OnlyOneLocalFileIsTaken) {
    struct Case {
        const char* name;
        std::function<void(QMimeData&)> fill;
        bool taken;   // the drag is accepted at all
        bool tooMany; // the box "Too many files." follows the drop
    };
    const Case cases[] = {
        {"plain text", [](QMimeData& d) { d.setText(QStringLiteral("/etc/hosts")); }, false, false},
        // Refused while they hover: the source keeps its items and no box follows.
        {"no file", [](QMimeData& d) { d.setUrls({}); }, false, false},
        {"a web address",
         [](QMimeData& d) { d.setUrls({QUrl(QStringLiteral("https://example.org/SHOP.GDB"))}); },
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.seen.clear();
        QMimeData data;
        c.fill(data);
        EXPECT_EQ(dragAndDrop(dropArea(), data), c.taken);
        EXPECT_EQ(messages.texts(), c.tooMany ? QStringList{"Too many files."} : QStringList{});
        EXPECT_EQ(dropArea()->caption(), QStringLiteral("Drag GDB Here"));
        EXPECT_TRUE(window->GDB().isEmpty());
        EXPECT_FALSE(startButton()->isEnabled());
    }
    // Panels without a tag take no drops.
    EXPECT_FALSE(dropFiles(child("Panel2"), {station}));
    EXPECT_TRUE(window->GDB().isEmpty());
}

TEST_F(MainWindowTest, ADroppedDatabaseIsAttachedAndEnablesStart) {
    ASSERT_NO_FATAL_FAILURE(dropStation());
    EXPECT_EQ(dropArea()->caption(), station);
    EXPECT_EQ(window->GDB(), station);
    EXPECT_TRUE(messages.seen.empty());

    // A later drop replaces the path and reconnects.
    const QString second = folder() + QStringLiteral("/SECOND.GDB");
    ASSERT_TRUE(QFile::copy(station, second));
    dropFiles(dropArea(), {second});
    EXPECT_EQ(dropArea()->caption(), second);
    EXPECT_EQ(window->GDB(), second);
    EXPECT_TRUE(startButton()->isEnabled());
    EXPECT_TRUE(messages.seen.empty());
}

TEST_F(MainWindowTest, DraggingTheDropBandMovesTheWindow) {
    const QPoint before = window->pos();
    QWidget* band = dropArea();
    QTest::mousePress(band, Qt::LeftButton, Qt::NoModifier, QPoint(100, 20));
    QMouseEvent move(QEvent::MouseMove, QPointF(140, 50), band->mapToGlobal(QPointF(140, 50)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(band, &move);
    QTest::mouseRelease(band, Qt::LeftButton, Qt::NoModifier, QPoint(140, 50));
    EXPECT_EQ(window->pos(), before + QPoint(40, 30));
}

TEST_F(MainWindowTest, CloseEndsTheWindowWhenNoRunIsActive) {
    QTest::mouseClick(closeButton(), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

} // namespace
