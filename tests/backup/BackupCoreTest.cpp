// The backup component's work and the front without a window: real backups and restores
// of generated station databases through the engine's services manager.

#include "BackupTestSupport.h"

#include "backup/BackupDialog.h"
#include "backup/BackupTargets.h"
#include "backup/FileSize.h"
#include "backup/HeadlessBackup.h"
#include "backup/VaultixJobs.h"
#include "backup/VaultixLog.h"
#include "common/Clock.h"
#include "env/Log.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace backuptest;

namespace {

class BackupCoreTest : public BackupFolderTest {
protected:
    // A station database at data/SHOP.GDB and a finished backup of it; returns the
    // backup file.
    QString stationWithBackup(std::int64_t salesRows, const QString& target) {
        makeStationDb(dir.file("data/SHOP.GDB"), salesRows);
        BackupJob backup(dir.file("data/SHOP.GDB"), target);
        backup.run();
        backup.commit();
        return backup.fileName();
    }
    QStringList tempFiles() const {
        return QDir(dir.file("tmp"))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QStringList filesBeside(const QString& path) const {
        return QFileInfo(path).dir().entryList(
            QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
};

} // namespace

TEST_F(BackupCoreTest, BackupThenRestoreGivesTheSameRows) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 3000);
    const auto before = contents(gdb);
    ASSERT_GT(before.size(), 10);

    BackupJob backup(gdb, dir.file("data/SHOP-backup"));
    std::vector<std::pair<qint64, qint64>> progress;
    QStringList lines;
    backup.run([&](const QString& l) { lines.append(l); },
               [&](qint64 p, qint64 m) { progress.emplace_back(p, m); });
    // Nothing carries the backup's name before it is kept.
    EXPECT_FALSE(QFileInfo::exists(backup.fileName()));
    backup.commit();
    ASSERT_TRUE(QFileInfo(dir.file("data/SHOP-backup.fbk")).isFile());
    EXPECT_EQ(filesBeside(gdb), QStringList({"SHOP-backup.fbk", "SHOP.GDB"}));
    EXPECT_TRUE(lines.contains(QStringLiteral("writing data for table TBL_SALES")));
    // One step per table, from the first to the last.
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().first, progress.back().second);
    EXPECT_GE(progress.back().second, before.size());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    // Change the database, then restore the backup over it: the rows of the backup return.
    deleteSales(gdb, QStringLiteral("SALES_ID > 0"));
    execute(gdb, {QStringLiteral("insert into TBL_STOCK (STOCK_CODE) values ('NEW')")});
    ASSERT_NE(contents(gdb), before);
    RestoreJob restore(backup.fileName(), gdb);
    progress.clear();
    restore.run({}, [&](qint64 p, qint64 m) { progress.emplace_back(p, m); });
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().first, progress.back().second);
    EXPECT_GE(progress.back().second, before.size());
    // Nothing is in place before the restore is kept.
    EXPECT_NE(contents(gdb), before);
    restore.commit();
    EXPECT_EQ(contents(gdb), before);
    EXPECT_EQ(filesBeside(gdb), QStringList({"SHOP-backup.fbk", "SHOP.GDB"}));

    const QString log = QString::fromUtf8(fileBytes(vaultixLogFileName()));
    EXPECT_TRUE(log.contains(QStringLiteral("[Backup] writing data for table TBL_SALES")));
    EXPECT_TRUE(log.contains(QStringLiteral("[Restore] Restored over ") + gdb));
}

TEST_F(BackupCoreTest, RestoreOfCorruptBackupLeavesDatabaseByteForByteUnchanged) {
    const QString gdb = dir.file("data/SHOP.GDB");
    // A real backup cut short, and files that are no backup at all.
    const QByteArray good = fileBytes(stationWithBackup(200, dir.file("good")));
    // Taken after the backup, which itself touches the database's header page.
    const QByteArray original = fileBytes(gdb);
    ASSERT_FALSE(original.isEmpty());
    struct Case {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"truncated", good.left(good.size() / 2)},
        {"garbage", QByteArray(20000, 'x')},
        {"empty", QByteArray()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString bad = dir.file(QString::fromLatin1(c.name) + ".fbk");
        QFile file(bad);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();

        CoreBackup front;
        QString name = bad;
        EXPECT_FALSE(front.Restore(bcQelvaro, gdb, name, true));
        EXPECT_EQ(name, bad);
        EXPECT_FALSE(front.lastError().isEmpty());
        EXPECT_EQ(fileBytes(gdb), original);
        EXPECT_TRUE(filesBeside(gdb).filter(QStringLiteral(".restoring")).isEmpty());
    }
    // A missing backup file fails the same way.
    CoreBackup front;
    QString missing = dir.file("missing.fbk");
    EXPECT_FALSE(front.Restore(bcQelvaro, gdb, missing, true));
    EXPECT_EQ(fileBytes(gdb), original);
}

TEST_F(BackupCoreTest, FailedBackupKeepsAnEarlierBackupOfTheSameName) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 100);
    CoreBackup front;
    QString name = dir.file("data/Backups/MonthEnd/2021-05");
    QDir().mkpath(dir.file("data/Backups/MonthEnd"));
    ASSERT_TRUE(front.Backup(bcQelvaro, bmMonthEnd, gdb, gdb, name, false, 0, 0, true, 0, {}));
    EXPECT_EQ(name, dir.file("data/Backups/MonthEnd/2021-05.fbk"));
    const QByteArray earlier = fileBytes(name);

    QString again = dir.file("data/Backups/MonthEnd/2021-05");
    EXPECT_FALSE(front.Backup(bcQelvaro, bmMonthEnd, dir.file("gone.gdb"), dir.file("gone.gdb"),
                              again, false, 0, 0, true, 0, {}));
    EXPECT_TRUE(again.isEmpty());
    EXPECT_TRUE(front.lastError().contains(QStringLiteral("gone.gdb")));
    EXPECT_EQ(fileBytes(name), earlier);
    EXPECT_EQ(QDir(dir.file("data/Backups/MonthEnd"))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"2021-05.fbk"}));
}

TEST_F(BackupCoreTest, CancelledJobsLeaveNoFiles) {
    const QString gdb = dir.file("data/SHOP.GDB");
    const QString good = stationWithBackup(2000, dir.file("data/good"));
    const QByteArray original = fileBytes(gdb);

    // Each job is cancelled from inside its own first line: the engine is surely still at
    // work then.
    RestoreJob restore(good, gdb);
    EXPECT_THROW(restore.run([&](const QString&) { restore.cancel(); }), JobCancelled);
    EXPECT_EQ(fileBytes(gdb), original);
    EXPECT_EQ(filesBeside(gdb), QStringList({"SHOP.GDB", "good.fbk"}));

    BackupJob backup(gdb, dir.file("data/b"));
    EXPECT_THROW(backup.run([&](const QString&) { backup.cancel(); }), JobCancelled);
    EXPECT_EQ(filesBeside(gdb), QStringList({"SHOP.GDB", "good.fbk"}));
}

TEST_F(BackupCoreTest, DiscardedRestoreLeavesTheDatabaseAlone) {
    const QString gdb = dir.file("data/SHOP.GDB");
    const QString backupFile = stationWithBackup(100, dir.file("data/b"));
    deleteSales(gdb, QStringLiteral("SALES_ID > 0"));
    const QByteArray changed = fileBytes(gdb);
    {
        RestoreJob restore(backupFile, gdb);
        restore.run();
        EXPECT_TRUE(restore.discard());
    }
    {
        RestoreJob restore(backupFile, gdb);
        restore.run();
        // Dropped without commit.
    }
    EXPECT_EQ(fileBytes(gdb), changed);
    EXPECT_EQ(filesBeside(gdb), QStringList({"SHOP.GDB", "b.fbk"}));
}

TEST_F(BackupCoreTest, RestoredDatabaseKeepsThePermissionsOfTheOneItReplaces) {
    const QString gdb = dir.file("data/SHOP.GDB");
    const QString backupFile = stationWithBackup(50, dir.file("b"));
    const auto wanted = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                        QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(gdb, wanted));
    RestoreJob restore(backupFile, gdb);
    restore.run();
    restore.commit();
    EXPECT_EQ(QFile::permissions(gdb), wanted);
}

// ---------------------------------------------------------------------------------------
// Targets

TEST_F(BackupCoreTest, TargetsByCaseWithAFixedClock) {
    const QString D = dir.path() + QStringLiteral("/Data/");
    const QString db = D + QStringLiteral("SHOP.GDB");
    const QDateTime june(QDate(2021, 6, 1), QTime(14, 30, 5));
    const TDateTime may31 = valueFromDate(QDate(2021, 5, 31));
    struct Case {
        const char* name;
        TBackupClient client;
        TBackupMode mode;
        QString wished;
        int sqlVersion;
        TDateTime monthEnd;
        QString expected;
        QString folderMade;
    } cases[] = {
        {"daily",
         bcQelvaro,
         bmStandard,
         {},
         0,
         0,
         D + "Backups/Daily/2021/06-Jun/210601143005",
         D + "Backups/Daily/2021/06-Jun"},
        {"request is daily",
         bcQelvaro,
         bmRequest,
         {},
         0,
         0,
         D + "Backups/Daily/2021/06-Jun/210601143005",
         D + "Backups/Daily/2021/06-Jun"},
        {"month end",
         bcQelvaro,
         bmMonthEnd,
         {},
         0,
         may31,
         D + "Backups/MonthEnd/2021-05",
         D + "Backups/MonthEnd"},
        {"sql update",
         bcQelvaro,
         bmSqlUpdate,
         {},
         123,
         0,
         D + "Backups/SQLUpdates/DBVer123",
         D + "Backups/SQLUpdates"},
        {"wished name wins for any mode",
         bcQelvaro,
         bmSqlUpdate,
         "/x/wish",
         123,
         may31,
         "/x/wish",
         {}},
        {"wished name, month end", bcQelvaro, bmMonthEnd, "/x/wish", 0, may31, "/x/wish", {}},
        {"fennrick ignores the wish", bcFennrick, bmMonthEnd, "/x/wish", 0, may31,
         D + "Backups/Daily/2021/06-Jun/210601143005", D + "Backups/Daily/2021/06-Jun"},
        {"fennrick sql update is daily",
         bcFennrick,
         bmSqlUpdate,
         {},
         7,
         0,
         D + "Backups/Daily/2021/06-Jun/210601143005",
         D + "Backups/Daily/2021/06-Jun"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(D).removeRecursively();
        const FixedClock clock(june);
        EXPECT_EQ(backupTarget(c.client, c.mode, c.wished, db, c.sqlVersion, c.monthEnd),
                  c.expected);
        if (!c.folderMade.isEmpty())
            EXPECT_TRUE(QFileInfo(c.folderMade).isDir());
        else
            EXPECT_FALSE(QFileInfo::exists(D + "Backups"));
    }
}

TEST_F(BackupCoreTest, DailyTargetReadsTheClockOnceForTheFolderAndOnceForTheName) {
    // The first reading falls on the last second of May, the second on 1 June.
    QList<QDateTime> readings = {QDateTime(QDate(2021, 5, 31), QTime(23, 59, 59)),
                                 QDateTime(QDate(2021, 6, 1), QTime(0, 0, 0))};
    setCurrentDateTimeSource([&] { return readings.takeFirst(); });
    const QString target = dailyBackupTarget(dir.file("SHOP.GDB"));
    setCurrentDateTimeSource({});
    EXPECT_EQ(target, dir.file("Backups/Daily/2021/05-May/210601000000"));
    EXPECT_TRUE(readings.isEmpty());
}

TEST_F(BackupCoreTest, PathWithoutFolderGivesARelativeTarget) {
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const FixedClock clock(QDateTime(QDate(2021, 6, 1), QTime(14, 30, 5)));
    const QString daily = dailyBackupTarget(QStringLiteral("SHOP.GDB"));
    const QString sql = sqlUpdateBackupTarget(QStringLiteral("SHOP.GDB"), 5);
    QDir::setCurrent(previous);
    EXPECT_EQ(daily, QStringLiteral("Backups/Daily/2021/06-Jun/210601143005"));
    EXPECT_EQ(sql, QStringLiteral("Backups/SQLUpdates/DBVer5"));
    EXPECT_TRUE(QFileInfo(dir.file("Backups/Daily/2021/06-Jun")).isDir());
}

TEST_F(BackupCoreTest, BackupBeforeRunGoesToTheDailyFolderBesideTheDatabase) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 100);
    const FixedClock clock(QDateTime(QDate(2021, 6, 1), QTime(14, 30, 5)));
    QString error;
    const QString file = backupBeforeRun(QStringLiteral("srv:") + gdb, gdb, &error);
    EXPECT_EQ(file, dir.file("data/Backups/Daily/2021/06-Jun/210601143005.fbk"));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_TRUE(QFileInfo(file).isFile());

    // What was written is a backup of that database.
    RestoreJob restore(file, dir.file("copy.gdb"));
    restore.run();
    restore.commit();
    EXPECT_EQ(contents(dir.file("copy.gdb")), contents(gdb));

    EXPECT_TRUE(
        backupBeforeRun(dir.file("nothing.gdb"), dir.file("nothing.gdb"), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

// ---------------------------------------------------------------------------------------
// Compression

TEST_F(BackupCoreTest, SweepOfDatabaseWithManyDeletedRowsMakesItSmallerAndReportsSizes) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 20000);
    deleteSales(gdb, QStringLiteral("SALES_ID > 3000002000"));
    execute(gdb, {QStringLiteral("delete from TBL_AUDIT_RECORDS")});
    const auto kept = contents(gdb);
    const qint64 oldSize = GetFileSize(gdb);

    const SinkScope messages(idYes);
    CoreBackup front;
    EXPECT_TRUE(front.Sweep(bcQelvaro, gdb, gdb, false));
    const qint64 newSize = GetFileSize(gdb);
    EXPECT_LT(newSize, oldSize * 3 / 4);
    EXPECT_EQ(contents(gdb), kept);

    EXPECT_EQ(messages.sink->questions, QStringList({sweepQuestion()}));
    EXPECT_TRUE(messages.sink->warnings.isEmpty());
    ASSERT_EQ(messages.sink->infos.size(), 1);
    const QString report = messages.sink->infos.first();
    EXPECT_EQ(report, sweepReport(oldSize, newSize));
    const QRegularExpression shape(QStringLiteral(
        "^Database compression successful\\.\r\n\r\nOld size: (\\d+\\.\\d\\d)MB\r\nNew size: "
        "(\\d+\\.\\d\\d)MB\r\nCompression Rate: (\\d+\\.\\d\\d)%$"));
    const auto match = shape.match(report);
    ASSERT_TRUE(match.hasMatch()) << report.toStdString();
    EXPECT_NEAR(match.captured(1).toDouble(), oldSize / 1048576.0, 0.006);
    EXPECT_NEAR(match.captured(2).toDouble(), newSize / 1048576.0, 0.006);
    EXPECT_NEAR(match.captured(3).toDouble(), 100.0 - 100.0 * newSize / oldSize, 0.006);

    // The temporary backup is gone, and nothing was left beside the database.
    EXPECT_TRUE(tempFiles().isEmpty()) << tempFiles().join(' ').toStdString();
    EXPECT_EQ(filesBeside(gdb), QStringList({"SHOP.GDB"}));
}

TEST_F(BackupCoreTest, SweepDeclinedTouchesNothing) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 100);
    const QByteArray original = fileBytes(gdb);
    const SinkScope messages(idNo);
    CoreBackup front;
    EXPECT_FALSE(front.Sweep(bcQelvaro, gdb, gdb, false));
    EXPECT_EQ(fileBytes(gdb), original);
    EXPECT_EQ(messages.sink->questions.size(), 1);
    EXPECT_TRUE(messages.sink->infos.isEmpty());
    EXPECT_TRUE(messages.sink->warnings.isEmpty());
    EXPECT_TRUE(tempFiles().isEmpty());
}

TEST_F(BackupCoreTest, AutoStartedSweepAsksNothingButStillWarnsOnFailure) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 100);
    {
        const SinkScope messages(idNo);
        EXPECT_TRUE(compressDatabase(gdb, gdb));
        EXPECT_TRUE(messages.sink->questions.isEmpty());
        EXPECT_TRUE(messages.sink->infos.isEmpty());
        EXPECT_TRUE(messages.sink->warnings.isEmpty());
    }
    {
        const SinkScope messages(idYes);
        EXPECT_FALSE(compressDatabase(dir.file("missing.gdb"), dir.file("missing.gdb")));
        EXPECT_TRUE(messages.sink->questions.isEmpty());
        EXPECT_EQ(messages.sink->warnings, QStringList({sweepFailedWarning()}));
        EXPECT_FALSE(QFileInfo::exists(dir.file("missing.gdb")));
    }
    EXPECT_TRUE(tempFiles().isEmpty());
    EXPECT_TRUE(QString::fromUtf8(fileBytes(vaultixLogFileName()))
                    .contains(QStringLiteral("[Backup] Failed: ")));
}

TEST(SweepReport, SizesInMegabytesWithTwoDecimals) {
    struct Case {
        qint64 oldSize, newSize;
        const char* expected;
    } cases[] = {
        {10485760, 7340032,
         "Database compression successful.\r\n\r\nOld size: 10.00MB\r\nNew size: 7.00MB\r\n"
         "Compression Rate: 30.00%"},
        // Beyond 32 bits: 3 GiB down to 1.5 GiB.
        {3221225472LL, 1610612736LL,
         "Database compression successful.\r\n\r\nOld size: 3,072.00MB\r\nNew size: "
         "1,536.00MB\r\nCompression Rate: 50.00%"},
        // A file that grew gives a negative rate.
        {1048576, 1572864,
         "Database compression successful.\r\n\r\nOld size: 1.00MB\r\nNew size: 1.50MB\r\n"
         "Compression Rate: -50.00%"},
        {0, 1048576,
         "Database compression successful.\r\n\r\nOld size: 0.00MB\r\nNew size: 1.00MB\r\n"
         "Compression Rate: n/a%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(sweepReport(c.oldSize, c.newSize), QString::fromLatin1(c.expected));
    }
}

TEST(GetFileSize, SizesAndMissingFiles) {
    TempDir dir;
    QFile small(dir.file("a.gdb"));
    ASSERT_TRUE(small.open(QIODevice::WriteOnly));
    small.write(QByteArray(1234, 'a'));
    small.close();
    // A sparse file of 3 GiB: its size does not fit 32 bits.
    QFile big(dir.file("big.gdb"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(3221225472LL));
    big.close();

    EXPECT_EQ(GetFileSize(dir.file("a.gdb")), 1234);
    EXPECT_EQ(GetFileSize(dir.file("big.gdb")), 3221225472LL);
    EXPECT_EQ(GetFileSize(dir.file("missing.gdb")), -1);
    EXPECT_EQ(GetFileSize(QString()), -1);
    // Wildcards take the first match by name.
    EXPECT_EQ(GetFileSize(dir.file("?.gdb")), 1234);
    EXPECT_EQ(GetFileSize(dir.file("b*")), 3221225472LL);
    EXPECT_EQ(GetFileSize(dir.file("*.fbk")), -1);
}

TEST(TBackupWithoutWindows, CannotCreateItsControlsAndSaysSo) {
    // This executable runs a core application: there is nothing to show a control with.
    try {
        TBackup backup;
        FAIL() << "created without a window system";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "The backup component needs a window system");
    }
}

TEST_F(BackupCoreTest, CompressionWhoseRestoreFailsLeavesTheDatabaseByteIdenticalAndUsable) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 300);
    const auto rows = contents(gdb);
    // When the restore starts, its backup file is spoiled; the database as the backup left
    // it is what must survive.
    QByteArray beforeRestore;
    QString backupFile;
    CoreBackup front;
    front.setLineHandler([&](const QString& line) {
        static const QRegularExpression restoring(QStringLiteral("^Restoring (.+) to "));
        const QRegularExpressionMatch m = restoring.match(line);
        if (!m.hasMatch())
            return;
        backupFile = m.captured(1);
        beforeRestore = fileBytes(gdb);
        QFile file(backupFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(20000, 'x'));
    });
    EXPECT_FALSE(front.Sweep(bcQelvaro, gdb, gdb, true));
    ASSERT_FALSE(backupFile.isEmpty());
    EXPECT_EQ(fileBytes(gdb), beforeRestore);
    EXPECT_EQ(contents(gdb), rows);
    EXPECT_FALSE(QFileInfo::exists(backupFile));
    EXPECT_EQ(filesBeside(gdb), QStringList({"SHOP.GDB"}));
}
