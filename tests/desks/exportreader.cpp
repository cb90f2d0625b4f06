#include "exportreader.h"

#include <QFile>
#include <QProcess>
#include <QXmlStreamReader>

namespace {

QByteArray unzipped(const QString& zip, const QString& member)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, member});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
        return QByteArray();
    return unzip.readAllStandardOutput();
}

QStringList sharedStrings(const QByteArray& xml)
{
    QStringList strings;
    QXmlStreamReader reader(xml);
    while (reader.readNext() != QXmlStreamReader::Invalid && !reader.atEnd()) {
        if (reader.isStartElement() && reader.name() == QLatin1String("si"))
            strings.append(QString());
        else if (reader.isStartElement() && reader.name() == QLatin1String("t") && !strings.isEmpty())
            strings.last() += reader.readElementText();
    }
    return reader.hasError() ? QStringList() : strings;
}

// "C7" -> 2
int columnOf(const QStringRef& reference)
{
    int column = 0;
    for (const QChar c : reference) {
        if (!c.isUpper())
            break;
        column = column * 26 + (c.unicode() - 'A' + 1);
    }
    return column - 1;
}

void put(QStringList& row, int column, const QString& text)
{
    while (row.size() <= column)
        row.append(QString());
    row[column] = text;
}

QList<QStringList> sheetRows(const QByteArray& xml, const QStringList& shared)
{
    QList<QStringList> rows;
    QXmlStreamReader reader(xml);
    int column = 0;
    QString type;
    while (reader.readNext() != QXmlStreamReader::Invalid && !reader.atEnd()) {
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("row")) {
            rows.append(QStringList());
        } else if (reader.name() == QLatin1String("c") && !rows.isEmpty()) {
            column = columnOf(reader.attributes().value(QLatin1String("r")));
            type = reader.attributes().value(QLatin1String("t")).toString();
        } else if (reader.name() == QLatin1String("v") && !rows.isEmpty() && column >= 0) {
            const QString value = reader.readElementText();
            put(rows.last(), column, type == QLatin1String("s") ? shared.value(value.toInt()) : value);
        } else if (reader.name() == QLatin1String("t") && !rows.isEmpty() && column >= 0) {
            put(rows.last(), column, reader.readElementText()); // an inline string
        }
    }
    return rows;
}

QList<QStringList> htmlRows(const QByteArray& html)
{
    QList<QStringList> rows;
    QXmlStreamReader reader(html);
    while (reader.readNext() != QXmlStreamReader::Invalid && !reader.atEnd()) {
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("tr"))
            rows.append(QStringList());
        else if ((reader.name() == QLatin1String("td") || reader.name() == QLatin1String("th")) &&
                 !rows.isEmpty())
            rows.last().append(reader.readElementText());
    }
    return reader.hasError() ? QList<QStringList>() : rows;
}

} // namespace

QList<QStringList> ExportReader::rows(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QList<QStringList> rows =
        bytes.startsWith("PK\x03\x04")
            ? sheetRows(unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml")),
                        sharedStrings(unzipped(path, QStringLiteral("xl/sharedStrings.xml"))))
            : htmlRows(bytes);
    for (QStringList& row : rows) {
        while (!row.isEmpty() && row.last().isEmpty())
            row.removeLast();
    }
    return rows;
}
