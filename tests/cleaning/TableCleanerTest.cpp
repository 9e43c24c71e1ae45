// The table cleaner on its own: the generated selects, the two forms in both modes, and
// the handling of failing single statements.

#include "cleaning/TableCleaner.h"
#include "db/DbError.h"
#include "support/StationFixture.h"

using namespace testing_support;

namespace {

class TableCleanerTest : public StationTest {
protected:
    void SetUp() override {
        StationTest::SetUp();
        setStationParams(conx, station);
        conx.Open();
    }
    void TearDown() override {
        conx.Close();
        StationTest::TearDown();
    }
    void exec(const QString& sql) {
        db::Query q(conx);
        q.SetSQL(sql);
        q.ExecSQL();
        q.Close();
    }
    qint64 scalar(const QString& sql) {
        db::Query q(conx);
        q.SetSQL(sql);
        const db::ResultSet rs = q.Open();
        return rs.asInt64(0, 0);
    }

    db::Connection conx;
    db::Query q1{conx};
    db::Query q2{conx};
    RecordingHost host;
    TableCleaner cleaner{conx, q1, q2, host};
};

TEST_F(TableCleanerTest, GeneratedSelectTexts) {
    struct Case {
        bool priorTo;
        const char* table;
        const char* dates;
        const char* sql;
    };
    const Case cases[] = {
        {true, "TBL_SALES", "TRANS_DATE;SALES_DATE",
         "select * from TBL_SALES where (TRANS_DATE<:V0) or (SALES_DATE<:V1)"},
        {false, "TBL_SALES", "TRANS_DATE;SALES_DATE", "select * from TBL_SALES"},
        {true, "TBL_STOCK_PRICES", "VALID_FROM",
         "select * from TBL_STOCK_PRICES where (VALID_FROM<:V0)"},
        {true, "TBL_ORDER_HEADER", "SENT_DATE;DELIVERED_DATE;INV_DATE",
         "select * from TBL_ORDER_HEADER where (SENT_DATE<:V0) or (DELIVERED_DATE<:V1) or "
         "(INV_DATE<:V2)"},
        {true, "TBL_SALES_SPO", "", "select * from TBL_SALES_SPO"},
        {false, "TBL_SALES_SPO", "", "select * from TBL_SALES_SPO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        host.priorTo = c.priorTo;
        EXPECT_EQ(
            cleaner.GenerateSQLQuery(QString::fromLatin1(c.table), QString::fromLatin1(c.dates)),
            QString::fromLatin1(c.sql));
    }
}

TEST_F(TableCleanerTest, NullKeysAndEmptyTablesAreHandledQuietly) {
    exec(QStringLiteral("create table TBL_NULLKEY (K varchar(10), D timestamp)"));
    conx.Commit();
    exec(QStringLiteral("insert into TBL_NULLKEY values (null, '2020-05-05')"));
    exec(QStringLiteral("insert into TBL_NULLKEY values ('A''1', '2020-05-05')"));
    exec(QStringLiteral("insert into TBL_NULLKEY values ('B', '2024-05-05')"));
    exec(QStringLiteral("create table TBL_EMPTY (K integer, D timestamp)"));
    exec(QStringLiteral("create sequence GEN_EMPTY"));
    conx.Commit();
    exec(QStringLiteral("alter sequence GEN_EMPTY restart with 42"));
    conx.Commit();

    cleaner.CleanTable(QStringLiteral("TBL_NULLKEY"), QStringLiteral("D"), QString(), true);
    // The null key matches nothing: that row stays, with no error.
    EXPECT_TRUE(host.errors.isEmpty());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TBL_NULLKEY")), 2);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TBL_NULLKEY where K = 'A''1'")), 0);

    host.priorTo = false;
    host.progress.clear();
    cleaner.CleanTable(QStringLiteral("TBL_EMPTY"), QStringLiteral("D"),
                       QStringLiteral("GEN_EMPTY"), true);
    ASSERT_EQ(host.progress.size(), 1u);
    EXPECT_EQ(host.progress[0].kind, 'I');
    EXPECT_EQ(host.progress[0].value, 0);
    // An empty table still has its sequence restarted, and the retaining commit makes it
    // visible to another attachment.
    Peek other(station);
    EXPECT_EQ(other.scalar(QStringLiteral("select gen_id(GEN_EMPTY, 0) from rdb$database")), 0);
}

TEST_F(TableCleanerTest, IdListFormDeletesListedKeysOrTheWholeTable) {
    exec(QStringLiteral("alter trigger TRG_ORDER_HEADER_AD inactive"));
    conx.Commit();
    const qint64 details = scalar(QStringLiteral("select count(*) from TBL_ORDER_DETAIL"));
    const qint64 ofOrders1And2 =
        scalar(QStringLiteral("select count(*) from TBL_ORDER_DETAIL where ORDER_ID in (1, 2)"));
    ASSERT_GT(ofOrders1And2, 0);

    const std::vector<qint32> ids = {1, 2, 999999};
    cleaner.CleanTable(QStringLiteral("TBL_ORDER_DETAIL"), QStringLiteral("ORDER_ID"), &ids,
                       QString(), true);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TBL_ORDER_DETAIL")),
              details - ofOrders1And2);
    EXPECT_EQ(host.maximum[2], 3);
    EXPECT_EQ(host.position[2], 3);

    const std::vector<qint32> none;
    cleaner.CleanTable(QStringLiteral("TBL_ORDER_DETAIL"), QStringLiteral("ORDER_ID"), &none,
                       QString(), true);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TBL_ORDER_DETAIL")),
              details - ofOrders1And2);

    cleaner.CleanTable(QStringLiteral("TBL_ORDER_DETAIL"), QStringLiteral("ORDER_ID"), nullptr,
                       QStringLiteral("GEN_ORDER_LINE"), true);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TBL_ORDER_DETAIL")), 0);
    // Prior-to mode never restarts a sequence.
    EXPECT_GT(scalar(QStringLiteral("select gen_id(GEN_ORDER_LINE, 0) from rdb$database")), 0);
    EXPECT_EQ(cleaner.report().removed(QStringLiteral("TBL_ORDER_DETAIL")), quint64(details));
}

TEST_F(TableCleanerTest, FailingStatementsAreShownOnlyWhenAskedAndNeverRaise) {
    auto failingDelete = [&] {
        cleaner.RunCommand(QStringLiteral("delete from NO_SUCH_TABLE where K = :V1"),
                           db::DbValue::int32(1), true);
    };
    EXPECT_NO_THROW(failingDelete());
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(host.errors.first().contains(QStringLiteral("NO_SUCH_TABLE")))
        << host.errors.first().toStdString();

    // A failing sequence restart is logged only.
    host.priorTo = false;
    auto badRestart = [&] {
        cleaner.CleanTable(QStringLiteral("TBL_DAILY_SALES"), QStringLiteral("TRANS_DATE"),
                           QStringLiteral("GEN_NO_SUCH_SEQUENCE"), true);
    };
    EXPECT_NO_THROW(badRestart());
    EXPECT_EQ(host.errors.size(), 1);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TBL_DAILY_SALES")), 0);
}

TEST_F(TableCleanerTest, SelectionOfAMissingColumnRaises) {
    auto clean = [&] {
        cleaner.CleanTable(QStringLiteral("TBL_SALES"), QStringLiteral("NO_SUCH_DATE"), QString(),
                           true);
    };
    EXPECT_THROW(clean(), db::DbError);
}

} // namespace
