// The component's controls and TBackup with its host window, offscreen, on real databases.

#include "BackupTestSupport.h"
#include "FtpTestServer.h"

#include "backup/BackupDialog.h"
#include "backup/BackupTargets.h"
#include "backup/FileSize.h"
#include "backup/HeadlessBackup.h"
#include "common/Clock.h"
#include "env/Log.h"
#include "support/StationFixture.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using namespace backuptest;
using testing_support::filesUnder;

namespace {

// Lets the window's events run until cond holds. The bound only keeps a broken build from
// hanging the run; nothing here depends on how long anything takes.
template <typename Cond> bool waitFor(Cond cond) {
    QElapsedTimer guard;
    guard.start();
    while (!cond()) {
        if (guard.elapsed() > 300000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// What a control went through, noted when it finished.
struct Seen {
    QString className;
    QList<int> writes;
    int modalResult = -1;
    QVariantMap values;
};

class BackupWidgetsTest : public BackupFolderTest {
protected:
    // Real controls, each noted in `seen` when it finishes; onCreate may script the
    // operator.
    TBackup::ControlFactory recording(std::function<void(TVaultixControl*)> onCreate = {}) {
        return [this, onCreate = std::move(onCreate)](const QString& className) {
            std::unique_ptr<TVaultixControl> control = createVaultixControl(className);
            TVaultixControl* c = control.get();
            QObject::connect(c, &TVaultixControl::finished, c, [this, c](int result) {
                Seen s;
                s.className = QString::fromLatin1(c->className());
                s.writes = c->writes();
                s.modalResult = result;
                for (const auto& p : c->properties())
                    s.values.insert(QString::fromLatin1(p.name), c->property(p.name));
                s.values.insert(QStringLiteral("SkipGarbageCollection"),
                                c->property("SkipGarbageCollection"));
                seen.push_back(s);
            });
            if (onCreate)
                onCreate(c);
            return control;
        };
    }

    static void expectNoControls(const TBackup& b) {
        EXPECT_EQ(b.backupControl(), nullptr);
        EXPECT_EQ(b.restoreControl(), nullptr);
        EXPECT_EQ(b.managerControl(), nullptr);
        EXPECT_EQ(b.transferControl(), nullptr);
    }

    std::vector<Seen> seen;
};

// Clicks Start and at once Cancel once the host window runs its modal loop.
void startThenCancel(TVaultixControl* c) {
    QTimer::singleShot(0, c, [c] {
        c->startButton()->click();
        c->cancelButton()->click();
    });
}

} // namespace

// ---------------------------------------------------------------------------------------
// Properties

TEST(VaultixControls, NumberedPropertiesByIdentifierAndByName) {
    struct Prop {
        int id;
        const char* name;
        bool text;
        bool int8;
    };
    struct Case {
        const char* className;
        std::vector<Prop> props;
    } cases[] = {
        {"TFmBackupBackup",
         {{229, "ModalResult", false, false},
          {230, "BackupClient", false, true},
          {231, "BackupMode", false, true},
          {232, "RemoteDBPath", true, false},
          {233, "LocalDBPath", true, false},
          {234, "BackupFileName", true, false},
          {235, "AllowClearLiveSales", false, true},
          {236, "AutoStart", false, true},
          {237, "ExternalBackupMethod", false, false},
          {238, "ExternalBackupCommand", true, false}}},
        {"TFmBackupRestore",
         {{230, "AutoStart", false, true},
          {231, "LocalDBPath", true, false},
          {232, "ModalResult", false, false},
          {233, "BackupClient", false, true},
          {234, "BackupFileName", true, false}}},
        {"TFmBackupManager",
         {{229, "BackupClient", false, true},
          {230, "LocalDBPath", true, false},
          {231, "RemoteDBPath", true, false},
          {232, "ModalResult", false, false}}},
        {"TFmBackupTransfer",
         {{229, "BackupClient", false, true},
          {230, "TransferFileName", true, false},
          {232, "ModalResult", false, false},
          {233, "RemoteFileName", true, false},
          {234, "RemoteHost", true, false},
          {235, "RemoteUser", true, false},
          {236, "RemotePass", true, false},
          {237, "BackupMode", false, true},
          {238, "RemoteDBPath", true, false},
          {239, "AutoStart", false, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.className);
        auto control = createVaultixControl(QString::fromLatin1(c.className));
        ASSERT_TRUE(control);
        EXPECT_STREQ(control->className(), c.className);
        EXPECT_EQ(control->ModalResult(), 0);
        EXPECT_EQ(control->properties().size(), c.props.size());
        QList<int> expectedWrites;
        for (const Prop& p : c.props) {
            SCOPED_TRACE(p.name);
            if (QByteArray(p.name) == "ModalResult") {
                EXPECT_EQ(control->modalResultId(), p.id);
                EXPECT_EQ(control->GetDispProperty(p.id).toInt(), 0);
                continue;
            }
            // Written by identifier, read by name, and the other way round.
            const QVariant value = p.text ? QVariant(QStringLiteral("C:/x/%1").arg(p.id))
                                          : QVariant(p.int8 ? 1 : 70000);
            EXPECT_TRUE(control->SetDispProperty(p.id, value));
            EXPECT_EQ(control->property(p.name), value);
            expectedWrites.append(p.id);
            const QVariant other = p.text ? QVariant(QStringLiteral("by name")) : QVariant(0);
            control->setProperty(p.name, other);
            EXPECT_EQ(control->GetDispProperty(p.id), other);
            expectedWrites.append(p.id);
            if (p.int8) {
                // One byte: 300 keeps its low byte.
                control->SetDispProperty(p.id, 300);
                EXPECT_EQ(control->GetDispProperty(p.id).toInt(), 44);
                expectedWrites.append(p.id);
            }
        }
        EXPECT_EQ(control->writes(), expectedWrites);
        EXPECT_FALSE(control->SetDispProperty(228, 1));
        EXPECT_FALSE(control->GetDispProperty(240).isValid());
    }
    EXPECT_EQ(createVaultixControl(QStringLiteral("TFmBackupUnknown")), nullptr);
}

// ---------------------------------------------------------------------------------------
// Backup

TEST_F(BackupWidgetsTest, BackupWritesInOrderAndHandsBackTheFileWritten) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 200);
    const FixedClock clock(QDateTime(QDate(2021, 6, 1), QTime(14, 30, 5)));
    TBackup backup;
    backup.setControlFactory(recording());
    QString name;
    EXPECT_TRUE(backup.Backup(bcQelvaro, bmStandard, QStringLiteral("srv:") + gdb, gdb, name, false,
                              0, 0, true, 0, QString()));
    EXPECT_EQ(name, dir.file("data/Backups/Daily/2021/06-Jun/210601143005.fbk"));
    EXPECT_TRUE(QFileInfo(name).isFile());
    expectNoControls(backup);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].className, QStringLiteral("TFmBackupBackup"));
    EXPECT_EQ(seen[0].writes, QList<int>({230, 231, 232, 233, 234, 237, 238, 234, 235, 236}));
    EXPECT_EQ(seen[0].modalResult, mrSuccess);
    EXPECT_EQ(seen[0].values["RemoteDBPath"], QStringLiteral("srv:") + gdb);
    EXPECT_EQ(seen[0].values["AutoStart"], 1);
    EXPECT_EQ(seen[0].values["SkipGarbageCollection"], false);

    // The backup is a backup of that database.
    RestoreJob check(name, dir.file("copy.gdb"));
    check.run();
    check.commit();
    EXPECT_EQ(contents(dir.file("copy.gdb")), contents(gdb));
}

TEST_F(BackupWidgetsTest, WishedNamesAndModesReachTheControl) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 50);
    const FixedClock clock(QDateTime(QDate(2021, 6, 1), QTime(14, 30, 5)));
    struct Case {
        const char* name;
        TBackupClient client;
        TBackupMode mode;
        QString wished;
        bool autoMode;
        QString expected;
        int autoStart;
    } cases[] = {
        // An SQL update starts by itself even when the caller asked for the operator.
        {"sql update",
         bcQelvaro,
         bmSqlUpdate,
         {},
         false,
         dir.file("data/Backups/SQLUpdates/DBVer42.fbk"),
         1},
        {"month end",
         bcQelvaro,
         bmMonthEnd,
         {},
         true,
         dir.file("data/Backups/MonthEnd/2021-05.fbk"),
         1},
        {"wished name", bcQelvaro, bmMonthEnd, dir.file("mine"), true, dir.file("mine.fbk"), 1},
        {"fennrick", bcFennrick, bmSqlUpdate, dir.file("mine"), true,
         dir.file("data/Backups/Daily/2021/06-Jun/210601143005.fbk"), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seen.clear();
        TBackup backup;
        backup.setControlFactory(recording());
        QString name = c.wished;
        EXPECT_TRUE(backup.Backup(c.client, c.mode, gdb, gdb, name, true, 42,
                                  valueFromDate(QDate(2021, 5, 31)), c.autoMode, 7,
                                  QStringLiteral("cmd")));
        EXPECT_EQ(name, c.expected);
        EXPECT_TRUE(QFileInfo(name).isFile());
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].values["AutoStart"], c.autoStart);
        EXPECT_EQ(seen[0].values["BackupClient"], int(c.client));
        EXPECT_EQ(seen[0].values["BackupMode"], int(c.mode));
        EXPECT_EQ(seen[0].values["AllowClearLiveSales"], 1);
        EXPECT_EQ(seen[0].values["ExternalBackupMethod"], 7);
        EXPECT_EQ(seen[0].values["ExternalBackupCommand"], QStringLiteral("cmd"));
    }
}

TEST_F(BackupWidgetsTest, FailedBackupReturnsFalseAndAnEmptyName) {
    TBackup backup;
    backup.setControlFactory(recording());
    QString name = dir.file("wished");
    EXPECT_FALSE(backup.Backup(bcQelvaro, bmStandard, dir.file("none.gdb"), dir.file("none.gdb"),
                               name, false, 0, 0, true, 0, QString()));
    EXPECT_TRUE(name.isEmpty());
    expectNoControls(backup);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].modalResult, mrFailed);
    EXPECT_TRUE(filesUnder(dir.path()).filter(QStringLiteral("wished")).isEmpty());
}

// ---------------------------------------------------------------------------------------
// Cancel

TEST_F(BackupWidgetsTest, CancelSetsModalResultTwo) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 3000);
    {
        SCOPED_TRACE("backup cancelled while it runs");
        seen.clear();
        TBackup backup;
        backup.setControlFactory(recording(startThenCancel));
        QString name;
        EXPECT_FALSE(
            backup.Backup(bcQelvaro, bmStandard, gdb, gdb, name, false, 0, 0, false, 0, QString()));
        EXPECT_TRUE(name.isEmpty());
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].modalResult, mrCancelled);
        EXPECT_EQ(seen[0].values["ModalResult"], mrCancelled);
        EXPECT_TRUE(filesUnder(dir.file("data/Backups")).isEmpty());
        expectNoControls(backup);
    }
    {
        SCOPED_TRACE("backup cancelled before it started");
        seen.clear();
        TBackup backup;
        backup.setControlFactory(recording([](TVaultixControl* c) {
            QTimer::singleShot(0, c, [c] { c->cancelButton()->click(); });
        }));
        QString name;
        EXPECT_FALSE(
            backup.Backup(bcQelvaro, bmStandard, gdb, gdb, name, false, 0, 0, false, 0, QString()));
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].modalResult, mrCancelled);
    }
    {
        SCOPED_TRACE("restore cancelled while it runs");
        // A database of its own: the engine may still be reading the first one for the
        // backup cancelled above.
        const QString other = dir.file("other/OTHER.GDB");
        QDir().mkpath(dir.file("other"));
        makeStationDb(other, 3000);
        BackupJob made(other, dir.file("b"));
        made.run();
        made.commit();
        const QByteArray original = fileBytes(other);
        seen.clear();
        TBackup backup;
        backup.setControlFactory(recording([&](TVaultixControl* c) {
            // The operator picks the file, starts and cancels.
            QTimer::singleShot(0, c, [c, &made] {
                c->setProperty("BackupFileName", made.fileName());
                c->startButton()->click();
                c->cancelButton()->click();
            });
        }));
        QString name;
        EXPECT_FALSE(backup.Restore(bcQelvaro, other, name, false));
        EXPECT_EQ(name, made.fileName());
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].modalResult, mrCancelled);
        EXPECT_EQ(fileBytes(other), original);
        EXPECT_EQ(QDir(dir.file("other"))
                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList({"OTHER.GDB"}));
    }
}

// ---------------------------------------------------------------------------------------
// Restore

TEST_F(BackupWidgetsTest, RestoreOfCorruptBackupLeavesTheDatabaseUnchanged) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 200);
    const QByteArray original = fileBytes(gdb);
    const QString bad = dir.file("bad.fbk");
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(50000, '\x07'));
    file.close();

    TBackup backup;
    backup.setControlFactory(recording());
    QString name = bad;
    EXPECT_FALSE(backup.Restore(bcQelvaro, gdb, name, true));
    EXPECT_EQ(name, bad);
    EXPECT_EQ(fileBytes(gdb), original);
    expectNoControls(backup);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].writes, QList<int>({233, 231, 230, 234}));
    EXPECT_EQ(seen[0].modalResult, mrFailed);
    EXPECT_EQ(
        QDir(dir.file("data")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList({"SHOP.GDB"}));
}

TEST_F(BackupWidgetsTest, RestoreDrivenByTheOperator) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 300);
    const auto before = contents(gdb);
    BackupJob made(gdb, dir.file("data/Backups/mine"));
    QDir().mkpath(dir.file("data/Backups"));
    made.run();
    made.commit();
    deleteSales(gdb, QStringLiteral("SALES_ID > 0"));
    ASSERT_NE(contents(gdb), before);

    TBackup backup;
    backup.setControlFactory(recording([&](TVaultixControl* c) {
        QTimer::singleShot(0, c, [c, &made] {
            auto* restore = static_cast<TFmBackupRestore*>(c);
            // Nothing chosen yet: Start waits for a file.
            EXPECT_FALSE(restore->chooseButton()->isHidden());
            EXPECT_FALSE(restore->startButton()->isEnabled());
            restore->setProperty("BackupFileName", made.fileName());
            EXPECT_TRUE(restore->startButton()->isEnabled());
            restore->startButton()->click();
        });
    }));
    QString name;
    EXPECT_TRUE(backup.Restore(bcFennrick, gdb, name, false));
    EXPECT_EQ(name, made.fileName());
    EXPECT_EQ(contents(gdb), before);
    ASSERT_EQ(seen.size(), 1u);
    // TBackup writes no file name for the operator; the last write is the operator's choice.
    EXPECT_EQ(seen[0].writes, QList<int>({233, 231, 230, 234}));
}

// ---------------------------------------------------------------------------------------
// Compression through the controls

TEST_F(BackupWidgetsTest, SweepThroughTheControlsShrinksTheDatabase) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 20000);
    deleteSales(gdb, QStringLiteral("SALES_ID > 3000001000"));
    const auto kept = contents(gdb);
    const qint64 oldSize = GetFileSize(gdb);

    const SinkScope messages(idYes);
    TBackup backup;
    backup.setControlFactory(recording());
    EXPECT_TRUE(backup.Sweep(bcQelvaro, gdb, gdb, false));
    const qint64 newSize = GetFileSize(gdb);
    EXPECT_LT(newSize, oldSize * 3 / 4);
    EXPECT_EQ(contents(gdb), kept);
    EXPECT_EQ(messages.sink->infos, QStringList({sweepReport(oldSize, newSize)}));
    EXPECT_TRUE(messages.sink->warnings.isEmpty());
    expectNoControls(backup);

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].className, QStringLiteral("TFmBackupBackup"));
    EXPECT_EQ(seen[0].values["SkipGarbageCollection"], true);
    EXPECT_TRUE(seen[0].values["BackupFileName"].toString().startsWith(dir.file("tmp/")));
    EXPECT_EQ(seen[1].className, QStringLiteral("TFmBackupRestore"));
    EXPECT_EQ(seen[1].values["BackupFileName"], seen[0].values["BackupFileName"]);
    EXPECT_TRUE(filesUnder(dir.file("tmp")).isEmpty());
}

TEST_F(BackupWidgetsTest, SweepWhoseRestoreFailsStillDeletesTheBackupAndWarns) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 100);
    const SinkScope messages(idYes);
    TBackup backup;
    // The backup file is damaged between the backup and the restore.
    backup.setControlFactory([&](const QString& className) {
        if (className == QLatin1String("TFmBackupRestore")) {
            // The backup, in the compression's private folder beside its lock file.
            const QStringList made = filesUnder(dir.file("tmp")).filter(QStringLiteral(".fbk"));
            EXPECT_EQ(made.size(), 1);
            for (const QString& file : made) {
                QFile damaged(file);
                EXPECT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
                damaged.write(QByteArray(4096, '\x01'));
            }
        }
        return createVaultixControl(className);
    });
    const auto before = contents(gdb);
    const qint64 size = GetFileSize(gdb);
    EXPECT_FALSE(backup.Sweep(bcQelvaro, gdb, gdb, true));
    EXPECT_EQ(messages.sink->warnings, QStringList({sweepFailedWarning()}));
    EXPECT_TRUE(messages.sink->infos.isEmpty());
    EXPECT_TRUE(messages.sink->questions.isEmpty());
    EXPECT_TRUE(filesUnder(dir.file("tmp")).isEmpty());
    EXPECT_EQ(contents(gdb), before);
    EXPECT_EQ(GetFileSize(gdb), size);
}

// ---------------------------------------------------------------------------------------
// Controls that cannot be created

TEST_F(BackupWidgetsTest, ControlThatCannotBeCreatedRaisesOrIsShown) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 50);
    const SinkScope messages(idYes);
    TBackup backup;
    backup.setControlFactory([](const QString&) { return std::unique_ptr<TVaultixControl>(); });
    QString name;
    EXPECT_THROW(backup.Backup(bcQelvaro, bmStandard, gdb, gdb, name, false, 0, 0, true, 0, {}),
                 std::runtime_error);
    EXPECT_THROW(backup.Restore(bcQelvaro, gdb, name, true), std::runtime_error);
    EXPECT_THROW(backup.Sweep(bcQelvaro, gdb, gdb, true), std::runtime_error);
    EXPECT_THROW(backup.SendDataForReview(bcQelvaro, bmSendFiles, gdb, gdb, "h", "u", "p"),
                 std::runtime_error);
    EXPECT_TRUE(filesUnder(dir.file("tmp")).isEmpty());

    backup.Manager(bcQelvaro, gdb, gdb);
    ASSERT_EQ(messages.sink->errors.size(), 1);
    EXPECT_TRUE(messages.sink->errors[0].contains(QStringLiteral("TFmBackupManager")));

    // Only the restore control is missing: the backup made before it is still deleted.
    TBackup halfway;
    halfway.setControlFactory([](const QString& className) {
        return className == QLatin1String("TFmBackupRestore") ? std::unique_ptr<TVaultixControl>()
                                                              : createVaultixControl(className);
    });
    EXPECT_THROW(halfway.Sweep(bcQelvaro, gdb, gdb, true), std::runtime_error);
    EXPECT_TRUE(filesUnder(dir.file("tmp")).isEmpty());
    EXPECT_EQ(halfway.backupControl(), nullptr);
}

// ---------------------------------------------------------------------------------------
// Manager

TEST_F(BackupWidgetsTest, ManagerListsRestoresAndDeletesBackups) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 300);
    const auto before = contents(gdb);
    QString older, newer;
    {
        const FixedClock clock(QDateTime(QDate(2021, 5, 31), QTime(23, 0, 0)));
        CoreBackup core;
        ASSERT_TRUE(core.Backup(bcQelvaro, bmMonthEnd, gdb, gdb, older, false, 0,
                                valueFromDate(QDate(2021, 5, 31)), true, 0, {}));
    }
    deleteSales(gdb, QStringLiteral("SALES_ID > 0"));
    {
        CoreBackup core;
        ASSERT_TRUE(core.Backup(bcQelvaro, bmStandard, gdb, gdb, newer, false, 0, 0, true, 0, {}));
    }
    // Newest first, whatever the folder.
    {
        QFile file(older);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2021, 5, 31), QTime(23, 0)),
                                     QFileDevice::FileModificationTime));
    }

    const SinkScope messages(idYes);
    TFmBackupManager manager;
    manager.SetDispProperty(230, gdb);
    manager.show();
    EXPECT_EQ(manager.backups(), QStringList({newer, older}));
    EXPECT_EQ(manager.list()->count(), 2);
    EXPECT_TRUE(manager.list()->item(1)->text().startsWith(QStringLiteral("MonthEnd/2021-05.fbk")));

    manager.list()->setCurrentRow(1);
    manager.restoreButton()->click();
    ASSERT_TRUE(waitFor([&] { return !manager.busy(); }));
    EXPECT_EQ(contents(gdb), before);
    EXPECT_TRUE(messages.sink->errors.isEmpty());
    EXPECT_EQ(manager.ModalResult(), 0);

    manager.list()->setCurrentRow(0);
    manager.deleteButton()->click();
    EXPECT_FALSE(QFileInfo::exists(newer));
    EXPECT_EQ(manager.backups(), QStringList({older}));
    EXPECT_EQ(messages.sink->questions.size(), 2);

    manager.closeButton()->click();
    EXPECT_EQ(manager.ModalResult(), mrSuccess);
}

TEST_F(BackupWidgetsTest, ManagerThroughTBackupWritesItsPropertiesAndCloses) {
    const QString gdb = dir.file("data/SHOP.GDB");
    TBackup backup;
    backup.setControlFactory(recording([](TVaultixControl* c) {
        QTimer::singleShot(0, c,
                           [c] { static_cast<TFmBackupManager*>(c)->closeButton()->click(); });
    }));
    backup.Manager(bcFennrick, QStringLiteral("srv:") + gdb, gdb);
    expectNoControls(backup);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].writes, QList<int>({229, 231, 230}));
    EXPECT_EQ(seen[0].values["BackupClient"], 1);
    EXPECT_EQ(seen[0].values["RemoteDBPath"], QStringLiteral("srv:") + gdb);
}

// ---------------------------------------------------------------------------------------
// Sending data for review

TEST_F(BackupWidgetsTest, SendDataForReviewUploadsToTheServer) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 100);
    FtpTestServer server(QStringLiteral("station"), QStringLiteral("s3cret"));
    const SinkScope messages(idYes);
    {
        SCOPED_TRACE("the database itself");
        seen.clear();
        TBackup backup;
        backup.setControlFactory(recording());
        EXPECT_TRUE(backup.SendDataForReview(bcFennrick, bmSendFiles, QStringLiteral("srv:") + gdb,
                                             gdb, server.host(), "station", "s3cret"));
        EXPECT_EQ(server.files().value(QStringLiteral("/SHOP.GDB")), fileBytes(gdb));
        EXPECT_EQ(messages.sink->infos,
                  QStringList({QStringLiteral("Data successfully transferred for review.")}));
        // No backup was made for it.
        EXPECT_FALSE(QFileInfo::exists(dir.file("data/Backups")));
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].className, QStringLiteral("TFmBackupTransfer"));
        EXPECT_EQ(seen[0].writes, QList<int>({229, 237, 238, 230, 233, 234, 235, 236, 239}));
        EXPECT_EQ(seen[0].values["BackupClient"], 1);
        EXPECT_EQ(seen[0].values["BackupMode"], int(bmSendFiles));
        EXPECT_EQ(seen[0].values["TransferFileName"], gdb);
        expectNoControls(backup);
    }
    {
        SCOPED_TRACE("a fresh backup");
        seen.clear();
        messages.sink->infos.clear();
        const FixedClock clock(QDateTime(QDate(2021, 6, 1), QTime(14, 30, 5)));
        TBackup backup;
        backup.setControlFactory(recording());
        EXPECT_TRUE(backup.SendDataForReview(bcFennrick, bmRequest, gdb, gdb, server.host(),
                                             "station", "s3cret"));
        const QString made = dir.file("data/Backups/Daily/2021/06-Jun/210601143005.fbk");
        ASSERT_TRUE(QFileInfo(made).isFile());
        EXPECT_EQ(server.files().value(QStringLiteral("/210601143005.fbk")), fileBytes(made));
        ASSERT_EQ(seen.size(), 2u);
        // The backup is made for bcQelvaro whatever the caller's client.
        EXPECT_EQ(seen[0].values["BackupClient"], 0);
        EXPECT_EQ(seen[0].values["BackupMode"], int(bmRequest));
        EXPECT_EQ(messages.sink->infos.size(), 1);
    }
    {
        SCOPED_TRACE("wrong password");
        messages.sink->infos.clear();
        TBackup backup;
        EXPECT_FALSE(backup.SendDataForReview(bcQelvaro, bmSendFiles, gdb, gdb, server.host(),
                                              "station", "guess"));
        EXPECT_EQ(messages.sink->errors,
                  QStringList({QStringLiteral("Data could NOT be transferred for review.")}));
        EXPECT_TRUE(messages.sink->infos.isEmpty());
        EXPECT_EQ(server.refusedLogins(), 1);
    }
    {
        SCOPED_TRACE("nothing to send");
        messages.sink->errors.clear();
        TBackup backup;
        EXPECT_FALSE(backup.SendDataForReview(bcQelvaro, bmRequest, dir.file("none.gdb"),
                                              dir.file("none.gdb"), server.host(), "station",
                                              "s3cret"));
        EXPECT_TRUE(messages.sink->errors.isEmpty());
        EXPECT_TRUE(messages.sink->infos.isEmpty());
    }
}

// ---------------------------------------------------------------------------------------
// The host window

TEST_F(BackupWidgetsTest, HostWindowIsBorderlessSizedToTheControlAndLive) {
    const QString gdb = dir.file("data/SHOP.GDB");
    makeStationDb(gdb, 3000);
    TBackup backup;
    EXPECT_TRUE(backup.form()->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(backup.form()->Timer1.interval(), 100);
    EXPECT_FALSE(backup.form()->Timer1.isActive());
    int ticksWhileWorking = 0;
    backup.setControlFactory([&](const QString& className) {
        auto c = createVaultixControl(className);
        // The window keeps serving events while the work runs on its own thread.
        QObject::connect(c.get(), &TVaultixControl::lineAdded, c.get(),
                         [&backup, &ticksWhileWorking] {
                             if (backup.form()->isVisible() && backup.form()->Timer1.isActive())
                                 ++ticksWhileWorking;
                         });
        return c;
    });
    QString name;
    EXPECT_TRUE(backup.Backup(bcQelvaro, bmStandard, gdb, gdb, name, false, 0, 0, true, 0, {}));
    EXPECT_GT(ticksWhileWorking, 10);
    EXPECT_EQ(backup.form()->size(), QSize(410, 251));
    EXPECT_FALSE(backup.form()->Timer1.isActive());
    EXPECT_FALSE(backup.form()->isVisible());
}
