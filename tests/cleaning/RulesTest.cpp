// What the category rules remove, checked table by table against the data of a
// generated station database, in both modes.

#include "CleaningTest.h"

#include <map>

using namespace testing_support;

namespace {

struct DatedTable {
    const char* table;
    QStringList dates;
    const char* sequence;
};

// The tables the three categories clean by date, written out independently of the rules.
const std::vector<DatedTable>& datedTables() {
    static const std::vector<DatedTable> tables = {
        {"TBL_SALES", {"TRANS_DATE", "SALES_DATE"}, "GEN_SALES_ID"},
        {"TBL_SALES_EX", {"TRANS_DATE"}, ""},
        {"TBL_SALES_TRX", {"SALES_DATE"}, ""},
        {"TBL_SALES_PAYMENT_SUMMARY", {"TRANS_DATE"}, "GEN_SPSUM_ID"},
        {"TBL_HSALES", {"TRANS_DATE"}, "GEN_HSALES_ID"},
        {"TBL_PROMO_SALES", {"TRANS_DATE"}, "GEN_PSALES_ID"},
        {"TBL_LIVE_SALES", {"TRANS_DATE", "SALES_DATE"}, ""},
        {"TBL_POS_IMPORTS", {"TRANS_DATE", "PROCESS_DATE"}, "GEN_POS_IMPORTS"},
        {"TBL_SERVICES", {"TRANS_DATE"}, "GEN_SERV_ID"},
        {"TBL_VOIDS", {"TRANS_DATE", "SALES_DATE"}, "GEN_VOIDS"},
        {"TBL_PROMO_HITS", {"TRANS_DATE", "SALES_DATE"}, "GEN_PHIT_ID"},
        {"TBL_PROMO_FPHITS", {"TRANS_DATE", "SALES_DATE"}, "GEN_FPHIT_ID"},
        {"TBL_DAILY_SALES", {"TRANS_DATE"}, "GEN_DAILY_SALES"},
        {"TBL_ORDER_HEADER", {"SENT_DATE", "DELIVERED_DATE", "INV_DATE"}, "GEN_ORDER_ID"},
        {"TBL_STOCK_PRICES", {"VALID_FROM"}, "GEN_PRICE_ID"},
        {"TBL_AUDIT_RECORDS", {"EDITED_DATE"}, "GEN_AUDIT_ID"},
    };
    return tables;
}

const char* const orderDetailTables[] = {"TBL_ORDER_BUNKERED", "TBL_ORDER_TANK_DETAIL",
                                         "TBL_CINVOICE_PAYMENTS", "TBL_ORDER_DETAIL"};
const char* const sequencesOfRules[] = {
    "GEN_SALES_ID", "GEN_SPSUM_ID",   "GEN_HSALES_ID", "GEN_PSALES_ID", "GEN_POS_IMPORTS",
    "GEN_SERV_ID",  "GEN_VOIDS",      "GEN_PHIT_ID",   "GEN_FPHIT_ID",  "GEN_DAILY_SALES",
    "GEN_IPAY_ID",  "GEN_ORDER_LINE", "GEN_ORDER_ID",  "GEN_PRICE_ID",  "GEN_AUDIT_ID"};
const char* const untouchedTables[] = {"TBL_STOCK", "TBLX_NOTES", "STATION_INFO", "TBL_DELETE_LOG"};

QString anyBefore(const DatedTable& t) {
    QStringList parts;
    for (const QString& d : t.dates)
        parts << QStringLiteral("(%1 < :C)").arg(d);
    return parts.join(QStringLiteral(" or "));
}
QString anyAt(const DatedTable& t) {
    QStringList parts;
    for (const QString& d : t.dates)
        parts << QStringLiteral("(%1 = :C)").arg(d);
    return parts.join(QStringLiteral(" or "));
}
QString allNull(const DatedTable& t) {
    QStringList parts;
    for (const QString& d : t.dates)
        parts << QStringLiteral("(%1 is null)").arg(d);
    return parts.join(QStringLiteral(" and "));
}

// Rows old in that one date column alone, recent or null in the others.
QString oldOnlyIn(const DatedTable& t, const QString& column) {
    QStringList parts{QStringLiteral("(%1 < :C)").arg(column)};
    for (const QString& d : t.dates) {
        if (d != column)
            parts << QStringLiteral("(%1 >= :C or %1 is null)").arg(d);
    }
    return parts.join(QStringLiteral(" and "));
}

struct TableFigures {
    qint64 total = 0, old = 0, atCutOffOnly = 0, allNull = 0;
    std::vector<qint64> oldOnlyIn; // per date column, for tables with more than one
};

std::vector<db::DbValue> cut(const QDateTime& c, int n) {
    return std::vector<db::DbValue>(size_t(n), db::DbValue::timestamp(c));
}

TableFigures figures(Peek& peek, const DatedTable& t, const QDateTime& c) {
    TableFigures f;
    const QString table = QString::fromLatin1(t.table);
    const int n = int(t.dates.size());
    f.total = peek.count(table);
    f.old = peek.scalar(QStringLiteral("select count(*) from %1 where %2").arg(table, anyBefore(t)),
                        cut(c, n));
    f.atCutOffOnly = peek.scalar(QStringLiteral("select count(*) from %1 where (%2) and not (%3)")
                                     .arg(table, anyAt(t), anyBefore(t)),
                                 cut(c, 2 * n));
    f.allNull =
        peek.scalar(QStringLiteral("select count(*) from %1 where %2").arg(table, allNull(t)));
    for (const QString& column : t.dates) {
        if (n > 1)
            f.oldOnlyIn.push_back(peek.scalar(
                QStringLiteral("select count(*) from %1 where %2").arg(table, oldOnlyIn(t, column)),
                cut(c, n)));
    }
    return f;
}

qint64 sequenceValue(Peek& peek, const char* name) {
    return peek.scalar(
        QStringLiteral("select gen_id(%1, 0) from rdb$database").arg(QLatin1String(name)));
}

using RulesTest = CleaningTest;

TEST_F(RulesTest, PriorToModeRemovesExactlyTheOldRowsOfEveryTable) {
    RecordingHost host;
    host.tick(2); // Live Stock: Sales, Purchases and Pricing
    const QDateTime c = host.cutOff;

    std::map<QString, TableFigures> before;
    std::map<QString, qint64> detailsBefore, detailsOfOldOrders, untouchedBefore, sequencesBefore;
    {
        Peek peek(station);
        for (const auto& t : datedTables())
            before[QString::fromLatin1(t.table)] = figures(peek, t, c);
        const DatedTable& header = datedTables()[13];
        for (const char* table : orderDetailTables) {
            const QString name = QString::fromLatin1(table);
            detailsBefore[name] = peek.count(name);
            detailsOfOldOrders[name] = peek.scalar(
                QStringLiteral("select count(*) from %1 where ORDER_ID in (select ORDER_ID from "
                               "TBL_ORDER_HEADER where %2)")
                    .arg(name, anyBefore(header)),
                cut(c, 3));
            ASSERT_GT(detailsOfOldOrders[name], 0) << table;
            ASSERT_LT(detailsOfOldOrders[name], detailsBefore[name]) << table;
        }
        for (const char* table : untouchedTables)
            untouchedBefore[QString::fromLatin1(table)] = peek.count(QString::fromLatin1(table));
        for (const char* s : sequencesOfRules)
            sequencesBefore[QString::fromLatin1(s)] = sequenceValue(peek, s);
        ASSERT_GT(peek.count(QStringLiteral("TBL_SALES_SPO")), 0);
        ASSERT_GT(peek.count(QStringLiteral("TBL_ORDER_VAT_BREAKDOWN")), 0);
    }

    ASSERT_EQ(run(host), RunOutcome::Done);
    EXPECT_TRUE(host.errors.isEmpty()) << host.errors.join(u'\n').toStdString();
    EXPECT_TRUE(host.messages.isEmpty()) << host.messages.join(u'\n').toStdString();

    Peek peek(station);
    for (const auto& t : datedTables()) {
        SCOPED_TRACE(t.table);
        const QString table = QString::fromLatin1(t.table);
        const TableFigures& b = before[table];
        // The fixture must hold each kind of row, or the checks below prove nothing.
        ASSERT_GT(b.old, 0);
        ASSERT_LT(b.old, b.total);
        const TableFigures a = figures(peek, t, c);
        EXPECT_EQ(a.old, 0);
        EXPECT_EQ(a.total, b.total - b.old);
        EXPECT_EQ(a.atCutOffOnly, b.atCutOffOnly); // strictly before: rows at the cut-off stay
        EXPECT_EQ(a.allNull, b.allNull);           // rows without dates are never selected
        EXPECT_EQ(report.removed(table), quint64(b.old));
        // Each date column alone removes its old rows: none is left out of the condition.
        for (size_t i = 0; i < b.oldOnlyIn.size(); ++i) {
            SCOPED_TRACE(t.dates[qsizetype(i)].toStdString());
            ASSERT_GT(b.oldOnlyIn[i], 0);
            EXPECT_EQ(a.oldOnlyIn[i], 0);
        }
    }
    EXPECT_GT(before["TBL_SALES"].atCutOffOnly + before["TBL_HSALES"].atCutOffOnly, 0);
    EXPECT_GT(before["TBL_SALES"].allNull, 0);

    EXPECT_EQ(peek.count(QStringLiteral("TBL_SALES_SPO")), 0);
    EXPECT_EQ(peek.count(QStringLiteral("TBL_ORDER_VAT_BREAKDOWN")), 0);
    for (const char* table : orderDetailTables) {
        SCOPED_TRACE(table);
        const QString name = QString::fromLatin1(table);
        EXPECT_EQ(peek.count(name), detailsBefore[name] - detailsOfOldOrders[name]);
        EXPECT_EQ(report.removed(name), quint64(detailsOfOldOrders[name]));
    }
    for (const auto& [table, rows] : untouchedBefore)
        EXPECT_EQ(peek.count(table), rows) << table.toStdString();
    // No sequence is restarted in prior-to mode.
    for (const auto& [name, value] : sequencesBefore)
        EXPECT_EQ(sequenceValue(peek, name.toLatin1().constData()), value) << name.toStdString();
}

TEST_F(RulesTest, RemoveAllModeEmptiesEveryTableAndRestartsItsSequences) {
    RecordingHost host;
    host.priorTo = false;
    host.tick(2);
    std::map<QString, qint64> untouchedBefore;
    {
        Peek peek(station);
        for (const char* table : untouchedTables)
            untouchedBefore[QString::fromLatin1(table)] = peek.count(QString::fromLatin1(table));
        for (const char* s : sequencesOfRules)
            ASSERT_GT(sequenceValue(peek, s), 0) << s;
    }
    ASSERT_EQ(run(host), RunOutcome::Done);
    EXPECT_TRUE(host.errors.isEmpty()) << host.errors.join(u'\n').toStdString();

    Peek peek(station);
    QStringList all;
    for (const auto& t : datedTables())
        all << QString::fromLatin1(t.table);
    for (const char* table : orderDetailTables)
        all << QString::fromLatin1(table);
    all << QStringLiteral("TBL_SALES_SPO") << QStringLiteral("TBL_ORDER_VAT_BREAKDOWN");
    for (const QString& table : all)
        EXPECT_EQ(peek.count(table), 0) << table.toStdString();
    for (const char* s : sequencesOfRules)
        EXPECT_EQ(sequenceValue(peek, s), 0) << s;
    for (const auto& [table, rows] : untouchedBefore)
        EXPECT_EQ(peek.count(table), rows) << table.toStdString();
}

TEST_F(RulesTest, EachRuleRemovesOnlyItsOwnCategory) {
    struct Case {
        int category;
        const char* cleaned;   // a table of the category
        const char* untouched; // a table of another category
    };
    const Case cases[] = {
        {3, "TBL_SALES", "TBL_ORDER_HEADER"},
        {4, "TBL_ORDER_HEADER", "TBL_STOCK_PRICES"},
        {9, "TBL_STOCK_PRICES", "TBL_SALES"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.category);
        ASSERT_TRUE(QFile::remove(station));
        ASSERT_TRUE(QFile::copy(templateDatabase(), station));
        RecordingHost host;
        host.priorTo = false;
        host.tick(c.category);
        qint64 untouched = 0;
        {
            Peek peek(station);
            untouched = peek.count(QString::fromLatin1(c.untouched));
        }
        ASSERT_EQ(run(host), RunOutcome::Done);
        Peek peek(station);
        EXPECT_EQ(peek.count(QString::fromLatin1(c.cleaned)), 0);
        EXPECT_EQ(peek.count(QString::fromLatin1(c.untouched)), untouched);
    }
}

TEST_F(RulesTest, PriorToWithCutOffBeforeAllDataOnlyEmptiesTheUndatedTables) {
    RecordingHost host;
    host.tick(2);
    host.cutOff = QDateTime(QDate(2000, 1, 1), QTime(0, 0));
    qint64 sales = 0, details = 0;
    {
        Peek peek(station);
        sales = peek.count(QStringLiteral("TBL_SALES"));
        details = peek.count(QStringLiteral("TBL_ORDER_DETAIL"));
    }
    ASSERT_EQ(run(host), RunOutcome::Done);
    Peek peek(station);
    EXPECT_EQ(peek.count(QStringLiteral("TBL_SALES")), sales);
    EXPECT_EQ(peek.count(QStringLiteral("TBL_ORDER_DETAIL")), details);
    EXPECT_EQ(peek.count(QStringLiteral("TBL_SALES_SPO")), 0);
    EXPECT_EQ(peek.count(QStringLiteral("TBL_ORDER_VAT_BREAKDOWN")), 0);
    // No old orders: the id-list tables set the phase channel to 0 of 0.
    int emptyLists = 0;
    for (const auto& e : host.progress)
        emptyLists += (e.kind == 'I' && e.id == 2 && e.value == 0) ? 1 : 0;
    EXPECT_GE(emptyLists, 4);
}

} // namespace
