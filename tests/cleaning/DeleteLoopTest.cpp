// The select form and the id-list form delete inside the engine. They must leave exactly
// the rows that deleting one statement per row leaves (the per-row way is run here as the
// reference, on an identical copy), report the same figures and the same failures.

#include "cleaning/CategoryRules.h"
#include "cleaning/DeleteBlock.h"
#include "cleaning/TableCleaner.h"
#include "cleaning/TriggerSwitch.h"
#include "env/Log.h"
#include "support/StationFixture.h"

#include <algorithm>
#include <map>
#include <optional>

using namespace testing_support;

namespace {

// Tables whose first column is not a unique key, or has an unusual type, next to the
// generator's own. Every one has old and new rows.
const char* const oddTables[] = {
    // Not unique, no index: rows sharing a value go together, old or not.
    "create table TBL_DUPKEY (K integer not null, D timestamp, N integer)",
    // Unique but nullable: still deleted by value, a null key matches nothing.
    "create table TBL_NULLKEY (K varchar(12) unique, D timestamp, N integer)",
    // A DATE key.
    "create table TBL_DATEKEY (K date not null primary key, D timestamp)",
    // Keeps one old sale from going: a foreign key refuses its delete.
    "create table TBL_SALES_REF (REF_ID integer not null primary key, SALES_ID bigint references "
    "TBL_SALES (SALES_ID))",
};
const char* const oddRows[] = {
    "insert into TBL_DUPKEY values (1, '2020-01-01', 1)",
    "insert into TBL_DUPKEY values (1, '2030-01-01', 2)",
    "insert into TBL_DUPKEY values (2, '2020-01-01', 3)",
    "insert into TBL_DUPKEY values (2, '2021-01-01', 4)",
    "insert into TBL_DUPKEY values (3, '2030-01-01', 5)",
    "insert into TBL_DUPKEY values (4, null, 6)",
    "insert into TBL_NULLKEY values (null, '2020-01-01', 1)",
    "insert into TBL_NULLKEY values (null, '2030-01-01', 2)",
    "insert into TBL_NULLKEY values ('it''s', '2020-01-01', 3)",
    "insert into TBL_NULLKEY values ('new', '2030-01-01', 4)",
    "insert into TBL_DATEKEY values ('2019-03-04', '2020-01-01')",
    "insert into TBL_DATEKEY values ('2019-03-05', '2030-01-01')",
    "insert into TBL_DATEKEY values ('2019-03-06', '2022-12-31 23:59:59')",
    // Keeps one old sale from going (one statement on two lines).
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
    "insert into TBL_SALES_REF select 1, min(SALES_ID) from TBL_SALES where TRANS_DATE < "
    "'2023-01-01'",
};

const SelectRule oddRules[] = {
    {"TBL_DUPKEY", "D", ""},
    {"TBL_NULLKEY", "D", ""},
    {"TBL_DATEKEY", "D", ""},
};

// The odd tables, and the run's triggers off as the run switches them.
void prepare(const QString& path) {
    Peek peek(path);
    for (const char* sql : oddTables)
        peek.execute(QString::fromLatin1(sql));
    peek.commit();
    for (const char* sql : oddRows)
        peek.execute(QString::fromLatin1(sql));
    TriggerSwitch triggers(peek.query());
    for (const ListedTrigger& t : triggers.listTriggers())
        triggers.SetTriggerStatus(t.name, false);
    peek.commit();
}

// Every row of every user table as text, sorted. The price log's own number and time
// depend on when its trigger ran, so only the logged price is compared there.
std::map<QString, std::vector<std::string>> contents(const QString& path) {
    std::map<QString, std::vector<std::string>> all;
    db::Connection conx;
    setStationParams(conx, path);
    conx.Open();
    db::Query q(conx);
    q.SetSQL(QStringLiteral("select trim(rdb$relation_name) from rdb$relations where "
                            "coalesce(rdb$system_flag, 0) = 0 and rdb$view_blr is null"));
    const db::ResultSet tables = q.Open();
    for (qsizetype t = 0; t < tables.rowCount(); ++t) {
        const QString table = tables.asString(t, 0);
        q.Close();
        q.SetSQL(table == QLatin1String("TBL_PRICE_LOG")
                     ? QStringLiteral("select PRICE_ID from TBL_PRICE_LOG")
                     : QStringLiteral("select * from ") + table);
        const db::ResultSet rows = q.Open();
        std::vector<std::string> lines;
        for (qsizetype r = 0; r < rows.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < rows.columnCount(); ++c)
                cells << (rows.isNull(r, c) ? QStringLiteral("<null>") : rows.asString(r, c));
            lines.push_back(cells.join(u'|').toStdString());
        }
        std::sort(lines.begin(), lines.end());
        all[table] = std::move(lines);
    }
    return all;
}

struct Outcome {
    std::map<QString, quint64> removed;
    QStringList errors;
    // Channel 2's runs that ended short of their maximum, as "steps/maximum".
    QStringList shortRuns;
};

// Every run of channel 2 (from one initialisation to the next) steps up to its maximum.
QStringList shortRuns(const RecordingHost& host) {
    QStringList runs;
    qint64 maximum = -1, steps = 0;
    const auto close = [&] {
        if (maximum >= 0 && steps != maximum)
            runs << QStringLiteral("%1/%2").arg(steps).arg(maximum);
    };
    for (const auto& e : host.progress) {
        if (e.id != 2)
            continue;
        if (e.kind == 'I') {
            close();
            maximum = e.value;
            steps = 0;
        } else {
            ++steps;
        }
    }
    close();
    return runs;
}

// One delete, its failure shown as RunCommand shows it; the rows it removed.
quint64 deleteOne(db::Query& q2, const QString& sql, const db::DbValue& key, RecordingHost& host) {
    q2.Close();
    q2.SetSQL(sql);
    q2.SetParam(0, key);
    quint64 n = 0;
    try {
        n = q2.ExecSQL();
    } catch (const db::DbError& e) {
        host.DlgError(e.message());
    }
    q2.Close();
    return n;
}

// The cleaner on an attachment of its own to a database, with a host that records.
struct CleanerOn {
    explicit CleanerOn(const QString& path) : q1(opened(conx, path)), q2(conx) {}
    static db::Connection& opened(db::Connection& conx, const QString& path) {
        setStationParams(conx, path);
        conx.Open();
        return conx;
    }
    db::Connection conx;
    db::Query q1, q2;
    RecordingHost host;
    TableCleaner cleaner{conx, q1, q2, host};
};

class DeleteLoopTest : public StationTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        StationTest::SetUp();
        reference = folder() + QStringLiteral("/REFERENCE.GDB");
        ASSERT_TRUE(QFile::copy(station, reference));
        prepare(station);
        prepare(reference);
    }

    // The rules through the cleaner as it is.
    Outcome inEngine(const QString& path) {
        CleanerOn on(path);
        on.host.priorTo = GetParam();
        db::Connection& conx = on.conx;
        RecordingHost& host = on.host;
        TableCleaner& cleaner = on.cleaner;
        CategoryRules rules(cleaner, on.q1);
        rules.DoSales();
        rules.DoOrders();
        rules.DoPricing();
        for (const SelectRule& r : oddRules)
            cleaner.CleanTable(QString::fromLatin1(r.table), QString::fromLatin1(r.dates),
                               QString::fromLatin1(r.generator), true);
        conx.Commit();
        Outcome outcome;
        for (const auto& [table, rows] : cleaner.report().rows())
            outcome.removed[table] = rows;
        outcome.errors = host.errors;
        outcome.shortRuns = shortRuns(host);
        return outcome;
    }

    // The same rules with one statement per selected row and per id.
    Outcome perRow(const QString& path) {
        CleanerOn on(path);
        on.host.priorTo = GetParam();
        db::Connection& conx = on.conx;
        db::Query &q1 = on.q1, &q2 = on.q2;
        RecordingHost& host = on.host;
        TableCleaner& cleaner = on.cleaner;
        CategoryRules rules(cleaner, q1);
        Outcome outcome;
        auto selectForm = [&](const SelectRule& r) {
            const QString table = QString::fromLatin1(r.table);
            q1.Close();
            q1.SetSQL(cleaner.GenerateSQLQuery(table, QString::fromLatin1(r.dates)));
            cleaner.bindCutOff();
            const db::ResultSet rows = q1.Open(1);
            q1.Close();
            const QString sql = QStringLiteral("delete from ") + table + QStringLiteral(" where ") +
                                rows.columnName(0) + QStringLiteral(" = :V1");
            outcome.removed[table] = 0;
            for (qsizetype i = 0; i < rows.rowCount(); ++i)
                outcome.removed[table] += deleteOne(q2, sql, rows.value(i, 0), host);
            if (!GetParam() && *r.generator)
                cleaner.RunCommand(QStringLiteral("alter sequence ") +
                                       QString::fromLatin1(r.generator) +
                                       QStringLiteral(" restart with 0"),
                                   db::DbValue::null(), false);
            conx.CommitRetaining();
        };
        for (const SelectRule& r : salesRules())
            selectForm(r);
        std::optional<std::vector<qint32>> ids;
        if (GetParam())
            ids = rules.collectOrderIds();
        for (const IdListRule& r : orderDetailRules()) {
            // Without a source the id-list form sends one statement per id.
            const QString table = QString::fromLatin1(r.table);
            cleaner.CleanTable(table, QString::fromLatin1(r.keyField),
                               r.takesIdList && ids ? &*ids : nullptr,
                               QString::fromLatin1(r.generator), true);
            outcome.removed[table] = cleaner.report().removed(table);
        }
        selectForm(orderHeaderRule());
        for (const SelectRule& r : pricingRules())
            selectForm(r);
        for (const SelectRule& r : oddRules)
            selectForm(r);
        conx.Commit();
        outcome.errors = host.errors;
        return outcome;
    }

    QString reference;
};

TEST_P(DeleteLoopTest, LeavesTheRowsFiguresAndFailuresOfOneStatementPerRow) {
    const Outcome expected = perRow(reference);
    const Outcome actual = inEngine(station);
    EXPECT_EQ(actual.removed, expected.removed);
    // The sale the foreign key holds fails in both, once.
    ASSERT_EQ(expected.errors.size(), 1);
    EXPECT_EQ(actual.errors, expected.errors);
    // Also where rows sharing a key went before their turn in the walk.
    EXPECT_TRUE(actual.shortRuns.isEmpty()) << actual.shortRuns.join(u' ').toStdString();
    const auto left = contents(station), leftByRow = contents(reference);
    ASSERT_EQ(left.size(), leftByRow.size());
    for (const auto& [table, rows] : leftByRow) {
        SCOPED_TRACE(table.toStdString());
        EXPECT_EQ(left.at(table), rows);
    }
    // The odd tables lost rows, or the comparison proves little.
    for (const SelectRule& r : oddRules)
        EXPECT_GT(expected.removed.at(QString::fromLatin1(r.table)), 0u) << r.table;
}

INSTANTIATE_TEST_SUITE_P(BothModes, DeleteLoopTest, ::testing::Values(true, false),
                         [](const auto& info) {
                             return std::string(info.param ? "PriorTo" : "RemoveAll");
                         });

} // namespace

namespace {

using DeleteLoopSteps = StationTest;

TEST_F(DeleteLoopSteps, FailingRowInTheMiddleIsLoggedAndShownOnceAndProgressReachesItsMaximum) {
    constexpr int rows = 10000, old = 9000, held = 4500;
    ASSERT_GT(old, 2 * DeleteBlock::progressStep);
    {
        Peek peek(station);
        peek.execute(QStringLiteral("create table TBL_MANY (K bigint not null primary key, "
                                    "D timestamp)"));
        peek.execute(QStringLiteral("create table TBL_MANY_REF (R integer, K bigint references "
                                    "TBL_MANY (K))"));
        peek.commit();
        db::Query& insert = peek.query();
        insert.Close();
        insert.SetSQL(QStringLiteral("insert into TBL_MANY values (:V0, :V1)"));
        for (int i = 0; i < rows; ++i) {
            insert.SetParam(0, db::DbValue::int64(i + 5000000000));
            insert.SetParam(1, db::DbValue::timestamp(
                                   QDateTime(QDate(i < old ? 2020 : 2030, 1, 1), QTime(0, 0))));
            insert.ExecSQL();
        }
        insert.Close();
        peek.execute(
            QStringLiteral("insert into TBL_MANY_REF values (1, %1)").arg(held + 5000000000));
        peek.commit();
    }
    setLogsFolderOverride(folder() + QStringLiteral("/logs"));
    CLog log;
    CleanerOn on(station);
    on.cleaner.CleanTable(QStringLiteral("TBL_MANY"), QStringLiteral("D"), QString(), true);
    on.conx.Commit();
    const RecordingHost& host = on.host;
    const TableCleaner& cleaner = on.cleaner;
    const QString logged = QString::fromUtf8(fileBytes(log.GetFileName()));
    setLogsFolderOverride(QString());

    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(host.errors.first().contains(QStringLiteral("FOREIGN KEY"), Qt::CaseInsensitive));
    EXPECT_EQ(logged.count(QStringLiteral("delete from TBL_MANY where K = :V1: \r\n")), 1)
        << logged.toStdString();
    EXPECT_EQ(cleaner.report().removed(QStringLiteral("TBL_MANY")), quint64(old - 1));
    qint64 initialised = 0, steps = 0;
    for (const auto& e : host.progress) {
        initialised += (e.kind == 'I' && e.id == 2) ? 1 : 0;
        steps += (e.kind == 'S' && e.id == 2) ? 1 : 0;
    }
    EXPECT_EQ(initialised, 1);
    EXPECT_EQ(steps, old);
    EXPECT_EQ(host.maximum[2], old);
    EXPECT_EQ(host.position[2], old);

    Peek peek(station);
    EXPECT_EQ(peek.count(QStringLiteral("TBL_MANY")), rows - old + 1);
    EXPECT_EQ(
        peek.scalar(
            QStringLiteral("select count(*) from TBL_MANY where K = %1").arg(held + 5000000000)),
        1);
}

TEST_F(DeleteLoopSteps, WalkCountsRowsAndProgressAroundTheProgressStep) {
    // The walk without a savepoint per row counts in steps: the figures must hold for a walk
    // that ends on a step, just before it and just after it.
    constexpr qint64 step = DeleteBlock::progressStep;
    const qint64 sizes[] = {1, step - 1, step, step + 1, 2 * step};
    {
        Peek peek(station);
        for (const qint64 n : sizes)
            peek.execute(QStringLiteral("create table TBL_WALK_%1 (K bigint not null primary key, "
                                        "D timestamp)")
                             .arg(n));
        peek.commit();
        // n old rows and three new ones in each table.
        // A block's own variables carry ":", so its text goes to the engine as it stands.
        db::Query& fill = peek.query();
        for (const qint64 n : sizes) {
            fill.Close();
            fill.SetRawSQL(QStringLiteral("execute block as declare i integer = 0; begin "
                                          "while (i < %1 + 3) do begin insert into TBL_WALK_%1 "
                                          "values (:i, iif(:i < %1, '2020-01-01', '2030-01-01')); "
                                          "i = i + 1; end end")
                               .arg(n),
                           0);
            fill.ExecSQL();
        }
        fill.Close();
        peek.commit();
    }
    CleanerOn on(station);
    RecordingHost& host = on.host;
    TableCleaner& cleaner = on.cleaner;
    for (const qint64 n : sizes) {
        SCOPED_TRACE(n);
        const QString table = QStringLiteral("TBL_WALK_%1").arg(n);
        host.progress.clear();
        cleaner.CleanTable(table, QStringLiteral("D"), QString(), true);
        EXPECT_EQ(cleaner.report().removed(table), quint64(n));
        EXPECT_EQ(host.maximum[2], n);
        EXPECT_EQ(host.position[2], n);
        EXPECT_TRUE(shortRuns(host).isEmpty()) << shortRuns(host).join(u' ').toStdString();
    }
    on.conx.Commit();
    EXPECT_TRUE(host.errors.isEmpty()) << host.errors.join(u'|').toStdString();
    Peek peek(station);
    for (const qint64 n : sizes)
        EXPECT_EQ(peek.count(QStringLiteral("TBL_WALK_%1").arg(n)), 3) << n;
}

} // namespace
