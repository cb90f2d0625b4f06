#include "config.h"
#include "copypicthread.h"
#include "importorderthread.h"
#include "jobrunner.h"
#include "jpegfixture.h"
#include "tempvolumes.h"
#include "testfiles.h"
#include "thumbnailthread1.h"

#include <QtTest>

#include <QDirIterator>
#include <QImage>
#include <QImageReader>
#include <QProcess>

#include <memory>
#include <vector>

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
    void onImportImageFailed(QString picPath, bool diskFull)
    {
        calls.append("failed(" + QFileInfo(picPath).fileName() + (diskFull ? ",full)" : ")"));
    }
    void setThumbIcon(int generation, int index, QImage image)
    {
        calls.append(QStringLiteral("icon(%1,%2)").arg(generation).arg(index));
        icons.append(image);
    }
    void onIsPathExist(bool exist) { calls.append(exist ? "exists" : "missing"); }
    void solaImgImport(QString path) { calls.append("sola(" + path + ")"); }
};

// The pooled jobs of the single-order import: the per-photo import on the
// shared import engine, the list icons and the folder check; and the photo
// copy job on the same engine.
class TestSingleImportJobs : public QObject
{
    Q_OBJECT

private slots:
    void importReports_data();
    void importReports();
    void sameFilesAsTheBatchWorker();
    void fourProcessesIntoOneOrder_data();
    void fourProcessesIntoOneOrder();
    void claimCutShortByACrash_data();
    void claimCutShortByACrash();
    void icons_data();
    void icons();
    void folderCheck();
    void copyJob_data();
    void copyJob();
    void copyJobKeepsAnExistingVideo();
    void copyJobSameFilesAsTheBatchWorker();

private:
    // Runs the jobs made for the receiver's owner handle on a window's
    // runner and delivers their reports.
    void run(JobReports& receiver, const std::function<QList<QRunnable*>(JobOwnerHandle)>& make);
};

namespace {

// Every folder the import writes into, below under: "order/..." and
// "backup/照片".
void makeOrderTree(TempVolumes& volumes, const QString& under)
{
    for (const char* folder : {"照片", "成品", "设计", "试拍视频", "精修视频", "thumbnail", "thumbnail100",
                               "thumbnail2250", "成品缩略图", "成品缩略图100", "成品缩略图2250", "设计缩略图",
                               "设计缩略图100", "设计缩略图2250"})
        volumes.mkdir(under + "order/" + folder);
    volumes.mkdir(under + "backup/照片");
}

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
    QTest::addColumn<QString>("source"); // "photo", "missing", or what else a photo tagged 6 is
    QTest::addColumn<QString>("dateTime");
    QTest::addColumn<QStringList>("taken"); // another photo's files already at the photo's name
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QString>("main"); // where the photo lands as it is
    QTest::addColumn<int>("files");    // files written in all

    const QString t = "2019:05:03 14:22:11";
    QTest::newRow("photo with a shot time")
        << 0 << "photo" << t << QStringList() << QStringList{"finish(abc-001>19:05:03 14:22:11|)"}
        << "order/照片/abc-001.jpg" << 5;
    // Another window wrote the name first: the photo takes the next number,
    // for all its files and its record, and the other's files stay.
    QTest::newRow("photo whose name is taken")
        << 0 << "photo" << t << QStringList{"order/照片/abc-001.jpg"}
        << QStringList{"finish(abc-002>19:05:03 14:22:11|)"} << "order/照片/abc-002.jpg" << 6;
    // A photo no decoder reads cannot be turned: it arrives as it is, under
    // the name its main copy claims, with its record.
    const QStringList otherPhoto{"order/照片/abc-001.jpg", "order/thumbnail/abc-001.jpg",
                                 "order/thumbnail2250/abc-001.jpg"};
    QTest::newRow("12-bit photo tagged 6, name taken")
        << 0 << "12-bit" << t << otherPhoto << QStringList{"finish(abc-002>19:05:03 14:22:11|)"}
        << "order/照片/abc-002.jpg" << 7;
    QTest::newRow("photo tagged 6 with a damaged Huffman table, name taken")
        << 0 << "Huffman table" << t << otherPhoto << QStringList{"finish(abc-002>19:05:03 14:22:11|)"}
        << "order/照片/abc-002.jpg" << 7;
    // The card file is gone once its bytes were read: the photo is judged
    // by them, upright thumbnails and its record.
    QTest::newRow("photo tagged 6, gone once read")
        << 0 << "gone once read" << t << QStringList() << QStringList{"finish(abc-001>19:05:03 14:22:11|)"}
        << "" << 5;
    QTest::newRow("finished photo, no record")
        << 1 << "photo" << t << QStringList() << QStringList{"finish()"} << "order/成品/abc-001.jpg" << 4;
    QTest::newRow("finished photo replaces its name")
        << 1 << "photo" << t << QStringList{"order/成品/abc-001.jpg"} << QStringList{"finish()"}
        << "order/成品/abc-001.jpg" << 4;
    QTest::newRow("design") << 2 << "photo"
                            << "" << QStringList() << QStringList{"finish()"} << "order/设计/abc-001.jpg"
                            << 4;
    QTest::newRow("design replaces its name") << 2 << "photo"
                                              << "" << QStringList{"order/设计/abc-001.jpg"}
                                              << QStringList{"finish()"} << "order/设计/abc-001.jpg" << 4;
    QTest::newRow("missing source") << 0 << "missing"
                                    << "" << QStringList() << QStringList{"failed(card.jpg)", "finish()"}
                                    << "" << 0;
}

void TestSingleImportJobs::importReports()
{
    QFETCH(int, mode);
    QFETCH(QString, source);
    QFETCH(QString, dateTime);
    QFETCH(QStringList, taken);
    TempVolumes volumes;
    makeOrderTree(volumes, QString());
    for (const QString& file : qAsConst(taken))
        volumes.writeFile(file, "another window's photo");
    const QString sourcePath = volumes.path("card.jpg");
    if (source != QLatin1String("missing")) {
        JpegFixture::Options options;
        options.size = QSize(300, 200);
        options.dateTime = dateTime;
        options.orientation = source == QLatin1String("photo") ? 1 : 6;
        QByteArray bytes = JpegFixture::encode(JpegFixture::cameraLikeImage(options.size, 1), options);
        if (source == QLatin1String("12-bit"))
            bytes = JpegFixture::damaged(bytes, JpegFixture::Damage::TwelveBitSamples);
        else if (source == QLatin1String("Huffman table"))
            bytes = JpegFixture::damaged(bytes, JpegFixture::Damage::BadHuffmanTable);
        QVERIFY(TestFiles::write(sourcePath, bytes));
    }
    const bool gone = source == QLatin1String("gone once read");
    FileOperation::setFaultHook([&](FileOperation::Fault f, const QString& path) {
        if (gone && f == FileOperation::Fault::Read && path == sourcePath)
            QFile::remove(path);
        return false;
    });
    JobReports receiver;
    run(receiver, [&](JobOwnerHandle owner) -> QList<QRunnable*> {
        return {new ThumbnailThread1(sourcePath, "abc-001.jpg", volumes.path("order/"),
                                     volumes.path("backup/"), owner, 1000, mode)};
    });
    FileOperation::setFaultHook({});
    QTEST(receiver.calls, "reports");
    if (gone) {
        QVERIFY(!QFileInfo::exists(sourcePath));
        QCOMPARE(QImageReader(volumes.path("order/thumbnail100/abc-001.jpg")).size(), QSize(133, 200));
    }
    QStringList written = tree(volumes.root()).keys();
    written.removeAll("card.jpg");
    QTEST(int(written.size()), "files");
    QFETCH(QString, main);
    QVERIFY(main.isEmpty() || TestFiles::readAll(volumes.path(main)) == TestFiles::readAll(sourcePath));
    if (mode == 0) {
        for (const QString& file : qAsConst(taken))
            QCOMPARE(TestFiles::readAll(volumes.path(file)), QByteArray("another window's photo"));
    }
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
    makeOrderTree(volumes, "single/");
    makeOrderTree(volumes, "batch/");

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

void TestSingleImportJobs::fourProcessesIntoOneOrder_data()
{
    QTest::addColumn<QStringList>("share"); // the helper's options
    QTest::newRow("every share") << QStringList();
    QTest::newRow("a share without no-replace renames or links") << QStringList{"--no-links"};
}

// Four processes run one order's photo jobs into one order folder at once,
// as four stations would: each photo lands once under a name of its own,
// with its backup, its thumbnails and one record under that name. A killed
// run's temporary file, two days old, is gone.
void TestSingleImportJobs::fourProcessesIntoOneOrder()
{
    QFETCH(QStringList, share);
    TempVolumes volumes;
    makeOrderTree(volumes, QString());
    QVERIFY(TestFiles::writeAged(volumes.path("order/照片/.dravin-aB3dE5gH.part"), "killed", 48));
    QMap<QByteArray, int> photoOf; // bytes -> photo n, 160 + 8n wide, shot at 14:n:00
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int p = 0; p < 4; ++p) {
        QStringList args =
            share + QStringList{volumes.path("order/"), volumes.path("backup/"), "503", "A102"};
        for (int n = 5 * p; n < 5 * p + 5; ++n) {
            JpegFixture::Options options;
            options.size = QSize(160 + 8 * n, 120);
            options.dateTime = QStringLiteral("2019:05:03 14:%1:00").arg(n, 2, 10, QLatin1Char('0'));
            options.seed = quint32(n + 1);
            args.append(volumes.path(QStringLiteral("card%1.jpg").arg(n)));
            QVERIFY(JpegFixture::write(args.last(), options));
            photoOf.insert(TestFiles::readAll(args.last()), n);
        }
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->setProgram(DRAVIN_PHOTOJOBS_HELPER);
        processes.back()->setArguments(args);
    }
    for (const auto& process : processes)
        process->start();
    for (const auto& process : processes) {
        QVERIFY(process->waitForFinished(120000));
        QVERIFY2(process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0,
                 process->readAllStandardError().constData());
    }

    QStringList expected;
    for (int n = 1; n <= 20; ++n)
        expected.append(QStringLiteral("503A102-%1.jpg").arg(n, 3, 10, QLatin1Char('0')));
    const QStringList names = TestFiles::entries(volumes.path("order/照片"));
    QCOMPARE(names, expected);
    const QString records = QString::fromUtf8(TestFiles::readAll(volumes.path("order/ImageTime.txt")));
    QCOMPARE(records.count('|'), 20);
    QSet<int> seen;
    for (const QString& name : names) {
        const QByteArray main = TestFiles::readAll(volumes.path("order/照片/" + name));
        const int n = photoOf.value(main, -1);
        QVERIFY2(n >= 0 && !seen.contains(n), qPrintable(name));
        seen.insert(n);
        QCOMPARE(TestFiles::readAll(volumes.path("backup/照片/" + name)), main);
        QVERIFY(records.contains(
            QStringLiteral("%1>19:05:03 14:%2:00|").arg(name.chopped(4)).arg(n, 2, 10, QLatin1Char('0'))));
        // The small thumbnail comes from the large one: give or take a pixel.
        QCOMPARE(QImageReader(volumes.path("order/thumbnail2250/" + name)).size(),
                 QSize(2250, 120 * 2250 / (160 + 8 * n)));
        const QSize small = QImageReader(volumes.path("order/thumbnail100/" + name)).size();
        QVERIFY2(small.width() == 200 && qAbs(small.height() - 120 * 200 / (160 + 8 * n)) <= 1,
                 qPrintable(name));
    }
}

void TestSingleImportJobs::claimCutShortByACrash_data()
{
    QTest::addColumn<QByteArray>("since"); // written under the claimed name after the crash
    QTest::newRow("the name still holds the empty file") << QByteArray();
    QTest::newRow("the name holds a file since") << QByteArray("another station's photo");
}

// A run killed between the exclusive create of its photo's name and the
// rename, on a share with neither no-replace renames nor links: a day later
// the sweep gives the photo its name, unless the name holds a file by then.
void TestSingleImportJobs::claimCutShortByACrash()
{
    QFETCH(QByteArray, since);
    TempVolumes volumes;
    makeOrderTree(volumes, QString());
    const QString photo = volumes.path("card.jpg");
    QVERIFY(JpegFixture::write(photo, JpegFixture::Options()));
    QProcess run;
    run.start(DRAVIN_PHOTOJOBS_HELPER, {"--no-links", "--die-in-claim", volumes.path("order/"),
                                        volumes.path("backup/"), "503", "A102", photo});
    QVERIFY(run.waitForFinished(60000));
    QCOMPARE(run.exitCode(), 3);
    const QString folder = volumes.path("order/照片/");
    const QString name = QStringLiteral("503A102-001.jpg");
    QCOMPARE(TestFiles::readAll(folder + name), QByteArray());
    const QStringList left = TestFiles::entries(folder); // the name, the temporary file and its record
    QCOMPARE(left.size(), 3);
    for (const QString& entry : left) {
        if (entry != name)
            QVERIFY(TestFiles::writeAged(folder + entry, TestFiles::readAll(folder + entry), 25));
    }
    if (!since.isEmpty())
        QVERIFY(TestFiles::write(folder + name, since));

    FileOperation::removeStaleTempFiles(folder);
    QCOMPARE(TestFiles::entries(folder), QStringList{name});
    QCOMPARE(TestFiles::readAll(folder + name), since.isEmpty() ? TestFiles::readAll(photo) : since);
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

void TestSingleImportJobs::copyJob_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("source"); // a size, "garbage", "missing" or "clip"
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("withBackup");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<QString>("report"); // "source", "target" or "" for none

    auto photo = [](const QString& name, const QStringList& folders) {
        QStringList files;
        for (const QString& folder : folders)
            files.append(folder + name);
        return files;
    };
    const QStringList camera{"backup/照片/", "order/thumbnail/", "order/thumbnail100/", "order/thumbnail2250/",
                             "order/照片/"};
    QTest::newRow("camera photo, .JPG becomes .jpg")
        << 0 << "1000x800" << "IMG_0001.JPG" << true << photo("IMG_0001.jpg", camera) << "source";
    QTest::newRow("every .JPG") << 0 << "1000x800" << "A.JPG.JPG" << true << photo("A.jpg.jpg", camera) << "source";
    QTest::newRow("finished photo") << 1 << "800x1000" << "IMG_1.jpg" << true
                                    << photo("IMG_1.jpg", {"order/成品/", "order/成品缩略图/", "order/成品缩略图100/",
                                                           "order/成品缩略图2250/"})
                                    << "source";
    QTest::newRow("photo without a backup folder") << 1 << "1000x800" << "IMG_1.jpg" << false << QStringList()
                                                   << "";
    QTest::newRow("undecodable photo") << 1 << "garbage" << "x.jpg" << true
                                       << photo("x.jpg", {"order/成品/", "order/成品缩略图/", "order/成品缩略图2250/"})
                                       << "source";
    QTest::newRow("missing source") << 1 << "missing" << "x.jpg" << true << QStringList() << "source";
    QTest::newRow("trial video, no backup folder needed")
        << 3 << "clip" << "c.mp4" << false << QStringList{"order/试拍视频/c.mp4"} << "target";
    QTest::newRow("negative type") << -1 << "clip" << "c.mp4" << true << QStringList{"order/精修视频/c.mp4"}
                                   << "source";
}

void TestSingleImportJobs::copyJob()
{
    QFETCH(int, type);
    QFETCH(QString, source);
    QFETCH(QString, newName);
    QFETCH(bool, withBackup);
    TempVolumes volumes;
    makeOrderTree(volumes, QString());
    const QString picPath = volumes.path("card.src");
    QSize size;
    if (source == "garbage" || source == "clip")
        QVERIFY(TestFiles::write(picPath, "not a picture"));
    else if (source != "missing") {
        size = QSize(source.section('x', 0, 0).toInt(), source.section('x', 1).toInt());
        JpegFixture::Options options;
        options.size = size;
        QVERIFY(JpegFixture::write(picPath, options));
    }

    JobReports reports;
    const auto importType = static_cast<ImportTypeEnum>(type);
    run(reports, [&](JobOwnerHandle owner) -> QList<QRunnable*> {
        if (withBackup)
            return {new CopyPicThread(volumes.path("order/"), volumes.path("backup/"), picPath, newName, importType,
                                      owner)};
        return {new CopyPicThread(volumes.path("order/"), picPath, newName, importType, owner)};
    });
    QStringList written = tree(volumes.root()).keys();
    written.removeAll("card.src");
    QTEST(written, "written");
    QFETCH(QString, report);
    const QString reported = report == "source"   ? picPath
                             : report == "target" ? volumes.path("order/试拍视频/") + newName
                                                  : QString();
    QCOMPARE(reports.calls, reported.isEmpty() ? QStringList() : QStringList{"sola(" + reported + ")"});

    // Decoded photos get the thumbnail chain fitted into 2250, 1000 and 200.
    if (size.isValid() && !written.isEmpty()) {
        const QString name = written.first().section('/', -1);
        const QString family = type == 0 ? "thumbnail" : type == 1 ? "成品缩略图" : "设计缩略图";
        for (const int box : {2250, 1000, 200}) {
            const QString suffix = box == 1000 ? QString() : QString::number(box == 200 ? 100 : box);
            QImageReader reader(volumes.path("order/" + family + suffix + "/" + name));
            QCOMPARE(reader.size(), size.scaled(box, box, Qt::KeepAspectRatio));
        }
    }
}

void TestSingleImportJobs::copyJobKeepsAnExistingVideo()
{
    TempVolumes volumes;
    const QString clip = volumes.writeFile("card/c.mp4", "new clip");
    const QString existing = volumes.writeFile("order/试拍视频/c.mp4", "earlier clip");
    JobReports reports;
    run(reports, [&](JobOwnerHandle owner) -> QList<QRunnable*> {
        return {new CopyPicThread(volumes.path("order/"), clip, "c.mp4", ImportTrialVideo, owner)};
    });
    QCOMPARE(TestFiles::readAll(existing), QByteArray("earlier clip"));
    QCOMPARE(reports.calls, QStringList{"sola(" + existing + ")"});

    CopyPicThread job(volumes.path("order/"), clip, "c.mp4", ImportTrialVideo, JobOwnerHandle());
    QVERIFY(job.copyFile(clip, clip));
    QVERIFY(!job.copyFile(clip, existing));
    QVERIFY(!job.copyFile(volumes.path("none.mp4"), volumes.path("order/精修视频/n.mp4")));
}

void TestSingleImportJobs::copyJobSameFilesAsTheBatchWorker()
{
    TempVolumes volumes;
    JpegFixture::Options options;
    options.size = QSize(640, 480);
    options.orientation = 8;
    const QString source = volumes.path("IMG_0002.jpg");
    QVERIFY(JpegFixture::write(source, options));
    makeOrderTree(volumes, "copy/");
    makeOrderTree(volumes, "batch/");
    JobReports reports;
    run(reports, [&](JobOwnerHandle owner) -> QList<QRunnable*> {
        return {new CopyPicThread(volumes.path("copy/order/"), volumes.path("copy/backup/"), source, "IMG_0002.jpg",
                                  ImportOriginal, owner)};
    });
    Config::isSyncPhotoToFinal = "0";
    ImportOrderThread batch(nullptr, ImportOriginal);
    batch.importImage(volumes.path("batch/order/"), volumes.path("batch/backup/"), source, "IMG_0002.jpg");
    QCOMPARE(tree(volumes.path("copy")).size(), 5);
    QCOMPARE(tree(volumes.path("copy")), tree(volumes.path("batch")));
}

QTEST_MAIN(TestSingleImportJobs)
#include "tst_singleimportjobs.moc"
