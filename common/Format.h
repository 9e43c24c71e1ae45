#pragma once

// Turning values into display texts and typed texts back into values: padding, money
// amounts, whole numbers, dates (always day first) and colours. Texts follow the user's
// locale (QLocale()).

#include "common/DateTime.h"

#include <QString>
#include <QtGlobal>
#include <functional>

// A money amount: a signed 64-bit count of ten-thousandths (four fixed decimals).
class Currency final {
public:
    constexpr Currency() = default;
    static constexpr Currency fromRaw(qint64 tenThousandths) { return Currency(tenThousandths); }
    // Rounds to the nearest ten-thousandth (an exact half to the even neighbour); raises
    // std::out_of_range for NaN, infinities and amounts beyond the 64-bit range.
    static Currency fromDouble(double value);
    constexpr qint64 raw() const { return fRaw; }
    double toDouble() const { return double(fRaw) / 10000.0; }

private:
    constexpr explicit Currency(qint64 raw) : fRaw(raw) {}
    qint64 fRaw = 0;
};

// A colour as the product stores it: 0x00BBGGRR for RGB colours, or 0xFF0000nn for the
// system colour with index nn.
using TColor = quint32;
inline constexpr TColor clWindow = 0xFF000005;
inline constexpr TColor clWindowText = 0xFF000008;
inline constexpr TColor clBtnFace = 0xFF00000F;
inline constexpr TColor cl3DLight = 0xFF000016;

// origin padded in front with fillChar to minWidth; with crop, cut to its first minWidth.
QString lpad(const QString& origin, int minWidth, QChar fillChar, bool crop = false);

// A money amount with precision decimals; an exact half in the last decimal shown rounds
// up for positive amounts and toward zero for negative ones. accountantMode writes
// negative amounts in parentheses.
QString fts(Currency aVal, int precision, bool useThousandSeparator, bool accountantMode);

// Decimal text without grouping.
QString its(qint64 aVal);

// Leading blanks and a sign are accepted; anything else, an empty text or a number beyond
// 64 bits gives Default.
qint64 sti(const QString& aVal, qint64 Default);

// The locale's date separator ("/" for English (United Kingdom)).
QString localeDateSeparator();

// "dd/mm/yyyy" with the locale's date separator; empty for dates before 1 January 1980.
QString dtsEx(TDateTime aDate);

// Reads a typed date, day first, with any separators, without a year or as a run of
// digits. Returns a whole day, or 0 for no date; an impossible date shows "Invalid Date"
// through the message sink and also gives 0.
TDateTime txt2Date(const QString& txt);

// A colour as opaque 0xAARRGGBB; system colours are resolved first.
quint32 ColourToGPColour(TColor aCol);

// The RGB colour (0x00BBGGRR) of a system colour index.
TColor systemColourRgb(int index);
// The desktop's default RGB colour of a system colour index (black for unknown indices).
TColor defaultSystemColourRgb(int index);
// Replaces how system colour indices are resolved (the window resolves them through its
// palette); an empty function restores the default desktop colours.
void setSystemColourSource(std::function<TColor(int index)> source);
