#include "workbookreader.h"

#include <QHash>
#include <QXmlStreamReader>

#include <cstring>
#include <limits>

#include <unzip.h>

namespace {

// The most rows and columns a sheet has.
const int kMaxRows = 1048576;
const int kMaxColumns = 16384;

// The workbook's bytes as the zip reader's file: the bytes checked are the
// bytes then saved, not a second read of the file.
struct Source
{
    const QByteArray* bytes;
    ZPOS64_T at;
};

voidpf ZCALLBACK openSource(voidpf opaque, const void*, int mode)
{
    return (mode & ZLIB_FILEFUNC_MODE_WRITE) ? nullptr : opaque;
}

uLong ZCALLBACK readSource(voidpf, voidpf stream, void* buffer, uLong size)
{
    auto* source = static_cast<Source*>(stream);
    const ZPOS64_T left = ZPOS64_T(source->bytes->size()) - source->at;
    const uLong n = uLong(qMin<ZPOS64_T>(size, left));
    if (n > 0)
        std::memcpy(buffer, source->bytes->constData() + source->at, n);
    source->at += n;
    return n;
}

uLong ZCALLBACK writeSource(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK tellSource(voidpf, voidpf stream)
{
    return static_cast<Source*>(stream)->at;
}

long ZCALLBACK seekSource(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* source = static_cast<Source*>(stream);
    const ZPOS64_T size = ZPOS64_T(source->bytes->size());
    const ZPOS64_T base = origin == ZLIB_FILEFUNC_SEEK_CUR   ? source->at
                          : origin == ZLIB_FILEFUNC_SEEK_END ? size
                                                             : 0;
    if (offset > size - base)
        return -1;
    source->at = base + offset;
    return 0;
}

int ZCALLBACK closeSource(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK errorSource(voidpf, voidpf)
{
    return 0;
}

// Reads the part the zip stands on; false when it does not read whole.
// Closing it checks its bytes against the checksum the zip holds.
bool readPart(unzFile zip, QHash<QString, QByteArray>* parts)
{
    unz_file_info64 info;
    char name[512];
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK ||
        info.size_filename >= sizeof name ||
        info.uncompressed_size >= ZPOS64_T(std::numeric_limits<int>::max()))
        return false;
    const QString key = QString::fromUtf8(name);
    if (parts->contains(key) || unzOpenCurrentFile(zip) != UNZ_OK)
        return false;
    QByteArray data(int(info.uncompressed_size), Qt::Uninitialized);
    const int read = data.isEmpty() ? 0 : unzReadCurrentFile(zip, data.data(), unsigned(data.size()));
    char more;
    const bool atEnd = read == data.size() && unzReadCurrentFile(zip, &more, 1) == 0;
    const bool matches = unzCloseCurrentFile(zip) == UNZ_OK;
    if (!atEnd || !matches)
        return false;
    parts->insert(key, data);
    return true;
}

bool unzipped(const QByteArray& bytes, QHash<QString, QByteArray>* parts)
{
    Source source{&bytes, 0};
    zlib_filefunc64_def io = {openSource, readSource,  writeSource, tellSource,
                              seekSource, closeSource, errorSource, &source};
    unzFile zip = unzOpen2_64("workbook", &io);
    if (!zip)
        return false;
    int step = unzGoToFirstFile(zip);
    bool whole = true;
    while (whole && step == UNZ_OK) {
        whole = readPart(zip, parts);
        step = unzGoToNextFile(zip);
    }
    unzClose(zip);
    return whole && step == UNZ_END_OF_LIST_OF_FILE;
}

bool wellFormed(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

// The text of the string item (si, or a cell's is) the reader stands on:
// its t elements, run by run; phonetic hints are no part of it.
QString itemText(QXmlStreamReader& reader)
{
    QString text;
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("t"))
            text += reader.readElementText();
        else if (reader.name() == QLatin1String("r"))
            text += itemText(reader);
        else
            reader.skipCurrentElement();
    }
    return text;
}

QStringList sharedStrings(const QByteArray& xml)
{
    QStringList strings;
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement())
        return strings;
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("si"))
            strings.append(itemText(reader));
        else
            reader.skipCurrentElement();
    }
    return strings;
}

// "AB7" -> 27; -1 when it names no column of a sheet.
int columnOf(const QStringRef& reference)
{
    int column = 0;
    int letters = 0;
    for (; letters < reference.size() && reference.at(letters) >= QLatin1Char('A') &&
           reference.at(letters) <= QLatin1Char('Z');
         ++letters)
        column = column * 26 + (reference.at(letters).unicode() - 'A' + 1);
    return letters == 0 || letters > 3 || column > kMaxColumns ? -1 : column - 1;
}

// The cell the reader stands on: its text, or false when it names a shared
// string the workbook lacks.
bool cellText(QXmlStreamReader& reader, const QStringList& shared, QString* text)
{
    const QString type = reader.attributes().value(QLatin1String("t")).toString();
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("v")) {
            *text = reader.readElementText();
            if (type == QLatin1String("s")) {
                bool number = false;
                const int index = text->toInt(&number);
                if (!number || index < 0 || index >= shared.size())
                    return false;
                *text = shared.at(index);
            }
        } else if (reader.name() == QLatin1String("is")) {
            *text = itemText(reader);
        } else {
            reader.skipCurrentElement();
        }
    }
    return true;
}

// The cells of one row element, placed by their references (or one after
// another where a cell has none).
bool rowCells(QXmlStreamReader& reader, const QStringList& shared, QStringList* cells)
{
    int column = -1;
    while (reader.readNextStartElement()) {
        if (reader.name() != QLatin1String("c")) {
            reader.skipCurrentElement();
            continue;
        }
        const QStringRef reference = reader.attributes().value(QLatin1String("r"));
        const int at = reference.isEmpty() ? column + 1 : columnOf(reference);
        if (at <= column || at >= kMaxColumns)
            return false;
        column = at;
        QString text;
        if (!cellText(reader, shared, &text))
            return false;
        while (cells->size() < column)
            cells->append(QString());
        cells->append(text);
    }
    return true;
}

bool sheetRows(const QByteArray& xml, const QStringList& shared, QList<QStringList>* rows)
{
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement())
        return false;
    while (reader.readNextStartElement()) {
        if (reader.name() != QLatin1String("sheetData")) {
            reader.skipCurrentElement();
            continue;
        }
        while (reader.readNextStartElement()) {
            if (reader.name() != QLatin1String("row")) {
                reader.skipCurrentElement();
                continue;
            }
            const QStringRef number = reader.attributes().value(QLatin1String("r"));
            bool valid = true;
            const int row = number.isEmpty() ? rows->size() : number.toInt(&valid) - 1;
            if (!valid || row < rows->size() || row >= kMaxRows)
                return false;
            while (rows->size() < row)
                rows->append(QStringList());
            QStringList cells;
            if (!rowCells(reader, shared, &cells))
                return false;
            rows->append(cells);
        }
    }
    return !reader.hasError();
}

} // namespace

bool WorkbookReader::rows(const QByteArray& workbook, QList<QStringList>* rows)
{
    rows->clear();
    QHash<QString, QByteArray> parts;
    if (!unzipped(workbook, &parts))
        return false;
    for (const QByteArray& part : qAsConst(parts)) {
        if (!wellFormed(part))
            return false;
    }
    const QString sheet = QStringLiteral("xl/worksheets/sheet1.xml");
    if (!parts.contains(sheet) ||
        !sheetRows(parts.value(sheet), sharedStrings(parts.value(QStringLiteral("xl/sharedStrings.xml"))),
                   rows)) {
        rows->clear();
        return false;
    }
    for (QStringList& row : *rows) {
        while (!row.isEmpty() && row.last().isEmpty())
            row.removeLast();
    }
    while (!rows->isEmpty() && rows->last().isEmpty())
        rows->removeLast();
    return true;
}
