#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// Reads barcodes back for the label tests.
namespace BarcodeDecoder {

// The Code 128 symbols found in the image (libzbar).
QStringList code128(const QImage& image);
// Each page of a PDF rendered at 300 dpi by pdftoppm; empty on failure.
QList<QImage> pdfPages(const QString& pdf);
// The page size in points as pdfinfo reports it; invalid on failure.
QSizeF pdfPageSize(const QString& pdf);

} // namespace BarcodeDecoder
