#pragma once

#include "orderrecords.h"

#include <QList>
#include <QString>

class QAbstractItemView;
class QModelIndex;
class QStandardItemModel;

// The check column of the order tables (separation, deletion and N8
// windows). Column 0 of a row holds no text, only the check state that
// mirrors the order's isChecked flag; every change puts a new cell there,
// which the user cannot tick by itself.
namespace OrderTableCheck {

// The table's selection colours after a click: light blue when the clicked
// row is now checked, near white when it is not.
QString selectionStyleSheet(bool checked);

// A new check cell at (row, 0) carrying only the state.
void setCheckItem(QStandardItemModel* model, int row, bool checked);

// A click on any cell of a row toggles that row's order and sets the
// table's selection colours. A row outside the list changes nothing and
// answers false.
bool toggle(QList<order>& orders, QStandardItemModel* model, QAbstractItemView* view, const QModelIndex& index);
// "全选": every order checked.
void selectAll(QList<order>& orders, QStandardItemModel* model);
// "反选": every order inverted.
void invert(QList<order>& orders, QStandardItemModel* model);
// True when at least one order is checked.
bool anyChecked(const QList<order>& orders);

} // namespace OrderTableCheck
