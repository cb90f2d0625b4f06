#include "barcodedecoder.h"

#include "picturework.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <zbar.h>

using namespace zbar;

QStringList BarcodeDecoder::code128(const QImage& image)
{
    const QImage gray = PictureWork::converted(image, QImage::Format_Grayscale8);
    QByteArray pixels;
    for (int y = 0; y < gray.height(); ++y)
        pixels.append(reinterpret_cast<const char*>(gray.constScanLine(y)), gray.width());

    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner, ZBAR_CODE128, ZBAR_CFG_ENABLE, 1);
    zbar_image_t* zimage = zbar_image_create();
    zbar_image_set_format(zimage, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(zimage, unsigned(gray.width()), unsigned(gray.height()));
    zbar_image_set_data(zimage, pixels.constData(), unsigned(pixels.size()), nullptr);

    QStringList found;
    if (zbar_scan_image(scanner, zimage) > 0) {
        for (const zbar_symbol_t* s = zbar_image_first_symbol(zimage); s; s = zbar_symbol_next(s))
            found.append(QString::fromUtf8(zbar_symbol_get_data(s)));
    }
    zbar_image_destroy(zimage);
    zbar_image_scanner_destroy(scanner);
    return found;
}

namespace {

// The PNG files a poppler tool writes for the PDF, read in name order.
QList<QImage> popplerPictures(const QString& tool, QStringList arguments, const QString& pdf)
{
    QTemporaryDir dir;
    QProcess process;
    process.start(tool, arguments << pdf << dir.filePath("out"));
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    QList<QImage> pictures;
    for (const QString& name : QDir(dir.path()).entryList({"out*.png"}, QDir::Files, QDir::Name))
        pictures.append(QImage(dir.filePath(name)));
    return pictures;
}

} // namespace

QList<QImage> BarcodeDecoder::pdfPages(const QString& pdf)
{
    return popplerPictures(QStringLiteral("pdftoppm"), {"-r", "300", "-png"}, pdf);
}

QList<QImage> BarcodeDecoder::pdfPictures(const QString& pdf)
{
    return popplerPictures(QStringLiteral("pdfimages"), {"-png"}, pdf);
}

QSizeF BarcodeDecoder::pdfPageSize(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {pdf});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    static const QRegularExpression size(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"));
    const QRegularExpressionMatch m = size.match(QString::fromUtf8(process.readAllStandardOutput()));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}
