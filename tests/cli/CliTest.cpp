// dolvane-cli as a script would use it: arguments, exit status, the per-table figures on
// stdout, and what happens to the database file.

#include "cleaning/RunArguments.h"
#include "cli/CliOptions.h"
#include "cli/CliProgram.h"
#include "common/Clock.h"
#include "support/StationFixture.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <map>
#include <memory>

using namespace testing_support;

namespace {

// What a stream written by the program in this process holds.
class CapturedStream {
public:
    CapturedStream() : fFile(std::tmpfile(), &std::fclose) {}
    std::FILE* get() const { return fFile.get(); }
    QString text() const {
        std::fflush(fFile.get());
        std::rewind(fFile.get());
        QByteArray bytes;
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, fFile.get())) > 0)
            bytes.append(buffer, qsizetype(n));
        return QString::fromUtf8(bytes);
    }

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> fFile;
};

class CliTest : public StationTest {
protected:
    ProgramRun cli(const QStringList& args, const QString& workingFolder = QString()) {
        return runProgram(QStringLiteral(DOLVANE_CLI), args, workingFolder);
    }
    // The "Size ..." lines of the text report, in bytes.
    static qint64 sizeLine(const QString& out, const QString& label) {
        for (const QString& line : out.split(u'\n')) {
            if (line.startsWith(label))
                return line.mid(label.size()).split(u' ', Qt::SkipEmptyParts).value(0).toLongLong();
        }
        return -1;
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
        // The text report ends with the file's size before and after and the space won.
        const qint64 after = QFileInfo(station).size();
        EXPECT_EQ(sizeLine(real.out, QStringLiteral("File size before")), before.size());
        EXPECT_EQ(sizeLine(real.out, QStringLiteral("File size after")), after);
        EXPECT_EQ(sizeLine(real.out, QStringLiteral("Space won")), before.size() - after);
    }
}

TEST_F(CliTest, JsonReportIsOneObjectForDoneAndFailedRuns) {
    struct Case {
        const char* name;
        bool dropAuditTable; // makes the Pricing rule fail
        QStringList args;
        const char* outcome;
    };
    const Case cases[] = {
        {"done", false, {"--tick", "3", "--tick", "9", "--prior-to", "2023-01-01"}, "done"},
        {"failed", true, {"--tick", "9", "--all"}, "failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QFile::remove(station));
        ASSERT_TRUE(QFile::copy(templateDatabase(), station));
        if (c.dropAuditTable) {
            Peek peek(station);
            peek.execute(QStringLiteral("drop table TBL_AUDIT_RECORDS"));
            peek.commit();
        }
        std::map<QString, qint64> dry;
        if (!c.dropAuditTable) {
            const ProgramRun d = cli(c.args + QStringList{"--dry-run", station});
            ASSERT_EQ(d.exitCode, 0) << d.err.toStdString();
            dry = figures(d.out);
        }
        const qint64 sizeBefore = QFileInfo(station).size();

        const ProgramRun r = cli(c.args + QStringList{"--json", station});
        EXPECT_EQ(r.exitCode, c.dropAuditTable ? 1 : 0) << r.err.toStdString();
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &parseError);
        ASSERT_EQ(parseError.error, QJsonParseError::NoError)
            << parseError.errorString().toStdString() << "\n"
            << r.out.toStdString();
        ASSERT_TRUE(doc.isObject());
        const QJsonObject o = doc.object();
        EXPECT_EQ(o["outcome"].toString(), QLatin1String(c.outcome));
        EXPECT_EQ(o["file"].toString(), station);
        EXPECT_EQ(o["sizeBefore"].toInteger(-1), sizeBefore);
        EXPECT_EQ(o["sizeAfter"].toInteger(-1), QFileInfo(station).size());
        EXPECT_EQ(o["spaceWon"].toInteger(-1), sizeBefore - QFileInfo(station).size());

        // The steps in the order of the status lines, each timed.
        QStringList statuses;
        for (const QJsonValue step : o["steps"].toArray()) {
            statuses << step["status"].toString();
            EXPECT_GE(step["milliseconds"].toInteger(-1), 0);
        }
        ASSERT_FALSE(statuses.isEmpty());
        EXPECT_EQ(statuses.first(), QStringLiteral("Copying GDB to temp folder"));
        EXPECT_TRUE(statuses.contains(QStringLiteral("Cleaning: TBL_STOCK_PRICES")));

        if (c.dropAuditTable) {
            EXPECT_TRUE(o["message"].toString().contains(QStringLiteral("TBL_AUDIT_RECORDS")))
                << o["message"].toString().toStdString();
            EXPECT_EQ(statuses.last(), QStringLiteral("Failed - original database unchanged"));
            EXPECT_EQ(o["spaceWon"].toInteger(-1), 0);
        } else {
            EXPECT_FALSE(o.contains(QStringLiteral("message")));
            EXPECT_EQ(statuses.last(), QStringLiteral("Done"));
            EXPECT_TRUE(statuses.contains(QStringLiteral("Compressing Data")));
            // The same rows per table as the dry run counted.
            const QJsonObject rows = o["rowsRemoved"].toObject();
            qint64 total = 0;
            for (auto it = rows.begin(); it != rows.end(); ++it) {
                EXPECT_EQ(it.value().toInteger(-1), dry[it.key()]) << it.key().toStdString();
                total += it.value().toInteger();
            }
            EXPECT_EQ(rows.size() + 1, qsizetype(dry.size())); // and the total line
            EXPECT_GT(total, 0);
            EXPECT_EQ(o["totalRowsRemoved"].toInteger(-1), total);
        }
        EXPECT_TRUE(workFilesLeft().isEmpty());
    }
}

TEST_F(CliTest, HelpVersionAndTheEndOfTheOptions) {
    const ProgramRun help = cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: dolvane-cli")))
        << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--json")));
    EXPECT_TRUE(help.err.isEmpty());

    const ProgramRun version = cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("dolvane-cli ") + programVersion() + u'\n');

    // A file whose name begins with a dash: an option unless "--" comes first.
    const QString dashed = QStringLiteral("-x.gdb");
    ASSERT_TRUE(QFile::copy(station, folder() + u'/' + dashed));
    const QByteArray before = fileBytes(folder() + u'/' + dashed);
    const ProgramRun asOption = cli({"--tick", "3", "--all", dashed}, folder());
    EXPECT_EQ(asOption.exitCode, 2);
    EXPECT_EQ(fileBytes(folder() + u'/' + dashed), before);
    const ProgramRun asFile = cli({"--tick", "3", "--all", "--", dashed}, folder());
    EXPECT_EQ(asFile.exitCode, 0) << asFile.err.toStdString();
    EXPECT_TRUE(asFile.err.contains(QStringLiteral("Done")));
    Peek peek(folder() + u'/' + dashed);
    EXPECT_EQ(peek.count(QStringLiteral("TBL_SALES")), 0);
}

// Without --prior-to the run removes what is dated before 1 January of the current year,
// by the clock the rest of the program reads: the run is made in this process with the
// clock fixed in mid-year, so rows of this year before today must stay.
TEST_F(CliTest, DefaultCutOffIsFirstOfJanuaryOfThisYearByTheProgramsClock) {
    const FixedClock clock(QDateTime(QDate(2025, 6, 15), QTime(12, 0)));
    const QString firstOfYear = QStringLiteral("'2025-01-01'");
    struct Case {
        const char* table;
        const char* anyBefore; // %1: the day
        const char* anyThisYearBeforeToday;
    };
    const Case cases[] = {
        {"TBL_SALES", "TRANS_DATE < %1 or SALES_DATE < %1",
         "(TRANS_DATE >= %1 and TRANS_DATE < '2025-06-15') or (SALES_DATE >= %1 and SALES_DATE "
         "< '2025-06-15')"},
        {"TBL_HSALES", "TRANS_DATE < %1", "TRANS_DATE >= %1 and TRANS_DATE < '2025-06-15'"},
        {"TBL_SALES_EX", "TRANS_DATE < %1", "TRANS_DATE >= %1 and TRANS_DATE < '2025-06-15'"},
    };
    auto count = [&](Peek& peek, const Case& c, const char* where) {
        return peek.scalar(
            QStringLiteral("select count(*) from %1 where %2")
                .arg(QLatin1String(c.table), QString::fromLatin1(where).arg(firstOfYear)));
    };
    std::map<QString, std::pair<qint64, qint64>> before; // total, old
    {
        Peek peek(station);
        for (const Case& c : cases) {
            const qint64 old = count(peek, c, c.anyBefore);
            before[QLatin1String(c.table)] = {peek.count(QLatin1String(c.table)), old};
            // The data must hold rows on both sides, and this year's before today.
            ASSERT_GT(old, 0) << c.table;
            ASSERT_GT(count(peek, c, c.anyThisYearBeforeToday), 0) << c.table;
        }
    }
    CapturedStream out, err;
    ASSERT_EQ(runCli({"--tick", "3", "--no-compress", "--json", station}, out.get(), err.get()), 0)
        << err.text().toStdString();
    const QJsonObject report = QJsonDocument::fromJson(out.text().toUtf8()).object();
    EXPECT_EQ(report["mode"].toString(), QStringLiteral("prior-to"));
    EXPECT_EQ(report["cutOff"].toString(), QStringLiteral("2025-01-01"));
    Peek peek(station);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        const auto [total, old] = before[QLatin1String(c.table)];
        EXPECT_EQ(count(peek, c, c.anyBefore), 0);
        EXPECT_EQ(peek.count(QLatin1String(c.table)), total - old);
        EXPECT_EQ(report["rowsRemoved"][QLatin1String(c.table)].toInteger(-1), old);
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
        {"--prior-to", "2023-01-01", "--prior-to", "2024-01-01", station},
        {"--tick"},
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

    const FixedClock clock(QDateTime(QDate(2024, 12, 31), QTime(23, 59)));
    const auto byDefault = parseCliArguments({"SHOP.GDB"}, &error);
    ASSERT_TRUE(byDefault);
    EXPECT_TRUE(byDefault->priorTo);
    EXPECT_EQ(byDefault->cutOff, QDateTime(QDate(2024, 1, 1), QTime(0, 0)));
    EXPECT_TRUE(byDefault->file.startsWith(u'/'));
    EXPECT_FALSE(byDefault->json);

    // After "--" everything is the file.
    const auto dashed = parseCliArguments({"--json", "--", "-x.gdb"}, &error);
    ASSERT_TRUE(dashed) << error.toStdString();
    EXPECT_TRUE(dashed->json);
    EXPECT_TRUE(dashed->file.endsWith(QStringLiteral("/-x.gdb")));
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
