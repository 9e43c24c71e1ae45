// The Start sequence end to end on generated station databases: what happens to the
// dropped file, the work copy, the triggers, the progress and the messages.

#include "CleaningTest.h"
#include "cleaning/TriggerSwitch.h"
#include "env/Log.h"
#include "env/SettingsStore.h"

#include <QDir>
#include <QFileInfo>

using namespace testing_support;

namespace {

const QStringList switchedTriggers = {
    "TPOS \"import\" guard", "TRG_ORDER_HEADER_AD", "TRG_SALES_BD", "TRG_SALES_BI",
    "TRG_STOCK_PRICES_BI",   "Tsales ex guard",     "TX_NOTES_BU"};

using RunTest = CleaningTest;

TEST_F(RunTest, NothingTickedStillCopiesSwitchesTriggersAndCopiesBack) {
    // An unusual mode, to see that the replaced file keeps it.
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                    QFile::WriteGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(station, mode));
    RecordingHost host;
    qint64 sales = 0;
    {
        Peek peek(station);
        sales = peek.count(QStringLiteral("TBL_SALES"));
    }
    ASSERT_EQ(run(host), RunOutcome::Done);

    EXPECT_EQ(steps, 4);
    EXPECT_EQ(host.position[1], 4);
    EXPECT_EQ(triggers, switchedTriggers); // sorted ignoring case
    EXPECT_EQ(report.total(), 0u);
    const QStringList expected = {"Copying GDB to temp folder",
                                  "Disabling Triggers",
                                  "Enabling Triggers",
                                  "Compressing Data",
                                  "Copying file to original location",
                                  "Done"};
    EXPECT_EQ(host.statuses, expected);
    // The compression gets the work copy, not the dropped file.
    ASSERT_EQ(host.sweepCalls, 1);
    EXPECT_EQ(host.sweepPaths[0], host.sweepPaths[1]);
    EXPECT_NE(host.sweepPaths[0], station);
    EXPECT_TRUE(host.sweepPaths[0].startsWith(tempFolder()));
    EXPECT_TRUE(workFilesLeft().isEmpty());
    EXPECT_EQ(QFileInfo(station).permissions() & ~(QFile::ReadUser | QFile::WriteUser), mode);
    Peek peek(station);
    EXPECT_EQ(peek.count(QStringLiteral("TBL_SALES")), sales);
}

TEST_F(RunTest, DroppedFileKeepsItsForcedWritesSetting) {
    for (const bool forced : {true, false}) {
        SCOPED_TRACE(forced);
        {
            db::Connection conx;
            setStationParams(conx, station);
            conx.SetForcedWrites(forced);
        }
        RecordingHost host;
        host.tick(3);
        ASSERT_EQ(run(host), RunOutcome::Done);
        db::Connection conx;
        setStationParams(conx, station);
        conx.Open();
        EXPECT_EQ(conx.ForcedWrites(), forced);
    }
}

TEST_F(RunTest, BackupIsOfferedAndMadeOnlyOnYes) {
    for (const int answer : {7, 6}) {
        SCOPED_TRACE(answer);
        RecordingHost host;
        host.askAnswer = answer;
        ASSERT_EQ(run(host), RunOutcome::Done);
        EXPECT_EQ(host.questions, QStringList{"Do you wish to do a backup beforehand?"});
        EXPECT_EQ(host.backupCalls, answer == 6 ? 1 : 0);
    }
}

TEST_F(RunTest, TriggersAreOffWhileDeletingAndOnAfterwards) {
    RecordingHost host;
    host.tick(2);
    // Look into the work copy from a second attachment once every rule has run.
    std::map<QString, int> inactiveDuringRun;
    host.onStatus = [&](const QString& s) {
        if (s != QLatin1String("Enabling Triggers"))
            return;
        const QStringList work = workCopies();
        ASSERT_EQ(work.size(), 1);
        Peek peek(work.first());
        db::Query& q = peek.query();
        q.SetSQL(QStringLiteral("select RDB$TRIGGER_NAME, RDB$TRIGGER_INACTIVE from RDB$TRIGGERS "
                                "where RDB$SYSTEM_FLAG = 0"));
        const db::ResultSet rs = q.Open();
        for (qsizetype r = 0; r < rs.rowCount(); ++r)
            inactiveDuringRun[rs.asString(r, 0)] = rs.asInt32(r, 1);
        q.Close();
    };
    qint64 pricesBefore = 0;
    {
        Peek peek(station);
        pricesBefore = peek.count(QStringLiteral("TBL_STOCK_PRICES"));
    }
    ASSERT_EQ(run(host), RunOutcome::Done);
    // Had the guards on TBL_SALES and TBL_SALES_EX fired, every delete would have failed.
    EXPECT_TRUE(host.errors.isEmpty()) << host.errors.join(u'\n').toStdString();
    EXPECT_GT(report.removed(QStringLiteral("TBL_SALES")), 0u);
    EXPECT_GT(report.removed(QStringLiteral("TBL_SALES_EX")), 0u);

    ASSERT_FALSE(inactiveDuringRun.empty());
    for (const QString& name : switchedTriggers)
        EXPECT_EQ(inactiveDuringRun[name], 1) << name.toStdString();
    EXPECT_EQ(inactiveDuringRun["LOG_PRICE_DELETE"], 0);
    EXPECT_EQ(inactiveDuringRun["TRG_STATION_INFO_BU"], 0);

    Peek peek(station);
    EXPECT_EQ(peek.scalar(
                  QStringLiteral("select count(*) from RDB$TRIGGERS where RDB$SYSTEM_FLAG = 0 and "
                                 "RDB$TRIGGER_INACTIVE = 1")),
              0);
    // The trigger not starting with T stayed active: every deleted price was logged.
    const qint64 removedPrices = pricesBefore - peek.count(QStringLiteral("TBL_STOCK_PRICES"));
    EXPECT_GT(removedPrices, 0);
    EXPECT_EQ(peek.count(QStringLiteral("TBL_PRICE_LOG")), removedPrices);
    // The switched-off bookkeeping trigger of the order headers did not run.
    EXPECT_EQ(peek.count(QStringLiteral("TBL_DELETE_LOG")), 0);
}

TEST_F(RunTest, TriggerSwitchedOffBeforeTheRunStaysOff) {
    struct Case {
        const char* offBefore; // empty: none
    };
    const Case cases[] = {{""}, {"TX_NOTES_BU"}, {"TPOS \"import\" guard"}, {"TRG_SALES_BD"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offBefore);
        ASSERT_TRUE(QFile::remove(station));
        ASSERT_TRUE(QFile::copy(templateDatabase(), station));
        const QString off = QString::fromUtf8(c.offBefore);
        if (!off.isEmpty()) {
            Peek peek(station);
            peek.execute(QStringLiteral("alter trigger ") + quotedIdentifier(off) +
                         QStringLiteral(" inactive"));
            peek.commit();
        }
        RecordingHost host;
        host.tick(3);
        ASSERT_EQ(run(host), RunOutcome::Done);
        EXPECT_EQ(triggers, switchedTriggers);

        Peek peek(station);
        db::Query& q = peek.query();
        q.SetSQL(QStringLiteral("select RDB$TRIGGER_NAME, RDB$TRIGGER_INACTIVE from RDB$TRIGGERS "
                                "where RDB$SYSTEM_FLAG = 0"));
        const db::ResultSet rs = q.Open();
        std::map<QString, int> inactive;
        for (qsizetype r = 0; r < rs.rowCount(); ++r)
            inactive[rs.asString(r, 0)] = rs.asInt32(r, 1);
        q.Close();
        ASSERT_EQ(inactive.size(), size_t(switchedTriggers.size() + 2));
        for (const auto& [name, flag] : inactive)
            EXPECT_EQ(flag, name == off ? 1 : 0) << name.toStdString();
    }
}

TEST_F(RunTest, StatusAndProgressFollowTheRun) {
    RecordingHost host;
    host.tick(9); // Pricing alone
    ASSERT_EQ(run(host), RunOutcome::Done);
    const QStringList expected = {"Copying GDB to temp folder",
                                  "Disabling Triggers",
                                  "Cleaning: TBL_STOCK_PRICES",
                                  "Cleaning: TBL_AUDIT_RECORDS",
                                  "Enabling Triggers",
                                  "Compressing Data",
                                  "Copying file to original location",
                                  "Done"};
    EXPECT_EQ(host.statuses, expected);
    EXPECT_EQ(steps, 5);
    EXPECT_EQ(host.maximum[1], 5);
    EXPECT_EQ(host.position[1], 5);
    // Channel 1 is initialised once; channel 2 once per trigger pass and once per table.
    int init1 = 0, init2 = 0, steps1 = 0;
    for (const auto& e : host.progress) {
        init1 += e.kind == 'I' && e.id == 1;
        init2 += e.kind == 'I' && e.id == 2;
        steps1 += e.kind == 'S' && e.id == 1;
    }
    EXPECT_EQ(init1, 1);
    EXPECT_EQ(init2, 4);
    EXPECT_EQ(steps1, 5);
}

TEST_F(RunTest, TickingSuppliersRunsAllThreeRulesInTreeOrder) {
    RecordingHost host;
    host.tick(1);
    ASSERT_EQ(run(host), RunOutcome::Done);
    EXPECT_EQ(steps, 11);
    const qsizetype sales = host.statuses.indexOf(QStringLiteral("Cleaning: TBL_SALES"));
    const qsizetype orders = host.statuses.indexOf(QStringLiteral("Cleaning: TBL_ORDER_BUNKERED"));
    const qsizetype pricing = host.statuses.indexOf(QStringLiteral("Cleaning: TBL_STOCK_PRICES"));
    ASSERT_GE(sales, 0);
    EXPECT_LT(sales, orders);
    EXPECT_LT(orders, pricing);
    EXPECT_EQ(host.statuses.count(QStringLiteral("Cleaning: TBL_SALES")), 1);
}

TEST_F(RunTest, MissingTableEndsTheRunAndLeavesTheOriginalUntouched) {
    {
        Peek peek(station);
        peek.execute(QStringLiteral("drop table TBL_VOIDS"));
        peek.commit();
    }
    const QByteArray original = fileBytes(station);
    RecordingHost host;
    host.tick(3);
    EXPECT_EQ(run(host), RunOutcome::Failed);
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_TRUE(host.messages.first().contains(QStringLiteral("TBL_VOIDS")))
        << host.messages.first().toStdString();
    EXPECT_EQ(host.statuses.last(), CleaningRun::failedStatus());
    EXPECT_FALSE(host.statuses.contains(QStringLiteral("Done")));
    EXPECT_EQ(fileBytes(station), original);
    EXPECT_TRUE(workFilesLeft().isEmpty());
}

TEST_F(RunTest, FailingDeleteIsReportedAndTheRunGoesOn) {
    // A row another table still refers to cannot be deleted.
    qint64 oldRows = 0;
    {
        Peek peek(station);
        peek.execute(QStringLiteral("create table TBL_EX_REF (REF_ID integer not null primary key, "
                                    "SALES_EX_ID integer references TBL_SALES_EX (SALES_EX_ID))"));
        peek.commit();
        peek.execute(
            QStringLiteral("insert into TBL_EX_REF values (1, (select min(SALES_EX_ID) from "
                           "TBL_SALES_EX where TRANS_DATE < '2023-01-01'))"));
        peek.commit();
        oldRows = peek.scalar(
            QStringLiteral("select count(*) from TBL_SALES_EX where TRANS_DATE < '2023-01-01'"));
        ASSERT_GT(oldRows, 1);
    }
    setLogsFolderOverride(folder() + QStringLiteral("/logs"));
    CLog log;
    RecordingHost host;
    host.tick(3);
    ASSERT_EQ(run(host), RunOutcome::Done);
    // The failing statement went to the weekly log with its marker, and the error text.
    const QString logged = QString::fromUtf8(fileBytes(log.GetFileName()));
    setLogsFolderOverride(QString());
    EXPECT_TRUE(
        logged.contains(QStringLiteral("delete from TBL_SALES_EX where SALES_EX_ID = :V1: \r\n")))
        << logged.toStdString();
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(logged.contains(host.errors.first().section(u'\n', 0, 0))) << logged.toStdString();
    EXPECT_TRUE(host.errors.first().contains(QStringLiteral("FOREIGN KEY"), Qt::CaseInsensitive))
        << host.errors.first().toStdString();
    EXPECT_EQ(report.removed(QStringLiteral("TBL_SALES_EX")), quint64(oldRows - 1));
    // The tables after the failing one were cleaned too.
    EXPECT_GT(report.removed(QStringLiteral("TBL_DAILY_SALES")), 0u);
    Peek peek(station);
    EXPECT_EQ(peek.scalar(QStringLiteral(
                  "select count(*) from TBL_SALES_EX where TRANS_DATE < '2023-01-01'")),
              1);
}

TEST_F(RunTest, CopyBackThatCannotWriteLeavesTheOriginalUnchanged) {
    const QByteArray original = fileBytes(station);
    const QString stationFolder = QFileInfo(station).absolutePath();
    const QString movedFolder = stationFolder + QStringLiteral(".moved");
    RecordingHost host;
    host.priorTo = false;
    host.tick(2);
    // Just before the copy back the station folder is replaced by a plain file, so no
    // temporary file can be made beside the original (this holds for root as well).
    host.onStatus = [&](const QString& s) {
        if (s != QLatin1String("Copying file to original location"))
            return;
        ASSERT_TRUE(QDir().rename(stationFolder, movedFolder));
        QFile blocker(stationFolder);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    };
    EXPECT_EQ(run(host), RunOutcome::CopyBackFailed);
    ASSERT_TRUE(QFile::remove(stationFolder));
    ASSERT_TRUE(QDir().rename(movedFolder, stationFolder));

    // The message goes on with the file and the system's reason.
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_EQ(host.errors.first(), QStringLiteral("Could not copy GDB back to original: ") +
                                       station + QStringLiteral(": Not a directory"));
    EXPECT_EQ(host.statuses.last(), QStringLiteral("Copying file to original location"));
    EXPECT_EQ(fileBytes(station), original);
    EXPECT_EQ(QDir(stationFolder).entryList(QDir::Files | QDir::Hidden),
              QStringList{"STATION.GDB"});
    EXPECT_TRUE(workFilesLeft().isEmpty());
}

TEST_F(RunTest, PathsWithoutALocalFileEndBeforeAnythingIsCopied) {
    const QString missing = folder() + QStringLiteral("/NO_SUCH.GDB");
    struct Case {
        QString dropped;
        RunOutcome outcome;
        QStringList errors;
        QStringList messages;
        QStringList statuses;
    };
    const Case cases[] = {
        {QStringLiteral("srv:/data/SHOP.GDB"),
         RunOutcome::CopyToTempFailed,
         {QStringLiteral("Could not copy GDB to temp folder: srv:/data/SHOP.GDB: no local file is "
                         "known for it")},
         {},
         {}},
        {missing,
         RunOutcome::Failed,
         {},
         {QStringLiteral("The database file ") + missing +
          QStringLiteral(" cannot be cleaned: No such file or directory")},
         {CleaningRun::failedStatus()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dropped.toStdString());
        RecordingHost host;
        host.askAnswer = 6;
        EXPECT_EQ(run(host, c.dropped), c.outcome);
        EXPECT_EQ(host.errors, c.errors);
        EXPECT_EQ(host.messages, c.messages);
        EXPECT_EQ(host.statuses, c.statuses);
        // Found out before the backup is offered.
        EXPECT_TRUE(host.questions.isEmpty());
        EXPECT_EQ(host.backupCalls, 0);
        EXPECT_TRUE(workFilesLeft().isEmpty());
    }
}

TEST_F(RunTest, UnreadableDatabaseListEndsTheRunNotTheProgram) {
    // The product's database list holds the station with a local path of the wrong type.
    {
        TBrevikReg reg;
        reg.WriteString(QStringLiteral("Database\\List\\SHOP1"), QStringLiteral("ServerPath"),
                        QStringLiteral("srv:/data/SHOP.GDB"), 0);
        reg.WriteInteger(QStringLiteral("Database\\List\\SHOP1"), QStringLiteral("LocalPath"), 7);
    }
    RecordingHost host;
    EXPECT_EQ(run(host, QStringLiteral("srv:/data/SHOP.GDB")), RunOutcome::Failed);
    {
        TBrevikReg reg;
        reg.deleteSection(QStringLiteral("Database\\List\\SHOP1"));
    }
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_TRUE(host.messages.first().contains(QStringLiteral("LocalPath")))
        << host.messages.first().toStdString();
    EXPECT_EQ(host.statuses.last(), CleaningRun::failedStatus());
    EXPECT_TRUE(workFilesLeft().isEmpty());
}

TEST_F(RunTest, FileThatIsNoDatabaseFailsWithFirebirdsMessage) {
    const QString notes = folder() + QStringLiteral("/station/NOTES.GDB");
    {
        QFile f(notes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("shift notes, not a database\n");
    }
    const QByteArray original = fileBytes(notes);
    RecordingHost host;
    EXPECT_EQ(run(host, notes), RunOutcome::Failed);
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_FALSE(host.messages.first().isEmpty());
    EXPECT_EQ(host.statuses.last(), CleaningRun::failedStatus());
    EXPECT_EQ(fileBytes(notes), original);
    EXPECT_TRUE(workFilesLeft().isEmpty());
}

} // namespace
