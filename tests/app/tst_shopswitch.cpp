#include "config.h"
#include "shopswitch.h"

#include <QtTest>

#include <QJsonDocument>

// The pure parts of the shop switch: body, permission, storing and the
// server-folder test before the batch import.
class TestShopSwitch : public QObject
{
    Q_OBJECT

private slots:
    void deletionPermission_data();
    void deletionPermission();
    void separationMode_data();
    void separationMode();
    void storeReadsTextsOnlyAndKeepsListsParallel();
};

void TestShopSwitch::deletionPermission_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("number 1") << QByteArray(R"({"is_all_del_photo":1})") << true;
    QTest::newRow("number 0") << QByteArray(R"({"is_all_del_photo":0})") << false;
    QTest::newRow("missing") << QByteArray(R"({})") << false;
    QTest::newRow("text 1") << QByteArray(R"({"is_all_del_photo":"1"})") << false;
    QTest::newRow("fraction") << QByteArray(R"({"is_all_del_photo":0.5})") << false;
    QTest::newRow("number 2") << QByteArray(R"({"is_all_del_photo":2})") << true;
}

void TestShopSwitch::deletionPermission()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, allowed);
    QCOMPARE(ShopSwitch::deletionAllowed(QJsonDocument::fromJson(reply).object()), allowed);
}

void TestShopSwitch::separationMode_data()
{
    QTest::addColumn<QString>("shopId");
    QTest::addColumn<QString>("fjtype");
    QTest::addColumn<QString>("bz");
    QTest::addColumn<QString>("cp");
    QTest::newRow("77") << "77"
                        << "Tovaro分件"
                        << "01标注"
                        << "02底片";
    QTest::newRow("162") << "162"
                         << "Tovaro分件"
                         << "01标注"
                         << "02底片";
    QTest::newRow("1621") << "1621"
                          << ""
                          << "标注"
                          << "成品";
    QTest::newRow(" 77") << " 77"
                         << ""
                         << "标注"
                         << "成品";
    QTest::newRow("empty") << ""
                           << ""
                           << "标注"
                           << "成品";
}

void TestShopSwitch::separationMode()
{
    QFETCH(QString, shopId);
    QFETCH(QString, fjtype);
    QFETCH(QString, bz);
    QFETCH(QString, cp);
    const ShopSwitch::SeparationMode mode = ShopSwitch::separationMode(shopId);
    QCOMPARE(mode.fjtype, fjtype);
    QCOMPARE(mode.bzname, bz);
    QCOMPARE(mode.cpname, cp);
}

void TestShopSwitch::storeReadsTextsOnlyAndKeepsListsParallel()
{
    Config::storenames = QStringList{"old"};
    Config::storeids = QStringList{"9"};
    const QJsonObject reply = QJsonDocument::fromJson(R"({"code":"1","SUPERID":7,"SHOPID":"5",
        "stores":[{"name":"无编号店"},{"id":"2"},3]})")
                                  .object();
    ShopSwitch::store(reply);
    QCOMPARE(Config::super_id, QString());
    QCOMPARE(Config::storenames, QStringList({"无编号店", "", ""}));
    QCOMPARE(Config::storeids, QStringList({"", "2", ""}));

    ShopSwitch::store(QJsonObject{{"code", "1"}});
    QVERIFY(Config::storenames.isEmpty());
    QVERIFY(Config::storeids.isEmpty());
}

QTEST_MAIN(TestShopSwitch)
#include "tst_shopswitch.moc"
