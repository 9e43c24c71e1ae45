// dolvane-cli as a script would use it: arguments, exit status, the per-table figures on
// stdout, and what happens to the database file.

#include "cleaning/RunArguments.h"
#include "cli/CliOptions.h"
#include "support/StationFixture.h"

#include <map>

using namespace testing_support;

namespace {

class CliTest : public StationTest {
protected:
    ProgramRun cli(const QStringList& args) {
        return runProgram(QStringLiteral(DOLVANE_CLI), args);
    }
    // The "TABLE  ROWS" lines of the report.
    static std::map<QString, qint64> figures(const QString& out) {
        std::map<QString, qint64> rows;
        const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
        for (const QString& line : lines.mid(1)) {
            const QStringList parts = line.split(u' ', Qt::SkipEmptyParts);
            if (parts.size() == 2)
                rows[parts[0]] = parts[1].toLongLong();
        }
        return rows;
    }
};

TEST_F(CliTest, DryRunFiguresEqualWhatTheRunThenRemoves) {
    struct Case {
        QStringList mode;
    };
    const Case cases[] = {{{"--prior-to", "01/01/2023"}}, {{"--all"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode.join(u' ').toStdString());
        ASSERT_TRUE(QFile::remove(station));
        ASSERT_TRUE(QFile::copy(templateDatabase(), station));
        const QByteArray before = fileBytes(station);

        const ProgramRun dry = cli(c.mode + QStringList{"--tick", "1", "--dry-run", station});
        ASSERT_EQ(dry.exitCode, 0) << dry.err.toStdString();
        // A dry run changes nothing and leaves nothing behind.
        EXPECT_EQ(fileBytes(station), before);
        EXPECT_TRUE(workFilesLeft().isEmpty());

        const ProgramRun real = cli(c.mode + QStringList{"--tick", "1", station});
        ASSERT_EQ(real.exitCode, 0) << real.err.toStdString();
        EXPECT_TRUE(real.err.contains(QStringLiteral("Done")));
        const auto expected = figures(dry.out);
        EXPECT_EQ(expected.size(), 23u); // 22 tables and the total
        EXPECT_GT(expected.at(QStringLiteral("Total")), 0);
        EXPECT_EQ(figures(real.out), expected);
        EXPECT_NE(fileBytes(station), before);
        EXPECT_TRUE(workFilesLeft().isEmpty());
    }
}

TEST_F(CliTest, FailedRunExitsWithOneAndLeavesTheOriginalUnchanged) {
    {
        Peek peek(station);
        peek.execute(QStringLiteral("drop table TBL_AUDIT_RECORDS"));
        peek.commit();
    }
    const QByteArray before = fileBytes(station);
    const ProgramRun r = cli({"--tick", "9", station});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("TBL_AUDIT_RECORDS"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Failed - original database unchanged")));
    EXPECT_EQ(fileBytes(station), before);
    EXPECT_TRUE(workFilesLeft().isEmpty());
}

TEST_F(CliTest, BadUsageExitsWithTwoAndTouchesNothing) {
    const QByteArray before = fileBytes(station);
    const QStringList cases[] = {
        {},
        {"--all", "--prior-to", "2023-01-01", station},
        {"--prior-to", "31/02/2023", station},
        {"--tick", "10", station},
        {"--tick", station},
        {"--frobnicate", station},
        {station, station},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const ProgramRun r = cli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage:")));
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_EQ(fileBytes(station), before);
}

TEST(CliOptions, ArgumentsBecomeTheRunsChoices) {
    QString error;
    const auto o = parseCliArguments({"--prior-to", "2024-03-05", "--tick", "3", "--tick", "9",
                                      "--backup", "--no-compress", "/data/SHOP.GDB"},
                                     &error);
    ASSERT_TRUE(o) << error.toStdString();
    EXPECT_TRUE(o->priorTo);
    EXPECT_EQ(o->cutOff, QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
    EXPECT_EQ(o->ticks, (std::vector<int>{3, 9}));
    EXPECT_TRUE(o->backup);
    EXPECT_FALSE(o->compress);
    EXPECT_EQ(o->file, QStringLiteral("/data/SHOP.GDB"));

    const auto all = parseCliArguments({"--all", "srv:/data/SHOP.GDB"}, &error);
    ASSERT_TRUE(all);
    EXPECT_FALSE(all->priorTo);
    EXPECT_EQ(all->file, QStringLiteral("srv:/data/SHOP.GDB")); // server form kept as given

    const auto byDefault = parseCliArguments({"SHOP.GDB"}, &error);
    ASSERT_TRUE(byDefault);
    EXPECT_TRUE(byDefault->priorTo);
    EXPECT_FALSE(byDefault->cutOff.isValid()); // the host's 1 January of this year
    EXPECT_TRUE(byDefault->file.startsWith(u'/'));
}

TEST(CliOptions, DatesDayFirstOrIso) {
    struct Case {
        const char* text;
        QDate date;
    };
    const Case cases[] = {
        {"2023-01-01", QDate(2023, 1, 1)}, {"01/02/2023", QDate(2023, 2, 1)},
        {"1/2/2023", QDate(2023, 2, 1)},   {"29/02/2024", QDate(2024, 2, 29)},
        {"29/02/2023", QDate()},           {"2023-13-01", QDate()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseCutOffDate(QString::fromLatin1(c.text)), c.date);
    }
}

} // namespace
