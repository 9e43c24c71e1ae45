#include "common/Clock.h"

namespace {

std::function<QDateTime()>& source() {
    static std::function<QDateTime()> current;
    return current;
}

} // namespace

QDateTime currentDateTime() {
    return source() ? source()() : QDateTime::currentDateTime();
}

QDate currentDate() {
    return currentDateTime().date();
}

void setCurrentDateTimeSource(std::function<QDateTime()> newSource) {
    source() = std::move(newSource);
}

FixedClock::FixedClock(const QDateTime& now) {
    setCurrentDateTimeSource([now] { return now; });
}

FixedClock::~FixedClock() {
    setCurrentDateTimeSource({});
}
