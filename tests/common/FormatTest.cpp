#include "common/Format.h"
#include "common/Clock.h"
#include "common/ItemList.h"
#include "common/Messages.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <limits>
#include <ostream>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Collects what would be shown to the operator.
class RecordingSink final : public MessageSink {
public:
    void error(const QString& message, const QString& caption) override {
        errors.append(message + u'|' + caption);
    }
    void warning(const QString& message, const QString&) override { others.append(message); }
    void info(const QString& message, const QString&) override { others.append(message); }
    int ask(const QString& question, const QString&) override {
        others.append(question);
        return idNo;
    }
    QStringList errors;
    QStringList others;
};

// Installs a recording sink for one test and puts the previous one back.
class RecordedMessages final {
public:
    RecordedMessages()
        : fSink(std::make_shared<RecordingSink>()), fPrevious(setMessageSink(fSink)) {}
    ~RecordedMessages() { setMessageSink(fPrevious); }
    RecordingSink& operator*() { return *fSink; }
    RecordingSink* operator->() { return fSink.get(); }

private:
    std::shared_ptr<RecordingSink> fSink;
    std::shared_ptr<MessageSink> fPrevious;
};

class LocaleScope final {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
};

QDateTime march15th2021() {
    return QDateTime(QDate(2021, 3, 15), QTime(10, 30));
}

struct DateCase {
    const char* typed;
    QDate expected; // invalid: 0 is returned
    bool invalidDateShown;
};

void checkDates(const DateCase* begin, const DateCase* end) {
    for (auto c = begin; c != end; ++c) {
        SCOPED_TRACE(std::string("typed '") + c->typed + "'");
        RecordedMessages messages;
        const TDateTime value = txt2Date(QString::fromUtf8(c->typed));
        if (c->expected.isValid()) {
            EXPECT_EQ(dateTimeFromValue(value), QDateTime(c->expected, QTime(0, 0)))
                << dtsEx(value).toStdString();
            EXPECT_EQ(value, double(qint64(value))) << "not a whole day";
        } else {
            EXPECT_EQ(value, 0.0);
        }
        EXPECT_EQ(messages->errors,
                  c->invalidDateShown ? QStringList{"Invalid Date|"} : QStringList{});
        EXPECT_TRUE(messages->others.isEmpty());
        EXPECT_EQ(getSeparator(), "@") << "separator stack left changed";
    }
}

TEST(Txt2Date, FormsReadDayFirstOnMarch15th2021) {
    FixedClock clock(march15th2021());
    const DateCase cases[] = {
        // Any separators, three groups.
        {"1/2/2021", {2021, 2, 1}, false},
        {"01.02.21", {2021, 2, 1}, false},
        {"1-2-21", {2021, 2, 1}, false},
        {"  1  2  2021  ", {2021, 2, 1}, false},
        {"1 2 2021 7 9", {2021, 2, 1}, false}, // further groups are ignored
        // Two groups and one group take today's year (and month).
        {"1 2", {2021, 2, 1}, false},
        {"25", {2021, 3, 25}, false},
        {"d25", {2021, 3, 25}, false},
        // Compact digits.
        {"010221", {2021, 2, 1}, false},
        {"1022021", {2021, 2, 10}, false},
        {"3112", {2021, 11, 30}, false}, // 31 Dec 2021 is past 30 Apr: back one month
        {"32", {2021, 2, 3}, false},
        {"3215", {2015, 2, 3}, false}, // "32" is no day and "21" no month
        // Two groups past the end of next month move back a year.
        {"24 12", {2020, 12, 24}, false},
        {"1 5", {2020, 5, 1}, false},
        {"1 4", {2021, 4, 1}, false},
        {"30 4", {2021, 4, 30}, false},
        {"24 12 2021", {2021, 12, 24}, false},
        // Two-digit years, year 0 and months out of range.
        {"12 3 80", {1980, 3, 12}, false},
        {"12 3 99", {1999, 3, 12}, false},
        {"12 3 79", {2079, 3, 12}, false},
        {"12 3 1", {2001, 3, 12}, false},
        {"1 2 00", {2021, 2, 1}, false},
        {"1 13 2021", {2021, 3, 1}, false},
        {"1 0 2021", {2021, 3, 1}, false},
        {"1 2 999", {999, 2, 1}, false},
        {"31 12 9999", {9999, 12, 31}, false},
        // Impossible dates.
        {"31/4/2021", {}, true},
        {"0/1/2021", {}, true},
        {"29 2", {}, true},
        {"1 2 10000", {}, true},
        {"1 2 99999999999999999999999", {}, true},
        {"99999999999999999999999", {}, true},
        // Nothing to read: no message.
        {"", {}, false},
        {"abc", {}, false},
        {" - / ", {}, false},
    };
    checkDates(std::begin(cases), std::end(cases));
}

TEST(Txt2Date, MovingBackKeepsTheDayOrTakesTheMonthsLast) {
    FixedClock clock(QDateTime(QDate(2021, 1, 31), QTime(23, 59, 59)));
    const DateCase cases[] = {
        {"28 2", {2021, 2, 28}, false}, // inside next month: stays
        {"1 3", {2020, 3, 1}, false},   // the first day past the limit moves
        {"31 3", {2020, 3, 31}, false},
        {"3105", {2021, 4, 30}, false}, // 31 May back one month: April has 30 days
        {"2903", {2021, 2, 28}, false}, // 29 Mar 2021 back one month: 28 Feb
        {"31", {2021, 1, 31}, false},
        {"31 1 2022", {2022, 1, 31}, false},
    };
    checkDates(std::begin(cases), std::end(cases));
}

TEST(Txt2Date, LimitSpansTheYearEnd) {
    FixedClock clock(QDateTime(QDate(2021, 12, 15), QTime(8, 0)));
    const DateCase cases[] = {
        {"3112", {2021, 12, 31}, false},
        {"15 1", {2021, 1, 15}, false}, // the year is today's, so January is in the past
        {"0101", {2021, 1, 1}, false},
    };
    checkDates(std::begin(cases), std::end(cases));
}

// Compact digits that carry their year are as explicit as three groups: they stay where
// typed instead of moving back a month like a year-less entry does.
TEST(Txt2Date, CompactDigitsWithAYearAreNotMovedBack) {
    FixedClock clock(march15th2021());
    const DateCase cases[] = {
        {"31122021", {2021, 12, 31}, false},
        {"311221", {2021, 12, 31}, false},
        {"010130", {2030, 1, 1}, false},
        {"3112", {2021, 11, 30}, false}, // no year: still moved back
    };
    checkDates(std::begin(cases), std::end(cases));
}

TEST(Txt2Date, FollowsTheInjectedClock) {
    {
        FixedClock clock(QDateTime(QDate(2019, 7, 4), QTime(12, 0)));
        EXPECT_EQ(dtsEx(txt2Date("9")), "09/07/2019");
    }
    // Without a fixed moment the system clock is back.
    EXPECT_NE(currentDate(), QDate(2019, 7, 4));
}

struct DtsCase {
    TDateTime value;
    const char* text;
};

TEST(DtsEx, DayFirstFromJanuary1st1980) {
    const DtsCase cases[] = {
        {29221, "01/01/1980"},
        {29221.999, "01/01/1980"},
        {29220.999, ""},
        {29220, ""},
        {0, ""},
        {-5.5, ""},
        {44270.75, "15/03/2021"},
        {2958465, "31/12/9999"},
        {2958466, ""},
        {std::numeric_limits<double>::quiet_NaN(), ""},
        {std::numeric_limits<double>::infinity(), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(dtsEx(c.value), QString::fromUtf8(c.text));
    }
}

TEST(DtsEx, UsesTheLocalesDateSeparator) {
    LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(localeDateSeparator(), ".");
    EXPECT_EQ(dtsEx(44270), "15.03.2021");
    // Typed dates still read day first with any separator.
    FixedClock clock(march15th2021());
    EXPECT_EQ(dtsEx(txt2Date("1.2.")), "01.02.2021");
}

struct FtsCase {
    qint64 raw;
    int precision;
    bool thousands;
    bool accountant;
    const char* text;
};

TEST(Fts, RoundsHalvesUpForPositiveAndTowardZeroForNegative) {
    const FtsCase cases[] = {
        {12345678910, 2, true, false, "1,234,567.89"},
        {12345678910, 2, false, false, "1234567.89"},
        {10050, 2, true, false, "1.01"},
        {-10050, 2, true, false, "-1.00"},
        {-10050, 2, true, true, "(1.00)"},
        {-12345678910, 2, true, true, "(1,234,567.89)"},
        {-12345678910, 2, false, true, "(1234567.89)"},
        {10051, 2, true, false, "1.01"},
        {-10051, 2, true, false, "-1.01"},
        {15000, 0, true, false, "2"},
        {-15000, 0, true, false, "-1"},
        {-25000, 0, true, false, "-2"},
        {99999950, 2, true, false, "10,000.00"}, // carry into a new digit and group
        {0, 2, true, false, "0.00"},
        {12345, 4, true, false, "1.2345"},
        {12345, 6, true, false, "1.234500"}, // four decimals are exact
        {-12345, 6, true, false, "-1.234500"},
        {123456789, 3, true, false, "12,345.679"},
        {1000000000, 0, true, false, "100,000"},
        {std::numeric_limits<qint64>::max(), 2, true, false, "922,337,203,685,477.58"},
        {std::numeric_limits<qint64>::min(), 2, true, false, "-922,337,203,685,477.58"},
        {std::numeric_limits<qint64>::min(), 4, false, true, "(922337203685477.5808)"},
        // Amounts that round to nothing carry no sign and no parentheses.
        {-1, 2, true, false, "0.00"},
        {-49, 2, true, true, "0.00"},
        {-50, 2, true, true, "0.00"},
        {-51, 2, true, true, "(0.01)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.raw) + " precision " + std::to_string(c.precision));
        EXPECT_EQ(fts(Currency::fromRaw(c.raw), c.precision, c.thousands, c.accountant),
                  QString::fromUtf8(c.text));
    }
}

TEST(Fts, UsesTheLocalesSeparators) {
    LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(fts(Currency::fromRaw(12345678910), 2, true, false), "1.234.567,89");
    EXPECT_EQ(fts(Currency::fromRaw(12345678910), 2, false, false), "1234567,89");
    EXPECT_EQ(fts(Currency::fromRaw(-10050), 2, true, true), "(1,00)");
}

TEST(Currency, FromDoubleRoundsToTheNearestTenThousandth) {
    EXPECT_EQ(Currency::fromDouble(1234567.891).raw(), 12345678910);
    EXPECT_EQ(Currency::fromDouble(1.005).raw(), 10050);
    EXPECT_EQ(Currency::fromDouble(-1.005).raw(), -10050);
    EXPECT_EQ(Currency::fromDouble(0.00004).raw(), 0);
    EXPECT_EQ(Currency::fromDouble(0.00006).raw(), 1);
    EXPECT_EQ(fts(Currency::fromDouble(1.005), 2, true, false), "1.01");
    EXPECT_THROW(Currency::fromDouble(std::numeric_limits<double>::quiet_NaN()), std::out_of_range);
    EXPECT_THROW(Currency::fromDouble(1e15), std::out_of_range);
    EXPECT_THROW(Currency::fromDouble(-1e300), std::out_of_range);
}

TEST(Lpad, PadsInFrontAndCropsTheRightEnd) {
    struct Case {
        const char* origin;
        int width;
        char fill;
        bool crop;
        const char* text;
    };
    const Case cases[] = {
        {"7", 2, '0', false, "07"},     {"2021", 2, '0', false, "2021"},
        {"2021", 2, '0', true, "20"},   {"2021", 4, '0', true, "2021"},
        {"", 4, '0', false, "0000"},    {"5", 4, ' ', false, "   5"},
        {"abc", 0, '0', true, ""},      {"abc", -3, '0', true, ""},
        {"abc", -3, '0', false, "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.origin) + " to " + std::to_string(c.width));
        EXPECT_EQ(lpad(c.origin, c.width, QChar(c.fill), c.crop), QString::fromUtf8(c.text));
    }
}

TEST(ItsSti, WholeNumbersRoundTrip) {
    EXPECT_EQ(its(0), "0");
    EXPECT_EQ(its(-42), "-42");
    EXPECT_EQ(its(1234567), "1234567");
    EXPECT_EQ(its(std::numeric_limits<qint64>::min()), "-9223372036854775808");

    struct Case {
        const char* text;
        qint64 value;
    };
    const Case cases[] = {
        {"", 99},
        {"12a", 99},
        {"99999999999999999999", 99},
        {"9223372036854775808", 99},
        {"-9223372036854775809", 99},
        {" -42", -42},
        {"+7", 7},
        {"   0012", 12},
        {"42 ", 99},
        {"-", 99},
        {"- 5", 99},
        {" ", 99},
        {"\t5", 99},
        {"0x10", 99},
        {"1e3", 99},
        {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"-9223372036854775808", std::numeric_limits<qint64>::min()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        EXPECT_EQ(sti(QString::fromUtf8(c.text), 99), c.value);
    }
    EXPECT_EQ(sti("", 0), 0);
    EXPECT_EQ(sti("12a", 0), 0);
}

TEST(ColourToGPColour, SwapsRedAndBlueAndMakesOpaque) {
    EXPECT_EQ(ColourToGPColour(0x000000FF), 0xFFFF0000u);
    EXPECT_EQ(ColourToGPColour(0x00FF0000), 0xFF0000FFu);
    EXPECT_EQ(ColourToGPColour(0x00123456), 0xFF563412u);
    EXPECT_EQ(ColourToGPColour(0x120000FF), 0xFFFF0000u); // only 0xFF marks a system colour
    EXPECT_EQ(ColourToGPColour(clBtnFace), 0xFFF0F0F0u);
    EXPECT_EQ(ColourToGPColour(clWindowText), 0xFF000000u);
    EXPECT_EQ(ColourToGPColour(0xFF0000FE), 0xFF000000u); // no such system colour
}

TEST(ColourToGPColour, ResolvesSystemColoursThroughTheInstalledSource) {
    setSystemColourSource([](int index) -> TColor { return index == 15 ? 0x00332211 : 0; });
    EXPECT_EQ(ColourToGPColour(clBtnFace), 0xFF112233u);
    EXPECT_EQ(ColourToGPColour(clWindow), 0xFF000000u);
    setSystemColourSource({});
    EXPECT_EQ(ColourToGPColour(clWindow), 0xFFFFFFFFu);
}

TEST(Messages, DefaultWritesOnStderrAndAnswersNo) {
    testing::internal::CaptureStderr();
    showError("Invalid Date");
    showWarning("Careful", "Pellisar");
    const int answer = askQuestion("Do you wish to do a backup beforehand?");
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, idNo);
    EXPECT_NE(written.find("Error: Invalid Date"), std::string::npos) << written;
    EXPECT_NE(written.find("Pellisar - Warning: Careful"), std::string::npos) << written;
    EXPECT_NE(written.find("Do you wish to do a backup beforehand?"), std::string::npos);
}

TEST(Messages, InstalledSinkReceivesAndIsReplaced) {
    {
        RecordedMessages messages;
        showError("Could not copy GDB to temp folder");
        showInfo("Done", "caption");
        EXPECT_EQ(messages->errors, QStringList{"Could not copy GDB to temp folder|"});
        EXPECT_EQ(messages->others, QStringList{"Done"});
    }
    testing::internal::CaptureStderr();
    showError("back on stderr");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("back on stderr"), std::string::npos);
}

} // namespace
