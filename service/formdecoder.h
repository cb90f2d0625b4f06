#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// The pairs of a form body or a query string, read the way the web service's
// PHP form parser reads them: pairs split at "&", key and value split at the
// first "=", "+" read as a blank and "%XX" decoded, empty pairs and empty keys
// skipped, the last value of a repeated key wins.
struct FormData
{
    QStringList keys;              // every key in the order received, repeats included
    QMap<QString, QString> values; // decoded values, the last of a repeated key wins

    QString value(const QString& key) const { return values.value(key); }
    bool contains(const QString& key) const { return values.contains(key); }
    void add(const QString& key, const QString& value);
};

namespace FormDecoder {

// One key or value: "+" as a blank, "%XX" as a byte, a "%" without two hex
// digits kept as it is; the bytes read as UTF-8.
QString decodeComponent(const QByteArray& text);

FormData decode(const QByteArray& body);

} // namespace FormDecoder
