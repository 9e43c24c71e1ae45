#pragma once

// Date-time values as the station product keeps them: a double counting days since
// 30 December 1899, the fraction being the time of day. 0 means "no date".

#include <QDateTime>

using TDateTime = double;

// The day of value 0.
QDate dateTimeEpoch();

// An invalid QDateTime for 0 (no date). Milliseconds are rounded to the nearest.
QDateTime dateTimeFromValue(TDateTime value);
// 0 for an invalid QDateTime.
TDateTime valueFromDateTime(const QDateTime& dateTime);
TDateTime valueFromDate(const QDate& date);
