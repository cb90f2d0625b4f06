#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// Real JPEG files with real EXIF for tests, the demo tree and benchmarks.
namespace JpegFixture {

struct Options
{
    QSize size{1200, 800};
    int orientation = 1;        // EXIF orientation 1..8; 0 writes no tag
    QString dateTime;           // IFD0 DateTime "yyyy:MM:dd HH:mm:ss"; empty writes none
    QString dateTimeOriginal;   // Exif DateTimeOriginal; empty writes none
    int quality = 90;
    quint32 seed = 1;           // varies the picture
};

// A picture with the texture of a photo (gradients, shapes and sensor-like
// noise), so JPEG sizes and decode times are those of real photos.
QImage cameraLikeImage(const QSize& size, quint32 seed);

// The JPEG bytes of the image with the given EXIF (orientation 0 and empty
// dates: none); empty on failure.
QByteArray encode(const QImage& image, int quality, int orientation, const QString& dateTime,
                  const QString& dateTimeOriginal);

// Writes a JPEG with the given EXIF in one piece: the file never exists
// without its tags. False on failure.
bool write(const QString& path, const Options& options);
bool write(const QString& path, const QImage& image, int quality, int orientation, const QString& dateTime,
           const QString& dateTimeOriginal);

// Replaces the EXIF of an existing JPEG or TIFF-based file.
bool writeExif(const QString& path, int orientation, const QString& dateTime, const QString& dateTimeOriginal);

} // namespace JpegFixture
