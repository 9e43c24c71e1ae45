#include "common/DateTime.h"

#include <cmath>

namespace {
constexpr qint64 msPerDay = 24LL * 60 * 60 * 1000;
}

QDate dateTimeEpoch() {
    return QDate(1899, 12, 30);
}

QDateTime dateTimeFromValue(TDateTime value) {
    if (value == 0.0)
        return QDateTime();
    // Before the epoch the whole part counts days back and the fraction is still the
    // time of day forward, as the product's date arithmetic does it.
    const double days = std::trunc(value);
    const double fraction = std::fabs(value - days);
    qint64 ms = std::llround(fraction * msPerDay);
    qint64 dayCount = static_cast<qint64>(days);
    if (ms >= msPerDay) {
        ms -= msPerDay;
        dayCount += 1;
    }
    return QDateTime(dateTimeEpoch().addDays(dayCount), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

TDateTime valueFromDateTime(const QDateTime& dateTime) {
    if (!dateTime.isValid())
        return 0.0;
    const double days = double(dateTimeEpoch().daysTo(dateTime.date()));
    const double fraction = double(dateTime.time().msecsSinceStartOfDay()) / msPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

TDateTime valueFromDate(const QDate& date) {
    return date.isValid() ? double(dateTimeEpoch().daysTo(date)) : 0.0;
}
