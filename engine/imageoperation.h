#pragma once

#include "image.h"

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QString>

// The five texts of one barcode label, in the order they are given.
struct CodeImageInfo
{
    QString title;            // first line, top left
    QString subtitle;         // second line
    QString barCodeImagePath; // the barcode picture
    QString codeText;         // first centred line under the barcode
    QString shopName;         // last centred line
};

// Static image operations: marked sheet thumbnails, square icons, the
// orientation of camera photos and turning them upright, barcode labels.
// All of them are reentrant and work on QImage, so jobs can call them on
// pool threads; the QPixmap forms are for the user-interface thread only.
class ImageOperation
{
public:
    ImageOperation() = delete;

    // The image decoded from the file's bytes; null when unreadable.
    static QImage loadImage(QString path);
    // The image decoded no larger than the box (aspect kept; a JPEG is then
    // decoded at a fraction of the photo's size). A mark given in the file's
    // pixel grid is mapped to the decoded one. The orientation, where asked,
    // is the one the same bytes carry (0 when they carry none).
    static QImage loadImageWithin(const QString& path, const QSize& box, QRect* mark = nullptr,
                                  int* orientation = nullptr);
    // The size of the encoded image as stored (no orientation applied);
    // invalid when the bytes are no image a reader knows.
    static QSize storedSize(const QByteArray& data);
    // The encoded image decoded as stored at exactly the given size, smoothly
    // scaled. A JPEG is decoded at the smallest of the decoder's scales that
    // covers the size (3/8 of a 6000 pixel side is 2250), other formats
    // through their reader. Null when the bytes do not decode. clean, when
    // given, tells whether the JPEG decoder decoded them without a warning
    // (false for damaged data it decoded past, and for any other format); a
    // JPEG the fast decoder does not take (CMYK, a 1x4 sampling) is judged
    // by libjpeg, its pixels still the reader's.
    static QImage decodeScaled(const QByteArray& data, const QSize& size, bool* clean = nullptr);
    // The image encoded in the given format, or in the one the path's suffix
    // names, at the quality (-1: the writer's default); false when no
    // writer handles the format.
    static bool encodeImage(const QImage& image, const QString& path, QByteArray* bytes, int quality = -1,
                            const QByteArray& format = QByteArray());
    // Writes the image in the given format, or in the one its suffix names;
    // an existing file is replaced only by a complete new one.
    static bool saveImage(const QImage& image, const QString& path, const QByteArray& format = QByteArray());
    // A size × size square thumbnail with the mark drawn and, for a number
    // of 1 or more, the number box in its bottom-left corner.
    static QImage getThumb(QImage image, QRect mark, int size, bool ellipse, int number);
    // rect mapped from the pixel grid of from to that of to.
    static QRect scaleRect(QImage from, QRect rect, QImage to);
    static QImage addRectToImage(QImage image, QRect rect, bool ellipse);
    // The image centred on a white square of side max(width, height) with
    // a gray border.
    static QImage getSquareImage(QImage image);
    static QImage addNumToImage(QImage image, int number);

    // The production-sheet thumbnail of a finished photo, drawn from its
    // small thumbnail; a missing small thumbnail is made from the photo
    // first (1000 pixels on its long side) and written for the next time.
    // Photos are decoded at reduced scale; the mark lands within a pixel of
    // where a full decode would put it.
    static QImage getWebViewThumbImage(Image photo, int size);
    // A photo's small thumbnail (fitting 1000 × 1000), made upright from the
    // photo at bigPath and saved at smallPath; null when the photo cannot be
    // read.
    static QImage makeSmallThumbnail(const QString& bigPath, const QString& smallPath);
    static QPixmap getWebViewThumb(Image photo, int size);

    // The 218 × 150 barcode label.
    static QImage getCodeImage(CodeImageInfo info);

    // The EXIF orientation of a camera file; 1 when the file cannot be
    // opened or has none.
    static int getDirection(QString path);
    // Turns an image upright for orientation 3, 6 or 8; any other value
    // returns it unchanged.
    static QImage rotateImage(QImage image, int orientation);
    static QPixmap rotateImage(QPixmap pixmap, int orientation);
    // The image as a viewer shows it for its orientation tag (2 to 8):
    // mirrored, turned or both; any other value returns it unchanged.
    static QImage uprightImage(QImage image, int orientation);
};
