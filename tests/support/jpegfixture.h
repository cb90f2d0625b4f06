#pragma once

#include <QByteArray>
#include <QImage>
#include <QMap>
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
    // Also what a camera writes beside the dates: copyright, a GPS position,
    // a maker's note, the pixel sizes and a thumbnail in IFD1.
    bool cameraMetadata = false;
    bool bigEndian = false; // the EXIF in "MM" byte order
    // IFD0 holds a second orientation entry, 1, after the first, as some
    // editors leave it.
    bool repeatedOrientation = false;
};

// A picture with the texture of a photo (gradients, shapes and sensor-like
// noise), so JPEG sizes and decode times are those of real photos.
QImage cameraLikeImage(const QSize& size, quint32 seed);

// The JPEG bytes of the image with the given EXIF (orientation 0 and empty
// dates: none); empty on failure.
QByteArray encode(const QImage& image, int quality, int orientation, const QString& dateTime,
                  const QString& dateTimeOriginal);

// The JPEG bytes of the image with the EXIF the options give (their size
// and seed are not used); empty on failure.
QByteArray encode(const QImage& image, const Options& options);

// The JPEG of the image with the EXIF the options give in place of its
// own; empty on failure.
QByteArray withExif(const QByteArray& jpeg, const QImage& image, const Options& options);

// Colour layouts that Qt's writer does not write.
enum class Layout
{
    Cmyk,     // the colours stored inverted in C, M and Y with no black, as CMYK JPEGs usually are
    YCbCr411, // luma sampled 4x1: chroma at a quarter of the width, the full height
};
// The image's JPEG written by libjpeg in the layout, at the options'
// quality, with their EXIF. (jpegdamage.cpp: tests only.)
QByteArray encode(const QImage& image, Layout layout, const Options& options);
// The JPEG's colour space and each component's sampling, as libjpeg reads
// them: "CMYK 1x1 1x1 1x1 1x1", "YCbCr 4x1 1x1 1x1"; empty when it cannot.
QString layoutOf(const QByteArray& jpeg);

// Damage a decoder meets in camera files, made to a JPEG's bytes.
enum class Damage
{
    NoWidth,          // the frame header gives a width of 0: nothing decodes it
    TwelveBitSamples, // a frame of 12-bit samples, which an 8-bit decoder refuses
    BadHuffmanTable,  // a Huffman table whose code counts make no table: refused
    // Coefficients beyond the range of the standard Huffman tables, coded
    // under tables that hold them: the photo decodes without a warning, as a
    // damaged one may, but an encoder on the standard tables cannot write
    // them again.
    BeyondStandardTables,
    // The same alone in a few blocks of the first row, far from the scan's
    // end: turned a quarter clockwise and written with the standard tables,
    // each reads as two small coefficients, and no decoder warns.
    FewBeyondStandardTables,
};
// The JPEG with the damage; its other segments (EXIF) stay. Empty on
// failure. (jpegdamage.cpp: tests only.)
QByteArray damaged(const QByteArray& jpeg, Damage damage);

// Every EXIF tag of the file as text by its key ("Exif.Image.Make"); empty
// when the file has none or cannot be read; a repeated tag gives its values
// in the order stored, joined by "; ".
QMap<QString, QString> exifTags(const QString& path);

// Writes a JPEG with the given EXIF in one piece: the file never exists
// without its tags. False on failure.
bool write(const QString& path, const Options& options);
bool write(const QString& path, const QImage& image, int quality, int orientation, const QString& dateTime,
           const QString& dateTimeOriginal);

// Replaces the EXIF of an existing JPEG or TIFF-based file.
bool writeExif(const QString& path, int orientation, const QString& dateTime, const QString& dateTimeOriginal);

} // namespace JpegFixture
