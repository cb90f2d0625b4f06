#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// A form body of key=value pairs joined by "&", in the caller's order.
// Every value is percent-encoded exactly once (UTF-8, unreserved
// characters kept), so "&", "=", "+", "%" or "#" in a name, keyword or path
// cannot break or add pairs. Keys are fixed ASCII words and stay as given.
class FormBody
{
public:
    // A body that begins with "&" before its first key, as some requests do.
    explicit FormBody(bool leadingAmpersand = false);

    FormBody& add(const QString& key, const QString& value);
    FormBody& add(const QString& key, const char* value) { return add(key, QString::fromUtf8(value)); }
    FormBody& add(const QString& key, qint64 value) { return add(key, QString::number(value)); }
    FormBody& add(const QString& key, int value) { return add(key, QString::number(value)); }
    // A value that is already percent-encoded; it is sent as it is.
    FormBody& addEncoded(const QString& key, const QByteArray& encodedValue);

    QByteArray toByteArray() const;
    operator QByteArray() const { return toByteArray(); }

    // The keys in order, for logs and tests.
    QList<QString> keys() const;

    static QByteArray encode(const QString& value);
    // The body as the debug log shows it: "=" as ": ", each "&" as a line
    // break and a blank; the value of a "password" pair is shown as "***".
    static QString logText(const QByteArray& body);

private:
    bool m_leadingAmpersand;
    QList<QPair<QString, QByteArray>> m_pairs;
};
