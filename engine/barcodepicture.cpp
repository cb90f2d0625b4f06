#include "barcodepicture.h"

#include "imageoperation.h"

#include <QPainter>

#include <zint.h>

#include <memory>

namespace BarcodePicture {

QVector<bool> code128Modules(const QString& text)
{
    if (text.isEmpty())
        return {};
    const std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> symbol(ZBarcode_Create(), ZBarcode_Delete);
    if (!symbol)
        return {};
    symbol->symbology = BARCODE_CODE128;
    symbol->input_mode = UNICODE_MODE;
    const QByteArray data = text.toUtf8();
    if (ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(data.constData()),
                        data.size()) >= ZINT_ERROR ||
        symbol->rows < 1 || symbol->width < 1)
        return {};
    QVector<bool> modules(symbol->width);
    for (int x = 0; x < symbol->width; ++x)
        modules[x] = (symbol->encoded_data[0][x >> 3] >> (x & 7)) & 1;
    return modules;
}

QImage code128(const QString& text, const QSize& size)
{
    const QVector<bool> modules = code128Modules(text);
    const int count = modules.size();
    if (count == 0 || count > size.width())
        return {};
    // With room for the quiet zones the modules grow to fill it; without,
    // one pixel each and whatever margin is left.
    const int withQuiet = count + 2 * quietZoneModules;
    const int moduleWidth = withQuiet <= size.width() ? size.width() / withQuiet : 1;
    const int left = (size.width() - moduleWidth * count) / 2;

    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    for (int x = 0; x < count;) {
        int end = x;
        while (end < count && modules.at(end) == modules.at(x))
            ++end;
        if (modules.at(x))
            painter.fillRect(left + x * moduleWidth, 0, (end - x) * moduleWidth, size.height(), Qt::black);
        x = end;
    }
    painter.end();
    return picture;
}

bool write(const QString& text, const QString& path)
{
    const QImage picture = code128(text);
    return !picture.isNull() && ImageOperation::saveImage(picture, path);
}

} // namespace BarcodePicture
