// The run on the file a station gave it: refused when it is in use or cannot work, with
// room checked first, work files private to this account, the replaced file keeping its
// owner, group and mode, and copies that fail part-way leaving the original as it was.

#include "BackupTestSupport.h"

#include "backup/HeadlessBackup.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/DatabaseFileCheck.h"
#include "cleaning/FreeSpaceCheck.h"
#include "cleaning/WorkFiles.h"
#include "env/DatabaseLock.h"
#include "env/RunFolder.h"
#include "support/StationFixture.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

using testing_support::fileBytes;
using testing_support::filesUnder;
using testing_support::RecordingHost;

constexpr uid_t nobody = 65534;
constexpr gid_t nogroup = 65534;

// A host whose backup and compression do the real work, as the command line's do.
class WorkingHost : public RecordingHost {
public:
    bool compress = true;
    // Called at every status and at every data line of the compression.
    std::function<void()> onStep;

    bool compresses() const override { return compress; }
    QString Backup(const QString& remote, const QString& local) override {
        ++backupCalls;
        return backupBeforeRun(remote, local);
    }
    bool Sweep(const QString& remote, const QString& local) override {
        ++sweepCalls;
        if (!compress)
            return false;
        CoreBackup backup;
        backup.setLineHandler([this](const QString& line) {
            if (onStep && line.contains(QStringLiteral("data for table")))
                onStep();
        });
        return backup.Sweep(bcQelvaro, remote, local, true);
    }
    void SetStatus(const QString& s) override {
        RecordingHost::SetStatus(s);
        if (onStep)
            onStep();
    }
};

struct stat statOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

QStringList entriesUnder(const QString& folder) {
    QStringList all;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        all << it.next();
    return all;
}

class RunSafetyTest : public testing_support::StationTest {
protected:
    void TearDown() override {
        setFreeSpaceSource({});
        setCopyReadFault({});
        StationTest::TearDown();
    }
    RunOutcome run(RecordingHost& host, const QString& dropped) {
        db::Connection conx;
        testing_support::setStationParams(conx, dropped);
        db::Query q1(conx), q2(conx);
        CleaningRun cleaning(conx, q1, q2, host);
        return cleaning.Execute(dropped);
    }
    RunOutcome run(RecordingHost& host) { return run(host, station); }
    QString stationFolder() const { return QFileInfo(station).absolutePath(); }
    QStringList stationFolderEntries() const {
        return QDir(stationFolder())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
};

TEST_F(RunSafetyTest, DatabaseHeldOpenByAnotherAttachmentIsRefusedAndUntouched) {
    // An attachment of its own to the station, as the back-office program would hold.
    const auto other = backuptest::attach(station);
    const QByteArray before = fileBytes(station);
    RecordingHost host;
    host.tick(3);
    EXPECT_EQ(run(host), RunOutcome::Failed);
    EXPECT_EQ(host.messages, QStringList{databaseInUseMessage()});
    EXPECT_EQ(databaseInUseMessage(),
              QStringLiteral("The database is in use by another program. Close it (the "
                             "back-office program or its database server) and try again."));
    EXPECT_EQ(host.statuses.last(), CleaningRun::failedStatus());
    EXPECT_EQ(host.sweepCalls, 0);
    EXPECT_EQ(fileBytes(station), before);
    EXPECT_TRUE(entriesUnder(tempFolder()).isEmpty())
        << entriesUnder(tempFolder()).join(' ').toStdString();
    EXPECT_EQ(stationFolderEntries(), QStringList{"STATION.GDB"});
}

TEST_F(RunSafetyTest, TemporaryFolderTooSmallIsRefusedBeforeAnyChange) {
    const qint64 size = QFileInfo(station).size();
    constexpr qint64 mb = qint64(1024) * 1024;
    struct Case {
        const char* name;
        bool compress;
        qint64 free;
        bool refused;
        qint64 neededMB;
    };
    // Test folders share one file system: the work copy, the compression's backup and its
    // restored copy at once, or the work copy and the copy back beside the station.
    const Case cases[] = {
        {"compression, a byte short", true, 3 * size - 1, true, (3 * size + mb - 1) / mb},
        {"compression, just enough", true, 3 * size, false, 0},
        {"no compression, a byte short", false, 2 * size - 1, true, (2 * size + mb - 1) / mb},
        {"no compression, just enough", false, 2 * size, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray before = fileBytes(station);
        setFreeSpaceSource([&](const QString&) { return c.free; });
        WorkingHost host;
        host.compress = c.compress;
        const RunOutcome outcome = run(host);
        if (c.refused) {
            EXPECT_EQ(outcome, RunOutcome::Failed);
            EXPECT_EQ(
                host.messages,
                QStringList{QStringLiteral("Not enough free space in %1: %2 MB needed, %3 MB free")
                                .arg(tempFolder() + QLatin1Char('/'))
                                .arg(c.neededMB)
                                .arg(c.free / mb)});
            EXPECT_EQ(fileBytes(station), before);
        } else {
            EXPECT_EQ(outcome, RunOutcome::Done) << host.messages.join('|').toStdString();
        }
        EXPECT_TRUE(entriesUnder(tempFolder()).isEmpty());
        EXPECT_EQ(stationFolderEntries(), QStringList{"STATION.GDB"});
    }
}

TEST_F(RunSafetyTest, FileThatCannotWorkIsRefusedBeforeAnythingIsCopied) {
    const QString dir = stationFolder() + QLatin1Char('/');
    const QString fifo = dir + QStringLiteral("PIPE.GDB");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString linkToDevice = dir + QStringLiteral("ZERO.GDB");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), linkToDevice));
    const QString aFolder = dir + QStringLiteral("FOLDER.GDB");
    ASSERT_TRUE(QDir().mkpath(aFolder));
    const QString notes = dir + QStringLiteral("NOTES.GDB");
    {
        QFile f(notes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    const QString empty = dir + QStringLiteral("EMPTY.GDB");
    QFile(empty).open(QIODevice::WriteOnly);
    const QString linked = dir + QStringLiteral("LINKED.GDB");
    ASSERT_TRUE(QFile::copy(station, linked));
    const QString secondName = dir + QStringLiteral("SECOND_NAME.GDB");
    ASSERT_EQ(
        ::link(QFile::encodeName(linked).constData(), QFile::encodeName(secondName).constData()),
        0);

    struct Case {
        QString path;
        QString reason;
    };
    const Case cases[] = {
        {fifo, QStringLiteral("it is a pipe, not a regular file")},
        {linkToDevice, QStringLiteral("it is a device, not a regular file")},
        {QStringLiteral("/dev/zero"), QStringLiteral("it is a device, not a regular file")},
        {aFolder, QStringLiteral("it is a folder, not a file")},
        {notes, QStringLiteral("it does not start with a Firebird database header")},
        {empty, QStringLiteral("it does not start with a Firebird database header")},
        {dir + QStringLiteral("MISSING.GDB"), QStringLiteral("No such file or directory")},
        {linked, QStringLiteral("it has 2 hard links, and replacing it would separate them; "
                                "remove the other links first")},
    };
    const QStringList entries = stationFolderEntries();
    const QByteArray linkedBytes = fileBytes(linked);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        RecordingHost host;
        host.askAnswer = 6;
        host.tick(3);
        EXPECT_EQ(run(host, c.path), RunOutcome::Failed);
        EXPECT_EQ(host.messages, QStringList{QStringLiteral("The database file ") + c.path +
                                             QStringLiteral(" cannot be cleaned: ") + c.reason});
        EXPECT_EQ(host.statuses, QStringList{CleaningRun::failedStatus()});
        // Refused before the backup offer, so no backup of it is made either.
        EXPECT_TRUE(host.questions.isEmpty());
        EXPECT_TRUE(entriesUnder(tempFolder()).isEmpty());
        EXPECT_EQ(stationFolderEntries(), entries);
        EXPECT_EQ(databaseFileRefusal(c.path), host.messages.value(0));
    }
    EXPECT_EQ(fileBytes(linked), linkedBytes);
    EXPECT_EQ(databaseFileRefusal(station), QString());
}

// Root may read and write anything, so these run the check as an ordinary account.
TEST_F(RunSafetyTest, UnreadableFileAndReadOnlyFolderAreRefusedForAnOrdinaryAccount) {
    ASSERT_EQ(::geteuid(), 0u) << "the tests run as root";
    const QString open = folder() + QStringLiteral("/open");
    ASSERT_TRUE(QDir().mkpath(open + QStringLiteral("/ro")));
    ASSERT_EQ(::chmod(QFile::encodeName(folder()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0777), 0);
    const QString unreadable = open + QStringLiteral("/UNREADABLE.GDB");
    ASSERT_TRUE(QFile::copy(station, unreadable));
    ASSERT_EQ(::chown(QFile::encodeName(unreadable).constData(), 0, 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(unreadable).constData(), 0600), 0);
    const QString inReadOnly = open + QStringLiteral("/ro/STATION.GDB");
    ASSERT_TRUE(QFile::copy(station, inReadOnly));
    ASSERT_EQ(::chown(QFile::encodeName(inReadOnly).constData(), nobody, nogroup), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(inReadOnly).constData(), 0600), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(open + QStringLiteral("/ro")).constData(), 0555), 0);
    const QString othersGroup = open + QStringLiteral("/GROUP.GDB");
    ASSERT_TRUE(QFile::copy(station, othersGroup));
    ASSERT_EQ(::chown(QFile::encodeName(othersGroup).constData(), 0, 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(othersGroup).constData(), 0666), 0);

    struct Case {
        QString path;
        QString reason;
    };
    const Case cases[] = {
        {unreadable, QStringLiteral("Permission denied")},
        {inReadOnly, QStringLiteral("the replacement cannot be created in its folder ") + open +
                         QStringLiteral("/ro: Permission denied")},
        // Readable and writable, but the replacement could not be given back root's owner.
        {othersGroup, QStringLiteral("the replacement cannot be given the file's owner and "
                                     "group (0:0): Operation not permitted")},
    };
    QStringList refusals;
    ASSERT_EQ(::setegid(nogroup), 0);
    ASSERT_EQ(::seteuid(nobody), 0);
    for (const Case& c : cases)
        refusals << databaseFileRefusal(c.path);
    ASSERT_EQ(::seteuid(0), 0);
    ASSERT_EQ(::setegid(0), 0);
    for (int i = 0; i < int(std::size(cases)); ++i)
        EXPECT_EQ(refusals[i], QStringLiteral("The database file ") + cases[i].path +
                                   QStringLiteral(" cannot be cleaned: ") + cases[i].reason);
    EXPECT_EQ(
        QDir(open).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
        QStringList({"GROUP.GDB", "UNREADABLE.GDB", "ro"}));
    EXPECT_EQ(QDir(open + QStringLiteral("/ro"))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"STATION.GDB"}));
}

TEST_F(RunSafetyTest, ReplacedFileKeepsOwnerGroupAndModeAndWorkFilesStayPrivate) {
    struct Case {
        const char* name;
        uid_t uid;
        gid_t gid;
        mode_t mode;
        bool compress;
    };
    const Case cases[] = {
        {"another account, compressed", nobody, nogroup, 0640, true},
        {"another account, not compressed", nobody, nogroup, 0640, false},
        {"root's group-writable file, compressed", 0, nogroup, 0660, true},
        {"owner only, not compressed", 1234, 5678, 0600, false},
        {"readable by all, compressed", 0, 0, 0644, true},
    };
    const QString template_ = testing_support::templateDatabase();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QFile::remove(station));
        ASSERT_TRUE(QFile::copy(template_, station));
        const QByteArray path = QFile::encodeName(station);
        ASSERT_EQ(::chown(path.constData(), c.uid, c.gid), 0);
        ASSERT_EQ(::chmod(path.constData(), c.mode), 0);
        const QByteArray before = fileBytes(station);

        WorkingHost host;
        host.compress = c.compress;
        host.tick(3);
        host.askAnswer = 6; // the operator's backup too
        QStringList seen;
        QStringList tooOpen;
        // Each work file is 0600, or made by the engine inside a folder only this account
        // may enter (it gets the work copy's mode before it takes the work copy's place).
        host.onStep = [&] {
            for (const QString& entry : entriesUnder(tempFolder())) {
                seen << QFileInfo(entry).fileName();
                const QString parent = QFileInfo(entry).absolutePath();
                const bool inPrivateFolder =
                    parent != tempFolder() && (statOf(parent).st_mode & 077) == 0;
                if ((statOf(entry).st_mode & 077) != 0 && !inPrivateFolder)
                    tooOpen << entry + QStringLiteral(" at ") + host.statuses.last();
                if (parent == tempFolder() && (statOf(entry).st_mode & 0777) != 0700)
                    tooOpen << entry + QStringLiteral(" (the run folder) at ") +
                                   host.statuses.last();
            }
        };
        ASSERT_EQ(run(host), RunOutcome::Done) << host.messages.join('|').toStdString();
        EXPECT_NE(fileBytes(station), before);
        const struct stat after = statOf(station);
        EXPECT_EQ(after.st_uid, c.uid);
        EXPECT_EQ(after.st_gid, c.gid);
        EXPECT_EQ(after.st_mode & 07777, c.mode);
        EXPECT_TRUE(tooOpen.isEmpty()) << tooOpen.join('\n').toStdString();
        // The work copy was looked at, and with compression its backup and restored copy.
        EXPECT_TRUE(seen.filter(QRegularExpression(QStringLiteral("^[0-9A-F]+\\.gdb$"))).size() >
                    0);
        if (c.compress) {
            EXPECT_FALSE(seen.filter(QStringLiteral(".fbk")).isEmpty())
                << seen.join(' ').toStdString();
            EXPECT_FALSE(seen.filter(QStringLiteral(".restoring")).isEmpty())
                << seen.join(' ').toStdString();
        }
        EXPECT_TRUE(entriesUnder(tempFolder()).isEmpty());

        // The operator's backup is never more open than the database it holds.
        const QStringList backups = filesUnder(stationFolder() + QStringLiteral("/Backups"));
        ASSERT_EQ(backups.size(), 1);
        EXPECT_EQ(statOf(backups.first()).st_mode & 0777 & ~c.mode, 0u)
            << backups.first().toStdString();
        QDir(stationFolder() + QStringLiteral("/Backups")).removeRecursively();
        EXPECT_EQ(stationFolderEntries(), QStringList{"STATION.GDB"});
    }
}

TEST_F(RunSafetyTest, ReadFailingPartWayThroughACopyEndsTheRunWithTheOriginalUnchanged) {
    struct Case {
        const char* name;
        bool copyBack; // else the copy into the temporary folder
        RunOutcome outcome;
        const char* message;
    };
    const Case cases[] = {
        {"copy to the temporary folder", false, RunOutcome::CopyToTempFailed,
         "Could not copy GDB to temp folder: "},
        {"copy back", true, RunOutcome::CopyBackFailed, "Could not copy GDB back to original: "},
    };
    ASSERT_GT(QFileInfo(station).size(), 1024 * 1024) << "the copies must take more than one read";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray before = fileBytes(station);
        QString failedFile;
        setCopyReadFault([&](const QString& file, qint64 offset) {
            const bool isOriginal = file == station;
            if (offset == 0 || isOriginal == c.copyBack)
                return 0;
            failedFile = file;
            return EIO;
        });
        RecordingHost host;
        host.priorTo = false;
        host.tick(3);
        EXPECT_EQ(run(host), c.outcome);
        setCopyReadFault({});
        ASSERT_FALSE(failedFile.isEmpty());
        EXPECT_EQ(host.errors, QStringList{QLatin1String(c.message) + failedFile +
                                           QStringLiteral(": Input/output error")});
        EXPECT_EQ(fileBytes(station), before);
        EXPECT_TRUE(entriesUnder(tempFolder()).isEmpty());
        EXPECT_EQ(stationFolderEntries(), QStringList{"STATION.GDB"});
    }
}

TEST_F(RunSafetyTest, SymbolicLinkStaysALinkToTheCleanedFile) {
    const QString link = folder() + QStringLiteral("/LINK.GDB");
    ASSERT_TRUE(QFile::link(station, link));
    RecordingHost host;
    host.priorTo = false;
    host.tick(3);
    ASSERT_EQ(run(host, link), RunOutcome::Done) << host.messages.join('|').toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), station);
    EXPECT_EQ(backuptest::rowCount(station, QStringLiteral("TBL_SALES")), 0);
    EXPECT_EQ(stationFolderEntries(), QStringList{"STATION.GDB"});
}

TEST_F(RunSafetyTest, StaleRunFoldersAreRemovedAndNothingElse) {
    const QString tmp = tempFolder() + QLatin1Char('/');
    // A run that was killed: its folder and lock file are there, the lock is free.
    const QString stale = tmp + QStringLiteral("dolvane-run-Ab12Cd");
    ASSERT_TRUE(QDir().mkpath(stale));
    QFile(stale + QStringLiteral("/owner.lock")).open(QIODevice::WriteOnly);
    QFile(stale + QStringLiteral("/1A2B.gdb")).open(QIODevice::WriteOnly);
    // Not recognisably ours: no lock file, a plain file, another prefix, another length.
    const QStringList foreign = {
        QStringLiteral("dolvane-run-Xy34Zw"), QStringLiteral("dolvane-run-file"),
        QStringLiteral("other-run-Ab12Cd"), QStringLiteral("dolvane-run-Ab12Cd9")};
    ASSERT_TRUE(QDir().mkpath(tmp + foreign[0]));
    QFile(tmp + foreign[1]).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir().mkpath(tmp + foreign[2]));
    QFile(tmp + foreign[2] + QStringLiteral("/owner.lock")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir().mkpath(tmp + foreign[3]));
    QFile(tmp + foreign[3] + QStringLiteral("/owner.lock")).open(QIODevice::WriteOnly);
    // A live run's folder (its lock is held through another open file, as by another process).
    const RunFolder live(tempFolder());
    QFile(live.filePath(QStringLiteral("ABCD.gdb"))).open(QIODevice::WriteOnly);

    EXPECT_EQ(sweepStaleRunFolders(tempFolder()), 1);
    EXPECT_FALSE(QFileInfo::exists(stale));
    for (const QString& name : foreign)
        EXPECT_TRUE(QFileInfo::exists(tmp + name)) << name.toStdString();
    EXPECT_TRUE(QFileInfo::exists(live.filePath(QStringLiteral("ABCD.gdb"))));
    EXPECT_EQ(statOf(live.path()).st_mode & 0777, 0700u);
    EXPECT_EQ(runFolderOf(live.filePath(QStringLiteral("ABCD.gdb"))), live.path());
    EXPECT_EQ(runFolderOf(tmp + foreign[0] + QStringLiteral("/X.gdb")), QString());
}

} // namespace
