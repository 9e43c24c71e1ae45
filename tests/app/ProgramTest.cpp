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
    QString err;
};

class ProgramTest : public testing_support::StationTest {
protected:
    ProgramResult dolvane(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tempFolder());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(DOLVANE_EXE), args);
        EXPECT_TRUE(p.waitForFinished(300000));
        ProgramResult r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
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

} // namespace
