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

// The date of a "yyyy-MM-dd" text (exactly that shape); invalid otherwise.
// Safe on any thread, unlike QDate::fromString with a format, which can
// fail now and then when threads parse at the same time.
QDate parseDay(const QString& text);
} // namespace Clock
