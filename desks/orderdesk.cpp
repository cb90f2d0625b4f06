#include "orderdesk.h"

#include "calendarpicker.h"
#include "prompts.h"
#include "tableexport.h"
#include "webservice.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStandardPaths>

OrderDesk::OrderDesk(QWidget* parent) : QDialog(parent), networkManager(new QNetworkAccessManager(this)) {}

void OrderDesk::setFields(const Fields& fields)
{
    m_fields = fields;
}

void OrderDesk::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return)
        return;
    if (m_fields.scan && m_fields.scan->hasFocus()) {
        const QString text = m_fields.scan->text();
        if (text.isEmpty()) {
            refuseEmptyOrderNumber();
            return;
        }
        // A following scan replaces the number instead of appending to it.
        m_fields.scan->selectAll();
        scanEntered(text);
    } else if (m_fields.orderBox && m_fields.orderBox->hasFocus()) {
        orderSearchRequested();
    } else if (m_fields.criterionBox && m_fields.criterionBox->hasFocus()) {
        criterionSearchRequested();
    }
}

void OrderDesk::criterionChanged(int index)
{
    if (!m_fields.criterionBox)
        return;
    const bool isDate = index >= 1 && index <= m_fields.lastDateIndex;
    m_fields.criterionBox->clear();
    m_fields.criterionBox->setReadOnly(isDate);
    if (isDate)
        showCalendarDialog();
}

bool OrderDesk::refuseEmptyCriterion(int index, const QString& text) const
{
    if (!text.isEmpty())
        return false;
    const int last = m_fields.lastDateIndex;
    QString missing;
    if (index == 0)
        missing = QStringLiteral("请输入订单号");
    else if (index <= last)
        missing = QStringLiteral("请选择日期");
    else if (index == last + 1)
        missing = QStringLiteral("请输入姓名");
    else
        missing = QStringLiteral("请输入电话");
    notice(QStringLiteral("警告"), missing);
    return true;
}

void OrderDesk::showCalendarDialog()
{
    auto* picker = new CalendarPicker(nullptr);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(picker, &CalendarPicker::urgentDate, this, &OrderDesk::on_newDate);
    picker->show();
}

void OrderDesk::on_newDate(QString date)
{
    if (m_fields.criterionBox)
        m_fields.criterionBox->setText(date);
}

void OrderDesk::setSearchBusy(QPushButton* button, bool busy)
{
    button->setEnabled(!busy);
    button->setText(busy ? QStringLiteral("检索中...") : QStringLiteral("检索"));
}

void OrderDesk::restoreSearchButtons()
{
    for (QPushButton* button : {m_fields.orderButton, m_fields.criterionButton}) {
        if (button)
            setSearchBusy(button, false);
    }
}

void OrderDesk::exportTable(QAbstractItemView* view, const QString& title, int firstRow)
{
    // Read before the dialog opens: a reply may redraw the table meanwhile.
    const ExportedTable table = TableExport::fromView(view, title, firstRow);
    const QString path = Prompts::instance().getSaveFileName(
        view, QStringLiteral("保存"), QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
        QStringLiteral("Excel 文件(*.xls *.xlsx)"));
    if (path.isEmpty())
        return;
    if (!TableExport::save(table, path))
        notice(QStringLiteral("警告"), QStringLiteral("保存失败\n") + path);
}

void OrderDesk::setCentredRows(QStandardItemModel* model, const QList<QStringList>& rows)
{
    model->removeRows(0, model->rowCount());
    for (const QStringList& cells : rows) {
        QList<QStandardItem*> items;
        for (const QString& text : cells) {
            auto* item = new QStandardItem(text);
            item->setTextAlignment(Qt::AlignCenter);
            items.append(item);
        }
        model->appendRow(items);
    }
}

QNetworkReply* OrderDesk::postForm(const QString& route, const QByteArray& body)
{
    return WebService::post(networkManager, route, body);
}

void OrderDesk::notice(const QString& title, const QString& text)
{
    Prompts::information(nullptr, title, text, Prompts::Yes);
}

void OrderDesk::refuseEmptyOrderNumber()
{
    notice(QStringLiteral("警告"), QStringLiteral("请输入订单号"));
}
