#include "common/Format.h"

#include "common/Clock.h"
#include "common/ItemList.h"
#include "common/Messages.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

constexpr double firstShownDay = 29221;  // 1 January 1980
constexpr double lastValidDay = 2958465; // 31 December 9999

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Adds one to a run of decimal digits; returns false when the carry runs off the front.
bool incrementDigits(QString& digits) {
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != u'9') {
            digits[i] = QChar(digits[i].unicode() + 1);
            return true;
        }
        digits[i] = u'0';
    }
    return false;
}

QString groupThousands(const QString& intDigits, const QString& separator) {
    QString out;
    const qsizetype n = intDigits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += intDigits[i];
    }
    return out;
}

// A group of digits as a number; one too long for 64 bits saturates, so it can never
// pass for a small day, month or year.
qint64 digitsValue(const QString& digits) {
    return sti(digits, digits.isEmpty() ? 0 : std::numeric_limits<qint64>::max());
}

// Desktop colours of the classic system colour indices, as 0x00BBGGRR.
constexpr TColor rgb(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}
constexpr TColor defaultSystemColours[] = {
    rgb(200, 200, 200), // scroll bar
    rgb(0, 0, 0),       // desktop
    rgb(153, 180, 209), // active caption
    rgb(191, 205, 219), // inactive caption
    rgb(240, 240, 240), // menu
    rgb(255, 255, 255), // window
    rgb(100, 100, 100), // window frame
    rgb(0, 0, 0),       // menu text
    rgb(0, 0, 0),       // window text
    rgb(0, 0, 0),       // caption text
    rgb(180, 180, 180), // active border
    rgb(244, 247, 252), // inactive border
    rgb(171, 171, 171), // application workspace
    rgb(0, 120, 215),   // highlight
    rgb(255, 255, 255), // highlight text
    rgb(240, 240, 240), // button face
    rgb(160, 160, 160), // button shadow
    rgb(109, 109, 109), // grey text
    rgb(0, 0, 0),       // button text
    rgb(0, 0, 0),       // inactive caption text
    rgb(255, 255, 255), // button highlight
    rgb(105, 105, 105), // 3-D dark shadow
    rgb(227, 227, 227), // 3-D light
    rgb(0, 0, 0),       // tooltip text
    rgb(255, 255, 225), // tooltip background
    rgb(0, 0, 0),       // (unused)
    rgb(0, 102, 204),   // hot-tracked item
    rgb(185, 209, 234), // gradient of the active caption
    rgb(215, 228, 242), // gradient of the inactive caption
    rgb(51, 153, 255),  // menu highlight
    rgb(240, 240, 240), // menu bar
};

std::function<TColor(int)>& systemColourSource() {
    static std::function<TColor(int)> source;
    return source;
}

} // namespace

Currency Currency::fromDouble(double value) {
    const double scaled = value * 10000.0;
    // 2^63 is the first value past the range; the comparison also rejects NaN.
    if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0))
        throw std::out_of_range("Floating point value out of the range of a money amount");
    return Currency(std::llrint(scaled));
}

QString lpad(const QString& origin, int minWidth, QChar fillChar, bool crop) {
    QString result = origin;
    if (crop && result.size() > minWidth)
        result = result.left(qMax(0, minWidth));
    if (result.size() < minWidth)
        result.prepend(QString(minWidth - result.size(), fillChar));
    return result;
}

QString fts(Currency aVal, int precision, bool useThousandSeparator, bool accountantMode) {
    const qint64 raw = aVal.raw();
    const bool negative = raw < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(raw) : quint64(raw);
    const int decimals = qBound(0, precision, 18);

    // Digits of the magnitude and how many of them are decimals. Shown to four decimals
    // or more the amount is exact. Shown to fewer, it gets a tenth of a ten-thousandth
    // added first (the digits of |raw * 10 + 1|, five decimals): an exact half in the
    // last decimal shown then rounds up for positive amounts and toward zero for negative
    // ones, and no tie is ever left to break.
    QString digits;
    int scale = 4;
    if (decimals >= 4) {
        digits = QString::number(magnitude);
    } else {
        digits =
            negative ? QString::number(magnitude - 1) + u'9' : QString::number(magnitude) + u'1';
        scale = 5;
    }
    digits = lpad(digits, scale + 1, u'0');
    qsizetype intLen = digits.size() - scale;

    const qsizetype cut = intLen + qMin(decimals, scale);
    QString kept = digits.left(cut);
    if (cut < digits.size() && digits[cut] >= u'5' && !incrementDigits(kept)) {
        kept.prepend(u'1');
        ++intLen;
    }
    kept += QString(intLen + decimals - kept.size(), u'0');

    QString intDigits = kept.left(intLen);
    while (intDigits.size() > 1 && intDigits[0] == u'0')
        intDigits.remove(0, 1);
    const QString fracDigits = kept.mid(intLen);
    // An amount that rounds to nothing is shown without a sign.
    const bool shownZero = std::all_of(kept.begin(), kept.end(), [](QChar c) { return c == u'0'; });

    const QLocale locale;
    const QString groupSeparator = locale.groupSeparator();
    QString text = groupThousands(intDigits, groupSeparator);
    if (decimals > 0)
        text += locale.decimalPoint() + fracDigits;
    if (negative && !shownZero)
        text.prepend(u'-');

    if (accountantMode && negative && text.contains(u'-')) {
        text.replace(u'-', u'(');
        text += u')';
    }
    if (!useThousandSeparator && !groupSeparator.isEmpty())
        text.remove(groupSeparator);
    return text;
}

QString its(qint64 aVal) {
    return QString::number(aVal);
}

qint64 sti(const QString& aVal, qint64 Default) {
    qsizetype start = 0;
    while (start < aVal.size() && aVal[start] == u' ')
        ++start;
    qsizetype p = start;
    if (p < aVal.size() && (aVal[p] == u'-' || aVal[p] == u'+'))
        ++p;
    const qsizetype firstDigit = p;
    while (p < aVal.size() && isAsciiDigit(aVal[p]))
        ++p;
    if (p == firstDigit || p != aVal.size())
        return Default;
    bool ok = false;
    const qint64 value = QStringView(aVal).mid(start).toLongLong(&ok, 10);
    return ok ? value : Default;
}

QString localeDateSeparator() {
    // Qt keeps no separate date separator: take the first mark between the fields of the
    // locale's short date format.
    const QString format = QLocale().dateFormat(QLocale::ShortFormat);
    bool inQuote = false;
    bool seenField = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            inQuote = !inQuote;
            continue;
        }
        if (inQuote)
            continue;
        if (c == u'd' || c == u'M' || c == u'y') {
            seenField = true;
            continue;
        }
        if (seenField && !c.isSpace() && !c.isLetter())
            return QString(c);
    }
    return QStringLiteral("/");
}

QString dtsEx(TDateTime aDate) {
    if (!(aDate >= firstShownDay && aDate < lastValidDay + 1))
        return QString();
    const QDate date = dateTimeEpoch().addDays(qint64(std::floor(aDate)));
    const QString sep = localeDateSeparator();
    return lpad(its(date.day()), 2, u'0') + sep + lpad(its(date.month()), 2, u'0') + sep +
           lpad(its(date.year()), 4, u'0');
}

TDateTime txt2Date(const QString& txt) {
    QString text = txt;
    for (QChar& c : text) {
        if (!isAsciiDigit(c))
            c = u' ';
    }
    text = text.trimmed();
    if (text.isEmpty())
        return 0;
    text = text.simplified();

    QString group[3];
    {
        SeparatorScope scope(QStringLiteral(" "));
        for (int i = 0; i < 3; ++i)
            group[i] = item(i, text);
    }
    const int groups = !group[2].isEmpty() ? 3 : !group[1].isEmpty() ? 2 : 1;

    const QDate today = currentDate();
    qint64 day = 0;
    qint64 month = today.month();
    qint64 year = today.year();
    bool yearTyped = groups == 3;
    if (groups == 3) {
        day = digitsValue(group[0]);
        month = digitsValue(group[1]);
        year = digitsValue(group[2]);
    } else if (groups == 2) {
        day = digitsValue(group[0]);
        month = digitsValue(group[1]);
    } else {
        const QString& digits = group[0];
        day = digitsValue(digits);
        if (day > 31) {
            // Compact digits: ddmm[yy..], each field shortened by one digit when two
            // digits cannot be a day or a month.
            qsizetype pos = 2;
            day = digitsValue(digits.left(2));
            if (day > 31) {
                day = digitsValue(digits.left(1));
                pos = 1;
            }
            month = digitsValue(digits.mid(pos, 2));
            if (month > 12) {
                month = digitsValue(digits.mid(pos, 1));
                pos += 1;
            } else {
                pos += 2;
            }
            const QString yearDigits = digits.mid(pos);
            year = digitsValue(yearDigits);
            yearTyped = !yearDigits.isEmpty();
        }
    }

    if (month < 1 || month > 12)
        month = today.month();
    if (year == 0)
        year = today.year();
    if (year < 80)
        year += 2000;
    if (year <= 99)
        year += 1900;

    const QDate date =
        (day >= 1 && day <= 31 && year <= 9999) ? QDate(int(year), int(month), int(day)) : QDate();
    if (!date.isValid()) {
        showError(QStringLiteral("Invalid Date"), QString());
        return 0;
    }

    // A date without its year that lies past the end of next month was meant in the past.
    QDate result = date;
    const QDate firstPastLimit = QDate(today.year(), today.month(), 1).addMonths(2);
    if (date >= firstPastLimit && !yearTyped)
        result = date.addMonths(groups == 2 ? -12 : -1);
    return valueFromDate(result);
}

TColor defaultSystemColourRgb(int index) {
    if (index < 0 || index >= int(std::size(defaultSystemColours)))
        return 0;
    return defaultSystemColours[index];
}

TColor systemColourRgb(int index) {
    if (systemColourSource())
        return systemColourSource()(index) & 0x00FFFFFF;
    return defaultSystemColourRgb(index);
}

void setSystemColourSource(std::function<TColor(int index)> source) {
    systemColourSource() = std::move(source);
}

quint32 ColourToGPColour(TColor aCol) {
    const TColor rgbValue = (aCol >> 24) == 0xFF ? systemColourRgb(int(aCol & 0xFF)) : aCol;
    const quint32 red = rgbValue & 0xFF;
    const quint32 green = (rgbValue >> 8) & 0xFF;
    const quint32 blue = (rgbValue >> 16) & 0xFF;
    return 0xFF000000u + red * 0x10000u + green * 0x100u + blue;
}
