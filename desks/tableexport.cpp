#include "tableexport.h"

#include "fileoperation.h"
#include "workbookreader.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

namespace {

// A workbook cell holds at most this many characters.
const int kMaxCellLength = 32767;

// A cell's text as the workbook holds it. U+FFFE and U+FFFF are no XML
// characters, and the spreadsheet takes a workbook holding one for damaged;
// U+0000 would end the cell where it stands. The writer escapes every other
// control character itself. Half of a surrogate pair alone (a remark the
// service cut inside an emoji) has no UTF-8 form: it becomes U+FFFD here,
// so the writer's bytes and the check's text say the same.
QString cellKept(const QString& text)
{
    QString kept;
    kept.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            kept += c;
            kept += text.at(++i);
        } else if (c.isSurrogate()) {
            kept += QChar(QChar::ReplacementCharacter);
        } else if (c.unicode() != 0 && c.unicode() != 0xFFFE && c.unicode() != 0xFFFF) {
            kept += c;
        }
    }
    QString cut = kept.left(kMaxCellLength);
    if (!cut.isEmpty() && cut.at(cut.size() - 1).isHighSurrogate())
        cut.chop(1);
    return cut;
}

QByteArray cellText(const QString& text)
{
    return cellKept(text).toUtf8();
}

// A cell's text as the writer stores it: a control character other than
// tab and line feed as _xHHHH_, which spreadsheets read back as the
// character; everything else as it is, a leading byte-order mark included
// (built from the text itself: decoding the writer's bytes would drop it).
QString storedText(const QString& text)
{
    QString stored;
    for (const QChar c : cellKept(text)) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            stored += QString::asprintf("_x%04X_", c.unicode());
        else
            stored += c;
    }
    return stored;
}

QString htmlRow(const QStringList& cells, const char* tag)
{
    QString row = QStringLiteral("<tr>");
    for (const QString& cell : cells)
        row += QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), cell.toHtmlEscaped());
    return row + QStringLiteral("</tr>\n");
}

bool writeRow(lxw_worksheet* sheet, int row, const QStringList& cells)
{
    for (int c = 0; c < cells.size(); ++c) {
        if (worksheet_write_string(sheet, lxw_row_t(row), lxw_col_t(c), cellText(cells.at(c)).constData(),
                                   nullptr) != LXW_NO_ERROR)
            return false;
    }
    return true;
}

} // namespace

bool TableExport::holds(const QByteArray& workbook, const ExportedTable& table)
{
    QList<QStringList> expected;
    for (const QStringList& cells : QList<QStringList>{{table.title}, table.header} + table.rows) {
        QStringList stored;
        for (const QString& cell : cells)
            stored.append(storedText(cell));
        while (!stored.isEmpty() && stored.last().isEmpty())
            stored.removeLast();
        expected.append(stored);
    }
    while (!expected.isEmpty() && expected.last().isEmpty())
        expected.removeLast();
    QList<QStringList> read;
    return WorkbookReader::rows(workbook, &read) && read == expected;
}

ExportedTable TableExport::fromView(const QAbstractItemView* view, const QString& title, int firstRow)
{
    ExportedTable table;
    table.title = title;
    const QAbstractItemModel* model = view->model();
    if (!model)
        return table;
    for (int c = 0; c < model->columnCount(); ++c)
        table.header.append(model->headerData(c, Qt::Horizontal).toString());
    for (int r = qMax(0, firstRow); r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c) {
            const QModelIndex index = model->index(r, c);
            if (const auto* combo = qobject_cast<const QComboBox*>(view->indexWidget(index)))
                cells.append(combo->currentData().toString() == QLatin1String("0") ? QString()
                                                                                   : combo->currentText());
            else
                cells.append(index.data().toString());
        }
        table.rows.append(cells);
    }
    return table;
}

QByteArray TableExport::html(const ExportedTable& table)
{
    QString page =
        QStringLiteral("<html>\n<head>\n"
                       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n"
                       "<style>td { mso-number-format: \"\\@\"; }</style>\n"
                       "</head>\n<body>\n<table border=\"1\" cellspacing=\"0\">\n");
    page += QStringLiteral("<tr><th colspan=\"%1\">%2</th></tr>\n")
                .arg(qMax(1, table.header.size()))
                .arg(table.title.toHtmlEscaped());
    page += htmlRow(table.header, "th");
    for (const QStringList& row : table.rows)
        page += htmlRow(row, "td");
    page += QStringLiteral("</table>\n</body>\n</html>\n");
    return page.toUtf8();
}

QByteArray TableExport::workbook(const ExportedTable& table)
{
    // The library writes only to a file of its own; the bytes are read back
    // so the caller commits them like every other file the client writes.
    // It writes each part through a scratch file and does not notice when
    // a write or read of one fails (a full disk), so what it made is
    // checked before anything is saved.
    const QTemporaryDir dir;
    if (!dir.isValid())
        return QByteArray();
    const QString path = dir.filePath(QStringLiteral("table.xlsx"));
    QByteArray scratch = QFile::encodeName(dir.path());
    lxw_workbook_options options = {};
    options.tmpdir = scratch.data();
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (!book)
        return QByteArray();
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    bool written = sheet && writeRow(sheet, 0, {table.title}) && writeRow(sheet, 1, table.header);
    for (int r = 0; written && r < table.rows.size(); ++r)
        written = writeRow(sheet, r + 2, table.rows.at(r));
    const bool closed = workbook_close(book) == LXW_NO_ERROR;
    QByteArray bytes;
    if (!written || !closed || !FileOperation::readFile(path, &bytes) || !holds(bytes, table))
        return QByteArray();
    return bytes;
}

bool TableExport::save(const ExportedTable& table, const QString& path)
{
    const bool asWorkbook = path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
    const QByteArray bytes = asWorkbook ? workbook(table) : html(table);
    return !bytes.isEmpty() && FileOperation::writeFile(bytes, path, true);
}
