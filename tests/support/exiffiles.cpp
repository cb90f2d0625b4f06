#include "exiffiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QList>

namespace {

struct Entry
{
    quint16 tag;
    quint16 type; // 2 ASCII, 3 SHORT, 4 LONG
    quint32 count;
    QByteArray data; // already in file byte order; inline when at most 4 bytes
};

class Writer
{
public:
    explicit Writer(bool bigEndian) : m_big(bigEndian) {}

    QByteArray u16(quint16 v) const
    {
        QByteArray b(2, '\0');
        b[m_big ? 0 : 1] = char(v >> 8);
        b[m_big ? 1 : 0] = char(v & 0xff);
        return b;
    }
    QByteArray u32(quint32 v) const
    {
        QByteArray b(4, '\0');
        for (int i = 0; i < 4; ++i)
            b[m_big ? 3 - i : i] = char((v >> (8 * i)) & 0xff);
        return b;
    }

    // An IFD at offset start with its out-of-line values after it.
    QByteArray ifd(const QList<Entry>& entries, quint32 start) const
    {
        QByteArray head = u16(quint16(entries.size()));
        QByteArray values;
        const quint32 valuesStart = start + 2 + 12 * quint32(entries.size()) + 4;
        for (const Entry& e : entries) {
            head += u16(e.tag) + u16(e.type) + u32(e.count);
            if (e.data.size() <= 4) {
                head += e.data + QByteArray(4 - e.data.size(), '\0');
            } else {
                head += u32(valuesStart + quint32(values.size()));
                values += e.data;
                if (values.size() % 2)
                    values += '\0';
            }
        }
        head += u32(0);
        return head + values;
    }

    Entry shortEntry(quint16 tag, quint16 value) const { return {tag, 3, 1, u16(value)}; }
    Entry longEntry(quint16 tag, quint32 value) const { return {tag, 4, 1, u32(value)}; }
    static Entry asciiEntry(quint16 tag, const QString& text)
    {
        const QByteArray data = text.toLatin1() + '\0';
        return {tag, 2, quint32(data.size()), data};
    }

private:
    bool m_big;
};

QByteArray segment(quint8 marker, const QByteArray& payload)
{
    const int length = payload.size() + 2;
    QByteArray s;
    s += char(0xff);
    s += char(marker);
    s += char(length >> 8);
    s += char(length & 0xff);
    return s + payload;
}

} // namespace

QByteArray ExifFiles::tiff(const Tags& tags, bool bigEndian, bool cr2Header)
{
    const Writer w(bigEndian);
    const quint32 ifd0Start = cr2Header ? 16 : 8;

    QByteArray header = QByteArray(bigEndian ? "MM" : "II") + w.u16(42) + w.u32(ifd0Start);
    if (cr2Header)
        header += QByteArray("CR\x02\x00", 4) + w.u32(0);

    QList<Entry> ifd0{w.shortEntry(0x0100, 16), w.shortEntry(0x0101, 16)};
    if (tags.orientation > 0)
        ifd0 << w.shortEntry(0x0112, quint16(tags.orientation));
    if (!tags.dateTime.isEmpty())
        ifd0 << Writer::asciiEntry(0x0132, tags.dateTime);

    if (tags.dateTimeOriginal.isEmpty())
        return header + w.ifd(ifd0, ifd0Start);

    // The Exif IFD follows IFD0; its offset depends on IFD0's size, which
    // the pointer entry itself does not change.
    ifd0 << w.longEntry(0x8769, 0);
    const quint32 exifStart = ifd0Start + quint32(w.ifd(ifd0, ifd0Start).size());
    ifd0.last() = w.longEntry(0x8769, exifStart);
    const QList<Entry> exif{Writer::asciiEntry(0x9003, tags.dateTimeOriginal)};
    return header + w.ifd(ifd0, ifd0Start) + w.ifd(exif, exifStart);
}

QByteArray ExifFiles::jpeg(const Tags& tags, const QByteArray& commentBefore, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 160, 90));
    QByteArray plain;
    QBuffer buffer(&plain);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);

    QByteArray out = plain.left(2); // SOI
    if (!commentBefore.isEmpty())
        out += segment(0xfe, commentBefore);
    out += segment(0xe1, QByteArray("Exif\0\0", 6) + tiff(tags, false, false));
    return out + plain.mid(2);
}

bool ExifFiles::writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
