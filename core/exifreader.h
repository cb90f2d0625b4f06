#pragma once

#include <QByteArray>
#include <QString>

// The one reader of camera metadata in the client: orientation and shot
// time of JPEG photos and TIFF-based raw files (CR2, NEF, ARW ...). It is
// safe to call from any thread and never throws; a file it cannot read
// answers like a file without the tags.
class ExifReader
{
public:
    struct Info
    {
        // The file was opened and its metadata parsed.
        bool readable = false;
        // EXIF orientation 1..8; 0 when the file has none (or a value
        // outside that range).
        int orientation = 0;
        // The shot time in its stored form "yy:MM:dd HH:mm:ss"; empty when
        // the file has no date or only a blank one.
        QString shotTime;
    };

    static Info read(const QString& path);
    // The same from a file's bytes already in memory, so a file that was
    // read is judged by what was read, without opening it again.
    static Info fromBytes(const QByteArray& data);
    static int orientation(const QString& path);
    static QString shotTime(const QString& path);

    // The stored form of an EXIF date-time: the text without the first two
    // characters of the year, trimmed ("2019:05:03 14:22:11" gives
    // "19:05:03 14:22:11"). A blank date ("0000:00:00 00:00:00", blanks)
    // gives an empty text.
    static QString shotTimeText(const QString& exifDateTime);
};
