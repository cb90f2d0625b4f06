#include "clock.h"

#include <QMutex>
#include <QRegularExpression>

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

QDate Clock::parseDay(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2})$"));
    const QRegularExpressionMatch match = shape.match(text);
    if (!match.hasMatch())
        return QDate();
    return QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
}
