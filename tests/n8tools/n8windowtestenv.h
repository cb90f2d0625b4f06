#pragma once

#include "clock.h"
#include "exportn8result.h"
#include "separationtestenv.h"

#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

// What an N8 window test stands on: the separation window environment
// (demo user on the flagship shop, stand-in, scripted boxes), the demo file
// tree with its orders and N8 selections under the mount root, an output
// folder and a fixed day.
struct N8WindowEnv : SeparationTestEnv
{
    QString out;

    N8WindowEnv()
    {
        Clock::setFixed(QDateTime(QDate(2024, 6, 1), QTime(9, 0)));
        if (!makeDemoTree(volumes.root()))
            qFatal("the demo tree was not made");
        out = volumes.mkdir("out");
        Config::isN8ResultDownAll = QStringLiteral("0");
        Config::isN8fjUseBigImg = QStringLiteral("0");
    }
    ~N8WindowEnv() { Clock::setFixed(QDateTime()); }
};

// Ticks the table rows of the given order numbers, the way a click does.
inline void tick(ExportN8Result& w, const QStringList& keys)
{
    auto* table = child<QTableView>(&w, "tableView");
    const QList<order>& orders = w.controller()->orderList;
    for (int row = 0; row < orders.size(); ++row) {
        if (keys.contains(orders.at(row).orderpayforkey))
            w.on_tableView_clicked(table->model()->index(row, 3));
    }
}
