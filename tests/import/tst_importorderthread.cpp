#include "config.h"
#include "exifreader.h"
#include "fileoperation.h"
#include "imageoperation.h"
#include "importordermodel.h"
#include "importorderthread.h"
#include "jpegcodec.h"
#include "jpegfixture.h"
#include "orderedpipeline.h"
#include "ordertree.h"
#include "photoimport.h"
#include "picturework.h"
#include "tempvolumes.h"
#include "testfiles.h"

#include <QtTest>

#include <QColorSpace>
#include <QImageReader>
#include <QJsonObject>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <memory>

// The import worker: the order folder tree, the per-file import with its
// thumbnails, the side-by-side run that keeps list order, and the deletion
// mode.
class TestImportOrderThread : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void locateOrderFolder_data();
    void locateOrderFolder();
    void fitInBox_data();
    void fitInBox();
    void orderingKey_data();
    void orderingKey();

    void pipelineKeepsKeyOrderAndBound();
    void pipelineStopStartsNothingMore();

    void createOrderDirBuildsTree();
    void createOrderDirRootErrors_data();
    void createOrderDirRootErrors();
    void missingOrderFolderStopsRun_data();
    void missingOrderFolderStopsRun();

    void photoOrientation_data();
    void photoOrientation();
    void photoTargetsByType_data();
    void photoTargetsByType();
    void sameNameTwiceKeepsBackups();
    void claimedNameMovesOnWhenTaken_data();
    void claimedNameMovesOnWhenTaken();
    void undecodablePhoto_data();
    void undecodablePhoto();
    void failedWriteKeepsOldPhoto();
    void turnedMainCopy_data();
    void turnedMainCopy();
    void cutOffPhotoIsNotTurned_data();
    void cutOffPhotoIsNotTurned();
    void refusedCommitKeepsOldFile_data();
    void refusedCommitKeepsOldFile();

    void importCardIntoOrder();
    void sameNamesKeepListOrder();
    void incompleteOrderFolderGetsItsFolders();
    void videoImport_data();
    void videoImport();
    void emptyListOrStopEmitsNothing_data();
    void emptyListOrStopEmitsNothing();
    void emptySourceCountsAsDone();
    void missingBackupFolderIsError();
    void failuresCountedAndTold_data();
    void failuresCountedAndTold();

    void copyFile();
    void picShotTime();
    void createN8Dir();

    void deleteOrderFolder();
    void deleteRefused_data();
    void deleteRefused();
    void deleteIncompleteIsNoSuccess();

private:
    std::unique_ptr<TempVolumes> m_volumes;
    QString m_server; // picture root, without its final "/"
    QString m_backup;
    QString m_card;
};

namespace {

ImportOrderModel* makeModel(QObject* parent, const QString& orderNum = QStringLiteral("A100"),
                            const QString& shotDate = QStringLiteral("2019-06-15"))
{
    QJsonObject item;
    item.insert(QStringLiteral("order_photo_id"), QStringLiteral("9001"));
    item.insert(QStringLiteral("orderpayforkey"), orderNum);
    item.insert(QStringLiteral("servicetimes"), QStringLiteral("2"));
    item.insert(QStringLiteral("shotdate"), shotDate);
    item.insert(QStringLiteral("bname"), QStringLiteral("顾客"));
    item.insert(QStringLiteral("role1"), QStringLiteral("摄影师"));
    return new ImportOrderModel(item, parent);
}

QString writeJpeg(const QString& path, int orientation, quint32 seed = 1, const QSize& size = QSize(600, 400))
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    JpegFixture::Options options;
    options.size = size;
    options.orientation = orientation;
    options.seed = seed;
    options.dateTime = QStringLiteral("2019:05:12 10:22:33");
    return JpegFixture::write(path, options) ? path : QString();
}

using TestFiles::readAll;

QSize sizeOf(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    return reader.size();
}

// Which edge of the picture is the bluest: the test pictures are blue at the
// top and red at the bottom, so this tells how a photo was turned.
QString blueEdge(const QString& path)
{
    const QImage image = PictureWork::converted(QImage(path), QImage::Format_RGB32);
    auto blueness = [&](const QRect& strip) {
        qint64 sum = 0;
        for (int y = strip.top(); y <= strip.bottom(); ++y)
            for (int x = strip.left(); x <= strip.right(); ++x)
                sum += qBlue(image.pixel(x, y)) - qRed(image.pixel(x, y));
        return double(sum) / (strip.width() * strip.height());
    };
    const int w = image.width();
    const int h = image.height();
    const QMap<QString, double> edges{
        {QStringLiteral("top"), blueness(QRect(0, 0, w, h / 10))},
        {QStringLiteral("bottom"), blueness(QRect(0, h - h / 10, w, h / 10))},
        {QStringLiteral("left"), blueness(QRect(0, 0, w / 10, h))},
        {QStringLiteral("right"), blueness(QRect(w - w / 10, 0, w / 10, h))},
    };
    QString best;
    for (auto it = edges.begin(); it != edges.end(); ++it) {
        if (best.isEmpty() || it.value() > edges.value(best))
            best = it.key();
    }
    return best;
}

// Runs the worker to its end and delivers what it queued to this thread.
bool runToEnd(ImportOrderThread& worker)
{
    worker.start();
    const bool ended = worker.wait(50000);
    QCoreApplication::processEvents();
    return ended;
}

// Every signal of the worker, in the order they came.
class Recorder
{
public:
    explicit Recorder(ImportOrderThread& worker)
    {
        auto add = [this](const QString& text) {
            QMutexLocker lock(&m_mutex);
            m_events.append(text);
        };
        QObject::connect(
            &worker, &ImportOrderThread::hasImportedImgCount, &worker,
            [add](ushort done, ushort total) { add(QStringLiteral("%1/%2").arg(done).arg(total)); },
            Qt::DirectConnection);
        QObject::connect(
            &worker, &ImportOrderThread::hasFinishedImportSigl, &worker,
            [add](ushort total) { add(QStringLiteral("finished %1").arg(total)); }, Qt::DirectConnection);
        QObject::connect(
            &worker, &ImportOrderThread::importImageThreadError, &worker,
            [add](uchar code) { add(QStringLiteral("error %1").arg(code)); }, Qt::DirectConnection);
        QObject::connect(
            &worker, &ImportOrderThread::checkOrderPicPathSigl, &worker,
            [add, &worker] {
                const QString cause = worker.orderFolderFault();
                add(QStringLiteral("order folder missing") + (cause.isEmpty() ? QString() : ": " + cause));
            },
            Qt::DirectConnection);
        QObject::connect(
            &worker, &ImportOrderThread::checkDiskSizeSigl, &worker,
            [add](const QString& path) { add(QStringLiteral("disk full ") + path); }, Qt::DirectConnection);
        QObject::connect(
            &worker, &ImportOrderThread::importFailuresSigl, &worker,
            [add](const QString& order, ushort failed, const QString& folder, const QStringList& taken) {
                add(QStringLiteral("%1 failed %2%3%4")
                        .arg(order)
                        .arg(failed)
                        .arg(folder.isEmpty() ? QString() : " in " + folder)
                        .arg(taken.isEmpty() ? QString() : " taken " + taken.join(',')));
            },
            Qt::DirectConnection);
    }
    QStringList events() const
    {
        QMutexLocker lock(&m_mutex);
        return m_events;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_events;
};

// The signals of a run of total files that ends normally; the order is
// the one makeModel gives.
QStringList progressUpTo(int total, int failed = 0, const QString& folder = QString())
{
    QStringList list;
    for (int i = 1; i <= total; ++i)
        list.append(QStringLiteral("%1/%2").arg(i).arg(total));
    list.append(
        QStringLiteral("A100-2 failed %1%2").arg(failed).arg(folder.isEmpty() ? QString() : " in " + folder));
    list.append(QStringLiteral("finished %1").arg(total));
    return list;
}

int fileCount(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files).size();
}

// An order folder and its backup folder with the folders camera photos
// go into; both paths end with "/".
QPair<QString, QString> cameraOrder(TempVolumes& volumes)
{
    const QString order = volumes.mkdir(QStringLiteral("photos/o/照片")).chopped(2);
    const QString backup = volumes.mkdir(QStringLiteral("backup/o/照片")).chopped(2);
    for (const char* folder : {"thumbnail", "thumbnail100", "thumbnail2250"})
        QDir().mkpath(order + folder);
    return {order, backup};
}

// The picture as stored in the file, no orientation applied.
QImage storedPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    return PictureWork::converted(reader.read(), QImage::Format_RGB32);
}

// The picture as a viewer shows it: its orientation applied.
QImage viewedPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return PictureWork::converted(reader.read(), QImage::Format_RGB32);
}

// The largest difference of one colour channel between two pictures; -1
// when their sizes differ.
int largestDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = qMax(largest, qMax(qAbs(qRed(p) - qRed(q)),
                                         qMax(qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q)))));
        }
    }
    return largest;
}

} // namespace

void TestImportOrderThread::init()
{
    m_volumes = std::make_unique<TempVolumes>();
    m_server = m_volumes->mkdir(QStringLiteral("photos/picture"));
    m_backup = m_volumes->mkdir(QStringLiteral("backup/picture")) + QLatin1Char('/');
    m_card = m_volumes->mkdir(QStringLiteral("card/DCIM")) + QLatin1Char('/');
    Config::importServPath = m_server;
    Config::importServBackupPath = m_backup;
    Config::importServN8Path.clear();
    Config::isSyncPhotoToFinal = QStringLiteral("0");
    Config::disk_space.reset();
}

void TestImportOrderThread::cleanup()
{
    FileOperation::setFaultHook(nullptr);
    PhotoImport::setMemoryHook(nullptr);
    Config::disk_space.reset();
    m_volumes.reset();
}

void TestImportOrderThread::locateOrderFolder_data()
{
    QTest::addColumn<QString>("orderName");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("expected"); // empty: no valid location

    QTest::newRow("named") << "A100-2"
                           << "顾客-摄影师"
                           << "2019-06-15"
                           << "2019-06/15/A100-2-顾客-摄影师";
    QTest::newRow("no suffix") << "A100-2"
                               << ""
                               << "2019-06-15"
                               << "2019-06/15/A100-2";
    QTest::newRow("forbidden characters") << " A:1?00-2 "
                                          << "顾/客*"
                                          << "2019-06-15"
                                          << "2019-06/15/A100-2-顾客";
    QTest::newRow("leap day") << "A-1"
                              << ""
                              << "2020-02-29"
                              << "2020-02/29/A-1";
    QTest::newRow("empty date") << "A-1"
                                << ""
                                << ""
                                << "";
    QTest::newRow("month only") << "A-1"
                                << ""
                                << "2019-06"
                                << "";
    QTest::newRow("no such day") << "A-1"
                                 << ""
                                 << "2019-02-30"
                                 << "";
    QTest::newRow("month 13") << "A-1"
                              << ""
                              << "2019-13-01"
                              << "";
    QTest::newRow("short fields") << "A-1"
                                  << ""
                                  << "2019-6-15"
                                  << "";
    QTest::newRow("with time") << "A-1"
                               << ""
                               << "2019-06-15 10:00:00"
                               << "";
    QTest::newRow("slashes") << "A-1"
                             << ""
                             << "2019/06/15"
                             << "";
}

void TestImportOrderThread::locateOrderFolder()
{
    QFETCH(QString, orderName);
    QFETCH(QString, suffix);
    QFETCH(QString, date);
    QFETCH(QString, expected);
    const OrderTree::Location location = OrderTree::locate(orderName, suffix, date);
    QCOMPARE(location.relative, expected);
    QCOMPARE(location.isValid(), !expected.isEmpty());
}

void TestImportOrderThread::fitInBox_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("box");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("800x600 up to 2250") << QSize(800, 600) << 2250 << QSize(2250, 1687);
    QTest::newRow("2250x1687 to 1000") << QSize(2250, 1687) << 1000 << QSize(1000, 749);
    QTest::newRow("1000x749 to 200") << QSize(1000, 749) << 200 << QSize(200, 149);
    QTest::newRow("portrait") << QSize(4000, 6000) << 2250 << QSize(1500, 2250);
    QTest::newRow("square") << QSize(300, 300) << 200 << QSize(200, 200);
    QTest::newRow("sliver keeps a pixel") << QSize(10000, 2) << 2250 << QSize(2250, 1);
    QTest::newRow("empty") << QSize(0, 10) << 200 << QSize();
}

void TestImportOrderThread::fitInBox()
{
    QFETCH(QSize, size);
    QFETCH(int, box);
    QFETCH(QSize, expected);
    QCOMPARE(PhotoImport::fitInBox(size, box), expected);
}

void TestImportOrderThread::orderingKey_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");

    QTest::newRow("same name") << "IMG_1.JPG"
                               << "IMG_1.JPG" << true;
    QTest::newRow("case") << "IMG_1.JPG"
                          << "img_1.jpg" << true;
    QTest::newRow("numbered backup name") << "a.jpg"
                                          << "a(1).jpg" << true;
    QTest::newRow("numbered twice") << "a.jpg"
                                    << "a(1)(2).jpg" << true;
    QTest::newRow("other suffix") << "clip.mp4"
                                  << "clip(1).mp4" << true;
    QTest::newRow("different") << "a.jpg"
                               << "b.jpg" << false;
    QTest::newRow("prefix only") << "a.jpg"
                                 << "ab.jpg" << false;
}

void TestImportOrderThread::orderingKey()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QCOMPARE(PhotoImport::orderingKey(a) == PhotoImport::orderingKey(b), same);
}

void TestImportOrderThread::pipelineKeepsKeyOrderAndBound()
{
    const int count = 60;
    const int threads = 4;
    QMutex mutex;
    QVector<QString> keys(count);
    for (int i = 0; i < count; ++i)
        keys[i] = QString::number(i % 5 == 0 ? 0 : i);
    QStringList startedKeys;
    QList<int> order0;
    std::atomic<int> inWork{0};
    std::atomic<int> maxInWork{0};
    QList<int> doneOrder;
    bool doneOnCaller = true;
    QThread* caller = QThread::currentThread();

    OrderedPipeline::Steps steps;
    steps.count = count;
    steps.threads = threads;
    steps.key = [&](int i) { return keys.at(i); };
    steps.work = [&](int i) {
        const int now = ++inWork;
        int seen = maxInWork;
        while (now > seen && !maxInWork.compare_exchange_weak(seen, now)) {
        }
        {
            QMutexLocker lock(&mutex);
            QVERIFY2(!startedKeys.contains(keys.at(i)), "two items of one key at once");
            startedKeys.append(keys.at(i));
            if (keys.at(i) == QLatin1String("0"))
                order0.append(i);
        }
        QThread::msleep(1 + i % 3);
        {
            QMutexLocker lock(&mutex);
            startedKeys.removeOne(keys.at(i));
        }
        --inWork;
    };
    steps.done = [&](int i) {
        doneOnCaller = doneOnCaller && QThread::currentThread() == caller;
        doneOrder.append(i);
    };
    QCOMPARE(OrderedPipeline::run(steps), count);

    QCOMPARE(doneOrder.size(), count);
    QVERIFY(doneOnCaller);
    QVERIFY(maxInWork <= threads);
    QVERIFY(maxInWork > 1);
    QList<int> expected0;
    for (int i = 0; i < count; i += 5)
        expected0.append(i);
    QCOMPARE(order0, expected0);
}

void TestImportOrderThread::pipelineStopStartsNothingMore()
{
    std::atomic<int> worked{0};
    int done = 0;
    int asked = 0;
    OrderedPipeline::Steps steps;
    steps.count = 20;
    steps.threads = 1;
    steps.work = [&](int) { ++worked; };
    steps.stop = [&] { return ++asked > 5; };
    steps.done = [&](int) { ++done; };
    QCOMPARE(OrderedPipeline::run(steps), 5);
    QCOMPARE(worked.load(), 5);
    QCOMPARE(done, 5);
}

void TestImportOrderThread::createOrderDirBuildsTree()
{
    QObject owner;
    ImportOrderModel* model = makeModel(&owner);
    ImportOrderThread worker(model, ImportOriginal);
    QSignalSpy created(&worker, &ImportOrderThread::orderPathsCreated);
    QSignalSpy errors(&worker, &ImportOrderThread::importImageThreadError);

    worker.createOrderDir(QStringLiteral("  ") + m_server + QStringLiteral(" "), m_backup);

    const QString relative = QStringLiteral("2019-06/15/A100-2-顾客-摄影师/");
    const QString orderPath = m_server + QLatin1Char('/') + relative;
    QCOMPARE(errors.count(), 0);
    QCOMPARE(created.count(), 1);
    QCOMPARE(model->getOrderPath(), orderPath);
    QCOMPARE(model->getOrderBackupPath(), m_backup + relative);
    // The order folder holds exactly these, "新建文件夹" inside "照片".
    QStringList expected{"照片",          "成品",          "汰片",          "设计",
                         "试拍视频",      "精修视频",      "thumbnail",     "thumbnail100",
                         "thumbnail2250", "成品缩略图",    "成品缩略图100", "成品缩略图2250",
                         "设计缩略图",    "设计缩略图100", "设计缩略图2250"};
    expected.sort();
    QCOMPARE(TestFiles::entries(orderPath, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot), expected);
    QCOMPARE(TestFiles::entries(orderPath + QStringLiteral("照片")), QStringList{"新建文件夹"});
    QCOMPARE(QDir(m_backup + relative).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("照片")});

    // A second call finds the folders set and makes nothing.
    QVERIFY(QDir(orderPath + QStringLiteral("汰片")).removeRecursively());
    worker.createOrderDir(m_server, m_backup);
    QCOMPARE(created.count(), 1);
    QVERIFY(!QFileInfo::exists(orderPath + QStringLiteral("汰片")));
}

void TestImportOrderThread::createOrderDirRootErrors_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("server"); // relative to the mount root; "-" for empty
    QTest::addColumn<QString>("backup");
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("starterCall"); // the starter calls createOrderDir before start
    QTest::addColumn<int>("error");        // 0: none

    const QString server = QStringLiteral("photos/picture");
    const QString backup = QStringLiteral("backup/picture");
    const QString date = QStringLiteral("2019-06-15");
    QTest::newRow("empty server root") << 0 << "-" << backup << date << true << 1;
    QTest::newRow("empty server root, run only") << 0 << "-" << backup << date << false << 1;
    QTest::newRow("server root under a file") << 0 << "blocker/picture" << backup << date << true << 1;
    QTest::newRow("empty backup root, camera photos") << 0 << server << "-" << date << true << 2;
    QTest::newRow("backup root without its parent") << 1 << server << "backup/no/deep" << date << false << 2;
    QTest::newRow("invalid shot date") << 0 << server << backup << "2019-6" << true << 1;
    QTest::newRow("empty backup root, finished photos") << 1 << server << "-" << date << true << 0;
    QTest::newRow("new server root is made") << 2 << "photos/new/root" << backup << date << false << 0;
    // Roots that climb out of the mount root are refused, never made.
    QTest::newRow("server root climbing out")
        << 0 << "photos/picture/../../../CLIMB" << backup << date << true << 1;
    QTest::newRow("backup root climbing out")
        << 0 << server << "backup/picture/../../../CLIMB" << date << false << 2;
}

void TestImportOrderThread::createOrderDirRootErrors()
{
    QFETCH(int, type);
    QFETCH(QString, server);
    QFETCH(QString, backup);
    QFETCH(QString, date);
    QFETCH(bool, starterCall);
    QFETCH(int, error);
    m_volumes->writeFile(QStringLiteral("blocker"), "a file");
    auto root = [&](const QString& relative) {
        return relative == "-" ? QString() : m_volumes->path(relative);
    };

    Config::importServPath = root(server);
    Config::importServBackupPath = root(backup);
    const QString photo = writeJpeg(m_card + QStringLiteral("a.jpg"), 1);
    QObject owner;
    ImportOrderModel* model = makeModel(&owner, QStringLiteral("A100"), date);
    model->setOriImgLst({photo});
    model->setFineImgLst({photo});
    model->setDesignImgLst({photo});
    ImportOrderThread worker(model, ImportTypeEnum(type));
    Recorder recorder(worker);

    // An error is told once, by whichever call meets it first; the run then
    // ends without copying.
    if (starterCall) {
        worker.createOrderDir(Config::importServPath, Config::importServBackupPath);
        QCOMPARE(recorder.events().size(), error ? 1 : 0);
    }
    QVERIFY(runToEnd(worker));

    if (error) {
        QCOMPARE(recorder.events(), QStringList{QStringLiteral("error %1").arg(error)});
        QVERIFY(model->getOrderPath().isEmpty());
        QVERIFY(model->getOrderBackupPath().isEmpty());
    } else {
        QCOMPARE(recorder.events(), progressUpTo(1));
        QVERIFY(FileOperation::isDirExist(model->getOrderPath()));
        QVERIFY(model->getOrderPath().startsWith(root(server) + QLatin1Char('/')));
        QCOMPARE(model->getOrderBackupPath().isEmpty(), backup == "-");
    }
}

void TestImportOrderThread::missingOrderFolderStopsRun_data()
{
    QTest::addColumn<int>("nameLength"); // of the order name; 0: "A100"
    QTest::addColumn<int>("fault");      // -1: none
    QTest::addColumn<QString>("at");     // the folder it hits, relative to the server root
    QTest::addColumn<QString>("event");  // "%r": the server root

    using F = FileOperation::Fault;
    const QString order = "2019-06/15/A100-2-顾客-摄影师";
    // Only a name the share refuses is the customer's data.
    QTest::newRow("a name over 255 bytes") << 300 << -1 << ""
                                           << "order folder missing";
    QTest::newRow("order folder not looked at")
        << 0 << int(F::LookUp) << order << "order folder missing: 目录读取失败：%r/" + order;
    QTest::newRow("month folder refused") << 0 << int(F::MakeFolder) << "2019-06"
                                          << "order folder missing: 目录无法创建：%r/2019-06";
    QTest::newRow("a full share") << 0 << int(F::DiskFull) << order << "disk full %r/" + order;
}

void TestImportOrderThread::missingOrderFolderStopsRun()
{
    QFETCH(int, nameLength);
    QFETCH(int, fault);
    QFETCH(QString, at);
    QFETCH(QString, event);
    const QString hit = m_server + QLatin1Char('/') + at;
    FileOperation::setFaultHook(
        [fault, hit](FileOperation::Fault f, const QString& path) { return int(f) == fault && path == hit; });
    const QString photo = writeJpeg(m_card + QStringLiteral("a.jpg"), 1);
    QObject owner;
    ImportOrderModel* model = makeModel(&owner, nameLength ? QString(nameLength, QLatin1Char('A')) : "A100");
    model->setOriImgLst({photo});
    ImportOrderThread worker(model, ImportOriginal);
    Recorder recorder(worker);
    QVERIFY(runToEnd(worker));

    QCOMPARE(recorder.events(), QStringList{event.replace("%r", m_server)});
    QCOMPARE(QString(Config::disk_space), QStringLiteral("no"));
    QVERIFY(model->getOrderPath().isEmpty());
}

void TestImportOrderThread::photoOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("mainSize");
    QTest::addColumn<bool>("byteCopy");
    QTest::addColumn<QString>("blueEdge"); // of the main copy
    QTest::addColumn<QSize>("thumb2250");
    QTest::addColumn<QSize>("thumb1000");
    QTest::addColumn<QSize>("thumb200");

    const QSize wide2250(2250, 1500), wide1000(1000, 666), wide200(200, 133);
    const QSize tall2250(1500, 2250), tall1000(666, 1000), tall200(133, 200);
    QTest::newRow("1 upright") << 1 << QSize(600, 400) << true << "top" << wide2250 << wide1000 << wide200;
    QTest::newRow("no tag") << 0 << QSize(600, 400) << true << "top" << wide2250 << wide1000 << wide200;
    QTest::newRow("3 upside down") << 3 << QSize(600, 400) << false << "bottom" << wide2250 << wide1000
                                   << wide200;
    QTest::newRow("6 turned right") << 6 << QSize(400, 600) << false << "right" << tall2250 << tall1000
                                    << tall200;
    QTest::newRow("8 turned left") << 8 << QSize(400, 600) << false << "left" << tall2250 << tall1000
                                   << tall200;
    QTest::newRow("2 mirrored") << 2 << QSize(600, 400) << false << "top" << wide2250 << wide1000 << wide200;
    QTest::newRow("4 mirrored top to bottom")
        << 4 << QSize(600, 400) << false << "bottom" << wide2250 << wide1000 << wide200;
    QTest::newRow("5 mirrored on the diagonal")
        << 5 << QSize(400, 600) << false << "left" << tall2250 << tall1000 << tall200;
    QTest::newRow("7 mirrored on the other diagonal")
        << 7 << QSize(400, 600) << false << "right" << tall2250 << tall1000 << tall200;
}

void TestImportOrderThread::photoOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, mainSize);
    QFETCH(bool, byteCopy);
    QFETCH(QString, blueEdge);
    QFETCH(QSize, thumb2250);
    QFETCH(QSize, thumb1000);
    QFETCH(QSize, thumb200);

    const QString order = m_volumes->mkdir(QStringLiteral("photos/o/")) + QLatin1Char('/');
    const QString backup = m_volumes->mkdir(QStringLiteral("backup/o/")) + QLatin1Char('/');
    for (const char* folder : {"照片", "thumbnail", "thumbnail100", "thumbnail2250"})
        QDir().mkpath(order + folder);
    QDir().mkpath(backup + QStringLiteral("照片"));
    const QString source = writeJpeg(m_card + QStringLiteral("IMG_1.JPG"), orientation);
    QVERIFY(!source.isEmpty());
    QCOMPARE(::blueEdge(source), QStringLiteral("top"));

    PhotoImport::Request request;
    request.type = ImportOriginal;
    request.orderPath = order;
    request.backupPath = backup;
    request.source = source;
    request.targetName = QStringLiteral("IMG_1-L.JPG");
    const PhotoImport::Result result = PhotoImport::importPhoto(request);
    QVERIFY(result.failed.isEmpty());
    QVERIFY(result.decoded);

    const QString main = order + QStringLiteral("照片/IMG_1-L.JPG");
    QCOMPARE(sizeOf(main), mainSize);
    QCOMPARE(readAll(main) == readAll(source), byteCopy);
    QCOMPARE(::blueEdge(main), blueEdge);
    QCOMPARE(readAll(backup + QStringLiteral("照片/IMG_1-L.JPG")), readAll(source));
    QCOMPARE(sizeOf(order + QStringLiteral("thumbnail2250/IMG_1-L.JPG")), thumb2250);
    QCOMPARE(sizeOf(order + QStringLiteral("thumbnail/IMG_1-L.JPG")), thumb1000);
    QCOMPARE(sizeOf(order + QStringLiteral("thumbnail100/IMG_1-L.JPG")), thumb200);
    QCOMPARE(::blueEdge(order + QStringLiteral("thumbnail/IMG_1-L.JPG")), blueEdge);
    // Pixel for pixel as a viewer shows the photo, mirrors too: the main
    // copy within a re-encoding's levels, the thumbnail within its scaling's.
    const QImage viewed = viewedPicture(source);
    const int difference = largestDifference(storedPicture(main), viewed);
    QVERIFY2(difference >= 0 && difference <= 16, qPrintable(QString::number(difference)));
    const QImage thumb = storedPicture(order + QStringLiteral("thumbnail/IMG_1-L.JPG"));
    const int thumbDifference = largestDifference(thumb, PictureWork::smoothScaled(viewed, thumb.size()));
    QVERIFY2(thumbDifference >= 0 && thumbDifference <= 48, qPrintable(QString::number(thumbDifference)));
}

void TestImportOrderThread::photoTargetsByType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("sync");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QStringList>("files"); // every file the import leaves, relative

    const QStringList cameraThumbs{"thumbnail/p.jpg", "thumbnail100/p.jpg", "thumbnail2250/p.jpg"};
    const QStringList finishedThumbs{"成品缩略图/p.jpg", "成品缩略图100/p.jpg", "成品缩略图2250/p.jpg"};
    const QStringList designThumbs{"设计缩略图/p.jpg", "设计缩略图100/p.jpg", "设计缩略图2250/p.jpg"};
    const QString backup = QStringLiteral("backup:照片/p.jpg");

    QTest::newRow("camera") << 0 << "0" << 1 << (QStringList{backup, "照片/p.jpg"} + cameraThumbs);
    QTest::newRow("camera, synced") << 0 << "1" << 1
                                    << (QStringList{backup, "照片/p.jpg", "成品/p.jpg"} + cameraThumbs);
    QTest::newRow("camera turned, synced")
        << 0 << "1" << 6 << (QStringList{backup, "照片/p.jpg", "成品/p.jpg"} + cameraThumbs);
    QTest::newRow("finished, synced") << 1 << "1" << 1 << (QStringList{"成品/p.jpg"} + finishedThumbs);
    QTest::newRow("design, synced") << 2 << "1" << 1 << (QStringList{"设计/p.jpg"} + designThumbs);
    QTest::newRow("design turned") << 2 << "yes" << 8 << (QStringList{"设计/p.jpg"} + designThumbs);
    QTest::newRow("design png")
        << 2 << "0" << -1 << (QStringList{"设计/p.png"} + designThumbs).replaceInStrings(".jpg", ".png");
}

void TestImportOrderThread::photoTargetsByType()
{
    QFETCH(int, type);
    QFETCH(QString, sync);
    QFETCH(int, orientation);
    QFETCH(QStringList, files);

    const QString order = m_volumes->mkdir(QStringLiteral("photos/o")) + QLatin1Char('/');
    const QString backup = m_volumes->mkdir(QStringLiteral("backup/o")) + QLatin1Char('/');
    OrderTree::Location location;
    location.month = QStringLiteral("m");
    location.day = QStringLiteral("d");
    location.relative = QStringLiteral("m/d/o");
    OrderTree::build(order, backup, location);
    const QString orderFolder = order + QStringLiteral("m/d/o/");
    const QString backupFolder = backup + QStringLiteral("m/d/o/");

    PhotoImport::Request request;
    request.type = ImportTypeEnum(type);
    request.orderPath = orderFolder;
    request.backupPath = backupFolder;
    // An orientation of -1 stands for a PNG design, which has none.
    const QString suffix = orientation < 0 ? QStringLiteral("png") : QStringLiteral("jpg");
    request.source = m_card + QStringLiteral("p.") + suffix;
    if (orientation < 0)
        QVERIFY(JpegFixture::cameraLikeImage(QSize(300, 200), 3).save(request.source));
    else
        writeJpeg(request.source, orientation);
    request.targetName = QStringLiteral("p.") + suffix;
    request.syncToFinal = sync == QLatin1String("1");
    QVERIFY(PhotoImport::importPhoto(request).failed.isEmpty());

    QStringList found;
    for (const QString& base : {orderFolder, backupFolder}) {
        QDirIterator it(base, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            found.append((base == backupFolder ? QStringLiteral("backup:") : QString()) +
                         path.mid(base.size()));
        }
    }
    found.sort();
    files.sort();
    QCOMPARE(found, files);
    // The thumbnails keep the photo's own format.
    QImageReader thumb(orderFolder + files.filter(QStringLiteral("2250/")).value(0));
    QCOMPARE(thumb.format(), orientation < 0 ? QByteArray("png") : QByteArray("jpeg"));
    QCOMPARE(qMax(thumb.size().width(), thumb.size().height()), 2250);
}

void TestImportOrderThread::sameNameTwiceKeepsBackups()
{
    const auto [order, backup] = cameraOrder(*m_volumes);

    PhotoImport::Request request;
    request.orderPath = order;
    request.backupPath = backup;
    request.targetName = QStringLiteral("IMG_7.JPG");
    request.source = writeJpeg(m_card + QStringLiteral("first/IMG_7.JPG"), 1, 1);
    PhotoImport::importPhoto(request);
    request.source = writeJpeg(m_card + QStringLiteral("second/IMG_7.JPG"), 1, 2);
    PhotoImport::importPhoto(request);

    QCOMPARE(QDir(order + QStringLiteral("照片")).entryList(QDir::Files), QStringList{"IMG_7.JPG"});
    QCOMPARE(readAll(order + QStringLiteral("照片/IMG_7.JPG")), readAll(request.source));
    QCOMPARE(QDir(backup + QStringLiteral("照片")).entryList(QDir::Files, QDir::Name),
             (QStringList{"IMG_7(1).jpg", "IMG_7.JPG"}));
    QCOMPARE(readAll(backup + QStringLiteral("照片/IMG_7.JPG")),
             readAll(m_card + QStringLiteral("first/IMG_7.JPG")));
    QCOMPARE(readAll(backup + QStringLiteral("照片/IMG_7(1).jpg")), readAll(request.source));
}

void TestImportOrderThread::claimedNameMovesOnWhenTaken_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("edge");
    QTest::newRow("upright") << 1 << "top";
    QTest::newRow("turned") << 6 << "right";
}

void TestImportOrderThread::claimedNameMovesOnWhenTaken()
{
    // Another import took "p-001" and "p-002" after this photo was named:
    // it lands as "p-003", with every file of it under that name.
    QFETCH(int, orientation);
    QFETCH(QString, edge);
    const auto [order, backup] = cameraOrder(*m_volumes);
    for (const char* taken : {"照片/p-001.jpg", "照片/p-002.jpg"}) {
        QFile file(order + taken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("other photo");
    }

    PhotoImport::Request request;
    request.orderPath = order;
    request.backupPath = backup;
    request.targetName = QStringLiteral("p-001.jpg");
    request.source = writeJpeg(m_card + QStringLiteral("IMG_1.JPG"), orientation);
    QStringList asked;
    request.nextName = [&asked](const QString& taken) {
        asked.append(taken);
        return QStringLiteral("p-%1.jpg").arg(taken.mid(2, 3).toInt() + 1, 3, 10, QLatin1Char('0'));
    };
    // Every other file of the photo is written once the main copy holds
    // its name.
    const QString claimed = order + QStringLiteral("照片/p-003.jpg");
    QStringList writtenEarly;
    FileOperation::setFaultHook([&](FileOperation::Fault f, const QString& path) {
        if (f == FileOperation::Fault::Write && !path.startsWith(order + QStringLiteral("照片/")) &&
            !QFileInfo::exists(claimed))
            writtenEarly.append(path);
        return false;
    });
    const PhotoImport::Result result = PhotoImport::importPhoto(request);
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(writtenEarly, QStringList());
    QVERIFY(!result.isFailure());
    QCOMPARE(result.targetName, QStringLiteral("p-003.jpg"));
    QCOMPARE(asked, (QStringList{"p-001.jpg", "p-002.jpg"}));
    QCOMPARE(readAll(order + QStringLiteral("照片/p-001.jpg")), QByteArray("other photo"));
    QCOMPARE(readAll(order + QStringLiteral("照片/p-002.jpg")), QByteArray("other photo"));
    QCOMPARE(blueEdge(order + QStringLiteral("照片/p-003.jpg")), edge);
    QCOMPARE(readAll(backup + QStringLiteral("照片/p-003.jpg")), readAll(request.source));
    QCOMPARE(QDir(backup + QStringLiteral("照片")).entryList(QDir::Files), QStringList{"p-003.jpg"});
    for (const char* folder : {"thumbnail/", "thumbnail100/", "thumbnail2250/"})
        QCOMPARE(QDir(order + folder).entryList(QDir::Files), QStringList{"p-003.jpg"});

    // A name that cannot be written for any other reason is no claim.
    request.targetName = QStringLiteral("p-004.jpg");
    FileOperation::setFaultHook([](FileOperation::Fault f, const QString& path) {
        return f == FileOperation::Fault::Write && path.endsWith(QStringLiteral("照片/p-004.jpg"));
    });
    const PhotoImport::Result refused = PhotoImport::importPhoto(request);
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(refused.failed, QStringList{order + QStringLiteral("照片/p-004.jpg")});
    QCOMPARE(asked.size(), 2);
    // Nothing else of the photo is written under a name it does not hold.
    QVERIFY(!refused.mainCopy);
    QCOMPARE(QDir(backup + QStringLiteral("照片")).entryList(QDir::Files), QStringList{"p-003.jpg"});
    for (const char* folder : {"thumbnail/", "thumbnail100/", "thumbnail2250/"})
        QCOMPARE(QDir(order + folder).entryList(QDir::Files), QStringList{"p-003.jpg"});
}

void TestImportOrderThread::undecodablePhoto_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("decoded"); // the thumbnails are made: small decodes still work

    QTest::newRow("upright, no width") << 1 << "no width" << false;
    QTest::newRow("tagged 6, no width") << 6 << "no width" << false;
    QTest::newRow("tagged 6, 12-bit samples") << 6 << "12-bit" << false;
    QTest::newRow("tagged 6, damaged Huffman table") << 6 << "Huffman table" << false;
    QTest::newRow("tagged 6, no memory for the turn") << 6 << "no memory" << true;
}

void TestImportOrderThread::undecodablePhoto()
{
    // A photo that cannot be turned is imported as it is: its own bytes are
    // its main copy, its tag still turns it for a viewer. The batch counts
    // it imported, and the photo beside it lands as ever.
    QFETCH(int, orientation);
    QFETCH(QString, damage);
    QFETCH(bool, decoded);

    QByteArray broken =
        readAll(writeJpeg(m_card + QStringLiteral("real.jpg"), orientation, 1, QSize(640, 480)));
    const QMap<QString, JpegFixture::Damage> damages{{"no width", JpegFixture::Damage::NoWidth},
                                                     {"12-bit", JpegFixture::Damage::TwelveBitSamples},
                                                     {"Huffman table", JpegFixture::Damage::BadHuffmanTable}};
    if (damages.contains(damage))
        broken = JpegFixture::damaged(broken, damages.value(damage));
    QVERIFY(!broken.isEmpty());
    const QString source = m_volumes->writeFile(QStringLiteral("card/DCIM/broken.jpg"), broken);
    QCOMPARE(ImageOperation::getDirection(source), orientation);
    const QString other = writeJpeg(m_card + QStringLiteral("other.jpg"), 6, 2, QSize(160, 120));
    if (damage == QLatin1String("no memory")) {
        // Every big step of the broken photo is refused, as a system out of
        // memory refuses it; the other's (a small photo) get theirs.
        const qint64 brokenPixels = 640 * 480;
        PhotoImport::setMemoryHook([brokenPixels](qint64 bytes) { return bytes >= brokenPixels; });
    }

    QObject owner;
    ImportOrderModel* model = makeModel(&owner);
    model->setFineImgLst({source, other});
    ImportOrderThread worker(model, ImportFinished);
    Recorder recorder(worker);
    QVERIFY(runToEnd(worker));
    QCOMPARE(recorder.events(), progressUpTo(2));

    const QString order = model->getOrderPath();
    const QStringList names = model->getImgNameLst({source, other}, ImportFinished);
    const QString name = names.at(0);
    QCOMPARE(readAll(order + QStringLiteral("成品/") + name), broken);
    if (decoded) {
        QCOMPARE(sizeOf(order + QStringLiteral("成品缩略图/") + name), QSize(749, 1000));
        QCOMPARE(blueEdge(order + QStringLiteral("成品缩略图/") + name), QStringLiteral("right"));
    } else {
        QCOMPARE(readAll(order + QStringLiteral("成品缩略图/") + name), broken);
        QCOMPARE(readAll(order + QStringLiteral("成品缩略图2250/") + name), broken);
        QVERIFY(!QFileInfo::exists(order + QStringLiteral("成品缩略图100/") + name));
    }
    // The other photo's files are its own, turned.
    QCOMPARE(blueEdge(order + QStringLiteral("成品缩略图/") + names.at(1)), QStringLiteral("right"));
    QCOMPARE(fileCount(order + QStringLiteral("成品")), 2);
}

void TestImportOrderThread::cutOffPhotoIsNotTurned_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("streams"); // the turn is written as it is made
    QTest::newRow("whole blocks") << QSize(1280, 800) << true;
    QTest::newRow("width not whole blocks") << QSize(1288, 800) << false;
}

void TestImportOrderThread::cutOffPhotoIsNotTurned()
{
    // A photo cut off on the card: the lossless turn gives nothing (the
    // import then decodes what there is), and never a cut main copy.
    QFETCH(QSize, size);
    const QByteArray whole = readAll(writeJpeg(m_card + QStringLiteral("whole.jpg"), 6, 3, size));
    QVERIFY(!JpegCodec::turnUpright(whole, 6).isEmpty());
    QVERIFY(JpegCodec::turnUpright(whole.left(whole.size() * 2 / 3), 6).isEmpty());
    QVERIFY(JpegCodec::turnUpright(whole.left(200), 6).isEmpty());
    QVERIFY(JpegCodec::turnUpright(QByteArray("not a photo"), 6).isEmpty());

    // A turn written as it is made ends when its bytes cannot be taken.
    QFETCH(bool, streams);
    QByteArray taken;
    const auto refusing = [&taken](const char* data, size_t size) {
        taken.append(data, int(size));
        return false;
    };
    QCOMPARE(JpegCodec::turnUprightInto(whole, 6, refusing),
             streams ? JpegCodec::Streamed::SinkFailed : JpegCodec::Streamed::Declined);
    QCOMPARE(JpegCodec::turnUprightInto(whole.left(whole.size() / 2), 6, refusing),
             streams ? JpegCodec::Streamed::Damaged : JpegCodec::Streamed::Declined);
    QCOMPARE(JpegCodec::turnUprightInto(whole, 1, refusing), JpegCodec::Streamed::Damaged);
}

void TestImportOrderThread::failedWriteKeepsOldPhoto()
{
    const QString order = m_volumes->mkdir(QStringLiteral("photos/o/设计")).chopped(2);
    for (const char* folder : {"设计缩略图", "设计缩略图100", "设计缩略图2250"})
        QDir().mkpath(order + folder);
    const QString target = order + QStringLiteral("设计/d.jpg");
    const QString old = writeJpeg(target, 1, 7);
    const QByteArray oldBytes = readAll(old);

    FileOperation::setFaultHook([target](FileOperation::Fault fault, const QString& path) {
        return fault == FileOperation::Fault::Write && path == target;
    });
    PhotoImport::Request request;
    request.type = ImportDesign;
    request.orderPath = order;
    request.source = writeJpeg(m_card + QStringLiteral("d.jpg"), 6, 8);
    request.targetName = QStringLiteral("d.jpg");
    const PhotoImport::Result result = PhotoImport::importPhoto(request);

    QCOMPARE(result.failed, QStringList{target});
    QCOMPARE(readAll(target), oldBytes);
    QCOMPARE(QDir(order + QStringLiteral("设计")).entryList(QDir::Files | QDir::Hidden),
             QStringList{"d.jpg"});
    // Nor does the new photo's thumbnail stand beside the old photo.
    QVERIFY(!QFileInfo::exists(order + QStringLiteral("设计缩略图/d.jpg")));
}

void TestImportOrderThread::turnedMainCopy_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("format"); // of the source and its target
    QTest::addColumn<QString>("extra");  // what else the source is or carries, if anything
    QTest::addColumn<QString>("made");   // how the main copy is made
    QTest::addColumn<QSize>("mainSize");
    QTest::addColumn<QSize>("thumb2250");
    QTest::addColumn<QSize>("thumb1000");
    QTest::addColumn<QSize>("thumb200");

    const QSize wide(1280, 800), tall(800, 1280);
    const QSize wide2250(2250, 1406), wide1000(1000, 624), wide200(200, 124);
    const QSize tall2250(1406, 2250), tall1000(624, 1000), tall200(124, 200);
    // Whole blocks (16 × 16 with the 4:2:0 sampling the writer uses): the
    // camera's coefficients are moved, nothing is encoded again.
    QTest::newRow("2, whole blocks") << 2 << wide << "jpg" << QString() << "moved" << wide << wide2250
                                     << wide1000 << wide200;
    QTest::newRow("3, whole blocks") << 3 << wide << "jpg" << QString() << "moved" << wide << wide2250
                                     << wide1000 << wide200;
    QTest::newRow("4, whole blocks") << 4 << wide << "jpg" << QString() << "moved" << wide << wide2250
                                     << wide1000 << wide200;
    QTest::newRow("5, whole blocks") << 5 << wide << "jpg" << QString() << "moved" << tall << tall2250
                                     << tall1000 << tall200;
    QTest::newRow("6, whole blocks") << 6 << wide << "jpg" << QString() << "moved" << tall << tall2250
                                     << tall1000 << tall200;
    QTest::newRow("7, whole blocks, EXIF in big-endian order")
        << 7 << wide << "jpg"
        << "big-endian"
        << "moved" << tall << tall2250 << tall1000 << tall200;
    QTest::newRow("8, whole blocks, colour profile") << 8 << wide << "jpg"
                                                     << "colour profile"
                                                     << "moved" << tall << tall2250 << tall1000 << tall200;
    // Layouts the fast decoder does not take (CMYK; the 1x4 sampling of a
    // turned 4:1:1 photo): another decoder judges the copy.
    QTest::newRow("6, CMYK") << 6 << wide << "jpg"
                             << "CMYK"
                             << "moved" << tall << tall2250 << tall1000 << tall200;
    QTest::newRow("6, 4:1:1") << 6 << wide << "jpg"
                              << "4:1:1"
                              << "moved" << tall << tall2250 << tall1000 << tall200;
    QTest::newRow("8, 4:1:1") << 8 << wide << "jpg"
                              << "4:1:1"
                              << "moved" << tall << tall2250 << tall1000 << tall200;
    // Readers take either of two orientation entries: both are set.
    QTest::newRow("6, orientation repeated") << 6 << wide << "jpg"
                                             << "orientation repeated"
                                             << "moved" << tall << tall2250 << tall1000 << tall200;
    QTest::newRow("6, orientation repeated, EXIF in big-endian order")
        << 6 << wide << "jpg"
        << "orientation repeated, big-endian"
        << "moved" << tall << tall2250 << tall1000 << tall200;
    // A width of part blocks ends at the bottom after a turn by 6, where a
    // part block may stay: the turn is still made without encoding again.
    QTest::newRow("6, width not whole blocks")
        << 6 << QSize(1288, 800) << "jpg" << QString() << "moved" << QSize(800, 1288) << QSize(1397, 2250)
        << QSize(620, 1000) << QSize(124, 200);
    // A turn by 6 brings the bottom edge to the left: with a height that is
    // not whole blocks it cannot be moved, and is encoded again.
    QTest::newRow("6, height not whole blocks, colour profile")
        << 6 << QSize(1280, 808) << "jpg"
        << "colour profile"
        << "quality 100" << QSize(808, 1280) << QSize(1420, 2250) << QSize(631, 1000) << QSize(126, 200);
    // Turns by 3 and 8 bring the right edge to the left or the top.
    QTest::newRow("3, width not whole blocks")
        << 3 << QSize(1288, 800) << "jpg" << QString() << "quality 100" << QSize(1288, 800)
        << QSize(2250, 1397) << QSize(1000, 620) << QSize(200, 124);
    QTest::newRow("8, width not whole blocks")
        << 8 << QSize(1288, 800) << "jpg" << QString() << "quality 100" << QSize(800, 1288)
        << QSize(1397, 2250) << QSize(620, 1000) << QSize(124, 200);
    // Moved, the coefficients would come out under the standard tables as
    // bits no decoder reads: the photo is decoded and encoded again.
    QTest::newRow("6, damaged beyond the standard tables")
        << 6 << wide << "jpg"
        << "beyond standard tables"
        << "quality 100" << tall << tall2250 << tall1000 << tall200;
    // A few such blocks come out as bits a decoder reads without a warning.
    QTest::newRow("6, a few blocks beyond the standard tables")
        << 6 << wide << "jpg"
        << "few beyond standard tables"
        << "quality 100" << tall << tall2250 << tall1000 << tall200;
    QTest::newRow("6, width not whole blocks, a few blocks beyond the standard tables")
        << 6 << QSize(1288, 800) << "jpg"
        << "few beyond standard tables"
        << "quality 100" << QSize(800, 1288) << QSize(1397, 2250) << QSize(620, 1000) << QSize(124, 200);
    QTest::newRow("6, png") << 6 << QSize(640, 400) << "png" << QString() << "png" << QSize(400, 640)
                            << tall2250 << tall1000 << tall200;
}

void TestImportOrderThread::turnedMainCopy()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(QString, format);
    QFETCH(QString, extra);
    QFETCH(QString, made);
    QFETCH(QSize, mainSize);
    QFETCH(QSize, thumb2250);
    QFETCH(QSize, thumb1000);
    QFETCH(QSize, thumb200);

    const auto [order, backup] = cameraOrder(*m_volumes);
    const QString name = QStringLiteral("p.") + format;
    const QString source = m_card + name;
    QImage picture = JpegFixture::cameraLikeImage(size, 5);
    const bool profile = extra == QLatin1String("colour profile");
    const QMap<QString, JpegFixture::Damage> damages{
        {"beyond standard tables", JpegFixture::Damage::BeyondStandardTables},
        {"few beyond standard tables", JpegFixture::Damage::FewBeyondStandardTables}};
    const bool damaged = damages.contains(extra);
    // Sources written by libjpeg, and the colour space and sampling of their main copies.
    const QMap<QString, QPair<JpegFixture::Layout, QString>> layouts{
        {"CMYK", {JpegFixture::Layout::Cmyk, "CMYK 1x1 1x1 1x1 1x1"}},
        {"4:1:1", {JpegFixture::Layout::YCbCr411, "YCbCr 1x4 1x1 1x1"}}};
    const bool repeated = extra.startsWith(QLatin1String("orientation repeated"));
    if (profile)
        picture.setColorSpace(QColorSpace::AdobeRgb);
    if (format == QLatin1String("png")) {
        QVERIFY(picture.save(source, "PNG"));
        QVERIFY(JpegFixture::writeExif(source, orientation, QString(), QString()));
    } else {
        JpegFixture::Options options;
        options.quality = 92;
        options.orientation = orientation;
        options.dateTime = QStringLiteral("2019:05:12 10:22:33");
        options.dateTimeOriginal = QStringLiteral("2019:05:12 10:22:30");
        options.cameraMetadata = true;
        options.bigEndian = extra.endsWith(QLatin1String("big-endian"));
        options.repeatedOrientation = repeated;
        QByteArray bytes = layouts.contains(extra)
                               ? JpegFixture::encode(picture, layouts.value(extra).first, options)
                               : JpegFixture::encode(picture, options);
        if (damaged)
            bytes = JpegFixture::damaged(bytes, damages.value(extra));
        bool clean = false;
        QVERIFY(!ImageOperation::decodeScaled(bytes, size, &clean).isNull() && clean);
        QVERIFY(TestFiles::write(source, bytes));
    }
    QCOMPARE(ExifReader::orientation(source), orientation);
    QCOMPARE(JpegFixture::exifTags(source).value("Exif.Image.Orientation"),
             QString::number(orientation) + (repeated ? "; 1" : ""));
    QCOMPARE(QImageReader(source).read().colorSpace() == QColorSpace::AdobeRgb, profile);

    PhotoImport::Request request;
    request.orderPath = order;
    request.backupPath = backup;
    request.source = source;
    request.targetName = name;
    const PhotoImport::Result result = PhotoImport::importPhoto(request);
    QVERIFY(!result.isFailure());

    const QString main = order + QStringLiteral("照片/") + name;
    QCOMPARE(sizeOf(main), mainSize);
    if (format != QLatin1String("png"))
        QVERIFY(ExifReader::orientation(main) <= 1);
    QCOMPARE(QImageReader(main).format(),
             format == QLatin1String("png") ? QByteArray("png") : QByteArray("jpeg"));
    QCOMPARE(QImageReader(main).read().colorSpace() == QColorSpace::AdobeRgb, profile);
    // Upright as a viewer shows the photo. Moved coefficients decode to the
    // source's pixels but for a level or two of rounding in the chroma
    // upsampling, which now runs the other way; a second encoding, even at
    // quality 100, moves some levels more.
    // (No reader applies an orientation to a PNG: that row's is turned here.)
    const QImage viewed = format == QLatin1String("png")
                              ? storedPicture(source).transformed(QTransform().rotate(90))
                              : viewedPicture(source);
    const int difference = largestDifference(storedPicture(main), viewed);
    // (The damaged source's blocks hold extremes that move further.)
    const int tolerance = made == QLatin1String("moved") ? 4
                          : made == QLatin1String("png") ? 0
                          : damaged                      ? 32
                                                         : 16;
    QVERIFY2(difference >= 0 && difference <= tolerance, qPrintable(QString::number(difference)));
    // Moved coefficients keep the camera's size; quality 100 takes far more
    // (than a source coded as cameras code).
    const double growth = double(readAll(main).size()) / readAll(source).size();
    if (made == QLatin1String("moved"))
        QVERIFY2(growth > 0.95 && growth < 1.05, qPrintable(QString::number(growth)));
    else if (made == QLatin1String("quality 100") && !damaged)
        QVERIFY2(growth > 1.3, qPrintable(QString::number(growth)));
    if (layouts.contains(extra))
        QCOMPARE(JpegFixture::layoutOf(readAll(main)), layouts.value(extra).second);
    if (format != QLatin1String("png")) {
        // The camera's metadata as it was, made upright, whichever way the
        // copy was made; the camera's thumbnail, which would show the photo
        // unturned, is gone.
        QMap<QString, QString> tags = JpegFixture::exifTags(source);
        QVERIFY(tags.contains("Exif.Thumbnail.JPEGInterchangeFormat"));
        for (auto it = tags.begin(); it != tags.end();) {
            it = it.key().startsWith("Exif.Thumbnail.") ? tags.erase(it) : std::next(it);
        }
        tags["Exif.Image.Orientation"] = repeated ? "1; 1" : "1";
        tags["Exif.Image.ImageWidth"] = tags["Exif.Photo.PixelXDimension"] =
            QString::number(mainSize.width());
        tags["Exif.Image.ImageLength"] = tags["Exif.Photo.PixelYDimension"] =
            QString::number(mainSize.height());
        for (const char* key : {"Exif.Image.DateTime", "Exif.Image.Make", "Exif.Image.Model",
                                "Exif.Image.Copyright", "Exif.GPSInfo.GPSLatitude", "Exif.Photo.MakerNote"})
            QVERIFY2(!tags.value(key).isEmpty(), key);
        QCOMPARE(JpegFixture::exifTags(main), tags);
    }

    QCOMPARE(readAll(backup + QStringLiteral("照片/") + name), readAll(source));
    QCOMPARE(sizeOf(order + QStringLiteral("thumbnail2250/") + name), thumb2250);
    QCOMPARE(sizeOf(order + QStringLiteral("thumbnail/") + name), thumb1000);
    QCOMPARE(sizeOf(order + QStringLiteral("thumbnail100/") + name), thumb200);
    const QImage thumb = storedPicture(order + QStringLiteral("thumbnail/") + name);
    // (A 4:1:1 photo's colour comes in strips four pixels long, whose edges
    // the thumbnails' chain of scalings moves a little further.)
    QVERIFY(largestDifference(thumb, PictureWork::smoothScaled(storedPicture(main), thumb.size())) <=
            (extra == QLatin1String("4:1:1") ? 64 : 48));

    // The copy is upright for every reader: imported again, it is left as it
    // is. (A PNG copy keeps its tag in a text chunk, as it always has.)
    if (format == QLatin1String("png"))
        return;
    request.source = main;
    request.targetName = QStringLiteral("again.") + format;
    QVERIFY(!PhotoImport::importPhoto(request).isFailure());
    QCOMPARE(readAll(order + QStringLiteral("照片/again.") + format), readAll(main));
}

void TestImportOrderThread::refusedCommitKeepsOldFile_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("target"); // relative to the card's order and backup folders
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("oldThumbnails"); // an earlier import's thumbnails of the name
    using F = FileOperation::Fault;
    QTest::newRow("main copy refused at close") << int(F::Close) << "照片/p.jpg" << 1 << false;
    QTest::newRow("turned main copy refused at close") << int(F::Close) << "照片/p.jpg" << 6 << false;
    QTest::newRow("turned main copy onto a full disk") << int(F::DiskFull) << "照片/p.jpg" << 8 << false;
    QTest::newRow("backup refused at close") << int(F::Close) << "backup:照片/p.jpg" << 3 << false;
    QTest::newRow("thumbnail refused at close") << int(F::Close) << "thumbnail/p.jpg" << 6 << false;
    QTest::newRow("replacing main copy refused at close") << int(F::Close) << "照片/p.jpg" << 6 << true;
    QTest::newRow("replacing main copy onto a full disk") << int(F::DiskFull) << "照片/p.jpg" << 1 << true;
}

void TestImportOrderThread::refusedCommitKeepsOldFile()
{
    // The files of a photo are written first and synced, closed and named
    // together at the end; a share that refuses one of them at its sync or
    // close leaves the file that was there, and only that file fails.
    QFETCH(int, fault);
    QFETCH(QString, target);
    QFETCH(int, orientation);
    QFETCH(bool, oldThumbnails);
    const auto [order, backup] = cameraOrder(*m_volumes);
    const QString refused =
        target.startsWith(QLatin1String("backup:")) ? backup + target.mid(7) : order + target;
    const QString old = writeJpeg(refused, 1, 9, QSize(320, 240));
    const QByteArray oldBytes = readAll(old);
    QMap<QString, QByteArray> thumbnails; // what each thumbnail of the name holds before
    for (const char* folder : {"thumbnail2250/", "thumbnail/", "thumbnail100/"}) {
        const QString path = order + folder + QStringLiteral("p.jpg");
        thumbnails.insert(path,
                          oldThumbnails ? readAll(writeJpeg(path, 1, 9, QSize(320, 240))) : readAll(path));
    }

    FileOperation::setFaultHook([refused, fault](FileOperation::Fault f, const QString& path) {
        return int(f) == fault && path == refused;
    });
    PhotoImport::Request request;
    request.orderPath = order;
    request.backupPath = backup;
    request.source = writeJpeg(m_card + QStringLiteral("p.jpg"), orientation, 3, QSize(640, 480));
    request.targetName = QStringLiteral("p.jpg");
    const PhotoImport::Result result = PhotoImport::importPhoto(request);
    FileOperation::setFaultHook(nullptr);

    QCOMPARE(result.failed, QStringList{refused});
    QCOMPARE(result.diskFull, fault == int(FileOperation::Fault::DiskFull));
    QCOMPARE(readAll(refused), oldBytes);
    for (const QString& entry : TestFiles::entries(QFileInfo(refused).absolutePath()))
        QVERIFY2(!FileOperation::isPartialFile(entry), qPrintable(entry));
    const bool tall = orientation == 6 || orientation == 8;
    if (!target.startsWith(QStringLiteral("照片")))
        QCOMPARE(sizeOf(order + QStringLiteral("照片/p.jpg")), tall ? QSize(480, 640) : QSize(640, 480));
    // Without its main copy the photo writes no thumbnail: the old ones stay.
    if (target.startsWith(QStringLiteral("照片"))) {
        for (auto it = thumbnails.cbegin(); it != thumbnails.cend(); ++it) {
            QCOMPARE(readAll(it.key()), it.value());
            QCOMPARE(TestFiles::entries(QFileInfo(it.key()).absolutePath()),
                     oldThumbnails ? QStringList{"p.jpg"} : QStringList());
        }
    } else if (!target.startsWith(QStringLiteral("thumbnail/"))) {
        QCOMPARE(sizeOf(order + QStringLiteral("thumbnail/p.jpg")),
                 tall ? QSize(749, 1000) : QSize(1000, 749));
    }
}

void TestImportOrderThread::importCardIntoOrder()
{
    QStringList card;
    const QList<int> orientations{1, 6, 1, 3, 8, 1, 0, 1};
    for (int i = 0; i < orientations.size(); ++i)
        card.append(
            writeJpeg(m_card + QStringLiteral("IMG_%1.JPG").arg(i), orientations.at(i), quint32(i + 1)));
    QObject owner;
    ImportOrderModel* model = makeModel(&owner);
    model->setOriImgLst(card);
    model->setOriPrefixImage(QStringLiteral("L"));
    Config::isSyncPhotoToFinal = QStringLiteral("1");

    ImportOrderThread worker(model, ImportOriginal);
    Config::isSyncPhotoToFinal = QStringLiteral("0"); // taken when the worker was made
    Recorder recorder(worker);
    worker.createOrderDir(Config::importServPath, Config::importServBackupPath);
    const QString order = model->getOrderPath();
    QVERIFY(!order.isEmpty());
    QVERIFY(runToEnd(worker));

    QCOMPARE(recorder.events(), progressUpTo(card.size()));
    for (int i = 0; i < card.size(); ++i) {
        const QString name = QStringLiteral("IMG_%1-L.JPG").arg(i);
        const bool tall = orientations.at(i) == 6 || orientations.at(i) == 8;
        QCOMPARE(sizeOf(order + QStringLiteral("照片/") + name), tall ? QSize(400, 600) : QSize(600, 400));
        QVERIFY(QFileInfo::exists(order + QStringLiteral("成品/") + name));
        QCOMPARE(sizeOf(order + QStringLiteral("thumbnail100/") + name),
                 tall ? QSize(133, 200) : QSize(200, 133));
        QCOMPARE(readAll(model->getOrderBackupPath() + QStringLiteral("照片/") + name), readAll(card.at(i)));
    }
}

void TestImportOrderThread::incompleteOrderFolderGetsItsFolders()
{
    // An order folder made earlier holds only its finished-photo folder; the
    // finished photos and all three thumbnails still land.
    const QString order = m_volumes->mkdir(QStringLiteral("photos/old-order/"));
    QVERIFY(QDir().mkpath(order + QStringLiteral("成品")));
    const QString photo = writeJpeg(m_card + QStringLiteral("F1.jpg"), 1, 7);
    QObject owner;
    ImportOrderModel* model = makeModel(&owner);
    model->setOrderPath(order);
    model->setOrderBackupPath(m_volumes->mkdir(QStringLiteral("backup/old-order/")));
    model->setFineImgLst({photo});
    ImportOrderThread worker(model, ImportFinished);
    Recorder recorder(worker);
    QVERIFY(runToEnd(worker));
    QCOMPARE(recorder.events(), progressUpTo(1));
    const QString name = model->getImgNameLst({photo}, ImportFinished).value(0);
    for (const char* folder : {"成品/", "成品缩略图2250/", "成品缩略图/", "成品缩略图100/"})
        QVERIFY2(QFileInfo::exists(order + QString::fromUtf8(folder) + name), folder);
}

void TestImportOrderThread::sameNamesKeepListOrder()
{
    // Three cards with the same file names, imported in one list: the last
    // of each name wins the order folder, and the backup numbers follow the
    // list, exactly as one-by-one importing would leave them.
    QStringList list;
    for (int cardNo = 0; cardNo < 3; ++cardNo) {
        for (int i = 0; i < 4; ++i) {
            list.append(writeJpeg(m_card + QStringLiteral("card%1/IMG_%2.JPG").arg(cardNo).arg(i), 1,
                                  quint32(cardNo * 10 + i + 1), QSize(300, 200)));
        }
    }
    QObject owner;
    ImportOrderModel* model = makeModel(&owner);
    model->setOriImgLst(list);
    ImportOrderThread worker(model, ImportOriginal);
    Recorder recorder(worker);
    QVERIFY(runToEnd(worker));
    QCOMPARE(recorder.events(), progressUpTo(list.size()));

    const QString order = model->getOrderPath();
    const QString backup = model->getOrderBackupPath();
    for (int i = 0; i < 4; ++i) {
        const QString name = QStringLiteral("IMG_%1.JPG").arg(i);
        QCOMPARE(readAll(order + QStringLiteral("照片/") + name), readAll(list.at(8 + i)));
        QCOMPARE(readAll(backup + QStringLiteral("照片/") + name), readAll(list.at(i)));
        QCOMPARE(readAll(backup + QStringLiteral("照片/IMG_%1(1).jpg").arg(i)), readAll(list.at(4 + i)));
        QCOMPARE(readAll(backup + QStringLiteral("照片/IMG_%1(2).jpg").arg(i)), readAll(list.at(8 + i)));
    }
    QCOMPARE(fileCount(backup + QStringLiteral("照片")), 12);
}

void TestImportOrderThread::videoImport_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("folder");

    QTest::newRow("trial-shoot") << 3 << "试拍视频/";
    QTest::newRow("retouched") << 4 << "精修视频/";
}

void TestImportOrderThread::videoImport()
{
    QFETCH(int, type);
    QFETCH(QString, folder);

    const QString clip = m_volumes->writeFile(QStringLiteral("card/clip.mp4"), "new clip");
    const QString kept = m_volumes->writeFile(QStringLiteral("card/kept.mp4"), "new kept");
    QObject owner;
    ImportOrderModel* model = makeModel(&owner);
    model->setVideoLst({clip, kept});
    model->setVideoFinalLst({clip, kept});
    ImportOrderThread worker(model, ImportTypeEnum(type));
    Recorder recorder(worker);
    QSignalSpy committed(&worker, &ImportOrderThread::importCommittedSigl);
    worker.createOrderDir(Config::importServPath, Config::importServBackupPath);
    const QString order = model->getOrderPath();
    m_volumes->writeFile(order.mid(m_volumes->root().size()) + folder + QStringLiteral("kept.mp4"),
                         "old kept");
    QVERIFY(runToEnd(worker));

    // Another clip of a taken name stays on the card, named, and unlisted.
    QStringList events = progressUpTo(2, 1);
    events[2] += QStringLiteral(" taken kept.mp4");
    QCOMPARE(recorder.events(), events);
    QCOMPARE(committed.count(), 1);
    QCOMPARE(committed.first().at(2).toStringList(), QStringList{"clip.mp4"});
    QCOMPARE(readAll(order + folder + QStringLiteral("clip.mp4")), QByteArray("new clip"));
    QCOMPARE(readAll(order + folder + QStringLiteral("kept.mp4")), QByteArray("old kept"));
    QCOMPARE(fileCount(order + folder), 2);
    QCOMPARE(fileCount(model->getOrderBackupPath() + QStringLiteral("照片")), 0);
}

void TestImportOrderThread::emptyListOrStopEmitsNothing_data()
{
    QTest::addColumn<bool>("emptyList");
    QTest::addColumn<QString>("flag");

    QTest::newRow("empty list") << true << "";
    QTest::newRow("stopped before the run") << false << "stop";
}

void TestImportOrderThread::emptyListOrStopEmitsNothing()
{
    QFETCH(bool, emptyList);
    QFETCH(QString, flag);

    QObject owner;
    ImportOrderModel* model = makeModel(&owner);
    if (!emptyList)
        model->setFineImgLst({writeJpeg(m_card + QStringLiteral("a.jpg"), 1)});
    ImportOrderThread worker(model, ImportFinished);
    if (flag == "stop")
        worker.stop();
    Recorder recorder(worker);
    QVERIFY(runToEnd(worker));

    QVERIFY(recorder.events().isEmpty());
    QVERIFY(!model->getOrderPath().isEmpty());
    QCOMPARE(fileCount(model->getOrderPath() + QStringLiteral("成品")), 0);
}

void TestImportOrderThread::emptySourceCountsAsDone()
{
    QObject owner;
    ImportOrderModel* model = makeModel(&owner);
    model->setDesignImgLst({QString(), writeJpeg(m_card + QStringLiteral("d.jpg"), 1)});
    ImportOrderThread worker(model, ImportDesign);
    Recorder recorder(worker);
    QVERIFY(runToEnd(worker));

    QCOMPARE(recorder.events(), progressUpTo(2, 1));
    QCOMPARE(QDir(model->getOrderPath() + QStringLiteral("设计")).entryList(QDir::Files),
             QStringList{"d.jpg"});
}

void TestImportOrderThread::missingBackupFolderIsError()
{
    // An order that came with its folder but without a backup folder: the
    // camera photos have nowhere to keep their backup, which is told, not
    // skipped silently.
    QObject owner;
    ImportOrderModel* model = makeModel(&owner);
    const QString order = m_volumes->mkdir(QStringLiteral("photos/picture/old/order/照片")).chopped(2);
    model->setOrderPath(order);
    model->setOriImgLst({writeJpeg(m_card + QStringLiteral("a.jpg"), 1)});
    ImportOrderThread worker(model, ImportOriginal);
    Recorder recorder(worker);
    QVERIFY(runToEnd(worker));

    QCOMPARE(recorder.events(), QStringList{QStringLiteral("error 2")});
    QCOMPARE(fileCount(order + QStringLiteral("照片")), 0);
}

void TestImportOrderThread::failuresCountedAndTold_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("files");
    QTest::newRow("finished folder refuses writes") << "write" << 3;
    QTest::newRow("read error part-way") << "read" << 3;
    QTest::newRow("full disk stops the run") << "full" << 24;
    QTest::newRow("another window's stop") << "other window" << 3;
    // The folder's names are synced once the photo's files are named.
    QTest::newRow("finished folder's sync refused") << "sync" << 3;
    QTest::newRow("no folder sync on the share") << "no sync" << 3;
    // A killed run's temporary files older than a day go; younger ones stay.
    QTest::newRow("a killed run's temporary files") << "left over" << 3;
    // Each card file is gone once its bytes were read: f1 is still judged
    // by its tag, 6, and lands upright.
    QTest::newRow("card files gone once read") << "gone" << 3;
}

void TestImportOrderThread::failuresCountedAndTold()
{
    QFETCH(QString, fault);
    QFETCH(int, files);
    QObject owner;
    ImportOrderModel* model = makeModel(&owner);
    QStringList list;
    for (int i = 0; i < files; ++i)
        list.append(writeJpeg(m_card + QStringLiteral("f%1.jpg").arg(i), i == 1 ? 6 : 1, quint32(i + 1)));
    model->setFineImgLst(list);
    ImportOrderThread worker(model, ImportFinished);
    Recorder recorder(worker);
    worker.createOrderDir(Config::importServPath, Config::importServBackupPath);
    const QString folder = model->getOrderPath() + QStringLiteral("成品");
    // f1 is a turned photo already in the order.
    const QByteArray old = readAll(writeJpeg(folder + QStringLiteral("/f1.jpg"), 1, 99));
    const QString young = QStringLiteral(".dravin-Zy9xW8vU.part");
    if (fault == "left over") {
        QVERIFY(TestFiles::writeAged(folder + QStringLiteral("/.dravin-aB3dE5gH.part"), "killed", 25));
        QVERIFY(TestFiles::writeAged(folder + "/" + young, "another station's", 23));
    }

    using F = FileOperation::Fault;
    const QString card1 = list.at(1);
    FileOperation::setFaultHook([fault, folder, card1, card = m_card](F f, const QString& path) {
        if (fault == "write")
            return f == F::Write && path.startsWith(folder + "/");
        if (fault == "full")
            return f == F::DiskFull && path.startsWith(folder + "/");
        if (fault == "sync")
            return f == F::FolderSync && path == folder;
        if (fault == "no sync")
            return f == F::NoFolderSync;
        if (fault == "gone" && f == F::Read && path.startsWith(card))
            QFile::remove(path);
        return fault == "read" && f == F::Read && path == card1;
    });
    if (fault == "other window")
        Config::disk_space = QStringLiteral("no"); // another window's folder error
    QVERIFY(runToEnd(worker));
    const QStringList events = recorder.events();
    const int thumbs = fileCount(model->getOrderPath() + QStringLiteral("成品缩略图100"));
    const QStringList landed = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    const bool named = fault != "write" && fault != "read" && fault != "full";
    if (named) {
        const QStringList all{"f0.jpg", "f1.jpg", "f2.jpg"};
        QCOMPARE(landed, fault == "left over" ? QStringList{young} + all : all);
    } else {
        // Never replaced by a failed write or by part of a photo.
        QCOMPARE(readAll(folder + QStringLiteral("/f1.jpg")), old);
        QCOMPARE(landed,
                 fault == "read" ? QStringList({"f0.jpg", "f1.jpg", "f2.jpg"}) : QStringList{"f1.jpg"});
    }
    if (fault == "write" || fault == "sync") {
        QCOMPARE(events, progressUpTo(3, 3, folder));
        QCOMPARE(thumbs, fault == "write" ? 0 : 3); // none beside a main copy that failed
    } else if (fault == "read") {
        QCOMPARE(events, progressUpTo(3, 1)); // no folder: nothing refused a write
        QCOMPARE(thumbs, 2);
    } else if (named) {
        QCOMPARE(events, progressUpTo(3));
    } else {
        // Told once, and no file started after it; every file is counted.
        QCOMPARE(events.filter("disk full").size(), 1);
        QCOMPARE(events.filter("finished").size(), 0);
        QCOMPARE(events.last(), QStringLiteral("A100-2 failed %1 in %2").arg(files).arg(folder));
        QVERIFY2(thumbs < files, qPrintable(QString::number(thumbs)));
    }
    if (fault == "gone") {
        QVERIFY(!QFileInfo::exists(card1));
        QCOMPARE(sizeOf(folder + QStringLiteral("/f1.jpg")), QSize(400, 600));
        QCOMPARE(sizeOf(model->getOrderPath() + QStringLiteral("成品缩略图100/f1.jpg")), QSize(133, 200));
    }
}

void TestImportOrderThread::copyFile()
{
    QObject owner;
    ImportOrderThread worker(makeModel(&owner), ImportTrialVideo);
    const QString source = m_volumes->writeFile(QStringLiteral("card/v.mp4"), "video");
    const QString taken = m_volumes->writeFile(QStringLiteral("out/taken.mp4"), "old");

    QVERIFY(worker.copyFile(source, source));
    QVERIFY(!worker.copyFile(m_volumes->path(QStringLiteral("card/none.mp4")), m_volumes->path("out/n.mp4")));
    QVERIFY(!worker.copyFile(source, taken));
    QCOMPARE(readAll(taken), QByteArray("old"));
    QVERIFY(worker.copyFile(source, m_volumes->path(QStringLiteral("out/new.mp4"))));
    QCOMPARE(readAll(m_volumes->path(QStringLiteral("out/new.mp4"))), QByteArray("video"));
}

void TestImportOrderThread::picShotTime()
{
    QObject owner;
    ImportOrderThread worker(makeModel(&owner), ImportOriginal);
    QString shotTime = QStringLiteral("unchanged");
    QVERIFY(worker.getPicShotTime(writeJpeg(m_card + QStringLiteral("t.jpg"), 1), shotTime));
    QCOMPARE(shotTime, QStringLiteral("19:05:12 10:22:33"));

    shotTime = QStringLiteral("unchanged");
    QVERIFY(
        worker.getPicShotTime(m_volumes->writeFile(QStringLiteral("card/x.txt"), "no date here"), shotTime));
    QCOMPARE(shotTime, QStringLiteral("unchanged"));
    QVERIFY(!worker.getPicShotTime(m_volumes->path(QStringLiteral("card/missing.jpg")), shotTime));
    QCOMPARE(shotTime, QStringLiteral("unchanged"));
}

void TestImportOrderThread::createN8Dir()
{
    QObject owner;
    ImportOrderThread worker(makeModel(&owner), ImportN8);
    QSignalSpy failed(&worker, &ImportOrderThread::importDirN8ThreadError);
    const QString folder = m_volumes->path(QStringLiteral("n8/shop/选版服务器/"));
    worker.createN8Dir(folder);
    QVERIFY(QFileInfo(folder).isDir());
    worker.createN8Dir(folder);
    QCOMPARE(failed.count(), 0);

    m_volumes->writeFile(QStringLiteral("n8file"), "x");
    worker.createN8Dir(m_volumes->path(QStringLiteral("n8file/选版服务器")));
    QCOMPARE(failed.count(), 1);
}

void TestImportOrderThread::deleteOrderFolder()
{
    const QString folder = m_volumes->mkdir(QStringLiteral("photos/picture/2019-06/15/A100-2"));
    m_volumes->writeFile(QStringLiteral("photos/picture/2019-06/15/A100-2/照片/a.jpg"), "photo");
    m_volumes->writeFile(QStringLiteral("photos/picture/2019-06/15/A100-2/thumbnail/.hidden"), "x");
    order record;
    record.order_photo_id = QStringLiteral("9001");
    record.orderpath = folder + QLatin1Char('/');

    ImportOrderThread worker(record);
    QSignalSpy deleted(&worker, &ImportOrderThread::deleteSucceed);
    QVERIFY(runToEnd(worker));

    QCOMPARE(deleted.count(), 1);
    QCOMPARE(deleted.at(0).at(0).toString(), QStringLiteral("9001"));
    QCOMPARE(deleted.at(0).at(1).toString(), record.orderpath);
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(QFileInfo(m_volumes->path(QStringLiteral("photos/picture/2019-06/15"))).isDir());
}

void TestImportOrderThread::deleteRefused_data()
{
    QTest::addColumn<QString>("path");  // "@" stands for the mount root
    QTest::addColumn<QString>("keeps"); // what must still exist, same form

    QTest::newRow("empty") << ""
                           << "@photos/picture/2019-06/15/A";
    QTest::newRow("relative") << "photos/picture/2019-06/15/A"
                              << "@photos/picture/2019-06/15/A";
    QTest::newRow("dot-dot parts") << "@photos/picture/2019-06/../2019-06/15/A"
                                   << "@photos/picture/2019-06/15/A";
    QTest::newRow("mount root") << "@"
                                << "@photos/picture/2019-06/15/A";
    QTest::newRow("volume") << "@photos"
                            << "@photos/picture/2019-06/15/A";
    QTest::newRow("share") << "@photos/picture/"
                           << "@photos/picture/2019-06/15/A";
    QTest::newRow("link to an order") << "@photos/picture/link"
                                      << "@photos/picture/2019-06/15/A";
    QTest::newRow("outside the mount root") << "%outside/2019-06/15/A"
                                            << "%outside/2019-06/15/A";
    QTest::newRow("missing folder") << "@photos/picture/2019-06/15/gone"
                                    << "@photos/picture/2019-06/15/A";
    QTest::newRow("an import writing into it") << "@photos/picture/2019-06/15/A"
                                               << "@photos/picture/2019-06/15/A";
}

void TestImportOrderThread::deleteRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, keeps);
    QTemporaryDir outside;
    auto expand = [&](QString text) {
        if (text.startsWith(QLatin1Char('@')))
            return m_volumes->root() + text.mid(1);
        if (text.startsWith(QLatin1Char('%')))
            return outside.path() + QLatin1Char('/') + text.mid(1);
        return text;
    };
    m_volumes->writeFile(QStringLiteral("photos/picture/2019-06/15/A/照片/a.jpg"), "photo");
    QDir().mkpath(expand(QStringLiteral("%outside/2019-06/15/A")));
    QFile::link(m_volumes->path(QStringLiteral("photos/picture/2019-06/15/A")),
                m_volumes->path(QStringLiteral("photos/picture/link")));

    // An import of this process writes into A (and so into nothing else here).
    const FoldersInUse::Claim importing(m_volumes->path(QStringLiteral("photos/picture/2019-06/15/A")), "A");

    order record;
    record.order_photo_id = QStringLiteral("1");
    record.orderpath = expand(path);
    ImportOrderThread worker(record);
    QSignalSpy deleted(&worker, &ImportOrderThread::deleteSucceed);
    QVERIFY(runToEnd(worker));

    QCOMPARE(deleted.count(), 0);
    QCOMPARE(worker.refusedInUse(), QTest::currentDataTag() == QLatin1String("an import writing into it"));
    QVERIFY(QFileInfo(expand(keeps)).isDir());
    QVERIFY(QFileInfo::exists(m_volumes->path(QStringLiteral("photos/picture/2019-06/15/A/照片/a.jpg"))));
}

void TestImportOrderThread::deleteIncompleteIsNoSuccess()
{
    const QString folder = m_volumes->mkdir(QStringLiteral("photos/picture/2019-06/15/B"));
    const QString locked =
        m_volumes->writeFile(QStringLiteral("photos/picture/2019-06/15/B/照片/locked.jpg"), "x");
    m_volumes->writeFile(QStringLiteral("photos/picture/2019-06/15/B/照片/free.jpg"), "x");
    FileOperation::setFaultHook([locked](FileOperation::Fault fault, const QString& path) {
        return fault == FileOperation::Fault::Remove && path == locked;
    });

    order record;
    record.orderpath = folder;
    ImportOrderThread worker(record);
    QSignalSpy deleted(&worker, &ImportOrderThread::deleteSucceed);
    QVERIFY(runToEnd(worker));

    QCOMPARE(deleted.count(), 0);
    QVERIFY(QFileInfo::exists(locked));
}

QTEST_MAIN(TestImportOrderThread)
#include "tst_importorderthread.moc"
