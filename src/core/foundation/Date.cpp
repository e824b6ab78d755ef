#include "Date.h"

#include <chrono>
#include <cmath>

namespace kestrum {

Date Date::now() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return fromUnixSeconds(std::chrono::duration<double>(since).count());
}

Date Date::fromDateTime(const QDateTime& dateTime) {
    return fromUnixSeconds(static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0);
}

QDateTime Date::toDateTime() const {
    const double ms = std::floor(unixSeconds() * 1000.0);
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms), Qt::UTC);
}

} // namespace kestrum
