#include "jpegfixture.h"

#include <QColor>
#include <QPainter>
#include <QtMath>

#include <exiv2/exiv2.hpp>

QImage JpegFixture::cameraLikeImage(const QSize& size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    const int w = size.width();
    const int h = size.height();
    quint32 state = seed * 2654435761u + 12345u;
    const int hueShift = int(seed * 47 % 360);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const int sky = 255 * y / qMax(1, h);
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 28) - 8;
            const int r = qBound(0, 80 + sky / 2 + (x * 90) / qMax(1, w) + noise, 255);
            const int g = qBound(0, 120 + ((x + y + hueShift) % 97) / 3 + noise, 255);
            const int b = qBound(0, 200 - sky / 2 + noise, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 12; ++i) {
        state = state * 1664525u + 1013904223u;
        const QColor color = QColor::fromHsv(int((state >> 8) % 360), 160, 200, 170);
        const int cx = int((state >> 4) % quint32(qMax(1, w)));
        const int cy = int((state >> 12) % quint32(qMax(1, h)));
        const int radius = qMax(2, qMin(w, h) / (4 + i));
        painter.setBrush(color);
        painter.setPen(QPen(color.darker(150), qMax(1, radius / 20)));
        if (i % 2)
            painter.drawEllipse(QPoint(cx, cy), radius, radius * 2 / 3);
        else
            painter.drawRect(cx - radius, cy - radius / 2, radius * 2, radius);
    }
    painter.end();
    return image;
}

bool JpegFixture::write(const QString& path, const Options& options)
{
    const QImage image = cameraLikeImage(options.size, options.seed);
    if (!image.save(path, "JPG", options.quality))
        return false;
    if (options.orientation == 0 && options.dateTime.isEmpty() && options.dateTimeOriginal.isEmpty())
        return true;
    return writeExif(path, options.orientation, options.dateTime, options.dateTimeOriginal);
}

bool JpegFixture::writeExif(const QString& path, int orientation, const QString& dateTime,
                            const QString& dateTimeOriginal)
{
    try {
        Exiv2::Image::AutoPtr file = Exiv2::ImageFactory::open(path.toStdString());
        if (!file.get())
            return false;
        file->readMetadata();
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Studio Camera";
        exif["Exif.Image.Model"] = "Test Body";
        if (orientation > 0)
            exif["Exif.Image.Orientation"] = uint16_t(orientation);
        if (!dateTime.isEmpty())
            exif["Exif.Image.DateTime"] = dateTime.toStdString();
        if (!dateTimeOriginal.isEmpty())
            exif["Exif.Photo.DateTimeOriginal"] = dateTimeOriginal.toStdString();
        file->setExifData(exif);
        file->writeMetadata();
        return true;
    } catch (const Exiv2::AnyError&) {
        return false;
    }
}
