#include "standin.h"
#include "config.h"
#include "fileoperation.h"
#include "importbookkeeping.h"
#include "tempvolumes.h"
#include "testfiles.h"

#include <QtTest>

namespace IB = ImportBookkeeping;

// The plain parts of the batch import dialog: server-form paths, record
// bodies, folder counts, the write probe and the names of its file lists.
class TestImportBookkeeping : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void serverFormPath_data();
    void serverFormPath();
    void orderPathBodies();
    void otherBodies();
    void counts();
    void probeStoreRoot();
    void selectionFolders();
    void existingThumbnails();
    void plainFileName_data();
    void plainFileName();
};

namespace {

QList<QPair<QString, QString>> pairs(const QByteArray& body)
{
    QByteArray b = body;
    if (b.startsWith('&'))
        b.remove(0, 1);
    QList<QPair<QString, QString>> result;
    for (const QByteArray& part : b.split('&')) {
        const int eq = part.indexOf('=');
        result.append({QString::fromUtf8(part.left(eq)),
                       QString::fromUtf8(QByteArray::fromPercentEncoding(part.mid(eq + 1)))});
    }
    return result;
}

QStringList keysOf(const QByteArray& body)
{
    QStringList keys;
    for (const auto& pair : pairs(body))
        keys.append(pair.first);
    return keys;
}

QString valueOf(const QByteArray& body, const QString& key)
{
    for (const auto& pair : pairs(body)) {
        if (pair.first == key)
            return pair.second;
    }
    return QStringLiteral("<missing>");
}

} // namespace

void TestImportBookkeeping::initTestCase()
{
    Config::token = QStringLiteral("tok");
    Config::n8PathToken = QStringLiteral("0123456789abcdef0123456789abcdef");
    StandIn::useDemoIdentity();
}

void TestImportBookkeeping::serverFormPath_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("localRoot");
    QTest::addColumn<QString>("rawRoot");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("expected");

    const QString raw = QStringLiteral("\\\\nas\\photos\\old\\A1-1\\");
    QTest::newRow("below the root") << "/V/photos/2024-05/15/A1-1/"
                                    << "/V/photos/"
                                    << "\\\\nas\\photos\\" << raw << "\\\\nas\\photos\\2024-05/15/A1-1/";
    QTest::newRow("root met again further down is kept") << "/V/photos/x/V/photos/A1-1/"
                                                         << "/V/photos/"
                                                         << "//nas/p/" << raw << "//nas/p/x/V/photos/A1-1/";
    QTest::newRow("one slash where neither side has one")
        << "/V/photos30/2024-04/A1-1/"
        << "/V/photos30/"
        << "D:\\photos30" << raw << "D:\\photos30/2024-04/A1-1/";
    QTest::newRow("elsewhere: as sent") << "/V/other/A1-1/"
                                        << "/V/photos/"
                                        << "//nas/p/" << raw << raw;
    QTest::newRow("sibling folder sharing the name's start") << "/V/photos2/A1-1/"
                                                             << "/V/photos"
                                                             << "//nas/p" << raw << raw;
    QTest::newRow("empty root: as sent") << "/V/photos/A1-1/"
                                         << ""
                                         << "" << raw << raw;
    QTest::newRow("no folder: as sent") << ""
                                        << "/V/photos/"
                                        << "//nas/p/" << raw << raw;
    QTest::newRow("the root itself") << "/V/photos/"
                                     << "/V/photos/"
                                     << "//nas/p/" << raw << "//nas/p/";
}

void TestImportBookkeeping::serverFormPath()
{
    QFETCH(QString, local);
    QFETCH(QString, localRoot);
    QFETCH(QString, rawRoot);
    QFETCH(QString, raw);
    QFETCH(QString, expected);
    QCOMPARE(IB::serverFormPath(local, localRoot, rawRoot, raw), expected);
}

void TestImportBookkeeping::orderPathBodies()
{
    IB::OrderPathRecord record;
    record.stage = QStringLiteral("0");
    record.orderId = QStringLiteral("100105");
    record.orderPath = QStringLiteral("//nas/p/A&B #1/");
    record.backupPath = QStringLiteral("//nas/b/");
    record.timestamp = 1715760000123;
    record.type = ImportFinished;
    const QByteArray ready = IB::orderPathBody(record);
    QVERIFY(ready.startsWith("picnumber=0&picbacknumber=0&importype=0&token=tok&"));
    QVERIFY(ready.endsWith("&typeid=1"));
    QCOMPARE(keysOf(ready), QStringList({"picnumber", "picbacknumber", "importype", "token", "order_photo_id",
                                         "orderpicpath", "orderbakpicpath", "superid", "eid", "shopid",
                                         "timestamp", "typeid"}));
    // Encoded once: a path with "&" and "#" stays one value.
    QVERIFY(ready.contains("orderpicpath=%2F%2Fnas%2Fp%2FA%26B%20%231%2F&"));
    QCOMPARE(valueOf(ready, "timestamp"), QStringLiteral("1715760000123"));
    QVERIFY(IB::sendsOrderPathRecord(ImportFinished, "0"));

    record.type = ImportTrialVideo;
    record.stage = QStringLiteral("1");
    record.picNumber = 2;
    record.orderPath = QStringLiteral("//nas/p/A1-1/");
    record.videos = QStringList{"/card/VIDEO/a.mp4", "/card/VIDEO/b.mp4"};
    const QByteArray videos = IB::orderPathBody(record);
    QCOMPARE(keysOf(videos).mid(11), QStringList({"videopaths", "videofiles", "typeid"}));
    QCOMPARE(valueOf(videos, "videopaths"),
             QStringLiteral("//nas/p/A1-1/试拍视频/a.mp4|//nas/p/A1-1/试拍视频/b.mp4"));
    QCOMPARE(valueOf(videos, "videofiles"), QStringLiteral("a.mp4|b.mp4"));
    QCOMPARE(valueOf(videos, "typeid"), QStringLiteral("3"));
    QVERIFY(!IB::sendsOrderPathRecord(ImportTrialVideo, "0"));
    QVERIFY(!IB::sendsOrderPathRecord(ImportRetouchedVideo, "0"));
    QVERIFY(IB::sendsOrderPathRecord(ImportRetouchedVideo, "1"));

    record.type = ImportN8;
    QCOMPARE(valueOf(IB::orderPathBody(record), "typeid"), QStringLiteral("1"));
    QVERIFY(!keysOf(IB::orderPathBody(record)).contains("videopaths"));
}

void TestImportBookkeeping::otherBodies()
{
    const QByteArray video = IB::videoListBody("100105", "", "", ImportTrialVideo, 42);
    QVERIFY(video.startsWith("&timestamp=42&videopaths=&videofiles=&"));
    QCOMPARE(keysOf(video), QStringList({"timestamp", "videopaths", "videofiles", "shopid", "order_photo_id",
                                         "superid", "eid", "token", "typeid"}));
    QVERIFY(IB::videoListBody("1", "a", "b", ImportRetouchedVideo, 1).endsWith("&typeid=4"));

    const QByteArray n8 = IB::n8PathBody("100105", QStringLiteral("/V/n8/选版 服务器/A1"));
    QVERIFY(n8.startsWith("&token=0123456789abcdef0123456789abcdef&orderphotoid=100105&n8path="));
    QCOMPARE(keysOf(n8), QStringList({"token", "orderphotoid", "n8path", "superid", "eid", "shopid"}));
    QVERIFY(n8.contains("%E9%80%89%E7%89%88%20%E6%9C%8D"));
    QCOMPARE(valueOf(n8, "n8path"), QStringLiteral("/V/n8/选版 服务器/A1"));

    QCOMPARE(
        IB::selectionCheckBody("100102"),
        QByteArray("token=tok&shopid=12&superid=8&order_photo_id=100102&eid=1024&personid=1024&uid=2048"));
}

void TestImportBookkeeping::counts()
{
    TempVolumes volumes;
    const QString order = volumes.mkdir("photos/2024-05/15/A1-1");
    for (const char* name :
         {"成品/a.jpg", "成品/b.JPG", "成品/c.png", "成品/d.jpeg", "成品缩略图/a.jpg", "照片/a.jpg",
          "设计/d.jpg", "试拍视频/a.mp4", "试拍视频/b.MOV", "精修视频/c.wmv"})
        QVERIFY(TestFiles::write(order + "/" + QString::fromUtf8(name), "x"));
    const QString backup = volumes.mkdir("backup/2024-05/15/A1-1");
    QVERIFY(TestFiles::write(backup + "/照片/a.jpg", "x"));
    QVERIFY(TestFiles::write(backup + "/照片/b.jpg", "x"));

    QCOMPARE(IB::folderPhotoCount(order + "/成品/"), 2);
    QCOMPARE(IB::folderPhotoCount(order + "/missing/"), 0);
    QCOMPARE(IB::folderVideoCount(order + "/试拍视频/"), 1);

    // The order table counts images only beside their thumbnails.
    QCOMPARE(IB::existingImageCount(order, ImportFinished), 4);
    QCOMPARE(IB::existingImageCount(order, ImportOriginal), -1);
    QCOMPARE(IB::existingImageCount(QString(), ImportFinished), -1);
    QCOMPARE(IB::existingImageCount(order, ImportTrialVideo), -1);
    QCOMPARE(IB::existingVideoCount(order, ImportTrialVideo), 1);
    QCOMPARE(IB::existingVideoCount(order, ImportRetouchedVideo), 1);
    QCOMPARE(IB::existingVideoCount(order, ImportFinished), -1);

    QCOMPARE(IB::importCounts(order, backup, ImportOriginal).server, 1);
    QCOMPARE(IB::importCounts(order, backup, ImportOriginal).backup, 2);
    QCOMPARE(IB::importCounts(order, backup, ImportDesign).backup, 0);
    QCOMPARE(IB::importCounts(order, backup, ImportRetouchedVideo).server, 1);

    // A folder that exists and cannot be read counts -1, never 0.
    FileOperation::setFaultHook([](FileOperation::Fault f, const QString& path) {
        return f == FileOperation::Fault::List && !path.endsWith(QStringLiteral("设计"));
    });
    QCOMPARE(IB::existingImageCount(order, ImportFinished), -1);
    QCOMPARE(IB::importCounts(order, backup, ImportOriginal).backup, -1);
    QVERIFY(IB::importCounts(order, backup, ImportDesign).read());
    // So does one (or its thumbnail folder) that cannot be looked at; one not there counts 0.
    FileOperation::setFaultHook([backup](FileOperation::Fault f, const QString& path) {
        return f == FileOperation::Fault::LookUp &&
               (path.endsWith("缩略图") || path.startsWith(backup + "/"));
    });
    QCOMPARE(IB::existingImageCount(order, ImportFinished), -1);
    QCOMPARE(IB::importCounts(order, backup, ImportOriginal).backup, -1);
    QCOMPARE(IB::folderPhotoCount(order + "/missing/"), 0);
    FileOperation::setFaultHook(nullptr);

    // An order without a folder counts nothing, not the working directory.
    const QString cwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(order));
    QCOMPARE(IB::importCounts(QString(), QString(), ImportFinished).server, 0);
    QCOMPARE(IB::existingThumbnails(QString(), ImportFinished), QStringList());
    QDir::setCurrent(cwd);
}

void TestImportBookkeeping::probeStoreRoot()
{
    TempVolumes volumes;
    QCOMPARE(IB::probeStoreRoot(volumes.path("nowhere/")), IB::Probe::Skipped);
    QCOMPARE(IB::probeStoreRoot(QString()), IB::Probe::Skipped);

    // An existing "Velmor" folder and its contents are never touched, and
    // the probe leaves nothing behind.
    const QString root = volumes.mkdir("photos");
    QVERIFY(TestFiles::write(root + "/Velmor/keep.jpg", "x"));
    QCOMPARE(IB::probeStoreRoot(root), IB::Probe::Writable); // no final "/"
    QVERIFY(QFile::exists(root + "/Velmor/keep.jpg"));
    QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"Velmor"});
    QVERIFY(!QFileInfo::exists(root + "Velmor"));

    // A root where no folder can be made (a kernel file system, even for root).
    if (!QFileInfo("/proc/self").isDir())
        QSKIP("no /proc here");
    QVERIFY(QFile::link("/proc/self", volumes.path("locked")));
    QCOMPARE(IB::probeStoreRoot(volumes.path("locked/")), IB::Probe::Refused);
}

void TestImportBookkeeping::selectionFolders()
{
    QCOMPARE(IB::nextSelectDir(ImportOriginal, "/V/card/DCIM/100/IMG_1.JPG"), QStringLiteral("/V/card/DCIM"));
    QCOMPARE(IB::nextSelectDir(ImportTrialVideo, "/V/card/VIDEO/a.mp4"), QStringLiteral("/V/card/VIDEO"));
    QCOMPARE(IB::n8ParentPath("/V/card/N8/A1"), QStringLiteral("/V/card/N8"));
    QCOMPARE(IB::n8ParentPath("/V/card/N8/A1/"), QStringLiteral("/V/card/N8"));
    QCOMPARE(IB::n8ParentPath("/A1"), QString());
}

void TestImportBookkeeping::existingThumbnails()
{
    TempVolumes volumes;
    const QString order = volumes.mkdir("photos/A1-1") + "/";
    for (const char* name : {"成品/a.jpg", "成品/b.jpg", "成品缩略图100/a.jpg", "成品缩略图100/b.jpg",
                             "成品缩略图100/gone.jpg", "thumbnail100/a.jpg"})
        QVERIFY(TestFiles::write(order + QString::fromUtf8(name), "x"));
    QDir().mkpath(order + "成品缩略图100/sub");
    QDir().mkpath(order + "成品/sub");

    QStringList finished = IB::existingThumbnails(order, ImportFinished);
    finished.sort();
    QCOMPARE(finished, QStringList({order + "成品缩略图100/a.jpg", order + "成品缩略图100/b.jpg"}));
    QCOMPARE(IB::existingThumbnails(order, ImportOriginal), QStringList());
    QCOMPARE(IB::existingThumbnails(order.chopped(1), ImportDesign), QStringList());
    QVERIFY(IB::importedFolders(ImportTrialVideo).deleteFrom.isEmpty());
    QVERIFY(IB::importedFolders(ImportN8).opened.isEmpty());
    QCOMPARE(IB::importedFolders(ImportDesign).deleteFrom.size(), 4);
}

void TestImportBookkeeping::plainFileName_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "IMG_0001.JPG"
                           << "IMG_0001.JPG";
    QTest::newRow("with a folder") << "../../照片/a.jpg"
                                   << "a.jpg";
    QTest::newRow("backslashes") << "..\\..\\a.jpg"
                                 << "a.jpg";
    QTest::newRow("dot dot") << ".."
                             << "";
    QTest::newRow("dot") << "sub/."
                         << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("folder only") << "sub/"
                                 << "";
}

void TestImportBookkeeping::plainFileName()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(IB::plainFileName(text), expected);
}

QTEST_MAIN(TestImportBookkeeping)
#include "tst_importbookkeeping.moc"
