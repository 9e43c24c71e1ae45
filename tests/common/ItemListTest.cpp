#include "common/ItemList.h"

#include <gtest/gtest.h>

namespace {

struct ItemCase {
    const char* haystack;
    const char* separator;
    int count;
    int index;
    const char* item;
};

TEST(ItemList, CountsAndItemsByTable) {
    const ItemCase cases[] = {
        {"", ";", 1, 0, ""},
        {"", ",", 1, 1, ""},
        {"a;;b", ";", 3, 1, ""},
        {"a;;b", ";", 3, 2, "b"},
        {";a", ";", 2, 0, ""},
        {";a", ";", 2, 1, "a"},
        {"a;", ";", 2, 0, "a"},
        {"a;", ";", 2, 1, ""},
        {"A;B;C", ";", 3, 3, ""},
        {"A;B;C", ";", 3, -1, "A"},
        {"A;B;C", ";", 3, 2, "C"},
        {"SHOP1;/data/SHOP.GDB;srv:/data/SHOP.GDB;0", ";", 4, 1, "/data/SHOP.GDB"},
        {"SHOP1;/data/SHOP.GDB;srv:/data/SHOP.GDB;0", ";", 4, 3, "0"},
        {"a, b", ",", 2, 1, " b"},
        {"TRANS_DATE;SALES_DATE", ";", 2, 1, "SALES_DATE"},
        {"TRANS_DATE", ";", 1, 0, "TRANS_DATE"},
        // Overlapping occurrences of a longer separator each count.
        {"aaa", "aa", 3, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.haystack) + " | " + c.separator + " | " +
                     std::to_string(c.index));
        EXPECT_EQ(itemCountEx(QString::fromUtf8(c.haystack), QString::fromUtf8(c.separator)),
                  c.count);
        EXPECT_EQ(itemEx(c.index, QString::fromUtf8(c.haystack), QString::fromUtf8(c.separator)),
                  QString::fromUtf8(c.item));
    }
}

TEST(ItemList, AtSignIsCurrentWithNothingPushed) {
    ASSERT_EQ(getSeparator(), "@");
    EXPECT_EQ(itemCount("user@host"), 2);
    EXPECT_EQ(item(1, "user@host"), "host");
}

TEST(ItemList, ExFunctionsRestoreTheCallersSeparator) {
    pushSIS(",");
    EXPECT_EQ(itemEx(0, "a;b", ";"), "a");
    EXPECT_EQ(getSeparator(), ",");
    EXPECT_EQ(itemCountEx("a;b;c", ";"), 3);
    EXPECT_EQ(getSeparator(), ",");
    popSIS();
    EXPECT_EQ(getSeparator(), "@");
}

TEST(ItemList, PushesNestAndPopOnEmptyStackRaises) {
    pushSIS(";");
    pushSIS(",");
    EXPECT_EQ(getSeparator(), ",");
    popSIS();
    EXPECT_EQ(getSeparator(), ";");
    popSIS();
    EXPECT_THROW(popSIS(), std::out_of_range);
    EXPECT_EQ(getSeparator(), "@");
}

} // namespace
