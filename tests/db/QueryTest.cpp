// The database layer against a real database made in a temporary folder.

#include "db/Query.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(NamedParameters, BecomePositionalMarkersInOrder) {
    struct Case {
        const char* text;
        const char* converted;
        QStringList names;
    };
    const Case cases[] = {
        {"delete from T where K = :V1", "delete from T where K = ?", {"V1"}},
        {"select * from T where (A<:V0) or (B<:V1)",
         "select * from T where (A<?) or (B<?)",
         {"V0", "V1"}},
        {"select ':V0', \":X\" from T where A = :V0",
         "select ':V0', \":X\" from T where A = ?",
         {"V0"}},
        {"select * from T -- :V9\nwhere A = :V0", "select * from T -- :V9\nwhere A = ?", {"V0"}},
        {"select * from T /* :V9 */ where A = :A and B = :A",
         "select * from T /* :V9 */ where A = ? and B = ?",
         {"A", "A"}},
        {"alter sequence GEN_SALES_ID restart with 0",
         "alter sequence GEN_SALES_ID restart with 0",
         {}},
        {"select * from RDB$TRIGGERS where RDB$TRIGGER_NAME like 'T%'",
         "select * from RDB$TRIGGERS where RDB$TRIGGER_NAME like 'T%'",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QStringList names;
        EXPECT_EQ(db::convertNamedParameters(QString::fromLatin1(c.text), &names),
                  QString::fromLatin1(c.converted));
        EXPECT_EQ(names, c.names);
    }
}

class QueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        conx.setParam(QStringLiteral("DriverID"), QStringLiteral("FB"));
        conx.setParam(QStringLiteral("User_Name"), QStringLiteral("SYSDBA"));
        conx.setParam(QStringLiteral("Password"), QStringLiteral("quillpine"));
        conx.setParam(QStringLiteral("database"), dir.file(QStringLiteral("TEST.GDB")));
        conx.CreateDatabase(false);
        exec("create table T (I integer, B bigint, N numeric(15,4), D date, TS timestamp, "
             "V varchar(20), C char(8), F double precision)");
        conx.Commit();
    }
    void exec(const char* sql) {
        q.Close();
        q.SetSQL(QString::fromLatin1(sql));
        q.ExecSQL();
    }

    TempDir dir;
    db::Connection conx;
    db::Query q{conx};
};

TEST_F(QueryTest, ValuesRoundTripInTheirTypes) {
    const QDateTime ts(QDate(2023, 1, 1), QTime(23, 59, 58, 123));
    q.SetSQL(QStringLiteral("insert into T values (:I, :B, :N, :D, :TS, :V, :C, :F)"));
    ASSERT_EQ(q.ParamCount(), 8);
    q.SetParam(0, db::DbValue::int32(-2147483647 - 1));
    q.SetParam(1, db::DbValue::int64(9'000'000'000'123LL));
    q.SetParam(2, db::DbValue::real(1234.5678));
    q.SetParam(3, db::DbValue::date(QDate(1999, 12, 31)));
    q.SetParam(4, db::DbValue::timestamp(ts));
    q.SetParam(5, db::DbValue::text(QStringLiteral("O'Brien €")));
    q.SetParam(6, db::DbValue::text(QStringLiteral("AB")));
    q.SetParam(7, db::DbValue::null());
    EXPECT_EQ(q.ExecSQL(), 1u);

    q.SetSQL(QStringLiteral("select * from T"));
    const db::ResultSet rs = q.Open();
    ASSERT_EQ(rs.rowCount(), 1);
    ASSERT_EQ(rs.columnCount(), 8);
    EXPECT_EQ(rs.columnName(5), QStringLiteral("V"));
    EXPECT_EQ(rs.columnIndex(QStringLiteral("ts")), 4);
    EXPECT_EQ(rs.asInt32(0, 0), -2147483647 - 1);
    EXPECT_EQ(rs.asInt64(0, 1), 9'000'000'000'123LL);
    EXPECT_THROW(rs.asInt32(0, 1), db::DbError); // does not fit 32 bits
    EXPECT_EQ(rs.asString(0, 2), QStringLiteral("1234.5678"));
    EXPECT_EQ(rs.asDateTime(0, 3), QDateTime(QDate(1999, 12, 31), QTime(0, 0)));
    EXPECT_EQ(rs.asDateTime(0, 4), ts);
    EXPECT_EQ(rs.asString(0, 5), QStringLiteral("O'Brien €"));
    EXPECT_EQ(rs.asString(0, 6), QStringLiteral("AB")); // pad blanks dropped
    EXPECT_TRUE(rs.isNull(0, 7));
    EXPECT_FALSE(rs.isNull(0, 5));
}

TEST_F(QueryTest, FetchedValueBindsBackInItsOwnType) {
    // Keys of several types, each found again by binding the fetched value unchanged.
    exec("insert into T (I, B, V, TS) values (1, 5000000000, 'it''s', '2020-02-02 10:00:00')");
    exec("insert into T (I, B, V, TS) values (2, 5000000001, 'plain', '2020-02-02 10:00:01')");
    for (int column : {0, 1, 4, 5}) {
        SCOPED_TRACE(column);
        q.Close();
        q.SetSQL(QStringLiteral("select I, B, N, D, TS, V from T where I = 1"));
        const db::ResultSet rs = q.Open();
        ASSERT_EQ(rs.rowCount(), 1);
        const db::DbValue key = rs.value(0, column);
        EXPECT_EQ(key.kind(), db::DbValue::Kind::Column);
        q.Close();
        q.SetSQL(
            QStringLiteral("select count(*) from T where %1 = :V1").arg(rs.columnName(column)));
        q.SetParam(0, key);
        EXPECT_EQ(q.Open().asInt64(0, 0), 1);
    }
}

TEST_F(QueryTest, OpenCanKeepOnlyTheFirstColumns) {
    exec("insert into T (I, V) values (7, 'seven')");
    q.SetSQL(QStringLiteral("select * from T"));
    const db::ResultSet rs = q.Open(1);
    ASSERT_EQ(rs.columnCount(), 1);
    EXPECT_EQ(rs.asInt32(0, 0), 7);
    EXPECT_EQ(rs.columnIndex(QStringLiteral("V")), -1);
}

TEST_F(QueryTest, ErrorsCarryFirebirdsOwnMessage) {
    q.SetSQL(QStringLiteral("select * from NO_SUCH_TABLE"));
    try {
        q.Open();
        FAIL() << "no error";
    } catch (const db::DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Table unknown"))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("NO_SUCH_TABLE"))) << e.what();
        EXPECT_EQ(e.operation(), QStringLiteral("prepare"));
    }
    db::Connection nowhere;
    nowhere.setParam(QStringLiteral("User_Name"), QStringLiteral("SYSDBA"));
    nowhere.setParam(QStringLiteral("database"), dir.file(QStringLiteral("MISSING.GDB")));
    try {
        nowhere.Open();
        FAIL() << "no error";
    } catch (const db::DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("MISSING.GDB"))) << e.what();
    }
    EXPECT_FALSE(nowhere.Connected());
}

TEST_F(QueryTest, RetainingCommitKeepsWorkCloseDropsWhatWasNotCommitted) {
    exec("insert into T (I) values (1)");
    conx.CommitRetaining();
    exec("insert into T (I) values (2)");
    conx.Close();
    conx.Open();
    q.SetSQL(QStringLiteral("select count(*) from T"));
    EXPECT_EQ(q.Open().asInt64(0, 0), 1);
}

TEST_F(QueryTest, ParametersAreCountedAndUnboundOnesAreNull) {
    exec("insert into T (I, V) values (1, null)");
    q.Close();
    q.SetSQL(QStringLiteral("select count(*) from T where V is not distinct from :V1"));
    EXPECT_EQ(q.ParamCount(), 1);
    EXPECT_EQ(q.Open().asInt64(0, 0), 1);
    EXPECT_THROW(q.SetParam(1, db::DbValue::int32(1)), db::DbError);
}

} // namespace
