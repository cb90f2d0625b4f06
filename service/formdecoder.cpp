#include "formdecoder.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

void FormData::add(const QString& key, const QString& value)
{
    keys.append(key);
    values.insert(key, value);
}

QString FormDecoder::decodeComponent(const QByteArray& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '+') {
            bytes.append(' ');
        } else if (c == '%' && i + 2 < text.size() && hexValue(text.at(i + 1)) >= 0 &&
                   hexValue(text.at(i + 2)) >= 0) {
            bytes.append(char(hexValue(text.at(i + 1)) * 16 + hexValue(text.at(i + 2))));
            i += 2;
        } else {
            bytes.append(c);
        }
    }
    return QString::fromUtf8(bytes);
}

FormData FormDecoder::decode(const QByteArray& body)
{
    FormData form;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const int eq = pair.indexOf('=');
        const QString key = decodeComponent(eq < 0 ? pair : pair.left(eq));
        if (key.isEmpty())
            continue;
        form.add(key, eq < 0 ? QString() : decodeComponent(pair.mid(eq + 1)));
    }
    return form;
}
