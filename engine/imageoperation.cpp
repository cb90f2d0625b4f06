#include "imageoperation.h"

#include "exifreader.h"
#include "fileoperation.h"
#include "jpegcodec.h"
#include "picturework.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTransform>

namespace {

// QPainter cannot draw in colour on indexed, monochrome or grey images.
QImage paintable(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_Alpha8:
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return PictureWork::converted(image,
                                      image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    default:
        return image;
    }
}

// A scaled coordinate as a whole number far inside int's range, so neither
// the conversion nor QRect's own arithmetic (right = left + width - 1) can
// overflow, whatever a mark from the service says.
int boundedScaled(qint64 value, double scale)
{
    const double kLimit = 1 << 24;
    const double scaled = double(value) * scale;
    if (!(scaled == scaled)) // NaN
        return 0;
    return int(qBound(-kLimit, scaled, kLimit));
}

QRect mapRect(const QRect& rect, double sx, double sy)
{
    // The width from the corners in 64 bits: a rectangle near the end of
    // int's range has a width int cannot hold.
    const qint64 width = qint64(rect.right()) - rect.left() + 1;
    const qint64 height = qint64(rect.bottom()) - rect.top() + 1;
    return QRect(boundedScaled(rect.left(), sx), boundedScaled(rect.top(), sy), boundedScaled(width, sx),
                 boundedScaled(height, sy));
}

int turnFor(int orientation)
{
    switch (orientation) {
    case 3:
        return 180;
    case 6:
        return 90;
    case 8:
        return -90;
    default:
        return 0;
    }
}

} // namespace

QImage ImageOperation::loadImage(QString path)
{
    // Only regular files (a pipe or device would never end), read to their
    // end: a read that breaks off gives no image, never a part of one.
    QByteArray data;
    if (!FileOperation::readFile(path, &data))
        return QImage();
    QImage image;
    image.loadFromData(data);
    return image;
}

QImage ImageOperation::getThumb(QImage image, QRect mark, int size, bool ellipse, int number)
{
    if (image.isNull())
        return image;
    const QImage scaled = image.scaled(size, size, Qt::KeepAspectRatio, Qt::FastTransformation);
    const double sx = double(scaled.width()) / image.width();
    const double sy = double(scaled.height()) / image.height();
    QImage result = addRectToImage(scaled, mapRect(mark, sx, sy), ellipse);
    result = getSquareImage(result);
    return addNumToImage(result, number);
}

QRect ImageOperation::scaleRect(QImage from, QRect rect, QImage to)
{
    if (from.width() <= 0 || from.height() <= 0)
        return QRect();
    return mapRect(rect, double(to.width()) / from.width(), double(to.height()) / from.height());
}

QImage ImageOperation::addRectToImage(QImage image, QRect rect, bool ellipse)
{
    if (image.isNull())
        return image;
    image = paintable(image);
    QPainter painter(&image);
    painter.setPen(QPen(QColor(32, 45, 98, 255), 2));
    if (ellipse)
        painter.drawEllipse(rect);
    else
        painter.drawRect(rect);
    painter.end();
    return image;
}

QImage ImageOperation::getSquareImage(QImage image)
{
    if (image.isNull())
        return image;
    const int side = qMax(image.width(), image.height());
    QImage square(side, side, QImage::Format_ARGB32);
    square.fill(Qt::white);
    const QImage scaled = image.scaled(side - 2, side - 2, Qt::KeepAspectRatio, Qt::FastTransformation);

    QPainter painter(&square);
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    painter.drawRect(square.rect());
    painter.setPen(QPen(Qt::gray, 2));
    painter.drawRect(QRect(QPoint(0, 0), QPoint(side - 1, side - 1)));
    painter.drawImage(QPoint((side - scaled.width()) / 2, (side - scaled.height()) / 2), scaled);
    painter.end();
    return square;
}

QImage ImageOperation::addNumToImage(QImage image, int number)
{
    if (number < 1 || image.isNull())
        return image;
    image = paintable(image);
    const QRect box(QPoint(0, image.height() - 18), QPoint(21, image.height() - 1));
    QPainter painter(&image);
    painter.setBrush(QBrush(Qt::red, Qt::SolidPattern));
    painter.drawRect(box);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawText(box, Qt::AlignCenter, QString::number(number));
    painter.end();
    return image;
}

QImage ImageOperation::loadImageWithin(const QString& path, const QSize& box, QRect* mark, int* orientation)
{
    if (orientation)
        *orientation = 0;
    QByteArray data;
    if (!FileOperation::readFile(path, &data))
        return QImage();
    if (orientation)
        *orientation = ExifReader::fromBytes(data).orientation;
    const QSize full = storedSize(data);
    QImage image;
    if (full.isValid() && !full.isEmpty()) {
        const QSize fit = full.scaled(box, Qt::KeepAspectRatio);
        image = decodeScaled(data, fit.width() < full.width() && !fit.isEmpty() ? fit : full);
    }
    if (image.isNull())
        image.loadFromData(data);
    if (mark && !image.isNull() && full.isValid() && !full.isEmpty() && image.size() != full)
        *mark = mapRect(*mark, double(image.width()) / full.width(), double(image.height()) / full.height());
    return image;
}

QSize ImageOperation::storedSize(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    return reader.size();
}

QImage ImageOperation::decodeScaled(const QByteArray& data, const QSize& size, bool* clean)
{
    if (clean)
        *clean = false;
    if (size.isEmpty())
        return QImage();
    bool warned = false;
    bool declined = false;
    QImage image = JpegCodec::decodeCovering(data, size, &warned, &declined);
    if (clean)
        *clean = !image.isNull() && !warned;
    if (image.isNull()) {
        image = PictureWork::readScaled(data, size);
        // A JPEG the fast decoder does not take (CMYK, an unusual sampling)
        // is not damaged for that: libjpeg judges it, the reader's pixels
        // stand.
        if (clean && declined && !image.isNull())
            *clean = JpegCodec::decodesCleanly(data);
    }
    if (!image.isNull() && image.size() != size)
        image = PictureWork::smoothScaled(image, size);
    return image;
}

bool ImageOperation::encodeImage(const QImage& image, const QString& path, QByteArray* bytes, int quality,
                                 const QByteArray& format)
{
    QBuffer buffer(bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format.isEmpty() ? QFileInfo(path).suffix().toLower().toLatin1() : format);
    writer.setQuality(quality);
    return writer.write(image);
}

bool ImageOperation::saveImage(const QImage& image, const QString& path, const QByteArray& format)
{
    QByteArray bytes;
    return encodeImage(image, path, &bytes, -1, format) && FileOperation::writeFile(bytes, path, true);
}

QImage ImageOperation::getWebViewThumbImage(Image photo, int size)
{
    if (photo.kind() != FinePhoto)
        qDebug() << "出错：网页中的照片不是来自成品！";
    QRect mark = photo.clipRect();
    const QString smallPath = photo.GetImagePath();
    QImage image;
    if (FileOperation::isFileExist(smallPath)) {
        image = loadImageWithin(smallPath, QSize(size, size), &mark);
    } else {
        // The mark is given in the grid of the small thumbnail, so the photo
        // becomes exactly that first, and is kept as one.
        image = makeSmallThumbnail(photo.GetBigImagePath(), smallPath);
    }
    return getThumb(image, mark, size, photo.isEllipse(), 0);
}

QImage ImageOperation::makeSmallThumbnail(const QString& bigPath, const QString& smallPath)
{
    const QSize box(1000, 1000);
    int orientation = 0;
    QImage image = loadImageWithin(bigPath, box, nullptr, &orientation);
    // Upright, as the import makes every small thumbnail: a turned camera
    // file put into the order by hand would otherwise lie on its side. The
    // turn is the one the bytes read carry, never a second read's.
    if (!image.isNull())
        image = uprightImage(std::move(image), orientation);
    if (!image.isNull() && image.size() != image.size().scaled(box, Qt::KeepAspectRatio))
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::FastTransformation);
    if (!image.isNull())
        saveImage(image, smallPath);
    return image;
}

QPixmap ImageOperation::getWebViewThumb(Image photo, int size)
{
    return PictureWork::toPixmap(getWebViewThumbImage(photo, size));
}

QImage ImageOperation::getCodeImage(CodeImageInfo info)
{
    QImage label(218, 150, QImage::Format_RGB32);
    label.fill(Qt::white);
    QPainter painter(&label);
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    painter.drawRect(QRect(QPoint(-1, -1), QPoint(217, 149)));

    painter.setPen(QPen(Qt::black, 2));
    painter.drawText(QRect(5, 0, 218, 20), Qt::AlignLeft | Qt::AlignTop, info.title);
    painter.drawText(QRect(5, 20, 218, 20), Qt::AlignLeft | Qt::AlignTop, info.subtitle);

    painter.setPen(QPen(Qt::black, 1));
    painter.drawText(QRect(0, 110, 218, 20), Qt::AlignCenter, info.codeText);
    painter.drawText(QRect(0, 130, 218, 20), Qt::AlignCenter, info.shopName);

    const QImage code(info.barCodeImagePath);
    if (!code.isNull())
        painter.drawImage(QRect(5, 40, 208, 70), code, QRect(0, 0, code.width(), 74));
    painter.end();
    return label;
}

int ImageOperation::getDirection(QString path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        qDebug() << "文件不存在" << path;
        return 1;
    }
    file.close();
    const int orientation = ExifReader::orientation(path);
    if (orientation == 0) {
        qDebug() << "没找到方向" << path;
        return 1;
    }
    return orientation;
}

QImage ImageOperation::rotateImage(QImage image, int orientation)
{
    const int turn = turnFor(orientation);
    if (turn == 0)
        return image;
    qDebug() << "旋转图片旋转图片" << orientation;
    // The turn would drop the colour profile: the picture keeps it.
    QImage turned = image.transformed(QTransform().rotate(turn), Qt::SmoothTransformation);
    turned.setColorSpace(image.colorSpace());
    return turned;
}

QPixmap ImageOperation::rotateImage(QPixmap pixmap, int orientation)
{
    const int turn = turnFor(orientation);
    if (turn == 0)
        return pixmap;
    qDebug() << "旋转图片旋转图片" << orientation;
    return pixmap.transformed(QTransform().rotate(turn), Qt::SmoothTransformation);
}

QImage ImageOperation::uprightImage(QImage image, int orientation)
{
    // Mirrors are made in place.
    switch (orientation) {
    case 2:
        return std::move(image).mirrored(true, false);
    case 3:
        return std::move(image).mirrored(true, true);
    case 4:
        return std::move(image).mirrored(false, true);
    case 5: // a quarter turn clockwise, then mirrored left to right
        return rotateImage(std::move(image), 6).mirrored(true, false);
    case 7: // a quarter turn clockwise, then mirrored top to bottom
        return rotateImage(std::move(image), 6).mirrored(false, true);
    default:
        return rotateImage(std::move(image), orientation);
    }
}
