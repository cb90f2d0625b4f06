#include "config.h"
#include "ordersearch.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonObject>

// The searches of the import order search window: the choice of search,
// the request bodies and the table's column widths.
class TestOrderSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void requestFor_data();
    void requestFor();
    void bodyKeysInOrder_data();
    void bodyKeysInOrder();
    void bodyValuesComeFromConfig();
    void orderItemsOfData();
    void columnWidths_data();
    void columnWidths();
};

namespace {

QList<QPair<QString, QString>> pairs(const QByteArray& body)
{
    QList<QPair<QString, QString>> list;
    for (const QByteArray& pair : body.split('&')) {
        const int eq = pair.indexOf('=');
        list.append({QString::fromUtf8(pair.left(eq)),
                     QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1)))});
    }
    return list;
}

} // namespace

void TestOrderSearch::initTestCase()
{
    Config::shop_id = QStringLiteral("12");
    Config::super_id = QStringLiteral("3");
    Config::uid = QStringLiteral("u77");
    Config::manager_id = QStringLiteral("e5");
}

void TestOrderSearch::requestFor_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("searchtype");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("missing");

    // The calendar shows 2023-06-15 in every row.
    QTest::newRow("order number trimmed") << 0 << "  A2301 " << true << 1 << "A2301"
                                          << "";
    QTest::newRow("order number empty") << 0 << "" << false << 1 << ""
                                        << "请输入订单号";
    QTest::newRow("order number blanks only") << 0 << "   " << true << 1 << ""
                                              << "";
    QTest::newRow("photo date") << 1 << "ignored" << true << 4 << "2023-06-15"
                                << "";
    QTest::newRow("selection date") << 2 << "" << true << 5 << "2023-06-15"
                                    << "";
    QTest::newRow("booking date") << 3 << "" << true << 6 << "2023-06-15"
                                  << "";
    QTest::newRow("delivery date") << 4 << "" << true << 7 << "2023-06-15"
                                   << "";
    QTest::newRow("upload date") << 5 << "" << true << 9 << "2023-06-15"
                                 << "";
    QTest::newRow("name as typed") << 6 << " 张 三 " << true << 2 << " 张 三 "
                                   << "";
    QTest::newRow("name empty") << 6 << "" << false << 2 << ""
                                << "请输入姓名";
    QTest::newRow("name blanks only") << 6 << "  " << true << 2 << "  "
                                      << "";
    QTest::newRow("telephone trimmed") << 7 << " 13800000000\t" << true << 3 << "13800000000"
                                       << "";
    QTest::newRow("telephone empty") << 7 << "" << false << 3 << ""
                                     << "请输入电话";
    QTest::newRow("no such choice") << 8 << "x" << false << 1 << ""
                                    << "";
}

void TestOrderSearch::requestFor()
{
    QFETCH(int, index);
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    QFETCH(int, searchtype);
    QFETCH(QString, keyword);
    QFETCH(QString, missing);
    const OrderSearch::Request r = OrderSearch::requestFor(index, typed, QDate(2023, 6, 15));
    QCOMPARE(r.valid, valid);
    QCOMPARE(r.missingText, missing);
    if (valid) {
        QCOMPARE(int(r.type), searchtype);
        QCOMPARE(r.keyword, keyword);
    }
}

void TestOrderSearch::bodyKeysInOrder_data()
{
    QTest::addColumn<int>("searchtype");
    QTest::addColumn<QStringList>("keys");
    const QStringList head{"token", "shopid", "searchtype", "keyword", "superid"};
    QTest::newRow("order number") << 1 << head + QStringList{"uid", "eid", "personid"};
    QTest::newRow("name") << 2 << head + QStringList{"eid", "personid"};
    QTest::newRow("telephone") << 3 << head + QStringList{"eid", "personid"};
    QTest::newRow("photo date") << 4 << head + QStringList{"eid", "personid", "uid"};
    QTest::newRow("selection date") << 5 << head + QStringList{"eid", "uid"};
    QTest::newRow("booking date") << 6 << head + QStringList{"eid", "personid", "uid"};
    QTest::newRow("delivery date") << 7 << head + QStringList{"uid", "eid", "personid"};
    QTest::newRow("upload date") << 9 << head + QStringList{"uid", "eid", "personid"};
}

void TestOrderSearch::bodyKeysInOrder()
{
    QFETCH(int, searchtype);
    QFETCH(QStringList, keys);
    const auto list = pairs(OrderSearch::body(static_cast<OrderSearch::Type>(searchtype), "k"));
    QStringList got;
    for (const auto& p : list)
        got.append(p.first);
    QCOMPARE(got, keys);
    QCOMPARE(list.at(2).second, QString::number(searchtype));
}

void TestOrderSearch::bodyValuesComeFromConfig()
{
    const QByteArray body = OrderSearch::body(OrderSearch::Type::OrderId, "A&B=1 张");
    QVERIFY(body.startsWith("token=" + Config::token.toUtf8() + "&shopid=12&searchtype=1&keyword="));
    const auto list = pairs(body);
    QCOMPARE(list.size(), 8);
    // The keyword travels as one value whatever it holds.
    QCOMPARE(list.at(3).second, QStringLiteral("A&B=1 张"));
    QCOMPARE(list.at(4).second, QStringLiteral("3"));
    QCOMPARE(list.at(5).second, QStringLiteral("u77"));
    QCOMPARE(list.at(6).second, QStringLiteral("e5"));
    QCOMPARE(list.at(7).second, QStringLiteral("e5"));
}

void TestOrderSearch::orderItemsOfData()
{
    const QJsonArray data{QJsonObject{{"orderpayforkey", "A1"}}, 5, QJsonValue(),
                          QJsonObject{{"orderpayforkey", "A2"}}};
    const QList<QJsonObject> items = OrderSearch::orderItems(data);
    QCOMPARE(items.size(), 4);
    QCOMPARE(items.at(0).value("orderpayforkey").toString(), QStringLiteral("A1"));
    QVERIFY(items.at(1).isEmpty());
    QVERIFY(items.at(2).isEmpty());
    QCOMPARE(items.at(3).value("orderpayforkey").toString(), QStringLiteral("A2"));
}

void TestOrderSearch::columnWidths_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QVector<int>>("widths");
    QTest::newRow("1200 wide") << 1200 << QVector<int>{156, 120, 120, 120, 120, 120, 156,
                                                       384, 132, 156, 132, 132, 132};
    QTest::newRow("800 wide") << 800 << QVector<int>{130, 74, 75, 75, 75, 75, 83, 268, 83, 83, 83, 83, 83};
    QTest::newRow("1000 wide, first branch")
        << 1000 << QVector<int>{130, 100, 100, 100, 100, 100, 130, 320, 110, 130, 110, 110, 110};
    QTest::newRow("999 wide, second branch")
        << 999 << QVector<int>{130, 96, 98, 98, 98, 98, 108, 347, 108, 108, 108, 108, 108};
    QTest::newRow("narrower than the first column")
        << 100 << QVector<int>{130, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

void TestOrderSearch::columnWidths()
{
    QFETCH(int, width);
    QFETCH(QVector<int>, widths);
    QCOMPARE(OrderSearch::columnWidths(width), widths);
}

QTEST_GUILESS_MAIN(TestOrderSearch)
#include "tst_ordersearch.moc"
