#include "dirserver.h"
#include "fileoperation.h"
#include "imageoperation.h"
#include "jobrunner.h"
#include "jobtestowner.h"
#include "jpegfixture.h"
#include "tempvolumes.h"
#include "thumbnailthread.h"

#include <QImageReader>
#include <QMutex>
#include <QPainter>
#include <QSemaphore>
#include <QSet>
#include <QtTest>

namespace {

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

bool saveSolid(const QString& path, const QSize& size, const QColor& colour)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(path, "JPEG", 95);
}

Image finishedPhoto(const QString& order, const QString& name, QRect mark = QRect(QPoint(0, 0), QPoint(0, 0)),
                    bool ellipse = false)
{
    Image photo;
    photo.setFileName(name);
    photo.setKind(FinePhoto);
    photo.setOrderFolder(order);
    photo.setClipRect(mark, ellipse);
    return photo;
}

bool isMarkColour(QRgb p)
{
    return qRed(p) < 110 && qBlue(p) > qRed(p) + 30;
}

// The bounding box of the pixels in the mark's colour.
QRect markBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isMarkColour(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

bool writeJpeg(const QString& path, const JpegFixture::Options& options)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return JpegFixture::write(path, options);
}

struct SheetTree
{
    TempVolumes volumes;
    QString order = volumes.mkdir(QStringLiteral("店/2024-05-03/A001 王-李/"));
    QString output =
        volumes.mkdir(QStringLiteral("分件/2024-05-03/")) + QStringLiteral("A001-服务1 王-李 自取/");
    QString sheet() const { return output + QStringLiteral("制作单缩略图/"); }
};

void settle(JobRunner& runner)
{
    QVERIFY(runner.waitForDone(30000));
    QCoreApplication::processEvents();
}

// Runs a function on writes to paths with the fragment.
struct WriteHook
{
    explicit WriteHook(const QString& fragment, std::function<void()> onWrite)
    {
        FileOperation::setFaultHook([fragment, onWrite](FileOperation::Fault f, const QString& path) {
            if (f == FileOperation::Fault::Write && path.contains(fragment))
                onWrite();
            return false;
        });
    }
    ~WriteHook() { FileOperation::setFaultHook(nullptr); }
};

// Finished photos IMG_0.jpg ... with white small thumbnails; fewer when a
// file could not be written.
QList<Image> whitePhotos(const QString& order, int count)
{
    QList<Image> photos;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("IMG_%1.jpg").arg(i);
        if (saveSolid(order + "成品缩略图/" + name, QSize(600, 400), Qt::white))
            photos << finishedPhoto(order, name);
    }
    return photos;
}

} // namespace

class TestThumbnailThread : public QObject
{
    Q_OBJECT

private slots:
    void sheetThumbnailsAre88PixelJpegsNamedLikeThePhotos();
    void marksAreDrawn_data();
    void marksAreDrawn();
    void emptyListStillMakesTheFoldersAndCallsBack();
    void laterPhotoOfTheSameNameStays();
    void photosAreDrawnOnEveryFreeThread();
    void windowClosedMidRunReceivesNothing();
    void copyMode();
};

void TestThumbnailThread::sheetThumbnailsAre88PixelJpegsNamedLikeThePhotos()
{
    SheetTree tree;
    JpegFixture::Options wide;
    wide.size = QSize(1200, 800);
    JpegFixture::Options tall;
    tall.size = QSize(600, 900);
    tall.seed = 2;
    JpegFixture::Options small;
    small.size = QSize(1000, 667);
    QVERIFY(writeJpeg(tree.order + "成品/IMG_1.jpg", wide));
    QVERIFY(writeJpeg(tree.order + "成品缩略图/IMG_1.jpg", small));
    QVERIFY(writeJpeg(tree.order + "成品/IMG_2.JPG", tall)); // no small thumbnail yet
    QVERIFY(writeJpeg(tree.order + "成品/IMG_3.jpg", wide));
    QVERIFY(writeJpeg(tree.order + "成品缩略图/IMG_3.jpg", small));

    JobTestOwner owner;
    JobRunner runner(&owner);
    const QList<Image> photos{finishedPhoto(tree.order, "IMG_1.jpg", QRect(100, 100, 200, 100)),
                              finishedPhoto(tree.order, "IMG_2.jpg", QRect(10, 10, 50, 50), true),
                              finishedPhoto(tree.order, "IMG_3.jpg")};
    runner.start(new ThumbnailThread(photos, runner.owner(), 88, tree.output, runner.pool()));
    QCOMPARE(DirServer::getWebPageThumbPath(), tree.sheet());
    QCOMPARE(DirServer::getTempPath(), tree.output);
    settle(runner);

    QCOMPARE(owner.calls, QStringList{"onFinishSaveThumb"});
    QVERIFY(!owner.calledOffThread);
    QCOMPARE(entries(tree.sheet()), QStringList({"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg"}));
    for (const QString& name : entries(tree.sheet())) {
        QImageReader reader(tree.sheet() + name);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), QSize(88, 88));
    }
    // The photo without a small thumbnail got one, at most 1000 pixels a side.
    QCOMPARE(QImageReader(tree.order + "成品缩略图/IMG_2.jpg").size(), QSize(666, 1000));
}

void TestThumbnailThread::marksAreDrawn_data()
{
    QTest::addColumn<bool>("smallThumbnail");
    QTest::addColumn<bool>("ellipse");
    QTest::addColumn<int>("orientation"); // 0: a white photo without a tag
    QTest::newRow("rectangle on the small thumbnail") << true << false << 0;
    QTest::newRow("ellipse on the small thumbnail") << true << true << 0;
    QTest::newRow("rectangle on the photo") << false << false << 0;
    QTest::newRow("ellipse on the photo") << false << true << 0;
    QTest::newRow("rectangle on a photo tagged 1") << false << false << 1;
    QTest::newRow("rectangle on a photo tagged 6") << false << false << 6;
    QTest::newRow("rectangle on a photo tagged 8") << false << false << 8;
    QTest::newRow("rectangle on a photo tagged 6, gone once read") << false << false << 6;
}

void TestThumbnailThread::marksAreDrawn()
{
    QFETCH(bool, smallThumbnail);
    QFETCH(bool, ellipse);
    QFETCH(int, orientation);
    SheetTree tree;
    QVERIFY(QDir().mkpath(tree.order + "成品") && QDir().mkpath(tree.order + "成品缩略图"));
    // A tagged photo is a tall one with a red top-left corner as a viewer
    // shows it, stored as the camera lay.
    QImage upright(1500, 3000, QImage::Format_RGB32);
    upright.fill(Qt::white);
    QPainter(&upright).fillRect(0, 0, 300, 300, Qt::red);
    const QTransform stored = QTransform().rotate(orientation == 6 ? -90 : orientation == 8 ? 90 : 0);
    QVERIFY(orientation ? JpegFixture::write(tree.order + "成品/w.jpg", upright.transformed(stored), 95,
                                             orientation, QString(), QString())
                        : saveSolid(tree.order + "成品/w.jpg", QSize(3000, 1500), Qt::white));
    if (smallThumbnail)
        QVERIFY(saveSolid(tree.order + "成品缩略图/w.jpg", QSize(1000, 500), Qt::white));
    // Marks are given in the grid of the small thumbnail.
    const Image photo = finishedPhoto(tree.order, "w.jpg", QRect(100, 100, 400, 200), ellipse);

    const bool gone = QByteArray(QTest::currentDataTag()).endsWith("gone once read");
    FileOperation::setFaultHook([&](FileOperation::Fault f, const QString& path) {
        if (gone && f == FileOperation::Fault::Read && path == photo.GetBigImagePath())
            QFile::remove(path);
        return false;
    });
    const QImage thumb = ImageOperation::getWebViewThumbImage(photo, 88);
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(QFileInfo::exists(photo.GetBigImagePath()), !gone);
    QCOMPARE(thumb.size(), QSize(88, 88));
    const QRect bounds = markBounds(thumb);
    QVERIFY(!bounds.isEmpty());
    // The mark sits where drawing the fully decoded small thumbnail would put it.
    const QImage small = smallThumbnail
                             ? ImageOperation::loadImage(photo.GetImagePath())
                             : (orientation ? upright : ImageOperation::loadImage(photo.GetBigImagePath()))
                                   .scaled(1000, 1000, Qt::KeepAspectRatio, Qt::FastTransformation);
    QVERIFY(!small.isNull());
    const QImage expectedThumb = ImageOperation::getThumb(small, photo.clipRect(), 88, ellipse, 0);
    const QRect expected = markBounds(expectedThumb);
    // The small thumbnail made from the photo, and the sheet thumbnail, are
    // upright: red where the picture's corner is.
    const QImage made = ImageOperation::loadImage(photo.GetImagePath());
    QCOMPARE(made.size(), small.size());
    const auto isRed = [](QRgb p) { return qRed(p) > 180 && qGreen(p) < 90 && qBlue(p) < 90; };
    QCOMPARE(isRed(made.pixel(30, 30)), isRed(small.pixel(30, 30)));
    QCOMPARE(isRed(thumb.pixel(25, 4)), isRed(expectedThumb.pixel(25, 4)));
    QVERIFY2(qAbs(bounds.left() - expected.left()) <= 1 && qAbs(bounds.top() - expected.top()) <= 1 &&
                 qAbs(bounds.right() - expected.right()) <= 1 &&
                 qAbs(bounds.bottom() - expected.bottom()) <= 1,
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(bounds.x())
                            .arg(bounds.y())
                            .arg(bounds.width())
                            .arg(bounds.height())));
    // A rectangle's outline runs into its corners, an ellipse's does not.
    QCOMPARE(isMarkColour(thumb.pixel(bounds.left(), bounds.top() + 2)), !ellipse);
    QCOMPARE(isMarkColour(thumb.pixel(bounds.right(), bounds.bottom() - 2)), !ellipse);
    QVERIFY(isMarkColour(thumb.pixel(bounds.center().x(), bounds.top())));
}

void TestThumbnailThread::emptyListStillMakesTheFoldersAndCallsBack()
{
    SheetTree tree;
    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new ThumbnailThread({}, runner.owner(), 88, tree.output, runner.pool()));
    settle(runner);
    QCOMPARE(owner.calls, QStringList{"onFinishSaveThumb"});
    QVERIFY(QFileInfo(tree.sheet()).isDir());
    QVERIFY(entries(tree.sheet()).isEmpty());
}

void TestThumbnailThread::laterPhotoOfTheSameNameStays()
{
    SheetTree tree;
    const QString other = tree.volumes.mkdir("店/2024-05-03/A002/");
    QVERIFY(saveSolid(tree.order + "成品缩略图/same.jpg", QSize(400, 400), Qt::red));
    QVERIFY(saveSolid(other + "成品缩略图/same.jpg", QSize(400, 400), Qt::blue));

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(
        new ThumbnailThread({finishedPhoto(tree.order, "same.jpg"), finishedPhoto(other, "same.jpg")},
                            runner.owner(), 88, tree.output, runner.pool()));
    settle(runner);
    QCOMPARE(entries(tree.sheet()), QStringList{"same.jpg"});
    const QRgb centre = QImage(tree.sheet() + "same.jpg").pixel(44, 44);
    QVERIFY(qBlue(centre) > 200 && qRed(centre) < 60);
}

void TestThumbnailThread::photosAreDrawnOnEveryFreeThread()
{
    SheetTree tree;
    const QList<Image> photos = whitePhotos(tree.order, 12);
    QCOMPARE(photos.size(), 12);
    QMutex mutex;
    QSet<QThread*> threads;
    WriteHook slow("制作单缩略图/", [&] {
        {
            QMutexLocker lock(&mutex);
            threads.insert(QThread::currentThread());
        }
        QThread::msleep(30);
    });

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new ThumbnailThread(photos, runner.owner(), 88, tree.output, runner.pool()));
    settle(runner);
    QCOMPARE(owner.calls, QStringList{"onFinishSaveThumb"});
    QCOMPARE(entries(tree.sheet()).size(), 12);
    QVERIFY(threads.size() > 1);
}

void TestThumbnailThread::windowClosedMidRunReceivesNothing()
{
    SheetTree tree;
    const QList<Image> photos = whitePhotos(tree.order, 3);
    QCOMPARE(photos.size(), 3);
    QSemaphore entered;
    QSemaphore release;
    WriteHook blocking("制作单缩略图/", [&] {
        entered.release();
        release.tryAcquire(1, 10000);
    });

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new ThumbnailThread(photos, runner.owner(), 88, tree.output)); // one thread
    QVERIFY(entered.tryAcquire(1, 10000));
    runner.close();
    release.release(3);
    settle(runner);
    // The jobs done and their calls delivered; then a moment in which
    // nothing may reach the closed window.
    QTest::qWait(20);

    QVERIFY(owner.calls.isEmpty());
    // The thumbnail being written is finished; the rest are not drawn.
    QCOMPARE(entries(tree.sheet()).size(), 1);
}

void TestThumbnailThread::copyMode()
{
    SheetTree tree;
    const QString source = tree.volumes.writeFile("店/a.jpg", "photo");
    const QString target = tree.volumes.writeFile("分件/a.jpg", "old");

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new ThumbnailThread(source, "spare", target, runner.owner()));
    runner.start(new ThumbnailThread(source, "spare", QString(), runner.owner()));
    runner.start(new ThumbnailThread(QString(), "spare", target + "2", runner.owner()));
    settle(runner);

    QCOMPARE(owner.calls, QStringList{"onFinishSeparateImage"});
    QFile copied(target);
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), QByteArray("photo"));
    QVERIFY(!QFileInfo::exists(target + "2"));
}

QTEST_MAIN(TestThumbnailThread)
#include "tst_thumbnailthread.moc"
