// dolvane-cli stopped hard at every step of a run: the station file is always either as it
// was or completely cleaned, and the next run cleans it and leaves no work file behind.

#include "BackupTestSupport.h"

#include "env/DatabaseLock.h"
#include "support/StationFixture.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace {

using testing_support::fileBytes;

struct Finished {
    bool crashed = false;
    int exitCode = -1;
    QString out;
    QString err;
};

class CliFaultTest : public testing_support::StationTest {
protected:
    Finished cli(const QStringList& args, const QString& faultAt = QString()) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tempFolder());
        if (!faultAt.isEmpty())
            env.insert(QStringLiteral("DOLVANE_FAULT_AT"), faultAt);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(DOLVANE_CLI), args);
        EXPECT_TRUE(p.waitForFinished(300000));
        Finished r;
        r.crashed = p.exitStatus() != QProcess::NormalExit;
        r.exitCode = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    QStringList leftInTemp() const {
        QStringList all;
        QDirIterator it(tempFolder(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            all << it.next();
        return all;
    }
    QStringList stationFolderEntries() const {
        return QDir(QFileInfo(station).absolutePath())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
};

const QStringList runArgs = {QStringLiteral("--tick"),     QStringLiteral("3"),
                             QStringLiteral("--tick"),     QStringLiteral("4"),
                             QStringLiteral("--prior-to"), QStringLiteral("2023-01-01")};

} // namespace

TEST_F(CliFaultTest, KilledAtAnyStepLeavesTheOriginalWholeAndTheNextRunCleansUp) {
    const QString fresh = folder() + QStringLiteral("/fresh.GDB");
    ASSERT_TRUE(QFile::copy(station, fresh));
    ASSERT_GT(QFileInfo(fresh).size(), 1024 * 1024) << "the copies must take more than one read";

    // A run that is not stopped gives the rows every other run must end with, and the
    // tables it cleans.
    const Finished reference = cli(QStringList(runArgs) << station);
    ASSERT_EQ(reference.exitCode, 0) << reference.err.toStdString();
    const auto cleaned = backuptest::rowCounts(station);
    const auto original = backuptest::rowCounts(fresh);
    ASSERT_NE(cleaned, original);
    QStringList points = {QStringLiteral("before-copy"), QStringLiteral("mid-copy")};
    const QRegularExpression table(QStringLiteral("^Cleaning: (\\S+)$"),
                                   QRegularExpression::MultilineOption);
    for (auto it = table.globalMatch(reference.err); it.hasNext();)
        points << QStringLiteral("table:") + it.next().captured(1);
    ASSERT_GE(points.size(), 5) << reference.err.toStdString();
    points << QStringLiteral("compression") << QStringLiteral("restored")
           << QStringLiteral("mid-copy-back") << QStringLiteral("after-rename");

    for (const QString& point : points) {
        SCOPED_TRACE(point.toStdString());
        ASSERT_TRUE(QFile::remove(station));
        ASSERT_TRUE(QFile::copy(fresh, station));
        const QByteArray before = fileBytes(station);

        const Finished killed = cli(QStringList(runArgs) << station, point);
        EXPECT_TRUE(killed.crashed)
            << "the fault point was not reached: " << killed.err.toStdString();
        if (point == QLatin1String("after-rename")) {
            EXPECT_EQ(backuptest::rowCounts(station), cleaned);
        } else {
            EXPECT_EQ(fileBytes(station), before);
        }

        const Finished next = cli(QStringList(runArgs) << station);
        EXPECT_EQ(next.exitCode, 0) << next.err.toStdString();
        EXPECT_EQ(backuptest::rowCounts(station), cleaned);
        EXPECT_TRUE(leftInTemp().isEmpty()) << leftInTemp().join(' ').toStdString();
        EXPECT_EQ(stationFolderEntries(), QStringList{"STATION.GDB"});
    }
}

TEST_F(CliFaultTest, DatabaseHeldOpenByAnotherProgramIsRefusedWithExitOne) {
    const auto other = backuptest::attach(station);
    const QByteArray before = fileBytes(station);
    const Finished r = cli(QStringList(runArgs) << station);
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(databaseInUseMessage())) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("Done")));
    EXPECT_EQ(fileBytes(station), before);
    EXPECT_TRUE(leftInTemp().isEmpty()) << leftInTemp().join(' ').toStdString();
    EXPECT_EQ(stationFolderEntries(), QStringList{"STATION.GDB"});
}
