#include "testfiles.h"
#include "dirserver.h"
#include "fileoperation.h"
#include "imagedata.h"
#include "scriptedprompts.h"
#include "tempvolumes.h"

#include <QtTest>

#include <memory>

namespace {

using TestFiles::readAll;

void touch(const QString& path, const QByteArray& content = "jpeg")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

Image photo(const QString& name, int kind, const QString& folder = QString())
{
    Image image;
    QString n = name;
    image.Setpath(n);
    image.setKind(kind);
    if (!folder.isNull())
        image.setOrderFolder(folder);
    return image;
}

Image mark(const QString& name, const QString& description, const QRect& rect, bool ellipse)
{
    Image image = photo(name, RawPhoto);
    image.setDescription(description);
    image.setClipRect(rect, ellipse);
    return image;
}

QStringList names(const QList<Image>& images)
{
    QStringList list;
    for (const Image& image : images)
        list << image.GetImageName();
    return list;
}

struct FaultScope
{
    explicit FaultScope(const QString& fragment, FileOperation::Fault kind = FileOperation::Fault::Remove)
    {
        FileOperation::setFaultHook([fragment, kind](FileOperation::Fault f, const QString& path) {
            return f == kind && path.contains(fragment);
        });
    }
    ~FaultScope() { FileOperation::setFaultHook(nullptr); }
};

} // namespace

class TestImageData : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void folderNames();
    void imagePaths_data();
    void imagePaths();
    void productCount_data();
    void productCount();

    void importListsFinishedPhotosWithMarks();
    void importWithoutFolder();
    void positions();
    void finishedAndRejectedTogether();

    void movesBetweenFinishedAndRejected();
    void failedMovesKeepThePhoto_data();
    void failedMovesKeepThePhoto();
    void deleteRawPhotos();
    void removeRejectedFolder();

private:
    QString makeOrder(const QString& name);

    QTemporaryDir m_dir;
};

void TestImageData::init()
{
    ImageData::changedImages.clear();
    ImageData::getInstance()->clearImages();
    DirServer::setOrderPath(QString());
}

QString TestImageData::makeOrder(const QString& name)
{
    const QString order = m_dir.filePath(name) + QLatin1Char('/');
    for (const char* folder : {"照片", "成品", "汰片", "成品缩略图"})
        QDir().mkpath(order + QString::fromUtf8(folder));
    return order;
}

void TestImageData::folderNames()
{
    DirServer::setOrderPath("/v/o/");
    QCOMPARE(DirServer::getOrderPath(), QString("/v/o/"));
    QCOMPARE(DirServer::getOriginalImagePath(), QString("/v/o/照片/"));
    QCOMPARE(DirServer::getOriginalImageSmallThumbPath(), QString("/v/o/thumbnail/"));
    QCOMPARE(DirServer::getOriginalImageMidThumbPath(), QString("/v/o/thumbnail2250/"));
    QCOMPARE(DirServer::getFineImagePath(), QString("/v/o/成品/"));
    QCOMPARE(DirServer::getFineImageSmallThumbPath(), QString("/v/o/成品缩略图/"));
    QCOMPARE(DirServer::getFineImageMidThumbPath(), QString("/v/o/成品缩略图2250/"));
    QCOMPARE(DirServer::getDeletedImagePath(), QString("/v/o/汰片/"));
    QCOMPARE(DirServer::getMarkerPath(), QString("/v/o/marks/"));
    DirServer::setHomeModelPath("/t/");
    QCOMPARE(DirServer::getBedRoomHomeModelPath(), QString("/t/模板/卧室/"));
    QCOMPARE(DirServer::getLivingRoomHomeModelPath(), QString("/t/模板/客厅/"));
    QCOMPARE(DirServer::getOtherHomeModelPath(), QString("/t/模板/其他/"));
    DirServer::setWebPageThumbPath("/out/制作单缩略图/");
    QCOMPARE(DirServer::getWebPageThumbPath(), QString("/out/制作单缩略图/"));
    // No separator is added: the order folder ends in "/" itself.
    DirServer::setOrderPath("/v/o");
    QCOMPARE(DirServer::getFineImagePath(), QString("/v/o成品/"));
}

void TestImageData::imagePaths_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("folders"); // small, middle, big, compare

    QTest::newRow("camera") << 0 << QStringList{"thumbnail/", "thumbnail2250/", "照片/", "成品/"};
    QTest::newRow("finished") << 1 << QStringList{"成品缩略图/", "成品缩略图2250/", "成品/", "照片/"};
    QTest::newRow("rejected") << 2 << QStringList{"成品缩略图/", "成品缩略图2250/", "汰片/", ""};
    QTest::newRow("other") << 5 << QStringList{"thumbnail/", "thumbnail2250/", "照片/", ""};
}

void TestImageData::imagePaths()
{
    QFETCH(int, kind);
    QFETCH(QStringList, folders);
    const QString small = folders.at(0);
    const QString middle = folders.at(1);
    const QString big = folders.at(2);
    const QString compare = folders.at(3);

    DirServer::setOrderPath("/v/o/");
    const Image image = photo("x.jpg", kind);
    QCOMPARE(image.GetImagePath(), "/v/o/" + small + "x.jpg");
    QCOMPARE(image.GetMiddleImagePath(), "/v/o/" + middle + "x.jpg");
    QCOMPARE(image.GetBigImagePath(), "/v/o/" + big + "x.jpg");
    QCOMPARE(image.GetCompareImagePath(), compare.isEmpty() ? QString() : "/v/o/" + compare + "x.jpg");

    // A record made for an order keeps that order's folder.
    const Image own = photo("x.jpg", kind, "/w/p/");
    QCOMPARE(own.GetBigImagePath(), "/w/p/" + big + "x.jpg");
}

void TestImageData::productCount_data()
{
    QTest::addColumn<QString>("productId");
    QTest::addColumn<int>("count");
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("one") << "相册" << 0;
    QTest::newRow("three") << "相册用摆台用画框" << 2;
    QTest::newRow("empty parts") << "用用" << 2;
}

void TestImageData::productCount()
{
    QFETCH(QString, productId);
    QFETCH(int, count);
    Image image;
    QCOMPARE(image.getProductNum(), 0);
    image.setProductId(productId);
    QCOMPARE(image.getProductId(), productId);
    QCOMPARE(image.getProductNum(), count);
}

void TestImageData::importListsFinishedPhotosWithMarks()
{
    const QString order = makeOrder("import");
    touch(order + "成品/A.JPG");
    touch(order + "成品/b.jpg");
    touch(order + "成品/c.png");
    touch(order + "成品/a2.jpg");
    touch(order + "成品/C.jpg");
    touch(order + "成品/.dravin-x.part");
    QDir().mkpath(order + "成品/d.jpg");

    ImageData::changedImages = {mark("b.jpg", "first", QRect(1, 1, 5, 5), false),
                                mark("A.jpg", "眼睛", QRect(10, 20, 30, 40), true),
                                mark("b.jpg", "second", QRect(2, 3, 4, 5), true)};
    DirServer::setOrderPath(order);
    ImageData* data = ImageData::getInstance();
    data->importImage(FinePhoto);

    const QList<Image>& selected = data->GetSeletedImages();
    // Sorted by name without regard to case.
    QCOMPARE(names(selected), QStringList({"A.jpg", "a2.jpg", "b.jpg", "C.jpg"}));
    QVERIFY(data->GetAllImages().isEmpty() && data->GetLeftImages().isEmpty());
    QCOMPARE(data->getFinalImageNum(), 4);
    for (const Image& image : selected)
        QCOMPARE(image.kind(), int(FinePhoto));

    const Image a = data->getFineImage("A.jpg");
    QCOMPARE(a.description(), QString("眼睛"));
    QCOMPARE(a.clipRect(), QRect(10, 20, 30, 40));
    QVERIFY(a.isEllipse());
    // The listed name is the identity; the file is found in its own case.
    QCOMPARE(a.GetBigImagePath(), order + "成品/A.JPG");
    QCOMPARE(a.GetImagePath(), order + "成品缩略图/A.jpg");

    const Image b = data->getFineImage("b.jpg");
    QCOMPARE(b.description(), QString("second"));
    QCOMPARE(b.clipRect(), QRect(2, 3, 4, 5));

    const Image unmarked = data->getFineImage("a2.jpg");
    QCOMPARE(unmarked.clipRect(), QRect(QPoint(0, 0), QPoint(0, 0)));
    QVERIFY(!unmarked.isEllipse());
    QCOMPARE(data->getFineImage("zzz.jpg").GetImageName(), QString());

    QCOMPARE(data->getType(), FinePhoto);
    QCOMPARE(data->getCurrentIndex(), 0);
    QCOMPARE(&data->getImagelist(), &data->GetSeletedImages());

    // The records carry their order: a later order folder does not move them.
    DirServer::setOrderPath(m_dir.filePath("elsewhere/"));
    QCOMPARE(data->GetSeletedImages().at(0).GetBigImagePath(), order + "成品/A.JPG");

    // Kind 0 still lists the finished photos, but the current list is the
    // (empty) list of camera photos.
    DirServer::setOrderPath(order);
    data->importImage(RawPhoto);
    QCOMPARE(data->getFinalImageNum(), 4);
    QVERIFY(data->getImagelist().isEmpty());
}

void TestImageData::importWithoutFolder()
{
    ImageData* data = ImageData::getInstance();
    DirServer::setOrderPath(m_dir.filePath("no-such-order/"));
    data->importImage(FinePhoto);
    QVERIFY(data->GetSeletedImages().isEmpty());
    QCOMPARE(data->getCurrentIndex(), -1);

    // Without an order folder nothing relative to the working folder is read.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(makeOrder("cwd"));
    touch(QDir::currentPath() + "/成品/stray.jpg");
    DirServer::setOrderPath(QString());
    data->importImage(FinePhoto);
    QDir::setCurrent(previous);
    QVERIFY(data->GetSeletedImages().isEmpty());
}

void TestImageData::positions()
{
    const QString order = makeOrder("positions");
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg"})
        touch(order + "成品/" + name);
    DirServer::setOrderPath(order);
    ImageData* data = ImageData::getInstance();
    data->importImage(FinePhoto);
    QList<Image>& list = data->GetSeletedImages();

    QCOMPARE(data->getCurrentIndex(), 0);
    data->iteratorMoveNext();
    data->iteratorMoveNext();
    QCOMPARE(data->getIterator()->GetImageName(), QString("3.jpg"));
    data->iteratorMoveNext();
    QCOMPARE(data->getCurrentIndex(), 0);
    data->iteratorMovePre();
    QCOMPARE(data->getCurrentIndex(), 2);
    data->iteratorMoveFirst();
    QCOMPARE(data->getCurrentIndex(), 0);
    data->iteratorMoveEnd();
    QCOMPARE(data->getCurrentIndex(), 2);
    QVERIFY(data->getIterator() != list.end());

    data->setIterator(3);
    QVERIFY(data->getIterator() == list.end());
    QCOMPARE(data->getCurrentIndex(), -1);
    data->setIterator(1);
    QCOMPARE(data->getIterator()->GetImageName(), QString("2.jpg"));

    QVERIFY(data->getSeleIterator(5) == list.end());
    QCOMPARE(data->getSeleIterator(2)->GetImageName(), QString("3.jpg"));

    data->setType(RawPhoto);
    QCOMPARE(data->getType(), RawPhoto);
    QCOMPARE(data->getCurrentIndex(), -1); // the camera list is empty
    data->iteratorMoveNext();
    QCOMPARE(data->getCurrentIndex(), -1);

    data->setIterator(QString("none.jpg"));
    QCOMPARE(data->getType(), RawPhoto);
    data->setIterator(QString("3.jpg"));
    QCOMPARE(data->getType(), FinePhoto);
    QCOMPARE(data->getCurrentIndex(), 2);

    data->clearImages();
    QCOMPARE(data->getType(), RawPhoto);
    QCOMPARE(data->getFinalImageNum(), 0);
    QCOMPARE(data->getCurrentIndex(), -1);
}

void TestImageData::finishedAndRejectedTogether()
{
    const QString order = makeOrder("both");
    touch(order + "成品/X.JPG");
    touch(order + "成品/y.jpg");
    touch(order + "汰片/z.jpg");
    ImageData::changedImages = {mark("X.JPG", "d", QRect(1, 2, 3, 4), false)};
    DirServer::setOrderPath(order);

    const QList<Image> images = ImageData::getFineAndDeletedImage();
    QCOMPARE(names(images), QStringList({"X.JPG", "y.jpg", "z.jpg"}));
    QCOMPARE(images.at(0).kind(), int(FinePhoto));
    QCOMPARE(images.at(0).clipRect(), QRect(1, 2, 3, 4));
    QCOMPARE(images.at(2).kind(), int(DeletedPhoto));
    QCOMPARE(images.at(2).GetBigImagePath(), order + "汰片/z.jpg");
    QVERIFY(ImageData::getInstance()->GetSeletedImages().isEmpty());
}

void TestImageData::movesBetweenFinishedAndRejected()
{
    ScriptedPrompts prompts;
    const QString order = makeOrder("moves");
    touch(order + "成品/A.JPG", "photo A");
    touch(order + "成品/b.jpg", "photo b");
    touch(order + "成品/c.jpg", "photo c");
    DirServer::setOrderPath(order);
    ImageData* data = ImageData::getInstance();
    data->importImage(FinePhoto);

    QCOMPARE(data->fineImageToDeleted({"b.jpg", "A.jpg", "missing.jpg"}), QStringList({"b.jpg", "A.jpg"}));
    QCOMPARE(names(data->GetSeletedImages()), QStringList({"c.jpg"}));
    QVERIFY(!QFile::exists(order + "成品/b.jpg"));
    QCOMPARE(readAll(order + "汰片/b.jpg"), QByteArray("photo b"));
    // The file keeps its own spelling on the way.
    QVERIFY(!QFile::exists(order + "成品/A.JPG"));
    QCOMPARE(readAll(order + "汰片/A.JPG"), QByteArray("photo A"));

    data->GetLeftImages() = {photo("b.jpg", DeletedPhoto, order), photo("A.jpg", DeletedPhoto, order)};
    QCOMPARE(data->deletedImageToFine({"A.jpg"}), QStringList({"A.jpg"}));
    QCOMPARE(readAll(order + "成品/A.JPG"), QByteArray("photo A"));
    QVERIFY(!QFile::exists(order + "汰片/A.JPG"));
    QCOMPARE(names(data->GetLeftImages()), QStringList({"b.jpg"}));
    QVERIFY(prompts.calls().isEmpty());
}

void TestImageData::failedMovesKeepThePhoto_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("no rejected folder") << "no-target-folder";
    QTest::newRow("source cannot be removed") << "remove-fails";
    QTest::newRow("source already gone") << "source-gone";
    QTest::newRow("same file") << "same-file";
    // Its copy may be all there is of the photo: it stays.
    QTest::newRow("source not looked at once removed") << "source-unread";
}

void TestImageData::failedMovesKeepThePhoto()
{
    QFETCH(QString, failure);
    ScriptedPrompts prompts;
    const QString order = makeOrder("fail-" + failure);
    touch(order + "成品/p.jpg", "finished");
    touch(order + "汰片/p.jpg", "older rejected");
    DirServer::setOrderPath(order);
    ImageData* data = ImageData::getInstance();
    data->importImage(FinePhoto);

    std::unique_ptr<FaultScope> fault;
    if (failure == "no-target-folder") {
        QDir(order + "汰片").removeRecursively();
    } else if (failure == "remove-fails") {
        fault = std::make_unique<FaultScope>(order + "成品/p.jpg");
    } else if (failure == "source-unread") {
        fault = std::make_unique<FaultScope>(order + "成品/p.jpg", FileOperation::Fault::LookUp);
    } else if (failure == "source-gone") {
        QFile::remove(order + "成品/p.jpg");
    } else {
        QDir(order + "汰片").removeRecursively();
        QVERIFY(QFile::link(order + "成品", order + "汰片"));
    }

    prompts.setNextAnswer(Prompts::Yes);
    QVERIFY(data->fineImageToDeleted({"p.jpg"}).isEmpty());
    QCOMPARE(prompts.calls().size(), 1);
    QCOMPARE(prompts.last().title, QString("警告"));
    QCOMPARE(prompts.last().text, QString("成品p.jpg移至汰片失败"));
    QCOMPARE(int(prompts.last().buttons), int(Prompts::Yes));
    QCOMPARE(names(data->GetSeletedImages()), QStringList({"p.jpg"}));
    if (failure != "source-gone")
        QCOMPARE(readAll(order + (failure == "source-unread" ? "汰片" : "成品") + "/p.jpg"),
                 QByteArray("finished"));
    if (failure == "source-gone")
        QCOMPARE(readAll(order + "汰片/p.jpg"), QByteArray("older rejected"));
    if (failure == "remove-fails")
        QVERIFY(!QFile::exists(order + "汰片/p.jpg"));
}

void TestImageData::deleteRawPhotos()
{
    ScriptedPrompts prompts;
    const QString order = makeOrder("raw");
    touch(order + "照片/r1.jpg");
    touch(order + "照片/r2.jpg");
    ImageData* data = ImageData::getInstance();
    data->GetAllImages() = {photo("r1.jpg", RawPhoto, order), photo("r2.jpg", RawPhoto, order)};

    data->deleteRawImage({"r1.jpg"});
    QVERIFY(!QFile::exists(order + "照片/r1.jpg"));
    QCOMPARE(names(data->GetAllImages()), QStringList({"r2.jpg"}));

    FaultScope fault(order + "照片/r2.jpg");
    prompts.setNextAnswer(Prompts::Yes);
    data->deleteRawImage({"r2.jpg"});
    QVERIFY(QFile::exists(order + "照片/r2.jpg"));
    QCOMPARE(names(data->GetAllImages()), QStringList({"r2.jpg"}));
    QCOMPARE(prompts.last().title, QString("警告"));
    QCOMPARE(prompts.last().text, QString("照片r2.jpg删除失败，请重试"));
    // Nor is one whose look-up fails once removed taken for deleted.
    FaultScope unread(order + "照片/r2.jpg", FileOperation::Fault::LookUp);
    prompts.setNextAnswer(Prompts::Yes);
    data->deleteRawImage({"r2.jpg"});
    QCOMPARE(names(data->GetAllImages()), QStringList({"r2.jpg"}));
    QCOMPARE(prompts.calls().size(), 2);
    QVERIFY(prompts.unexpected().isEmpty());
}

void TestImageData::removeRejectedFolder()
{
    TempVolumes volumes;
    const QString order = volumes.mkdir("share/2024/A001/");
    volumes.writeFile("share/2024/A001/汰片/x.jpg", "x");
    volumes.writeFile("share/2024/A001/汰片/sub/y.jpg", "y");
    volumes.writeFile("share/2024/A001/成品/keep.jpg", "keep");
    DirServer::setOrderPath(order);
    ImageData* data = ImageData::getInstance();
    data->GetLeftImages() = {photo("x.jpg", DeletedPhoto, order)};

    QVERIFY(data->removeDeletedImage());
    QVERIFY(QFileInfo(order + "汰片").isDir());
    QVERIFY(QDir(order + "汰片").isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    QVERIFY(data->GetLeftImages().isEmpty());
    QVERIFY(QFile::exists(order + "成品/keep.jpg"));

    // Outside the mount root nothing is deleted.
    const QString outside = makeOrder("outside");
    touch(outside + "汰片/z.jpg");
    DirServer::setOrderPath(outside);
    data->GetLeftImages() = {photo("z.jpg", DeletedPhoto, outside)};
    QVERIFY(!data->removeDeletedImage());
    QVERIFY(QFile::exists(outside + "汰片/z.jpg"));
    QCOMPARE(data->getDeletedImageNum(), 1);
}

QTEST_MAIN(TestImageData)
#include "tst_imagedata.moc"
