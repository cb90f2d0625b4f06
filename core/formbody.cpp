#include "formbody.h"

#include <QUrl>

FormBody::FormBody(bool leadingAmpersand) : m_leadingAmpersand(leadingAmpersand) {}

FormBody& FormBody::add(const QString& key, const QString& value)
{
    m_pairs.append({key, encode(value)});
    return *this;
}

FormBody& FormBody::addEncoded(const QString& key, const QByteArray& encodedValue)
{
    m_pairs.append({key, encodedValue});
    return *this;
}

QByteArray FormBody::toByteArray() const
{
    QByteArray body;
    bool first = true;
    for (const auto& pair : m_pairs) {
        if (!first || m_leadingAmpersand)
            body += '&';
        first = false;
        body += pair.first.toUtf8();
        body += '=';
        body += pair.second;
    }
    return body;
}

QList<QString> FormBody::keys() const
{
    QList<QString> keys;
    for (const auto& pair : m_pairs)
        keys.append(pair.first);
    return keys;
}

QByteArray FormBody::encode(const QString& value)
{
    return QUrl::toPercentEncoding(value);
}

QString FormBody::logText(const QByteArray& body)
{
    // The password is masked on the encoded pairs: once decoded, an "&" or
    // "=" inside it could no longer be told from the pairs' own.
    QList<QByteArray> pairs = body.split('&');
    for (QByteArray& pair : pairs) {
        if (pair.startsWith("password="))
            pair = "password=***";
    }
    QString text = QString::fromUtf8(QByteArray::fromPercentEncoding(pairs.join('&')));
    text.replace(QLatin1Char('='), QStringLiteral(": "));
    text.replace(QLatin1Char('&'), QStringLiteral("\n "));
    return text;
}
