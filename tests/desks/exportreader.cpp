#include "exportreader.h"

#include "workbookreader.h"

#include <QFile>
#include <QXmlStreamReader>

namespace {

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
    if (reader.hasError())
        return {};
    for (QStringList& row : rows) {
        while (!row.isEmpty() && row.last().isEmpty())
            row.removeLast();
    }
    return rows;
}

} // namespace

QList<QStringList> ExportReader::rows(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("PK\x03\x04"))
        return htmlRows(bytes);
    QList<QStringList> rows;
    WorkbookReader::rows(bytes, &rows);
    return rows;
}
