#pragma once

// Which tables hold a category's data, in the order they are cleaned, with the columns
// that date their rows and the sequences that feed their keys. Sales (category 3),
// Purchases (4) and Pricing (9) have rules; every other category removes nothing.

#include <QtGlobal>
#include <span>
#include <vector>

class TableCleaner;
namespace db {
class Query;
}

struct SelectRule {
    const char* table;
    const char* dates;     // ";"-separated, may be empty
    const char* generator; // may be empty
};

struct IdListRule {
    const char* table;
    const char* keyField;
    bool takesIdList; // false: the whole table goes in one statement, in both modes
    const char* generator;
};

std::span<const SelectRule> salesRules();
std::span<const IdListRule> orderDetailRules();
const SelectRule& orderHeaderRule();
std::span<const SelectRule> pricingRules();

inline constexpr int categorySales = 3;
inline constexpr int categoryPurchases = 4;
inline constexpr int categoryPricing = 9;

class CategoryRules final {
public:
    CategoryRules(TableCleaner& cleaner, db::Query& q1);

    void DoSales();
    void DoOrders();
    void DoPricing();

    // Runs the rule of a category id; ids without a rule do nothing.
    void runRule(int categoryId);

    // The order ids of the headers the prior-to selection finds (ORDER_ID as a 32-bit integer).
    std::vector<qint32> collectOrderIds();

private:
    TableCleaner& fCleaner;
    db::Query& fQ1;
};
