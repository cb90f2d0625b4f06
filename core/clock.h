#pragma once

#include <QDate>
#include <QDateTime>

// The one source of "now" for dates that enter folder and file names, so
// tests can fix it.
namespace Clock {
QDateTime now();
QDate today();
// An invalid date-time goes back to the real clock.
void setFixed(const QDateTime& dateTime);
} // namespace Clock
