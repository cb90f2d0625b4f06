#include "ordertablecheck.h"

#include <QAbstractItemView>
#include <QModelIndex>
#include <QStandardItem>
#include <QStandardItemModel>

QString OrderTableCheck::selectionStyleSheet(bool checked)
{
    return checked ? QStringLiteral("selection-background-color: rgb(135, 206, 250);selection-color:black;")
                   : QStringLiteral("selection-background-color: rgb(248, 248, 255);selection-color:black;");
}

void OrderTableCheck::setCheckItem(QStandardItemModel* model, int row, bool checked)
{
    if (!model || row < 0)
        return;
    auto* item = new QStandardItem;
    item->setData(checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    model->setItem(row, 0, item);
}

bool OrderTableCheck::toggle(QList<order>& orders, QStandardItemModel* model, QAbstractItemView* view,
                             const QModelIndex& index)
{
    const int row = index.row();
    if (row < 0 || row >= orders.size())
        return false;
    order& record = orders[row];
    record.isChecked = !record.isChecked;
    if (view)
        view->setStyleSheet(selectionStyleSheet(record.isChecked));
    setCheckItem(model, row, record.isChecked);
    return true;
}

void OrderTableCheck::selectAll(QList<order>& orders, QStandardItemModel* model)
{
    for (int i = 0; i < orders.size(); ++i) {
        orders[i].isChecked = true;
        setCheckItem(model, i, true);
    }
}

void OrderTableCheck::invert(QList<order>& orders, QStandardItemModel* model)
{
    for (int i = 0; i < orders.size(); ++i) {
        orders[i].isChecked = !orders[i].isChecked;
        setCheckItem(model, i, orders[i].isChecked);
    }
}

bool OrderTableCheck::anyChecked(const QList<order>& orders)
{
    for (const order& record : orders) {
        if (record.isChecked)
            return true;
    }
    return false;
}
