#pragma once

#include <QByteArray>
#include <QString>

// Camera-like files built byte by byte, for tests and the demo tree, in the
// cases a metadata writer does not produce on its own: TIFF-based raw files
// and JPEGs whose EXIF sits at odd offsets, far into the file, or behind
// look-alike bytes.
namespace ExifFiles {

struct Tags
{
    int orientation = 0;      // 0 writes no tag
    QString dateTime;         // IFD0 DateTime; empty writes none
    QString dateTimeOriginal; // DateTimeOriginal in the Exif IFD; empty writes none
};

// A TIFF structure with the tags; bigEndian picks "MM" over "II". With
// cr2Header the header carries the CR2 signature after the IFD offset.
QByteArray tiff(const Tags& tags, bool bigEndian, bool cr2Header);

// A JPEG of the given size whose EXIF APP1 segment follows a comment
// segment holding the given bytes.
QByteArray jpeg(const Tags& tags, const QByteArray& commentBefore = QByteArray(), int width = 64,
                int height = 48);

bool writeFile(const QString& path, const QByteArray& bytes);

} // namespace ExifFiles
