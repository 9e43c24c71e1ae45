// The sample station database generator: what it makes, and that a seed fixes it.

#include "support/StationFixture.h"
#include "support/TempDir.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <map>
#include <unistd.h>

using namespace testing_support;

namespace {

QString fingerprint(const QString& path) {
    Peek peek(path);
    db::Query& q = peek.query();
    q.SetSQL(QStringLiteral(
        "select count(*), sum(SALES_ID), sum(AMOUNT), min(TRANS_DATE), max(SALES_DATE), "
        "sum(char_length(STOCK_CODE)) from TBL_SALES"));
    const db::ResultSet rs = q.Open();
    QStringList parts;
    for (int c = 0; c < rs.columnCount(); ++c)
        parts << rs.asString(0, c);
    q.Close();
    parts << QString::number(peek.count(QStringLiteral("TBL_ORDER_DETAIL")))
          << QString::number(
                 peek.scalar(QStringLiteral("select sum(PRICE_ID) from TBL_STOCK_PRICES where "
                                            "VALID_FROM < '2023-01-01'")));
    return parts.join(u'|');
}

TEST(SampleDb, SameSeedSameDataOtherSeedOtherData) {
    TempDir dir;
    StationDbOptions o;
    o.salesRows = 500;
    o.seed = 11;
    createStationDatabase(dir.file("A.GDB"), o);
    createStationDatabase(dir.file("B.GDB"), o);
    o.seed = 12;
    createStationDatabase(dir.file("C.GDB"), o);
    EXPECT_EQ(fingerprint(dir.file("A.GDB")), fingerprint(dir.file("B.GDB")));
    EXPECT_NE(fingerprint(dir.file("A.GDB")), fingerprint(dir.file("C.GDB")));
}

TEST(SampleDb, HoldsWhatTheRulesAndTheirTestsNeed) {
    Peek peek(templateDatabase());
    EXPECT_EQ(peek.count(QStringLiteral("TBL_SALES")), 2000);
    // Every order header has rows in each detail table.
    EXPECT_EQ(peek.scalar(QStringLiteral(
                  "select count(*) from TBL_ORDER_HEADER h where not exists (select 1 from "
                  "TBL_ORDER_DETAIL d where d.ORDER_ID = h.ORDER_ID)")),
              0);
    // Keys beyond 32 bits, a quote in a text key, dates null, at midnight and on 1 January.
    EXPECT_GT(peek.scalar(QStringLiteral("select min(SALES_ID) from TBL_SALES")), 2147483647LL);
    EXPECT_GT(peek.scalar(QStringLiteral(
                  "select count(*) from TBL_SALES_SPO where SPO_REF containing ''''")),
              0);
    EXPECT_GT(
        peek.scalar(QStringLiteral("select count(*) from TBL_SALES where TRANS_DATE is null")), 0);
    EXPECT_GT(peek.scalar(
                  QStringLiteral("select count(*) from TBL_SALES where cast(TRANS_DATE as time) = "
                                 "'00:00:00'")),
              0);
    EXPECT_GT(peek.scalar(
                  QStringLiteral("select count(*) from TBL_SALES where TRANS_DATE = '2023-01-01'")),
              0);
    // Every table with more than one date column has rows old in exactly one of them and
    // recent, or null, in the others, for each column: a rule that leaves a column out
    // keeps them. The tables and their date columns come from the schema.
    std::map<QString, QStringList> dated;
    {
        db::Query& q = peek.query();
        q.SetSQL(QStringLiteral(
            "select trim(rf.RDB$RELATION_NAME), trim(rf.RDB$FIELD_NAME) from RDB$RELATION_FIELDS "
            "rf join RDB$FIELDS f on f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE join RDB$RELATIONS r "
            "on r.RDB$RELATION_NAME = rf.RDB$RELATION_NAME where r.RDB$SYSTEM_FLAG = 0 and "
            "f.RDB$FIELD_TYPE in (12, 35) order by rf.RDB$FIELD_POSITION"));
        const db::ResultSet rs = q.Open();
        for (qsizetype r = 0; r < rs.rowCount(); ++r)
            dated[rs.asString(r, 0)] << rs.asString(r, 1);
        q.Close();
    }
    int multiDated = 0;
    const QString old = midSampleDate().toString(Qt::ISODate);
    const QString recent = lastSampleDate().addYears(-1).toString(Qt::ISODate);
    for (const auto& [table, columns] : dated) {
        if (columns.size() < 2)
            continue;
        ++multiDated;
        for (const QString& column : columns) {
            for (const char* others : {"%1 >= '%2'", "%1 is null"}) {
                QStringList where{QStringLiteral("%1 < '%2'").arg(column, old)};
                for (const QString& other : columns) {
                    if (other != column)
                        where << QString::fromLatin1(others).arg(other, recent);
                }
                const QString sql = QStringLiteral("select count(*) from %1 where %2")
                                        .arg(table, where.join(QStringLiteral(" and ")));
                EXPECT_GT(peek.scalar(sql), 0) << sql.toStdString();
            }
        }
    }
    EXPECT_EQ(multiDated, 7); // TBL_SALES, five more sales tables and TBL_ORDER_HEADER
    // Sequences stand past their keys.
    EXPECT_EQ(peek.scalar(
                  QStringLiteral("select gen_id(GEN_SALES_ID, 0) - max(SALES_ID) from TBL_SALES")),
              0);
    EXPECT_EQ(peek.scalar(QStringLiteral(
                  "select gen_id(GEN_ORDER_LINE, 0) - max(LINE_ID) from TBL_ORDER_DETAIL")),
              0);
    // Triggers: switched ones (T on TBL_ and TBLX, one with a quote in its name), guards that
    // refuse deletes, one that must stay.
    EXPECT_EQ(peek.scalar(QStringLiteral(
                  "select count(*) from RDB$TRIGGERS where RDB$TRIGGER_NAME like 'T%' and "
                  "RDB$RELATION_NAME like 'TBL_%'")),
              7);
    EXPECT_EQ(
        peek.scalar(QStringLiteral("select count(*) from RDB$TRIGGERS where RDB$TRIGGER_NAME = "
                                   "'LOG_PRICE_DELETE' and RDB$TRIGGER_INACTIVE = 0")),
        1);
    EXPECT_THROW(peek.execute(QStringLiteral("delete from TBL_SALES")), db::DbError);
}

// After root has used the embedded engine its lock folder belongs to root; a normal user
// must still be able to work.
TEST(SampleDb, NormalUserWorksAfterRootUsedTheEngine) {
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty())
        GTEST_SKIP() << "needs root and runuser to act as another user";
    templateDatabase(); // root has used the engine now
    ASSERT_TRUE(QFileInfo(QStringLiteral("/tmp/firebird")).exists());
    TempDir dir;
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                          QFileDevice::WriteOther | QFileDevice::ExeOther);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), dir.path());
    env.remove(QStringLiteral("FIREBIRD_LOCK"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("runuser"), {"-u", "nobody", "--", QStringLiteral(DOLVANE_SAMPLE_DB),
                                        dir.file("USER.GDB"), "--rows", "10"});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(QFileInfo::exists(dir.file("USER.GDB")));
}

} // namespace
