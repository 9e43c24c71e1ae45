// The dolvane program itself, started as a process offscreen: the screenshot of the
// selection state and a whole run driven through the window by the developer options.

#include "AppTestSupport.h"

#include <QImage>
#include <QProcess>

using namespace app_testing;
using testing_support::Peek;

namespace {

struct ProgramResult {
    int exitCode = -1;
    QString out;
    QString err;
};

class ProgramTest : public testing_support::StationTest {
protected:
    // Offscreen, or with displayless true on a platform that needs a display, without one.
    ProgramResult dolvane(const QStringList& args, bool displayless = false) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tempFolder());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"),
                   displayless ? QStringLiteral("xcb") : QStringLiteral("offscreen"));
        if (displayless) {
            env.remove(QStringLiteral("DISPLAY"));
            env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        }
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(DOLVANE_EXE), args);
        EXPECT_TRUE(p.waitForFinished(300000));
        ProgramResult r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
};

TEST_F(ProgramTest, ScreenshotShowsTheSelectionStateAfterTheDrop) {
    const QString png = folder() + QStringLiteral("/window.png");
    const ProgramResult r = dolvane({"--drop", station, "--tick", "1", "--screenshot", png});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QImage shot(png);
    ASSERT_EQ(shot.size(), QSize(505, 474));
    EXPECT_EQ(shot.pixelColor(1, 200), QColor(Qt::white));
}

TEST_F(ProgramTest, RunOptionCleansTheFileThroughTheWindow) {
    qint64 orders = 0;
    {
        Peek peek(station);
        ASSERT_GT(peek.count(QStringLiteral("TBL_SALES")), 0);
        orders = peek.count(QStringLiteral("TBL_ORDER_HEADER"));
    }
    const QString png = folder() + QStringLiteral("/run.png");
    const ProgramResult r =
        dolvane({"--run", station, "--tick", "3", "--all", "--answer-no", "--screenshot", png});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Message: Do you wish to do a backup beforehand?")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Status: Done"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Run time: ")));
    Peek peek(station);
    EXPECT_EQ(peek.count(QStringLiteral("TBL_SALES")), 0);
    EXPECT_EQ(peek.count(QStringLiteral("TBL_ORDER_HEADER")), orders);
    // Taken half-way through a table: the run state's height.
    EXPECT_EQ(QImage(png).size(), QSize(505, 374));
    EXPECT_TRUE(workFilesLeft().isEmpty()) << workFilesLeft().join(u' ').toStdString();
}

TEST_F(ProgramTest, RunOptionFailsWhenTheFileIsNoDatabase) {
    const QString text = folder() + QStringLiteral("/notes.txt");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a database\n");
    f.close();
    const ProgramResult r = dolvane({"--run", text, "--answer-no"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Start is not enabled"))) << r.err.toStdString();
}

TEST_F(ProgramTest, BadUsageEndsWithStatus2) {
    const ProgramResult r = dolvane({"--tick", "nine"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("usage: dolvane")));
}

TEST_F(ProgramTest, HelpVersionAndBadUsageNeedNoDisplay) {
    struct Case {
        QStringList args;
        int exitCode;
        const char* out;
        const char* err;
    };
    const Case cases[] = {
        {{"--help"}, 0, "usage: dolvane [FILE]", ""},
        {{"-h"}, 0, "usage: dolvane [FILE]", ""},
        {{"--version"}, 0, "dolvane 0.", ""},
        {{"--tick", "nine"}, 2, "", "usage: dolvane"},
        {{station, "--drop", station}, 2, "", "one file only"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const ProgramResult r = dolvane(c.args, true);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        if (*c.out)
            EXPECT_TRUE(r.out.startsWith(QLatin1String(c.out))) << r.out.toStdString();
        else
            EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.err))) << r.err.toStdString();
    }
}

// `dolvane FILE` opens the window with FILE taken as a drop: the window looks exactly as
// after dropping the file, and not as without one.
TEST_F(ProgramTest, FileArgumentOpensTheWindowWithTheFileDropped) {
    auto shot = [&](const QStringList& args, const char* name) {
        const QString png = folder() + u'/' + QLatin1String(name);
        const ProgramResult r = dolvane(args + QStringList{"--tick", "3", "--screenshot", png});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QImage(png);
    };
    const QImage opened = shot({station}, "opened.png");
    const QImage dropped = shot({"--drop", station}, "dropped.png");
    const QImage none = shot({}, "none.png");
    ASSERT_FALSE(opened.isNull());
    EXPECT_EQ(opened, dropped);
    EXPECT_NE(opened, none);
}

} // namespace
