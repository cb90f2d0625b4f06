// The demo-data maker builds the tree the demo fixture's paths point at.

#include "config.h"
#include "demotree.h"
#include "exifreader.h"
#include "studioservice.h"

#include <QtTest>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>


namespace {

QJsonObject demoFixture()
{
    QFile file(StudioService::demoFixturePath());
    file.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(file.readAll()).object();
}

int jpegCount(const QString& folder)
{
    return QDir(folder).entryList({"*.jpg", "*.JPG"}, QDir::Files).size();
}

// The tags as the client's own reader sees them.
ExifReader::Info exifOf(const QString& path)
{
    return ExifReader::read(path);
}

} // namespace

class TestDemoData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void fixturePathsExist();
    void orderFolders();
    void n8Folders();
    void cardPhotos();
    void runsAgain();

private:
    bool make();

    QTemporaryDir m_dir;
    QString m_root;
    QString m_previousRoot;
    QJsonObject m_fixture;
};

bool TestDemoData::make()
{
    return makeDemoTree(m_root);
}

void TestDemoData::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_root = m_dir.path() + QStringLiteral("/Volumes/");
    m_fixture = demoFixture();
    QVERIFY(!m_fixture.isEmpty());
    QVERIFY(make());
    m_previousRoot = Config::volumesRoot();
    Config::setVolumesRoot(m_root);
}

void TestDemoData::cleanupTestCase()
{
    Config::setVolumesRoot(m_previousRoot);
}

void TestDemoData::fixturePathsExist()
{
    QCOMPARE(StudioService::missingPaths(m_fixture, m_root), QStringList());
    // The check itself sees a missing folder.
    QVERIFY(QDir(m_root + "photos30").removeRecursively());
    QVERIFY(StudioService::missingPaths(m_fixture, m_root).contains("D:\\photos30\\"));
    QVERIFY(make());
}

void TestDemoData::orderFolders()
{
    const QJsonObject contents = m_fixture.value("demo").toObject().value("orders").toObject();
    int imported = 0;
    for (const QJsonValue& v : m_fixture.value("orders").toArray()) {
        const QJsonObject order = v.toObject();
        const QString raw = order.value("orderpath").toString();
        if (raw.isEmpty())
            continue;
        ++imported;
        const QString key = order.value("orderpayforkey").toString();
        const QString path = Config::returnPicPath(raw);
        const QString backup = Config::returnPicPath(order.value("orderbakpicpath").toString());
        QVERIFY2(path.startsWith(m_root) && QDir(path + "成品").exists(), qPrintable(key));
        QVERIFY2(QDir(backup + "照片").exists(), qPrintable(key));
        QVERIFY2(QDir(path + "照片/新建文件夹").exists(), qPrintable(key));

        const QString id = order.value("order_photo_id").toString();
        const QJsonObject content = contents.value(id).toObject();
        const int photos = content.value("photos").toInt();
        const int finished = content.value("finished").toInt();
        const int designs = content.value("designs").toInt();
        QCOMPARE(jpegCount(path + "照片"), photos);
        QCOMPARE(jpegCount(backup + "照片"), photos);
        QCOMPARE(jpegCount(path + "thumbnail100"), photos);
        QCOMPARE(jpegCount(path + "thumbnail2250"), photos);
        QCOMPARE(jpegCount(path + "成品"), finished);
        QCOMPARE(jpegCount(path + "成品缩略图"), finished);
        QCOMPARE(jpegCount(path + "设计"), designs);
        QCOMPARE(jpegCount(path + "设计缩略图100"), designs);
        QCOMPARE(jpegCount(path + "marks"), content.value("marks").toInt());
        if (photos > 0) {
            QCOMPARE(QImage(path + "照片/IMG_0001.jpg").isNull(), false);
            const ExifReader::Info exif = exifOf(path + "照片/IMG_0001.jpg");
            QVERIFY2(exif.readable, qPrintable(key));
            QCOMPARE(exif.orientation, 1);
            // The stored shot time leaves out the century.
            QVERIFY2(exif.shotTime.startsWith(order.value("shotdate").toString().mid(2).replace('-', ':')),
                     qPrintable(key + " " + exif.shotTime));
        }
        // Every camera photo, its backup, every finished photo and every
        // camera raw carries the shooting day: raws are matched to photos by it.
        const QString day = order.value("shotdate").toString().mid(2).replace('-', ':') + ' ';
        QStringList dated;
        for (const QString& folder : {path + "照片/", backup + "照片/", path + "成品/"}) {
            for (const QString& f : QDir(folder).entryList({"*.jpg"}, QDir::Files))
                dated.append(folder + f);
        }
        const QStringList raws = QDir(path + "照片/新建文件夹").entryList({"_MG_*.CR2"}, QDir::Files);
        QCOMPARE(raws.size(), m_fixture.value("demo_raws").toObject().value(id).toInt());
        for (const QString& f : raws)
            dated.append(path + "照片/新建文件夹/" + f);
        QCOMPARE(dated.size(), 2 * photos + finished + raws.size());
        for (const QString& file : dated)
            QVERIFY2(exifOf(file).shotTime.startsWith(day), qPrintable(file + " " + exifOf(file).shotTime));
    }
    QCOMPARE(imported, 6);
}

void TestDemoData::n8Folders()
{
    QStringList reachable;
    for (const QJsonValue& shop : m_fixture.value("shops").toArray()) {
        for (const QJsonValue& s : shop.toObject().value("stores").toArray()) {
            const QString n8 = s.toObject().value("n8path").toString() + QStringLiteral("\\选版服务器");
            if (QDir(Config::returnPicPath(n8)).exists())
                reachable.append(s.toObject().value("id").toString());
        }
    }
    // Store 1202's N8 folder is left out, so the N8 sync shows an unreachable store.
    QCOMPARE(reachable, QStringList({"1201", "7701", "3001"}));
}

void TestDemoData::cardPhotos()
{
    const QString dcim = m_root + "card/DCIM/100DRAVN/";
    const QStringList files = QDir(dcim).entryList({"*.JPG"}, QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 8);
    QStringList orientations;
    for (const QString& f : files) {
        const ExifReader::Info exif = exifOf(dcim + f);
        orientations.append(QString::number(exif.orientation));
        QVERIFY(!exif.shotTime.isEmpty());
        const QImage image(dcim + f);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > image.height()); // stored as the sensor saw it
    }
    QCOMPARE(orientations, QStringList({"1", "3", "6", "8", "1", "3", "6", "8"}));
    QCOMPARE(QDir(m_root + "card/VIDEO").entryList({"*.mp4"}, QDir::Files).size(), 2);
    QCOMPARE(jpegCount(m_root + "card/N8/A24051201"), 2);
}

void TestDemoData::runsAgain()
{
    QVERIFY(make());
    QCOMPARE(StudioService::missingPaths(m_fixture, m_root), QStringList());
}

QTEST_MAIN(TestDemoData)
#include "tst_demodata.moc"
