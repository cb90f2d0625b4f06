#include "jpegfixture.h"

#include "fileoperation.h"

#include <QBuffer>
#include <QMutex>

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

namespace {

void fillExif(Exiv2::ExifData& exif, int orientation, const QString& dateTime, const QString& dateTimeOriginal)
{
    exif["Exif.Image.Make"] = "Studio Camera";
    exif["Exif.Image.Model"] = "Test Body";
    if (orientation > 0)
        exif["Exif.Image.Orientation"] = uint16_t(orientation);
    if (!dateTime.isEmpty())
        exif["Exif.Image.DateTime"] = dateTime.toStdString();
    if (!dateTimeOriginal.isEmpty())
        exif["Exif.Photo.DateTimeOriginal"] = dateTimeOriginal.toStdString();
}

void fillCameraExif(Exiv2::ExifData& exif, const QImage& image)
{
    exif["Exif.Image.Copyright"] = "Studio Photographer";
    exif["Exif.Image.ImageWidth"] = uint16_t(image.width());
    exif["Exif.Image.ImageLength"] = uint16_t(image.height());
    exif["Exif.Photo.PixelXDimension"] = uint32_t(image.width());
    exif["Exif.Photo.PixelYDimension"] = uint32_t(image.height());
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "31/1 14/1 2/1";
    // A maker's note of a make the library does not know: kept as bytes
    // (the NULs inside are part of it; the one that ends the literal is not).
    static const char kNote[] = "STUDIO\0\1\2\3\4 offsets into the segment";
    const QByteArray note(kNote, int(sizeof kNote) - 1);
    Exiv2::DataValue value(Exiv2::undefined);
    value.read(reinterpret_cast<const Exiv2::byte*>(note.constData()), long(note.size()));
    exif.add(Exiv2::ExifKey("Exif.Photo.MakerNote"), &value);
    QByteArray thumbnail;
    QBuffer buffer(&thumbnail);
    buffer.open(QIODevice::WriteOnly);
    image.scaled(160, 120, Qt::KeepAspectRatio).save(&buffer, "JPG", 80);
    Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()),
                                            long(thumbnail.size()));
}

// The library keeps global state; fixtures are made from several threads.
QMutex s_exivMutex;

} // namespace

QByteArray JpegFixture::encode(const QImage& image, int quality, int orientation, const QString& dateTime,
                               const QString& dateTimeOriginal)
{
    Options options;
    options.quality = quality;
    options.orientation = orientation;
    options.dateTime = dateTime;
    options.dateTimeOriginal = dateTimeOriginal;
    return encode(image, options);
}

QByteArray JpegFixture::encode(const QImage& image, const Options& options)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG", options.quality))
        return QByteArray();
    buffer.close();
    return withExif(jpeg, image, options);
}

QByteArray JpegFixture::withExif(const QByteArray& jpeg, const QImage& image, const Options& options)
{
    if (options.orientation == 0 && options.dateTime.isEmpty() && options.dateTimeOriginal.isEmpty() &&
        !options.cameraMetadata)
        return jpeg;
    QMutexLocker lock(&s_exivMutex);
    try {
        Exiv2::Image::AutoPtr file = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(jpeg.constData()), long(jpeg.size()));
        if (!file.get())
            return QByteArray();
        file->readMetadata();
        Exiv2::ExifData exif;
        fillExif(exif, options.orientation, options.dateTime, options.dateTimeOriginal);
        if (options.cameraMetadata)
            fillCameraExif(exif, image);
        // The library writes one entry a tag: a stand-in that sorts right
        // after the orientation becomes the second orientation entry below.
        if (options.repeatedOrientation)
            exif["Exif.Image.SamplesPerPixel"] = uint16_t(1);
        if (options.bigEndian)
            file->setByteOrder(Exiv2::bigEndian);
        file->setExifData(exif);
        file->writeMetadata();
        Exiv2::BasicIo& io = file->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf data = io.read(long(io.size()));
        QByteArray result(reinterpret_cast<const char*>(data.pData_), int(data.size_));
        if (options.repeatedOrientation) {
            // Tag 0x0115, a SHORT, one value, 1; made tag 0x0112.
            const QByteArray entry = options.bigEndian ? QByteArray::fromHex("011500030000000100010000")
                                                       : QByteArray::fromHex("150103000100000001000000");
            const int at = result.indexOf(entry);
            if (at < 0)
                return QByteArray();
            result[at + (options.bigEndian ? 1 : 0)] = char(0x12);
        }
        return result;
    } catch (const Exiv2::AnyError&) {
        return QByteArray();
    }
}

QMap<QString, QString> JpegFixture::exifTags(const QString& path)
{
    QMap<QString, QString> tags;
    QMutexLocker lock(&s_exivMutex);
    try {
        Exiv2::Image::AutoPtr file = Exiv2::ImageFactory::open(path.toStdString());
        if (!file.get())
            return tags;
        file->readMetadata();
        for (const Exiv2::Exifdatum& datum : file->exifData()) {
            const QString key = QString::fromStdString(datum.key());
            const QString value = QString::fromStdString(datum.toString());
            tags.insert(key, tags.contains(key) ? tags.value(key) + "; " + value : value);
        }
    } catch (const Exiv2::AnyError&) {
        tags.clear();
    }
    return tags;
}

bool JpegFixture::write(const QString& path, const QImage& image, int quality, int orientation,
                        const QString& dateTime, const QString& dateTimeOriginal)
{
    const QByteArray bytes = encode(image, quality, orientation, dateTime, dateTimeOriginal);
    return !bytes.isEmpty() && FileOperation::writeFile(bytes, path, true);
}

bool JpegFixture::write(const QString& path, const Options& options)
{
    const QByteArray bytes = encode(cameraLikeImage(options.size, options.seed), options);
    return !bytes.isEmpty() && FileOperation::writeFile(bytes, path, true);
}

bool JpegFixture::writeExif(const QString& path, int orientation, const QString& dateTime,
                            const QString& dateTimeOriginal)
{
    QMutexLocker lock(&s_exivMutex);
    try {
        Exiv2::Image::AutoPtr file = Exiv2::ImageFactory::open(path.toStdString());
        if (!file.get())
            return false;
        file->readMetadata();
        Exiv2::ExifData exif;
        fillExif(exif, orientation, dateTime, dateTimeOriginal);
        file->setExifData(exif);
        file->writeMetadata();
        return true;
    } catch (const Exiv2::AnyError&) {
        return false;
    }
}
