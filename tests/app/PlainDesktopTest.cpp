// The window on a stock desktop at twice the pixel density: only the fonts of a minimal
// Debian install (DejaVu Sans, without its condensed face) and QT_SCALE_FACTOR=2, set up
// before the application object exists. No caption is cut, the calendar pop-up stays on
// the (now small) screen, the rings are drawn at the device pixel ratio.

#include "AppTestSupport.h"
#include "app/ProgressRing.h"
#include "app/UiFont.h"
#include "common/DateTime.h"

#include <QFontInfo>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTemporaryDir>
#include <QToolButton>
#include <gmock/gmock.h>

using namespace app_testing;

namespace {

// The font files of fonts-dejavu-core.
const char* const coreFonts[] = {"DejaVuSans.ttf",     "DejaVuSans-Bold.ttf",
                                 "DejaVuSansMono.ttf", "DejaVuSansMono-Bold.ttf",
                                 "DejaVuSerif.ttf",    "DejaVuSerif-Bold.ttf"};
const QString dejavuFolder = QStringLiteral("/usr/share/fonts/truetype/dejavu/");

// Fontconfig sees only the core fonts, whatever else the machine has.
void useOnlyCoreFonts(const QTemporaryDir& dir) {
    QDir().mkpath(dir.filePath("fonts"));
    for (const char* name : coreFonts)
        QFile::link(dejavuFolder + QLatin1String(name),
                    dir.filePath("fonts/") + QLatin1String(name));
    QFile conf(dir.filePath("fonts.conf"));
    if (conf.open(QIODevice::WriteOnly)) {
        conf.write("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                   "<fontconfig>\n<dir>" +
                   QFile::encodeName(dir.filePath("fonts")) + "</dir>\n<cachedir>" +
                   QFile::encodeName(dir.filePath("cache")) +
                   "</cachedir>\n<alias><family>sans-serif</family><prefer><family>DejaVu "
                   "Sans</family></prefer></alias>\n</fontconfig>\n");
    }
    qputenv("FONTCONFIG_FILE", QFile::encodeName(dir.filePath("fonts.conf")));
}

// The width the text needs inside a line edit, and what the edit has for it.
bool lineEditHolds(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    const QRect contents =
        edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    return edit->fontMetrics().horizontalAdvance(edit->text()) + 2 * 2 <= contents.width();
}

class PlainDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        applyProgramStartup();
        window = std::make_unique<TfmMain>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override { window.reset(); }
    template <class T = QWidget> T* child(const char* name) const {
        T* w = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    std::unique_ptr<TfmMain> window;
};

TEST_F(PlainDesktopTest, TheDesktopIsDejaVuSansAtTwiceThePixels) {
    EXPECT_EQ(QFontInfo(uiFont()).family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(window->devicePixelRatioF(), 2.0);
}

TEST_F(PlainDesktopTest, NoCaptionOfTheWindowIsCut) {
    for (const char* name : {"RadioButton1", "RadioButton2", "LMDLabel1", "cmOk", "cmClose"}) {
        SCOPED_TRACE(name);
        QWidget* w = child(name);
        EXPECT_LE(w->sizeHint().width(), w->width());
        EXPECT_LE(w->sizeHint().height(), w->height() + 1);
        // Still inside the mode row or the window.
        EXPECT_LE(w->geometry().right(), w->parentWidget()->width() - 1);
    }
    // The two radio buttons do not overlap.
    EXPECT_LT(child("RadioButton1")->geometry().right(), child("RadioButton2")->x());
    // Where the designed place holds the caption it stays.
    EXPECT_EQ(child("RadioButton1")->pos(), QPoint(32, 4));
    EXPECT_EQ(child("RadioButton2")->pos(), QPoint(302, 4));

    auto* field = child<TQelCalendar>("QelCalendar1");
    for (const QDate date : {QDate(2026, 1, 1), QDate(2028, 12, 28), QDate(2000, 8, 30)}) {
        SCOPED_TRACE(date.toString(Qt::ISODate).toStdString());
        field->SetDate(valueFromDate(date));
        EXPECT_TRUE(lineEditHolds(field->edit())) << field->edit()->text().toStdString();
    }
    EXPECT_LE(field->geometry().right(), field->parentWidget()->width() - 1);
}

TEST_F(PlainDesktopTest, TheCalendarsSelectedDateIsNotCut) {
    auto* field = child<TQelCalendar>("QelCalendar1");
    for (int month = 1; month <= 12; ++month) {
        SCOPED_TRACE(month);
        field->SetDate(valueFromDate(QDate(2028, month, 28)));
        field->ButtonClick();
        TFrmCalendar* popup = field->popup();
        ASSERT_NE(popup, nullptr);
        QPushButton* selected = popup->cmSelected();
        EXPECT_LE(selected->sizeHint().width(), selected->width())
            << selected->text().toStdString();
        EXPECT_LE(popup->LMDButton1()->geometry().right(), selected->parentWidget()->width() - 1);
        EXPECT_FALSE(selected->geometry().intersects(popup->LMDButton1()->geometry()));
        popup->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(PlainDesktopTest, TheCalendarOpenedNearTheBottomOfTheSmallScreenLiesInsideIt) {
    const QRect screen = window->screen()->availableGeometry();
    // A screen of 400 x 300 logical pixels: the 474-pixel window does not even fit.
    ASSERT_LE(screen.height(), 400);
    auto* field = child<TQelCalendar>("QelCalendar1");
    // The field near the bottom of the screen.
    window->move(window->pos() + QPoint(screen.left() + 60, screen.bottom() - 30) -
                 field->mapToGlobal(QPoint(0, 0)));
    QCoreApplication::processEvents();
    const QRect fieldOnScreen(field->mapToGlobal(QPoint(0, 0)), field->size());
    ASSERT_TRUE(screen.contains(fieldOnScreen));
    QTest::mouseClick(field->button(), Qt::LeftButton);
    TFrmCalendar* popup = field->popup();
    ASSERT_NE(popup, nullptr);
    const QRect placed = popup->frameGeometry();
    EXPECT_TRUE(screen.contains(placed))
        << placed.x() << ',' << placed.y() << ' ' << placed.width() << 'x' << placed.height();
    EXPECT_LE(placed.bottom(), fieldOnScreen.top() - 1);
    popup->close();
}

TEST_F(PlainDesktopTest, RingsAreDrawnAtTheDevicePixelRatio) {
    for (int id : {1, 2}) {
        SCOPED_TRACE(id);
        const QImage& surface = window->progressSurface(id);
        EXPECT_EQ(surface.size(), QSize(160, 160));
        EXPECT_EQ(surface.devicePixelRatio(), 2.0);
        const QPixmap shown = child<QLabel>(id == 1 ? "Image1" : "Image2")->pixmap();
        EXPECT_EQ(shown.devicePixelRatio(), 2.0);
        EXPECT_EQ(shown.deviceIndependentSize(), QSizeF(80, 80));
    }
    // At 50 % the arc ends at the bottom: drawn in device pixels, the orange pen (8 logical
    // pixels) covers 16 device pixels across the right side of the ring.
    QImage sharp = makeRingSurface(80, 2.0);
    drawProgressRing(sharp, 50, QColor(60, 60, 60));
    int orange = 0;
    for (int x = 130; x < 160; ++x)
        orange += sharp.pixelColor(x, 79) == kRingArc ? 1 : 0;
    EXPECT_GE(orange, 10);
    // Not the 1x picture blown up: that has half the detail, so the two differ.
    QImage coarse = makeRingSurface(80, 1.0);
    drawProgressRing(coarse, 50, QColor(60, 60, 60));
    const QImage blownUp = coarse.scaled(160, 160, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                               .convertToFormat(sharp.format());
    int differing = 0;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 160; ++x)
            differing += sharp.pixel(x, y) != blownUp.pixel(x, y) ? 1 : 0;
    EXPECT_GT(differing, 500);
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir setup;
    useOnlyCoreFonts(setup);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    qputenv("DOLVANE_MACHINE_HIVE", QFile::encodeName(setup.filePath("machine/registry.sqlite")));
    qputenv("DOLVANE_USER_HIVE", QFile::encodeName(setup.filePath("user/registry.sqlite")));
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
