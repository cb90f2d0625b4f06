#include "config.h"
#include "importorderthread.h"
#include "jobrunner.h"
#include "jpegfixture.h"
#include "tempvolumes.h"
#include "testfiles.h"
#include "thumbnailthread1.h"

#include <QtTest>

#include <QDirIterator>
#include <QImage>

// Receives the reports of the single-order import's jobs by slot name, as
// the window does, and records them.
class JobReports : public QObject
{
    Q_OBJECT

public:
    QStringList calls;
    QList<QImage> icons;

public slots:
    void onFinishImportImage(QString imageTime) { calls.append("finish(" + imageTime + ")"); }
    void onImportImageFailed(QString picPath) { calls.append("failed(" + QFileInfo(picPath).fileName() + ")"); }
    void setThumbIcon(int generation, int index, QImage image)
    {
        calls.append(QStringLiteral("icon(%1,%2)").arg(generation).arg(index));
        icons.append(image);
    }
    void onIsPathExist(bool exist) { calls.append(exist ? "exists" : "missing"); }
};

// The pooled jobs of the single-order import: the per-photo import on the
// shared import engine, the list icons and the folder check.
class TestSingleImportJobs : public QObject
{
    Q_OBJECT

private slots:
    void importReports_data();
    void importReports();
    void sameFilesAsTheBatchWorker();
    void icons_data();
    void icons();
    void folderCheck();

private:
    // Runs the jobs made for the receiver's owner handle on a window's
    // runner and delivers their reports.
    void run(JobReports& receiver, const std::function<QList<QRunnable*>(JobOwnerHandle)>& make);
};

namespace {

// Every file below a folder with its bytes, by relative path.
QMap<QString, QByteArray> tree(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path), TestFiles::readAll(path));
    }
    return files;
}

} // namespace

void TestSingleImportJobs::run(JobReports& receiver,
                               const std::function<QList<QRunnable*>(JobOwnerHandle)>& make)
{
    JobRunner runner(&receiver);
    for (QRunnable* job : make(runner.owner())) {
        runner.start(job);
        runner.waitForDone();
    }
    QCoreApplication::processEvents();
}

void TestSingleImportJobs::importReports_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("dateTime");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QStringList>("written");

    QTest::newRow("photo with a shot time")
        << 0 << true << "2019:05:03 14:22:11" << QStringList{"finish(abc-001>19:05:03 14:22:11|)"}
        << QStringList{"backup/照片/abc-001.jpg", "order/thumbnail/abc-001.jpg", "order/thumbnail100/abc-001.jpg",
                       "order/thumbnail2250/abc-001.jpg", "order/照片/abc-001.jpg"};
    QTest::newRow("photo without one") << 0 << true << "" << QStringList{"finish()"}
                                       << QStringList{"backup/照片/abc-001.jpg", "order/thumbnail/abc-001.jpg",
                                                      "order/thumbnail100/abc-001.jpg",
                                                      "order/thumbnail2250/abc-001.jpg", "order/照片/abc-001.jpg"};
    QTest::newRow("finished photo, no record") << 1 << true << "2019:05:03 14:22:11" << QStringList{"finish()"}
                                               << QStringList{"order/成品/abc-001.jpg", "order/成品缩略图/abc-001.jpg",
                                                              "order/成品缩略图100/abc-001.jpg",
                                                              "order/成品缩略图2250/abc-001.jpg"};
    QTest::newRow("design") << 2 << true << "" << QStringList{"finish()"}
                            << QStringList{"order/设计/abc-001.jpg", "order/设计缩略图/abc-001.jpg",
                                           "order/设计缩略图100/abc-001.jpg", "order/设计缩略图2250/abc-001.jpg"};
    QTest::newRow("missing source") << 0 << false << "" << QStringList{"failed(card.jpg)", "finish()"}
                                    << QStringList();
}

void TestSingleImportJobs::importReports()
{
    QFETCH(int, mode);
    QFETCH(bool, exists);
    QFETCH(QString, dateTime);
    TempVolumes volumes;
    for (const char* folder : {"order/照片", "order/thumbnail", "order/thumbnail100", "order/thumbnail2250",
                                  "order/成品", "order/成品缩略图", "order/成品缩略图100", "order/成品缩略图2250",
                                  "order/设计", "order/设计缩略图", "order/设计缩略图100", "order/设计缩略图2250",
                                  "backup/照片"})
        volumes.mkdir(folder);
    const QString source = volumes.path("card.jpg");
    if (exists) {
        JpegFixture::Options options;
        options.size = QSize(300, 200);
        options.dateTime = dateTime;
        QVERIFY(JpegFixture::write(source, options));
    }
    JobReports receiver;
    run(receiver, [&](JobOwnerHandle owner) -> QList<QRunnable*> {
        return {new ThumbnailThread1(source, "abc-001.jpg", volumes.path("order/"), volumes.path("backup/"), owner,
                                     1000, mode)};
    });
    QTEST(receiver.calls, "reports");
    QStringList written = tree(volumes.root()).keys();
    written.removeAll("card.jpg");
    QTEST(written, "written");
}

void TestSingleImportJobs::sameFilesAsTheBatchWorker()
{
    TempVolumes volumes;
    JpegFixture::Options options;
    options.size = QSize(640, 480);
    options.orientation = 6;
    options.dateTime = "2019:05:03 14:22:11";
    const QString source = volumes.path("card/IMG_0001.JPG");
    QDir().mkpath(volumes.path("card"));
    QVERIFY(JpegFixture::write(source, options));
    for (const QString side : {"single", "batch"}) {
        for (const char* folder : {"order/照片", "order/thumbnail", "order/thumbnail100", "order/thumbnail2250",
                                   "backup/照片"})
            volumes.mkdir(side + "/" + folder);
    }

    ThumbnailThread1 single(source, "IMG_0001.JPG", volumes.path("single/order/"), volumes.path("single/backup/"),
                            JobOwnerHandle(), 1000, 0);
    bool failed = true;
    QCOMPARE(single.importImage(&failed), QStringLiteral("IMG_0001>19:05:03 14:22:11|"));
    QVERIFY(!failed);
    Config::isSyncPhotoToFinal = "0";
    ImportOrderThread batch(nullptr, ImportOriginal);
    batch.importImage(volumes.path("batch/order/"), volumes.path("batch/backup/"), source, "IMG_0001.JPG");

    const QMap<QString, QByteArray> made = tree(volumes.path("single"));
    QCOMPARE(made.size(), 5);
    QCOMPARE(made, tree(volumes.path("batch")));
    // The shot time both read is the one reader's.
    QString singleTime;
    QString batchTime;
    QVERIFY(single.getPicShotTime(source, singleTime));
    QVERIFY(batch.getPicShotTime(source, batchTime));
    QCOMPARE(singleTime, batchTime);
}

void TestSingleImportJobs::icons_data()
{
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<bool>("image");
    QTest::newRow("large photo") << QSize(4000, 3000) << true;
    QTest::newRow("small image is enlarged") << QSize(50, 40) << true;
    QTest::newRow("not an image") << QSize() << false;
}

void TestSingleImportJobs::icons()
{
    QFETCH(QSize, photo);
    QFETCH(bool, image);
    TempVolumes volumes;
    const QString path = volumes.path("thumb.jpg");
    if (image) {
        QImage picture(photo, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QVERIFY(picture.save(path, "JPG"));
    } else {
        QVERIFY(TestFiles::write(path, "not an image"));
    }
    JobReports reports;
    // A job made without a window reports to nobody.
    run(reports, [&](JobOwnerHandle) -> QList<QRunnable*> {
        return {new ThumbnailThread1(path, 4, JobOwnerHandle(), 100, 9)};
    });
    QVERIFY(reports.calls.isEmpty());
    run(reports, [&](JobOwnerHandle owner) -> QList<QRunnable*> {
        return {new ThumbnailThread1(path, 4, owner, 100, 9)};
    });
    QCOMPARE(reports.calls, QStringList{"icon(9,4)"});
    const QImage icon = reports.icons.first();
    QCOMPARE(icon.isNull(), !image);
    if (!image)
        return;
    QCOMPARE(icon.size(), QSize(100, 100));
    // A white square with the picture centred: white above a wider photo.
    QCOMPARE(QColor(icon.pixel(50, 5)), QColor(Qt::white));
    QVERIFY(qGreen(icon.pixel(50, 50)) > qRed(icon.pixel(50, 50)) + 40);
}

void TestSingleImportJobs::folderCheck()
{
    TempVolumes volumes;
    JobReports reports;
    run(reports, [&](JobOwnerHandle owner) -> QList<QRunnable*> {
        return {new ThumbnailThread1(volumes.mkdir("there"), owner),
                new ThumbnailThread1(volumes.path("not-there"), owner)};
    });
    QCOMPARE(reports.calls, QStringList({"exists", "missing"}));
}

QTEST_MAIN(TestSingleImportJobs)
#include "tst_singleimportjobs.moc"
