#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QVector>

// Code 128 pictures for the barcode labels of the dispatch desk: encoded
// with libzint, painted module by module.
namespace BarcodePicture {

// The label shows the picture's top 74 rows scaled into 208 × 70 pixels.
constexpr int pictureWidth = 208;
constexpr int pictureHeight = 74;
constexpr int quietZoneModules = 10;

// The symbol's modules from left to right, true for a bar; empty when the
// text cannot be written in Code 128 (an empty text, or characters outside
// Latin-1).
QVector<bool> code128Modules(const QString& text);

// The picture of the text on white: every module the same whole number of
// pixels wide, the symbol centred, with quiet zones of ten modules where
// the width allows. A null image when the symbol is wider than the picture.
QImage code128(const QString& text, const QSize& size = QSize(pictureWidth, pictureHeight));

// Writes the picture as PNG. A file or link already at the path is
// replaced, never written through. False when there is no picture for the
// text or the file cannot be written.
bool write(const QString& text, const QString& path);

} // namespace BarcodePicture
