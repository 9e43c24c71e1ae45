// The whole run through dolvane-cli: the backup offer and the compression step reach the
// backup component without a window.

#include "BackupTestSupport.h"

#include "backup/VaultixJobs.h"
#include "support/StationFixture.h"

#include <QFileInfo>

namespace {

using testing_support::filesUnder;

class CliRunTest : public testing_support::StationTest {
protected:
    testing_support::ProgramRun cli(const QStringList& args) {
        return runProgram(QStringLiteral(DOLVANE_CLI), args);
    }
};

} // namespace

TEST_F(CliRunTest, RunWithCompressionLeavesASmallerFileThanWithout) {
    // A station with some years of sales, so the space freed outweighs the fixed part.
    ASSERT_TRUE(QFile::remove(station));
    ASSERT_TRUE(QFile::copy(testing_support::templateDatabase(20000), station));
    const QString plain = folder() + QStringLiteral("/plain/STATION.GDB");
    QDir().mkpath(folder() + QStringLiteral("/plain"));
    ASSERT_TRUE(QFile::copy(station, plain));

    const testing_support::ProgramRun compressed = cli({"--all", "--tick", "1", station});
    ASSERT_EQ(compressed.exitCode, 0) << compressed.err.toStdString();
    const testing_support::ProgramRun uncompressed =
        cli({"--all", "--tick", "1", "--no-compress", plain});
    ASSERT_EQ(uncompressed.exitCode, 0) << uncompressed.err.toStdString();
    EXPECT_TRUE(compressed.err.contains(QStringLiteral("Compressing Data")));
    EXPECT_FALSE(compressed.err.contains(QStringLiteral("NOT successful")))
        << compressed.err.toStdString();

    const qint64 small = QFileInfo(station).size();
    const qint64 large = QFileInfo(plain).size();
    EXPECT_LT(small, large * 3 / 4) << small << " against " << large;
    // The same rows either way (the logging triggers stamp their rows with the time, so
    // counts are compared), and nothing left in the temporary folder.
    const auto counts = backuptest::rowCounts(station);
    EXPECT_EQ(counts, backuptest::rowCounts(plain));
    EXPECT_EQ(counts.value(QStringLiteral("TBL_SALES")), 0);
    EXPECT_TRUE(filesUnder(tempFolder()).isEmpty())
        << filesUnder(tempFolder()).join(' ').toStdString();
    EXPECT_EQ(QDir(folder() + QStringLiteral("/station"))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"STATION.GDB"}));
}

TEST_F(CliRunTest, BackupOptionKeepsTheOriginalInTheDailyFolder) {
    const auto before = backuptest::contents(station);
    const testing_support::ProgramRun r = cli({"--backup", "--all", "--tick", "1", station});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString daily = folder() + QStringLiteral("/station/Backups/Daily/");
    EXPECT_TRUE(r.err.contains(QStringLiteral("Backup written to ") + daily))
        << r.err.toStdString();

    const QStringList made = filesUnder(daily);
    ASSERT_EQ(made.size(), 1) << made.join(' ').toStdString();
    EXPECT_TRUE(made[0].endsWith(QStringLiteral(".fbk")));
    // The backup holds the database as it was before the run.
    RestoreJob restore(made[0], folder() + QStringLiteral("/copy.gdb"));
    restore.run();
    restore.commit();
    EXPECT_EQ(backuptest::contents(folder() + QStringLiteral("/copy.gdb")), before);
    EXPECT_NE(backuptest::contents(station), before);
}
