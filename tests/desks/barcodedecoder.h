#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// Reads barcodes, and the PDFs that hold them, back for the tests.
namespace BarcodeDecoder {

// The Code 128 symbols found in the image (libzbar).
QStringList code128(const QImage& image);
// Each page of a PDF rendered at 300 dpi by pdftoppm; empty on failure.
QList<QImage> pdfPages(const QString& pdf);
// The pictures a PDF holds, as pdfimages writes them out: a soft mask is a
// grey picture of its own, after the picture it masks; empty on failure.
QList<QImage> pdfPictures(const QString& pdf);
// The page size in points as pdfinfo reports it; invalid on failure.
QSizeF pdfPageSize(const QString& pdf);

} // namespace BarcodeDecoder
