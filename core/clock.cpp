#include "clock.h"

#include <QMutex>

namespace {
QMutex s_mutex;
QDateTime s_fixed;
} // namespace

QDateTime Clock::now()
{
    QMutexLocker lock(&s_mutex);
    return s_fixed.isValid() ? s_fixed : QDateTime::currentDateTime();
}

QDate Clock::today()
{
    return now().date();
}

void Clock::setFixed(const QDateTime& dateTime)
{
    QMutexLocker lock(&s_mutex);
    s_fixed = dateTime;
}
