#pragma once

// The current local date and time. Everything that needs "today" asks here, so tests can
// fix the moment instead of depending on the day they run.

#include <QDateTime>
#include <functional>

QDateTime currentDateTime();
// The date part of currentDateTime().
QDate currentDate();

// Replaces the source of the current moment; an empty function restores the system clock.
void setCurrentDateTimeSource(std::function<QDateTime()> source);

// Fixes the current moment for the life of the object, then restores the system clock.
class FixedClock final {
public:
    explicit FixedClock(const QDateTime& now);
    ~FixedClock();
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;
};
