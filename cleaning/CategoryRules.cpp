#include "cleaning/CategoryRules.h"

#include "cleaning/TableCleaner.h"
#include "db/DbError.h"
#include "db/Query.h"

#include <array>
#include <optional>

namespace {

constexpr std::array<SelectRule, 14> sales{{
    {"TBL_SALES_SPO", "", ""},
    {"TBL_SALES", "TRANS_DATE;SALES_DATE", "GEN_SALES_ID"},
    {"TBL_SALES_EX", "TRANS_DATE", ""},
    {"TBL_SALES_TRX", "SALES_DATE", ""},
    {"TBL_SALES_PAYMENT_SUMMARY", "TRANS_DATE", "GEN_SPSUM_ID"},
    {"TBL_HSALES", "TRANS_DATE", "GEN_HSALES_ID"},
    {"TBL_PROMO_SALES", "TRANS_DATE", "GEN_PSALES_ID"},
    {"TBL_LIVE_SALES", "TRANS_DATE;SALES_DATE", ""},
    {"TBL_POS_IMPORTS", "TRANS_DATE;PROCESS_DATE", "GEN_POS_IMPORTS"},
    {"TBL_SERVICES", "TRANS_DATE", "GEN_SERV_ID"},
    {"TBL_VOIDS", "TRANS_DATE;SALES_DATE", "GEN_VOIDS"},
    {"TBL_PROMO_HITS", "TRANS_DATE;SALES_DATE", "GEN_PHIT_ID"},
    {"TBL_PROMO_FPHITS", "TRANS_DATE;SALES_DATE", "GEN_FPHIT_ID"},
    {"TBL_DAILY_SALES", "TRANS_DATE", "GEN_DAILY_SALES"},
}};

constexpr std::array<IdListRule, 5> orderDetails{{
    {"TBL_ORDER_BUNKERED", "ORDER_ID", true, ""},
    {"TBL_ORDER_TANK_DETAIL", "ORDER_ID", true, ""},
    {"TBL_ORDER_VAT_BREAKDOWN", "ORDER_ID", false, ""},
    {"TBL_CINVOICE_PAYMENTS", "ORDER_ID", true, "GEN_IPAY_ID"},
    {"TBL_ORDER_DETAIL", "ORDER_ID", true, "GEN_ORDER_LINE"},
}};

constexpr SelectRule orderHeader{"TBL_ORDER_HEADER", "SENT_DATE;DELIVERED_DATE;INV_DATE",
                                 "GEN_ORDER_ID"};

constexpr std::array<SelectRule, 2> pricing{{
    {"TBL_STOCK_PRICES", "VALID_FROM", "GEN_PRICE_ID"},
    {"TBL_AUDIT_RECORDS", "EDITED_DATE", "GEN_AUDIT_ID"},
}};

QString q(const char* text) {
    return QString::fromLatin1(text);
}

} // namespace

std::span<const SelectRule> salesRules() {
    return sales;
}
std::span<const IdListRule> orderDetailRules() {
    return orderDetails;
}
const SelectRule& orderHeaderRule() {
    return orderHeader;
}
std::span<const SelectRule> pricingRules() {
    return pricing;
}

CategoryRules::CategoryRules(TableCleaner& cleaner, db::Query& q1) : fCleaner(cleaner), fQ1(q1) {}

void CategoryRules::DoSales() {
    for (const SelectRule& r : sales)
        fCleaner.CleanTable(q(r.table), q(r.dates), q(r.generator), true);
}

void CategoryRules::DoPricing() {
    for (const SelectRule& r : pricing)
        fCleaner.CleanTable(q(r.table), q(r.dates), q(r.generator), true);
}

std::vector<qint32> CategoryRules::collectOrderIds() {
    std::vector<qint32> ids;
    fQ1.Close();
    fQ1.SetSQL(fCleaner.GenerateSQLQuery(q(orderHeader.table), q(orderHeader.dates)));
    fCleaner.bindCutOff();
    const db::ResultSet rows = fQ1.Open();
    const int column = rows.columnIndex(QStringLiteral("ORDER_ID"));
    if (column < 0)
        throw db::DbError(QStringLiteral("collect order ids"),
                          QStringLiteral("Field 'ORDER_ID' not found in TBL_ORDER_HEADER"));
    ids.reserve(size_t(rows.rowCount()));
    for (qsizetype r = 0; r < rows.rowCount(); ++r)
        ids.push_back(rows.asInt32(r, column));
    fQ1.Close();
    return ids;
}

void CategoryRules::DoOrders() {
    // In remove-all mode there is no list: the detail tables are emptied outright.
    std::optional<std::vector<qint32>> idList;
    if (fCleaner.priorToMode())
        idList = collectOrderIds();
    // The ids are the ORDER_ID values of the headers the prior-to selection finds.
    const IdSource headers{q(orderHeader.table), q(orderHeader.dates), QStringLiteral("ORDER_ID")};
    for (const IdListRule& r : orderDetails) {
        const std::vector<qint32>* list = r.takesIdList && idList ? &*idList : nullptr;
        fCleaner.CleanTable(q(r.table), q(r.keyField), list, q(r.generator), true, &headers);
    }
    fCleaner.CleanTable(q(orderHeader.table), q(orderHeader.dates), q(orderHeader.generator), true);
}

void CategoryRules::runRule(int categoryId) {
    switch (categoryId) {
    case categorySales:
        DoSales();
        break;
    case categoryPurchases:
        DoOrders();
        break;
    case categoryPricing:
        DoPricing();
        break;
    default:
        break;
    }
}
