#include "tools/StationDb.h"

#include "db/Connection.h"
#include "db/Query.h"

#include <QStringList>
#include <functional>
#include <optional>
#include <random>
#include <vector>

using db::DbValue;

namespace {

// The schema: tables the cleaning rules name (with their key first), sequences, and a few
// tables the rules never touch. Column types vary on purpose: BIGINT, INTEGER and VARCHAR
// keys; DATE as well as TIMESTAMP date columns.
const char* const schema[] = {
    "create exception E_PROTECTED_ROW 'Rows of this table are protected against deletion'",

    "create table TBL_SALES_SPO (SPO_REF varchar(20) not null primary key, SALES_ID bigint, "
    "AMOUNT numeric(15,4))",
    "create table TBL_SALES (SALES_ID bigint not null primary key, TRANS_DATE timestamp, "
    "SALES_DATE timestamp, TILL_NO smallint, STOCK_CODE varchar(20), QTY numeric(15,3), "
    "AMOUNT numeric(15,4), VAT_RATE numeric(5,2))",
    "create index IX_SALES_TRANS_DATE on TBL_SALES (TRANS_DATE)",
    "create table TBL_SALES_EX (SALES_EX_ID integer not null primary key, TRANS_DATE timestamp, "
    "NOTE varchar(40))",
    "create table TBL_SALES_TRX (TRX_ID integer not null primary key, SALES_DATE timestamp, "
    "TILL_NO smallint, AMOUNT numeric(15,4))",
    "create table TBL_SALES_PAYMENT_SUMMARY (SPSUM_ID integer not null primary key, "
    "TRANS_DATE date, TENDER varchar(12), AMOUNT numeric(15,4))",
    "create table TBL_HSALES (HSALES_ID integer not null primary key, TRANS_DATE timestamp, "
    "STOCK_CODE varchar(20), QTY numeric(15,3))",
    "create table TBL_PROMO_SALES (PSALES_ID integer not null primary key, TRANS_DATE timestamp, "
    "PROMO_CODE varchar(12), DISCOUNT numeric(15,4))",
    "create table TBL_LIVE_SALES (LIVE_ID integer not null primary key, TRANS_DATE timestamp, "
    "SALES_DATE timestamp, PUMP_REF varchar(12), AMOUNT numeric(15,4))",
    "create table TBL_POS_IMPORTS (IMPORT_ID integer not null primary key, TRANS_DATE timestamp, "
    "PROCESS_DATE timestamp, FILE_NAME varchar(60))",
    "create table TBL_SERVICES (SERV_ID integer not null primary key, TRANS_DATE timestamp, "
    "SERVICE_CODE varchar(12), AMOUNT numeric(15,4))",
    "create table TBL_VOIDS (VOID_ID integer not null primary key, TRANS_DATE timestamp, "
    "SALES_DATE timestamp, REASON varchar(40))",
    "create table TBL_PROMO_HITS (PHIT_ID integer not null primary key, TRANS_DATE timestamp, "
    "SALES_DATE timestamp, PROMO_CODE varchar(12))",
    "create table TBL_PROMO_FPHITS (FPHIT_ID integer not null primary key, TRANS_DATE timestamp, "
    "SALES_DATE timestamp, PROMO_CODE varchar(12))",
    "create table TBL_DAILY_SALES (DAILY_ID integer not null primary key, TRANS_DATE date, "
    "TOTAL numeric(15,4))",

    "create table TBL_ORDER_HEADER (ORDER_ID integer not null primary key, SUPPLIER_CODE "
    "varchar(10), SENT_DATE timestamp, DELIVERED_DATE timestamp, INV_DATE date, TOTAL "
    "numeric(15,4))",
    "create table TBL_ORDER_DETAIL (LINE_ID integer not null primary key, ORDER_ID integer, "
    "STOCK_CODE varchar(20), QTY numeric(15,3), COST numeric(15,4))",
    "create index IX_ORDER_DETAIL_ORDER on TBL_ORDER_DETAIL (ORDER_ID)",
    "create table TBL_ORDER_BUNKERED (BUNKER_ID integer not null primary key, ORDER_ID integer, "
    "LITRES numeric(15,3))",
    "create index IX_ORDER_BUNKERED_ORDER on TBL_ORDER_BUNKERED (ORDER_ID)",
    "create table TBL_ORDER_TANK_DETAIL (TANK_DETAIL_ID integer not null primary key, ORDER_ID "
    "integer, TANK_NO smallint, LITRES numeric(15,3))",
    "create index IX_ORDER_TANK_ORDER on TBL_ORDER_TANK_DETAIL (ORDER_ID)",
    "create table TBL_ORDER_VAT_BREAKDOWN (VAT_ID integer not null primary key, ORDER_ID integer, "
    "VAT_RATE numeric(5,2), AMOUNT numeric(15,4))",
    "create table TBL_CINVOICE_PAYMENTS (IPAY_ID integer not null primary key, ORDER_ID integer, "
    "PAID_DATE timestamp, AMOUNT numeric(15,4))",
    "create index IX_CINVOICE_PAYMENTS_ORDER on TBL_CINVOICE_PAYMENTS (ORDER_ID)",

    "create table TBL_STOCK_PRICES (PRICE_ID integer not null primary key, STOCK_CODE "
    "varchar(20), VALID_FROM date, PRICE numeric(15,4))",
    "create table TBL_AUDIT_RECORDS (AUDIT_ID bigint not null primary key, EDITED_DATE "
    "timestamp, USER_NAME varchar(31), DETAIL varchar(200))",

    // Tables no rule touches.
    "create table TBL_STOCK (STOCK_CODE varchar(20) not null primary key, DESCRIPTION "
    "varchar(60), PRICE numeric(15,4))",
    "create table TBLX_NOTES (NOTE_ID integer not null primary key, NOTE_TEXT varchar(200), "
    "EDITED_AT timestamp)",
    "create table TBL_PRICE_LOG (LOG_ID integer not null primary key, PRICE_ID integer, "
    "LOGGED_AT timestamp)",
    "create table TBL_DELETE_LOG (LOG_ID integer not null primary key, TABLE_NAME varchar(31), "
    "KEY_VALUE integer)",
    "create table STATION_INFO (STATION_ID integer not null primary key, STATION_NAME "
    "varchar(60), EDITED_AT timestamp)",

    "create sequence GEN_SALES_ID",
    "create sequence GEN_SPSUM_ID",
    "create sequence GEN_HSALES_ID",
    "create sequence GEN_PSALES_ID",
    "create sequence GEN_POS_IMPORTS",
    "create sequence GEN_SERV_ID",
    "create sequence GEN_VOIDS",
    "create sequence GEN_PHIT_ID",
    "create sequence GEN_FPHIT_ID",
    "create sequence GEN_DAILY_SALES",
    "create sequence GEN_IPAY_ID",
    "create sequence GEN_ORDER_LINE",
    "create sequence GEN_ORDER_ID",
    "create sequence GEN_PRICE_ID",
    "create sequence GEN_AUDIT_ID",
    "create sequence GEN_PRICE_LOG_ID",
    "create sequence GEN_DELETE_LOG_ID",
};

// Triggers, made after the data is in so the loading does not fire them.
const char* const triggers[] = {
    // Guards that refuse deletes: a run that does not switch them off fails loudly.
    "create trigger TRG_SALES_BD for TBL_SALES active before delete position 0 as "
    "begin exception E_PROTECTED_ROW; end",
    // A name with lower-case letters and blanks, only usable quoted.
    "create trigger \"Tsales ex guard\" for TBL_SALES_EX active before delete position 0 as "
    "begin exception E_PROTECTED_ROW; end",
    // Bookkeeping that must not happen while the run deletes.
    "create trigger TRG_ORDER_HEADER_AD for TBL_ORDER_HEADER active after delete position 0 as "
    "begin insert into TBL_DELETE_LOG (LOG_ID, TABLE_NAME, KEY_VALUE) values "
    "(gen_id(GEN_DELETE_LOG_ID, 1), 'TBL_ORDER_HEADER', old.ORDER_ID); end",
    "create trigger TRG_SALES_BI for TBL_SALES active before insert position 0 as "
    "begin if (new.SALES_ID is null) then new.SALES_ID = gen_id(GEN_SALES_ID, 1); end",
    "create trigger TRG_STOCK_PRICES_BI for TBL_STOCK_PRICES active before insert position 0 as "
    "begin if (new.PRICE_ID is null) then new.PRICE_ID = gen_id(GEN_PRICE_ID, 1); end",
    // On a TBLX table: the listing's "TBL_%" takes it too.
    "create trigger TX_NOTES_BU for TBLX_NOTES active before update position 0 as "
    "begin new.EDITED_AT = current_timestamp; end",
    // Not starting with T: stays active through a run, so every deleted price is logged.
    "create trigger LOG_PRICE_DELETE for TBL_STOCK_PRICES active after delete position 0 as "
    "begin insert into TBL_PRICE_LOG (LOG_ID, PRICE_ID, LOGGED_AT) values "
    "(gen_id(GEN_PRICE_LOG_ID, 1), old.PRICE_ID, current_timestamp); end",
    // A name holding a double quote: switched only when the quote is doubled.
    "create trigger \"TPOS \"\"import\"\" guard\" for TBL_POS_IMPORTS active before delete "
    "position 0 as begin exception E_PROTECTED_ROW; end",
    // Starts with T but belongs to a table outside "TBL_%".
    "create trigger TRG_STATION_INFO_BU for STATION_INFO active before update position 0 as "
    "begin new.EDITED_AT = current_timestamp; end",
};

class SampleRandom {
public:
    explicit SampleRandom(std::uint64_t seed) : fEngine(seed) {}

    std::uint64_t next() { return fEngine(); }
    std::int64_t between(std::int64_t lo, std::int64_t hi) { // inclusive
        return lo + std::int64_t(next() % std::uint64_t(hi - lo + 1));
    }
    bool chance(int percent) { return between(0, 99) < percent; }

    // A row date: mostly spread over the sample years, some null, some at midnight, some
    // exactly on 1 January at midnight.
    QDateTime dateTime() {
        const int roll = int(between(0, 999));
        if (roll < 40)
            return QDateTime();
        const QDate first = firstSampleDate();
        const qint64 days = first.daysTo(lastSampleDate());
        if (roll < 60) {
            const int year = int(between(first.year() + 1, lastSampleDate().year()));
            return QDateTime(QDate(year, 1, 1), QTime(0, 0));
        }
        const QDate d = first.addDays(between(0, days - 1));
        if (roll < 160)
            return QDateTime(d, QTime(0, 0));
        return QDateTime(d, QTime::fromMSecsSinceStartOfDay(int(between(0, 86399)) * 1000));
    }
    // A second date near the first, so that both lie on the same side of most cut-offs.
    QDateTime near(const QDateTime& first) {
        if (!first.isValid() || chance(3))
            return chance(50) ? QDateTime() : dateTime();
        return first.addSecs(between(0, 3600));
    }
    double money(int maxUnits) {
        return double(between(0, std::int64_t(maxUnits) * 10000)) / 10000.0;
    }
    QString code(const char* prefix, int range) {
        return QString::fromLatin1(prefix) +
               QString::number(between(1, range)).rightJustified(5, u'0');
    }

private:
    std::mt19937_64 fEngine;
};

// The dates of one of the first rows of a table with several date columns: row r is old
// in column r % n alone and recent (first round) or null (second round) in the others, so
// a rule that leaves out any one column keeps a row it had to remove.
std::optional<std::vector<QDateTime>> oneOldColumn(std::int64_t row, int columns) {
    if (row >= std::int64_t(2) * columns)
        return std::nullopt;
    const QDateTime recent(lastSampleDate().addDays(-20 - row), QTime(10, 0));
    std::vector<QDateTime> dates(size_t(columns), row < columns ? recent : QDateTime());
    dates[size_t(row % columns)] = QDateTime(firstSampleDate().addDays(40 + row), QTime(10, 0));
    return dates;
}

DbValue ts(const QDateTime& v) {
    return DbValue::timestamp(v);
}
DbValue date(const QDateTime& v) {
    return v.isValid() ? DbValue::date(v.date()) : DbValue::null();
}

// Inserts `count` rows into a table through one prepared statement.
void fill(db::Connection& conx, const QString& table, const QStringList& columns,
          std::int64_t count, const std::function<std::vector<DbValue>(std::int64_t)>& row) {
    QStringList markers;
    for (int i = 0; i < columns.size(); ++i)
        markers << QStringLiteral(":P%1").arg(i);
    db::Query q(conx);
    q.SetSQL(QStringLiteral("insert into %1 (%2) values (%3)")
                 .arg(table, columns.join(u','), markers.join(u',')));
    for (std::int64_t i = 0; i < count; ++i) {
        const auto values = row(i);
        for (size_t c = 0; c < values.size(); ++c)
            q.SetParam(int(c), values[c]);
        q.ExecSQL();
    }
}

void execute(db::Connection& conx, const QString& sql) {
    db::Query q(conx);
    q.SetSQL(sql);
    q.ExecSQL();
}

} // namespace

QDate firstSampleDate() {
    return QDate(2019, 1, 1);
}
QDate midSampleDate() {
    return QDate(2023, 1, 1);
}
QDate lastSampleDate() {
    return QDate(2027, 1, 1);
}

void createStationDatabase(const QString& path, const StationDbOptions& options) {
    db::Connection conx;
    conx.setParam(QStringLiteral("DriverID"), QStringLiteral("FB"));
    conx.setParam(QStringLiteral("User_Name"), QStringLiteral("SYSDBA"));
    conx.setParam(QStringLiteral("Password"), QStringLiteral("quillpine"));
    conx.setParam(QStringLiteral("database"), path);
    conx.CreateDatabase(false);

    for (const char* statement : schema)
        execute(conx, QString::fromLatin1(statement));
    conx.Commit();

    SampleRandom rnd(options.seed);
    const std::int64_t sales = std::max<std::int64_t>(options.salesRows, 0);
    auto share = [&](std::int64_t divisor, std::int64_t minimum) {
        return std::max(sales / divisor, minimum);
    };
    // Keys of TBL_SALES lie beyond the 32-bit range: they must travel as BIGINT.
    const std::int64_t salesBase = 3'000'000'000LL;

    fill(conx, QStringLiteral("TBL_SALES_SPO"), {"SPO_REF", "SALES_ID", "AMOUNT"}, share(100, 6),
         [&](std::int64_t i) {
             // Some references carry a quote, as hand-typed ones do.
             const QString ref = (i % 3 == 0 ? QStringLiteral("SPO'%1") : QStringLiteral("SPO-%1"))
                                     .arg(i + 1, 6, 10, QLatin1Char('0'));
             return std::vector<DbValue>{DbValue::text(ref), DbValue::int64(salesBase + i + 1),
                                         DbValue::real(rnd.money(500))};
         });
    fill(conx, QStringLiteral("TBL_SALES"),
         {"SALES_ID", "TRANS_DATE", "SALES_DATE", "TILL_NO", "STOCK_CODE", "QTY", "AMOUNT",
          "VAT_RATE"},
         sales, [&](std::int64_t i) {
             QDateTime t = rnd.dateTime();
             QDateTime t2 = rnd.near(t);
             if (const auto d = oneOldColumn(i, 2)) {
                 t = (*d)[0];
                 t2 = (*d)[1];
             }
             return std::vector<DbValue>{DbValue::int64(salesBase + i + 1),
                                         ts(t),
                                         ts(t2),
                                         DbValue::int32(int(rnd.between(1, 6))),
                                         DbValue::text(rnd.code("STK", 2000)),
                                         DbValue::real(double(rnd.between(1, 80000)) / 1000.0),
                                         DbValue::real(rnd.money(300)),
                                         DbValue::real(20.0)};
         });
    auto oneDate = [&](const QString& table, const QStringList& columns, std::int64_t count,
                       bool dateOnly) {
        fill(conx, table, columns, count, [&](std::int64_t i) {
            const QDateTime t = rnd.dateTime();
            return std::vector<DbValue>{DbValue::int32(int(i + 1)), dateOnly ? date(t) : ts(t),
                                        DbValue::text(rnd.code("X", 900))};
        });
    };
    auto twoDates = [&](const QString& table, const QStringList& columns, std::int64_t count) {
        fill(conx, table, columns, count, [&](std::int64_t i) {
            QDateTime t = rnd.dateTime();
            QDateTime t2 = rnd.near(t);
            if (const auto d = oneOldColumn(i, 2)) {
                t = (*d)[0];
                t2 = (*d)[1];
            }
            return std::vector<DbValue>{DbValue::int32(int(i + 1)), ts(t), ts(t2),
                                        DbValue::text(rnd.code("P", 900))};
        });
    };
    oneDate(QStringLiteral("TBL_SALES_EX"), {"SALES_EX_ID", "TRANS_DATE", "NOTE"}, share(10, 20),
            false);
    fill(conx, QStringLiteral("TBL_SALES_TRX"), {"TRX_ID", "SALES_DATE", "TILL_NO", "AMOUNT"},
         share(10, 20), [&](std::int64_t i) {
             return std::vector<DbValue>{DbValue::int32(int(i + 1)), ts(rnd.dateTime()),
                                         DbValue::int32(int(rnd.between(1, 6))),
                                         DbValue::real(rnd.money(300))};
         });
    oneDate(QStringLiteral("TBL_SALES_PAYMENT_SUMMARY"), {"SPSUM_ID", "TRANS_DATE", "TENDER"},
            share(50, 20), true);
    oneDate(QStringLiteral("TBL_HSALES"), {"HSALES_ID", "TRANS_DATE", "STOCK_CODE"}, share(10, 20),
            false);
    oneDate(QStringLiteral("TBL_PROMO_SALES"), {"PSALES_ID", "TRANS_DATE", "PROMO_CODE"},
            share(20, 20), false);
    twoDates(QStringLiteral("TBL_LIVE_SALES"), {"LIVE_ID", "TRANS_DATE", "SALES_DATE", "PUMP_REF"},
             share(20, 20));
    twoDates(QStringLiteral("TBL_POS_IMPORTS"),
             {"IMPORT_ID", "TRANS_DATE", "PROCESS_DATE", "FILE_NAME"}, share(50, 20));
    oneDate(QStringLiteral("TBL_SERVICES"), {"SERV_ID", "TRANS_DATE", "SERVICE_CODE"},
            share(50, 20), false);
    twoDates(QStringLiteral("TBL_VOIDS"), {"VOID_ID", "TRANS_DATE", "SALES_DATE", "REASON"},
             share(50, 20));
    twoDates(QStringLiteral("TBL_PROMO_HITS"),
             {"PHIT_ID", "TRANS_DATE", "SALES_DATE", "PROMO_CODE"}, share(20, 20));
    twoDates(QStringLiteral("TBL_PROMO_FPHITS"),
             {"FPHIT_ID", "TRANS_DATE", "SALES_DATE", "PROMO_CODE"}, share(50, 20));
    fill(conx, QStringLiteral("TBL_DAILY_SALES"), {"DAILY_ID", "TRANS_DATE", "TOTAL"},
         share(100, 20), [&](std::int64_t i) {
             return std::vector<DbValue>{DbValue::int32(int(i + 1)), date(rnd.dateTime()),
                                         DbValue::real(rnd.money(90000))};
         });

    // Orders: a header with its rows in every detail table.
    const std::int64_t orders = share(100, 30);
    fill(conx, QStringLiteral("TBL_ORDER_HEADER"),
         {"ORDER_ID", "SUPPLIER_CODE", "SENT_DATE", "DELIVERED_DATE", "INV_DATE", "TOTAL"}, orders,
         [&](std::int64_t i) {
             QDateTime sent = rnd.dateTime();
             QDateTime delivered =
                 sent.isValid() ? sent.addDays(rnd.between(1, 5)) : rnd.near(sent);
             QDateTime invoiced =
                 rnd.chance(20) ? QDateTime() : delivered.addDays(rnd.between(0, 30));
             if (const auto d = oneOldColumn(i, 3)) {
                 sent = (*d)[0];
                 delivered = (*d)[1];
                 invoiced = (*d)[2];
             }
             return std::vector<DbValue>{DbValue::int32(int(i + 1)),
                                         DbValue::text(rnd.code("SUP", 40)),
                                         ts(sent),
                                         ts(delivered),
                                         date(invoiced),
                                         DbValue::real(rnd.money(20000))};
         });
    fill(conx, QStringLiteral("TBL_ORDER_DETAIL"),
         {"LINE_ID", "ORDER_ID", "STOCK_CODE", "QTY", "COST"}, orders * 3, [&](std::int64_t i) {
             return std::vector<DbValue>{DbValue::int32(int(i + 1)), DbValue::int32(int(i / 3 + 1)),
                                         DbValue::text(rnd.code("STK", 2000)),
                                         DbValue::real(double(rnd.between(1, 500))),
                                         DbValue::real(rnd.money(800))};
         });
    fill(conx, QStringLiteral("TBL_ORDER_BUNKERED"), {"BUNKER_ID", "ORDER_ID", "LITRES"},
         orders / 2, [&](std::int64_t i) {
             return std::vector<DbValue>{DbValue::int32(int(i + 1)), DbValue::int32(int(i * 2 + 1)),
                                         DbValue::real(double(rnd.between(1000, 30000)))};
         });
    fill(conx, QStringLiteral("TBL_ORDER_TANK_DETAIL"),
         {"TANK_DETAIL_ID", "ORDER_ID", "TANK_NO", "LITRES"}, orders, [&](std::int64_t i) {
             return std::vector<DbValue>{DbValue::int32(int(i + 1)), DbValue::int32(int(i + 1)),
                                         DbValue::int32(int(rnd.between(1, 8))),
                                         DbValue::real(double(rnd.between(1000, 30000)))};
         });
    fill(conx, QStringLiteral("TBL_ORDER_VAT_BREAKDOWN"),
         {"VAT_ID", "ORDER_ID", "VAT_RATE", "AMOUNT"}, orders, [&](std::int64_t i) {
             return std::vector<DbValue>{DbValue::int32(int(i + 1)), DbValue::int32(int(i + 1)),
                                         DbValue::real(20.0), DbValue::real(rnd.money(4000))};
         });
    fill(conx, QStringLiteral("TBL_CINVOICE_PAYMENTS"),
         {"IPAY_ID", "ORDER_ID", "PAID_DATE", "AMOUNT"}, orders, [&](std::int64_t i) {
             return std::vector<DbValue>{DbValue::int32(int(i + 1)), DbValue::int32(int(i + 1)),
                                         ts(rnd.dateTime()), DbValue::real(rnd.money(20000))};
         });

    fill(conx, QStringLiteral("TBL_STOCK_PRICES"),
         {"PRICE_ID", "STOCK_CODE", "VALID_FROM", "PRICE"}, share(20, 20), [&](std::int64_t i) {
             return std::vector<DbValue>{DbValue::int32(int(i + 1)),
                                         DbValue::text(rnd.code("STK", 2000)), date(rnd.dateTime()),
                                         DbValue::real(rnd.money(40))};
         });
    fill(conx, QStringLiteral("TBL_AUDIT_RECORDS"),
         {"AUDIT_ID", "EDITED_DATE", "USER_NAME", "DETAIL"}, share(20, 20), [&](std::int64_t i) {
             return std::vector<DbValue>{
                 DbValue::int64(i + 1), ts(rnd.dateTime()), DbValue::text(rnd.code("USER", 12)),
                 DbValue::text(QStringLiteral("Price changed for ") + rnd.code("STK", 2000))};
         });

    fill(conx, QStringLiteral("TBL_STOCK"), {"STOCK_CODE", "DESCRIPTION", "PRICE"}, 200,
         [&](std::int64_t i) {
             return std::vector<DbValue>{
                 DbValue::text(QStringLiteral("STK%1").arg(i + 1, 5, 10, QLatin1Char('0'))),
                 DbValue::text(QStringLiteral("Stock item %1").arg(i + 1)),
                 DbValue::real(rnd.money(40))};
         });
    fill(conx, QStringLiteral("TBLX_NOTES"), {"NOTE_ID", "NOTE_TEXT", "EDITED_AT"}, 10,
         [&](std::int64_t i) {
             return std::vector<DbValue>{DbValue::int32(int(i + 1)),
                                         DbValue::text(QStringLiteral("Shift note %1").arg(i + 1)),
                                         ts(rnd.dateTime())};
         });
    fill(conx, QStringLiteral("STATION_INFO"), {"STATION_ID", "STATION_NAME", "EDITED_AT"}, 1,
         [&](std::int64_t) {
             return std::vector<DbValue>{DbValue::int32(1),
                                         DbValue::text(QStringLiteral("Sample Station")),
                                         ts(QDateTime(firstSampleDate(), QTime(8, 0)))};
         });
    conx.Commit();

    // Sequences stand past the keys their tables hold.
    const std::pair<const char*, std::int64_t> sequences[] = {
        {"GEN_SALES_ID", salesBase + sales},
        {"GEN_SPSUM_ID", share(50, 20)},
        {"GEN_HSALES_ID", share(10, 20)},
        {"GEN_PSALES_ID", share(20, 20)},
        {"GEN_POS_IMPORTS", share(50, 20)},
        {"GEN_SERV_ID", share(50, 20)},
        {"GEN_VOIDS", share(50, 20)},
        {"GEN_PHIT_ID", share(20, 20)},
        {"GEN_FPHIT_ID", share(50, 20)},
        {"GEN_DAILY_SALES", share(100, 20)},
        {"GEN_IPAY_ID", orders},
        {"GEN_ORDER_LINE", orders * 3},
        {"GEN_ORDER_ID", orders},
        {"GEN_PRICE_ID", share(20, 20)},
        {"GEN_AUDIT_ID", share(20, 20)},
    };
    for (const auto& [name, value] : sequences)
        execute(conx, QStringLiteral("alter sequence %1 restart with %2")
                          .arg(QLatin1String(name))
                          .arg(value));
    for (const char* statement : triggers)
        execute(conx, QString::fromLatin1(statement));
    conx.Commit();
    conx.Close();
    conx.SetForcedWrites(true);
}
