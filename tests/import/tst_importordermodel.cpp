#include "config.h"
#include "importordermodel.h"
#include "tempvolumes.h"

#include <QtTest>

#include <QJsonDocument>

#include <ctime>

// Order models built from order-list reply items, and the target file names
// of an import.
class TestImportOrderModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void fromItemWithEveryKey();
    void fromItemWithKeysMissing();
    void bookingTimeInLocalTime_data();
    void bookingTimeInLocalTime();
    void customerName_data();
    void customerName();
    void folderSuffix_data();
    void folderSuffix();
    void orderName_data();
    void orderName();
    void folderSuffixSettersSetAllThree_data();
    void folderSuffixSettersSetAllThree();
    void serverFormPaths();
    void perTypeValuesReachTheNamedFields();

    void imgNameLst_data();
    void imgNameLst();
    void imgNameLstKeepsOrderAndCount();
};

namespace {

QJsonObject parse(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

} // namespace

void TestImportOrderModel::perTypeValuesReachTheNamedFields()
{
    ImportOrderModel m;
    const QList<ImportTypeEnum> types{ImportOriginal, ImportFinished, ImportDesign, ImportTrialVideo,
                                      ImportRetouchedVideo};
    for (int i = 0; i < types.size(); ++i) {
        m.setChosenFiles(types.at(i), {QString::number(i)});
        m.setFoundCount(types.at(i), ushort(10 + i));
        m.setDoneCount(types.at(i), ushort(20 + i));
        m.setImported(types.at(i), i % 2 == 0);
    }
    QCOMPARE(m.getOriImgLst(), QStringList{"0"});
    QCOMPARE(m.getFineImgLst(), QStringList{"1"});
    QCOMPARE(m.getDesignImgLst(), QStringList{"2"});
    QCOMPARE(m.getVideoLst(), QStringList{"3"});
    QCOMPARE(m.getVideoFinalLst(), QStringList{"4"});
    QCOMPARE(m.getImportOriImgCount(), ushort(10));
    QCOMPARE(m.getImportVideoFinalCount(), ushort(14));
    QCOMPARE(m.getHasFineImgCount(), ushort(21));
    QCOMPARE(m.getHasVideoCount(), ushort(23));
    QVERIFY(m.getIsOriImported() && !m.getIsFineImported() && m.getIsDesignImported());
    QVERIFY(!m.getIsVideoImported() && m.getIsVideoFinalImported());
    QVERIFY(m.chosenFiles(ImportN8).isEmpty());

    m.setImported(ImportN8, true);
    QVERIFY(m.getisN8Imported() && m.isImported(ImportN8));

    m.setImageSuffix(ImportFinished, "F");
    m.setOrderPrefix(ImportDesign, "D");
    m.setFolderSuffix(ImportTrialVideo, "ignored");
    m.setFolderSuffix(ImportFinished, "shared");
    QCOMPARE(m.getFinePrefixImage(), QStringLiteral("F"));
    QVERIFY(m.getOriPrefixImage().isEmpty());
    QCOMPARE(m.getDesignPrefix(), QStringLiteral("D"));
    // The folder suffix is one text; the video types read the design one.
    QCOMPARE(m.folderSuffix(ImportOriginal), QStringLiteral("shared"));
    QCOMPARE(m.folderSuffix(ImportRetouchedVideo), QStringLiteral("shared"));
    QVERIFY(m.folderSuffix(ImportN8).isEmpty());
}

void TestImportOrderModel::initTestCase()
{
    // A machine at UTC+8, as the studios' are; POSIX form needs no zone files.
    qputenv("TZ", "CST-8");
    tzset();
}

void TestImportOrderModel::fromItemWithEveryKey()
{
    TempVolumes volumes;
    volumes.mkdir("photos/2023-06/15/A2301-2");
    volumes.mkdir("bak/2023-06/15/A2301-2");
    volumes.mkdir("home");
    volumes.mkdir("n8/选版服务器");

    const QJsonObject item = parse(R"({
        "order_photo_id": "9001", "orderpayforkey": "A2301", "phototype": "宝宝照", "servicetimes": "2",
        "n8path": "//fs/n8/A2301-2", "bname": "Tom", "wname": "Mary", "mname": "John",
        "momtel": "13800000000", "dadtel": "13900000000", "comboname": "Gold", "comboprice": "3999",
        "order_price": "4200", "orderbaseprice": "3888", "gotodigitaltime": "2023-06-20",
        "booktime": "1686800000", "tiaosename": "Ann", "tiaoxiname": "Bob", "storesname": "Main Store",
        "sampledate": "2023-06-18", "getphotodate": "2023-07-01", "shotdate": "2023-06-15",
        "role1": "Lee", "role2": "Kim", "yindouer": "Joy",
        "orderpath": "//fs/photos/2023-06/15/A2301-2", "orderbakpicpath": "D:\\bak\\2023-06\\15\\A2301-2",
        "picpathnew": {"bakpicpath": "D:\\bak\\", "homepicpath": "//fs/home/", "picpath": "//fs/photos/",
                       "n8path": "\\\\fs\\n8"}
    })");
    QVERIFY(!item.isEmpty());
    const ImportOrderModel m(item, nullptr);

    QCOMPARE(m.getOrderID(), QStringLiteral("9001"));
    QCOMPARE(m.getOrderNum(), QStringLiteral("A2301"));
    QCOMPARE(m.getBookedShop(), QStringLiteral("A2301"));
    QCOMPARE(m.getOrderType(), QStringLiteral("宝宝照"));
    QCOMPARE(m.getPhotoType(), QStringLiteral("宝宝照"));
    QCOMPARE(m.getOrderServNum(), QStringLiteral("2"));
    QCOMPARE(m.getOrderName(), QStringLiteral("A2301-2"));
    QCOMPARE(m.getFinePrefix(), QStringLiteral("A2301-2"));
    QCOMPARE(m.getFinalN8Path(), QStringLiteral("//fs/n8/A2301-2"));
    QCOMPARE(m.getBabyName(), QStringLiteral("Tom"));
    QCOMPARE(m.getMomName(), QStringLiteral("Mary"));
    QCOMPARE(m.getDadName(), QStringLiteral("John"));
    QCOMPARE(m.getCustName(), QStringLiteral("Tom-Mary-John"));
    QCOMPARE(m.getTaoxiName(), QStringLiteral("Gold"));
    QCOMPARE(m.getTaoxiPrice(), QStringLiteral("3999"));
    QCOMPARE(m.getOrderPrice(), QStringLiteral("4200"));
    QCOMPARE(m.getOrderBasePrice(), QStringLiteral("3888"));
    QCOMPARE(m.getMakeDate(), QStringLiteral("2023-06-20"));
    QCOMPARE(m.getSjTime(), QStringLiteral("2023-06-20"));
    QCOMPARE(m.getBespeakdate(), QStringLiteral("2023-06-15 11:33:20"));
    QCOMPARE(m.getTiaoseName(), QStringLiteral("Ann"));
    QCOMPARE(m.getTiaoxiName(), QStringLiteral("Bob"));
    QCOMPARE(m.getStoresname(), QStringLiteral("Main Store"));
    QCOMPARE(m.getSelectPhotoDate(), QStringLiteral("2023-06-18"));
    QCOMPARE(m.getPhotoDate(), QStringLiteral("2023-06-15"));
    QCOMPARE(m.getPhotoer(), QStringLiteral("Lee"));
    QCOMPARE(m.getDresser(), QStringLiteral("Kim"));
    QCOMPARE(m.getYindouer(), QStringLiteral("Joy"));

    // Server paths are mapped under the mount root.
    QCOMPARE(m.getOrderPath(), volumes.path("photos/2023-06/15/A2301-2/"));
    QCOMPARE(m.getOrderBackupPath(), volumes.path("bak/2023-06/15/A2301-2/"));
    QCOMPARE(m.getStore_picpath(), volumes.path("photos/"));
    QCOMPARE(m.getStore_bakpicpath(), volumes.path("bak/"));
    QCOMPARE(m.getStore_homepicpath(), volumes.path("home/"));
    QCOMPARE(m.getShop_n8path(), volumes.path("n8/选版服务器/"));

    QCOMPARE(m.getOriPrefixFolder(), QStringLiteral("Tom-Mary-John-Lee-Kim"));
    QCOMPARE(m.getFinePrefixFolder(), QStringLiteral("Tom-Mary-John-Lee-Kim"));
    QCOMPARE(m.getDesignPrefixFolder(), QStringLiteral("Tom-Mary-John-Lee-Kim"));

    // What the dialog fills in later starts empty.
    QVERIFY(m.getOriPrefix().isEmpty());
    QVERIFY(m.getOriPrefixImage().isEmpty());
    QVERIFY(m.getDesignPrefix().isEmpty());
    QVERIFY(m.getFineImgLst().isEmpty());
    QVERIFY(m.getN8Path().isEmpty());
    QVERIFY(m.getN8FatherPath().isEmpty());
    QCOMPARE(m.getImportFineImgCount(), ushort(0));
    QCOMPARE(m.getHasVideoFinalCount(), ushort(0));
    QVERIFY(!m.getIsFineImported());
    QVERIFY(!m.getisN8Imported());
}

void TestImportOrderModel::fromItemWithKeysMissing()
{
    TempVolumes volumes;
    // Values that are not JSON strings read as empty texts.
    const ImportOrderModel m(parse(R"({"order_photo_id": 9001, "servicetimes": 2, "picpathnew": "x"})"),
                             nullptr);

    QVERIFY(m.getOrderID().isEmpty());
    QVERIFY(m.getOrderNum().isEmpty());
    QCOMPARE(m.getOrderName(), QStringLiteral("-"));
    QVERIFY(m.getCustName().isEmpty());
    QVERIFY(m.getOriPrefixFolder().isEmpty());
    QCOMPARE(m.getSelectPhotoDate(), QStringLiteral("1970-01-01"));
    QCOMPARE(m.getBespeakdate(), QStringLiteral("1970-01-01 08:00:00"));
    QVERIFY(m.getPhotoDate().isEmpty());
    QVERIFY(m.getOrderPath().isEmpty());
    QVERIFY(m.getOrderBackupPath().isEmpty());
    QVERIFY(m.getStore_picpath().isEmpty());
    QVERIFY(m.getStore_bakpicpath().isEmpty());
    QVERIFY(m.getStore_homepicpath().isEmpty());
    // "\选版服务器" alone maps to the mount root itself.
    QCOMPARE(m.getShop_n8path(), volumes.root());
    QVERIFY(m.serverFormOrderPath().isEmpty());
}

void TestImportOrderModel::bookingTimeInLocalTime_data()
{
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<QString>("shown");
    QTest::newRow("zero") << QByteArray(R"({"booktime": "0"})") << "1970-01-01 08:00:00";
    QTest::newRow("empty") << QByteArray(R"({"booktime": ""})") << "1970-01-01 08:00:00";
    QTest::newRow("missing") << QByteArray("{}") << "1970-01-01 08:00:00";
    QTest::newRow("json number") << QByteArray(R"({"booktime": 1686800000})") << "1970-01-01 08:00:00";
    QTest::newRow("not a number") << QByteArray(R"({"booktime": "soon"})") << "1970-01-01 08:00:00";
    QTest::newRow("seconds") << QByteArray(R"({"booktime": "1686800000"})") << "2023-06-15 11:33:20";
}

void TestImportOrderModel::bookingTimeInLocalTime()
{
    QFETCH(QByteArray, item);
    QFETCH(QString, shown);
    const ImportOrderModel m(QJsonDocument::fromJson(item).object(), nullptr);
    QCOMPARE(m.getBespeakdate(), shown);
}

void TestImportOrderModel::customerName_data()
{
    QTest::addColumn<QString>("child");
    QTest::addColumn<QString>("woman");
    QTest::addColumn<QString>("man");
    QTest::addColumn<QString>("customer");
    QTest::newRow("all three") << "Tom"
                               << "Mary"
                               << "John"
                               << "Tom-Mary-John";
    QTest::newRow("child and man") << "Tom"
                                   << ""
                                   << "John"
                                   << "Tom-John";
    QTest::newRow("child alone") << "Tom"
                                 << ""
                                 << ""
                                 << "Tom";
    QTest::newRow("woman and man") << ""
                                   << "Mary"
                                   << "John"
                                   << "Mary-John";
    QTest::newRow("nobody") << ""
                            << ""
                            << ""
                            << "";
}

void TestImportOrderModel::customerName()
{
    QFETCH(QString, child);
    QFETCH(QString, woman);
    QFETCH(QString, man);
    QFETCH(QString, customer);
    const ImportOrderModel m(QJsonObject{{"bname", child}, {"wname", woman}, {"mname", man}}, nullptr);
    QCOMPARE(m.getCustName(), customer);
    QCOMPARE(m.getFinePrefixFolder(), customer);
}

void TestImportOrderModel::folderSuffix_data()
{
    QTest::addColumn<QString>("woman");
    QTest::addColumn<QString>("man");
    QTest::addColumn<QString>("photographer");
    QTest::addColumn<QString>("dresser");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("photographer only") << "Tom"
                                       << "Mary"
                                       << "Lee"
                                       << ""
                                       << "Tom-Mary-Lee";
    QTest::newRow("dresser only") << "Tom"
                                  << ""
                                  << ""
                                  << "Kim"
                                  << "Tom-Kim";
    QTest::newRow("staff without customer") << ""
                                            << ""
                                            << "Lee"
                                            << "Kim"
                                            << "-Lee-Kim";
    QTest::newRow("colon and slash removed") << "Li:Na"
                                             << "Wang/Wu"
                                             << ""
                                             << ""
                                             << "LiNa-WangWu";
    QTest::newRow("blanks only") << "   "
                                 << ""
                                 << ""
                                 << ""
                                 << "";
    QTest::newRow("outer blanks and final dot") << " Li"
                                                << "Na. "
                                                << ""
                                                << ""
                                                << "Li-Na";
}

void TestImportOrderModel::folderSuffix()
{
    QFETCH(QString, woman);
    QFETCH(QString, man);
    QFETCH(QString, photographer);
    QFETCH(QString, dresser);
    QFETCH(QString, suffix);
    // The woman's and man's names stand in for the customer text.
    const ImportOrderModel m(
        QJsonObject{{"wname", woman}, {"mname", man}, {"role1", photographer}, {"role2", dresser}}, nullptr);
    QCOMPARE(m.getOriPrefixFolder(), suffix);
    QCOMPARE(m.getFinePrefixFolder(), suffix);
    QCOMPARE(m.getDesignPrefixFolder(), suffix);
}

void TestImportOrderModel::orderName_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("name");
    QTest::newRow("both") << "A2301"
                          << "2"
                          << "A2301-2";
    QTest::newRow("no service count") << "A2301"
                                      << ""
                                      << "A2301-";
}

void TestImportOrderModel::orderName()
{
    QFETCH(QString, number);
    QFETCH(QString, count);
    QFETCH(QString, name);
    const ImportOrderModel m(QJsonObject{{"orderpayforkey", number}, {"servicetimes", count}}, nullptr);
    QCOMPARE(m.getOrderName(), name);
    QCOMPARE(m.getFinePrefix(), name);
}

void TestImportOrderModel::folderSuffixSettersSetAllThree_data()
{
    QTest::addColumn<int>("setter");
    QTest::newRow("photos") << 0;
    QTest::newRow("finished") << 1;
    QTest::newRow("design") << 2;
}

void TestImportOrderModel::folderSuffixSettersSetAllThree()
{
    QFETCH(int, setter);
    ImportOrderModel m(QJsonObject{{"wname", "Mary"}}, nullptr);
    if (setter == 0)
        m.setOriPrefixFolder("X");
    else if (setter == 1)
        m.setFinePrefixFolder("X");
    else
        m.setDesignPrefixFolder("X");
    QCOMPARE(m.getOriPrefixFolder(), QStringLiteral("X"));
    QCOMPARE(m.getFinePrefixFolder(), QStringLiteral("X"));
    QCOMPARE(m.getDesignPrefixFolder(), QStringLiteral("X"));
    // The photo suffixes stay each type's own.
    m.setOriPrefixImage("O");
    QVERIFY(m.getFinePrefixImage().isEmpty());
    QVERIFY(m.getDesignPrefixImage().isEmpty());
}

void TestImportOrderModel::serverFormPaths()
{
    TempVolumes volumes;
    volumes.mkdir("photos");
    volumes.mkdir("bak");
    ImportOrderModel m(parse(R"({
        "orderpath": "//fs/photos/old/A1-1", "orderbakpicpath": "//fs/bak/old/A1-1",
        "picpathnew": {"picpath": "//fs/photos/", "bakpicpath": "//fs/bak/"}})"),
                       nullptr);
    QCOMPARE(m.getStore_picpath(), volumes.path("photos/"));

    // A folder the import made below the store root goes back in the web
    // service's own form.
    m.setOrderPath(volumes.path("photos/2023-06/15/A1-1-Tom/"));
    m.setOrderBackupPath(volumes.path("bak/2023-06/15/A1-1-Tom/"));
    QCOMPARE(m.serverFormOrderPath(), QStringLiteral("//fs/photos/2023-06/15/A1-1-Tom/"));
    QCOMPARE(m.serverFormOrderBackupPath(), QStringLiteral("//fs/bak/2023-06/15/A1-1-Tom/"));

    // Anything else is sent as the order list gave it.
    m.setOrderPath(volumes.path("elsewhere/A1-1/"));
    m.setOrderBackupPath(QString());
    QCOMPARE(m.serverFormOrderPath(), QStringLiteral("//fs/photos/old/A1-1"));
    QCOMPARE(m.serverFormOrderBackupPath(), QStringLiteral("//fs/bak/old/A1-1"));

    // Without a store root nothing is replaced.
    ImportOrderModel noStore(parse(R"({"orderpath": "//fs/photos/A2-1"})"), nullptr);
    noStore.setOrderPath("/Volumes/photos/A2-1/");
    QCOMPARE(noStore.serverFormOrderPath(), QStringLiteral("//fs/photos/A2-1"));
}

void TestImportOrderModel::imgNameLst_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("oriSuffix");
    QTest::addColumn<QString>("fineSuffix");
    QTest::addColumn<QString>("designSuffix");
    QTest::addColumn<QString>("name");

    const QString card = QStringLiteral("/Volumes/card/DCIM/IMG_0001.JPG");
    QTest::newRow("photo with suffix") << card << 0 << "Lee"
                                       << ""
                                       << ""
                                       << "IMG_0001-Lee.JPG";
    QTest::newRow("finished without suffix") << card << 1 << "Lee"
                                             << ""
                                             << ""
                                             << "IMG_0001.JPG";
    QTest::newRow("finished with suffix") << card << 1 << ""
                                          << "F"
                                          << ""
                                          << "IMG_0001-F.JPG";
    QTest::newRow("n8 type drops the extension") << card << 5 << "Lee"
                                                 << "F"
                                                 << "D"
                                                 << "IMG_0001";
    QTest::newRow("unknown type drops the extension") << card << 9 << ""
                                                      << ""
                                                      << ""
                                                      << "IMG_0001";
    QTest::newRow("design with dots") << "/tmp/a.b.c.jpg" << 2 << ""
                                      << ""
                                      << "D"
                                      << "a.b.c-D.jpg";
    QTest::newRow("trial video keeps its name") << "/tmp/clip.mp4" << 3 << "X"
                                                << "X"
                                                << "X"
                                                << "clip.mp4";
    QTest::newRow("retouched video keeps its name") << "/tmp/clip.final.avi" << 4 << "X"
                                                    << "X"
                                                    << "X"
                                                    << "clip.final.avi";
    QTest::newRow("leading dot vanishes") << "/tmp/.hidden.jpg" << 0 << ""
                                          << ""
                                          << ""
                                          << "hidden.jpg";
    QTest::newRow("no dot") << "/tmp/photo" << 0 << ""
                            << ""
                            << ""
                            << ".photo";
    QTest::newRow("no dot with suffix") << "/tmp/photo" << 0 << "S"
                                        << ""
                                        << ""
                                        << "-S.photo";
    QTest::newRow("empty middle part") << "/tmp/a..b.png" << 1 << ""
                                       << ""
                                       << ""
                                       << "a..b.png";
    QTest::newRow("chinese name") << "/tmp/照片 01.jpeg" << 2 << ""
                                  << ""
                                  << "设计"
                                  << "照片 01-设计.jpeg";
}

void TestImportOrderModel::imgNameLst()
{
    QFETCH(QString, path);
    QFETCH(int, type);
    QFETCH(QString, oriSuffix);
    QFETCH(QString, fineSuffix);
    QFETCH(QString, designSuffix);
    QFETCH(QString, name);
    ImportOrderModel m(nullptr);
    m.setOriPrefixImage(oriSuffix);
    m.setFinePrefixImage(fineSuffix);
    m.setDesignPrefixImage(designSuffix);
    QCOMPARE(m.getImgNameLst({path}, static_cast<ImportTypeEnum>(type)), QStringList{name});
}

void TestImportOrderModel::imgNameLstKeepsOrderAndCount()
{
    ImportOrderModel m(nullptr);
    m.setOriPrefixImage("Lee");
    const QStringList paths{"/c/b.jpg", "/c/a.JPG", "/c/b.jpg"};
    QCOMPARE(m.getImgNameLst(paths, ImportOriginal), QStringList({"b-Lee.jpg", "a-Lee.JPG", "b-Lee.jpg"}));
    QVERIFY(m.getImgNameLst({}, ImportFinished).isEmpty());
}

QTEST_GUILESS_MAIN(TestImportOrderModel)
#include "tst_importordermodel.moc"
