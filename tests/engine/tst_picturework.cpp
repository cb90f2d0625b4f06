#include "barcodedecoder.h"
#include "barcodepicture.h"
#include "expresshtml.h"
#include "image.h"
#include "imageoperation.h"
#include "importordersphotodlg.h"
#include "jobowner.h"
#include "jpegfixture.h"
#include "labelprinter.h"
#include "photoimport.h"
#include "picturework.h"
#include "productionsheet.h"
#include "testfiles.h"
#include "thumbnailthread1.h"

#include <QtTest>

#include <QListWidget>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

namespace {
std::atomic<int> s_handoffs{0};
}

// Qt Gui hands the pieces of a picture it splits to its global pool through
// this overload alone. Defined here, it takes the place of Qt Core's in the
// whole test: each hand-off is counted and run inline. Other pools start
// their work as Qt starts it.
void QThreadPool::start(std::function<void()> functionToRun, int priority)
{
    if (this != QThreadPool::globalInstance()) {
        start(QRunnable::create(std::move(functionToRun)), priority);
        return;
    }
    ++s_handoffs;
    functionToRun();
}

// The picture steps of the client, each run from a thread of its own and
// from the user-interface thread, while the hand-offs are counted: none may
// reach Qt's global pool.
class TestPictureWork : public QObject
{
    Q_OBJECT

private slots:
    void noPictureHandedToQtsPool_data();
    void noPictureHandedToQtsPool();
    void thumbnailIsQtsOwnSmoothScale();
    void sheetPdfHoldsFilesPicture_data();
    void sheetPdfHoldsFilesPicture();
};

namespace {

enum class Step
{
    QtsOwnScale,  // the counter's check: Qt's scale called directly
    QtsOwnPixmap, // the same for a pixmap made of a large image
    Pixmap,
    Import, // a photo named CMYK, which the fast decoder declines, goes to Qt's reader
    SheetThumbnails,
    Label,
    SingleOrderIcon,
    DialogIcon,
    LocalSheet,   // a production sheet of a marked photo, as a PDF
    SheetPicture, // a sheet holding a picture as it is, as a PDF
};

QImage large()
{
    QImage image(2000, 2000, QImage::Format_ARGB32);
    image.fill(qRgba(40, 160, 90, 200));
    return image;
}

// The sheet pictures by file name: a colour photo, which Qt's PDF engine
// draws as it is, and pictures in formats it converts.
QImage::Format sheetPictureFormat(const QString& path)
{
    static const QHash<QString, QImage::Format> formats{
        {"colour.jpg", QImage::Format_RGB32},       {"grey.jpg", QImage::Format_Grayscale8},
        {"grey16.png", QImage::Format_Grayscale16}, {"colour64.png", QImage::Format_RGBX64},
        {"palette.png", QImage::Format_Indexed8},   {"alpha.png", QImage::Format_ARGB32},
        {"alpha64.png", QImage::Format_RGBA64},
    };
    return formats.value(QFileInfo(path).fileName(), QImage::Format_Invalid);
}

// A photo-like picture in the format; where the format has alpha, its
// opacity runs from 96 on the left to 255 on the right. The palette's
// picture runs through its colours from left to right: dithered, it would
// be noise that no JPEG keeps.
QImage sheetPicture(QImage::Format format, const QSize& size)
{
    if (format == QImage::Format_Indexed8) {
        QImage picture(size, format);
        for (int i = 0; i < 256; ++i)
            picture.setColor(i, qRgba(i, 255 - i, 128, 96 + 159 * i / 255));
        for (int y = 0; y < picture.height(); ++y) {
            uchar* line = picture.scanLine(y);
            for (int x = 0; x < picture.width(); ++x)
                line[x] = uchar(256 * x / picture.width());
        }
        return picture;
    }
    QImage picture = PictureWork::converted(JpegFixture::cameraLikeImage(size, 5), QImage::Format_ARGB32);
    if (QImage(1, 1, format).hasAlphaChannel()) {
        for (int y = 0; y < picture.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                line[x] = (line[x] & RGB_MASK) | uint(96 + 159 * x / picture.width()) << 24;
        }
    }
    return PictureWork::converted(picture, format);
}

bool writePhoto(const QString& path, int orientation, const QSize& size)
{
    const QImage::Format format = sheetPictureFormat(path);
    if (format != QImage::Format_Invalid) {
        QDir().mkpath(QFileInfo(path).path());
        // A PNG stored, not compressed: quickly written.
        return sheetPicture(format, size).save(path, nullptr, path.endsWith(".png") ? 100 : -1);
    }
    const bool cmyk = path.contains("CMYK");
    JpegFixture::Options options;
    options.size = size;
    options.orientation = orientation;
    const QImage image = JpegFixture::cameraLikeImage(size, options.seed);
    return TestFiles::write(path, cmyk ? JpegFixture::encode(image, JpegFixture::Layout::Cmyk, options)
                                       : JpegFixture::encode(image, options));
}

// The steps read the photo the test wrote at dir/photo before it counts.
bool importPhoto(const QString& dir, const QString& photo)
{
    PhotoImport::Request request;
    request.orderPath = dir + "/order/";
    request.backupPath = dir + "/backup/";
    request.source = dir + "/" + photo;
    request.targetName = "IMG_0001.JPG";
    for (const char* folder :
         {"order/照片", "order/thumbnail2250", "order/thumbnail", "order/thumbnail100", "backup/照片"})
        QDir().mkpath(dir + "/" + folder);
    const PhotoImport::Result result = PhotoImport::importPhoto(request);
    return result.decoded && !result.isFailure();
}

bool sheetThumbnails(const QString& dir)
{
    const QString order = dir + "/order/";
    QDir().mkpath(order + "成品缩略图");
    Image photo;
    photo.setFileName("p1.jpg");
    photo.setKind(FinePhoto);
    photo.setOrderFolder(order);
    photo.setClipRect(QRect(100, 100, 300, 200), false);
    // The first makes the small thumbnail from the photo, the second reads it.
    return !ImageOperation::getWebViewThumbImage(photo, 88).isNull() &&
           !ImageOperation::getWebViewThumbImage(photo, 88).isNull();
}

bool label(const QString& dir)
{
    CodeImageInfo info;
    info.title = "宝宝成长相册";
    info.barCodeImagePath = dir + "/code.png";
    info.codeText = "AB-1234";
    if (!BarcodePicture::write(info.codeText, info.barCodeImagePath))
        return false;
    PdfLabelPrinter printer(dir + "/labels");
    return printer.print({ImageOperation::getCodeImage(info)}) == LabelPrinter::Outcome::Printed;
}

// The sheet of the local PDF output, with the photo as its marked photo.
bool localSheet(const QString& dir, const QString& photo)
{
    SheetInput input;
    input.picsMarkArr = {{QFileInfo(photo).fileName(), "1-2-3-4-眼睛调亮"}};
    input.markFolder = QFileInfo(dir + "/" + photo).path() + "/";
    input.thumbFolder = dir + "/thumbs/";
    QDir().mkpath(input.thumbFolder);
    const SheetResult sheet = ProductionSheet::build(input, SheetVariant::N8);
    return sheet.notWritten.isEmpty() && ExpressHtml::savePdf(sheet.html, dir + "/明细制作单.pdf");
}

// A sheet that shows the picture at the path, drawn as its marked photos are.
QString pictureSheet(const QString& path)
{
    return R"(<p>调修要求</p><img src="file:///)" + path + R"(" width="120">)";
}

bool run(Step step, const QString& dir, const QString& photo)
{
    switch (step) {
    case Step::QtsOwnScale:
        return !large().scaled(900, 900, Qt::KeepAspectRatio, Qt::SmoothTransformation).isNull();
    case Step::QtsOwnPixmap:
        return !QPixmap::fromImage(large()).isNull();
    case Step::Pixmap:
        return !PictureWork::toPixmap(large()).isNull();
    case Step::Import:
        return importPhoto(dir, photo);
    case Step::SheetThumbnails:
        return sheetThumbnails(dir);
    case Step::Label:
        return label(dir);
    case Step::SingleOrderIcon:
        ThumbnailThread1(dir + "/" + photo, 0, JobOwnerHandle(), 100, 1).run();
        return true;
    case Step::DialogIcon: {
        // The dialog makes its icons on its own pool and their pixmaps on
        // this thread.
        importOrdersPhotoDlg dialog;
        dialog.show();
        dialog.updateThumb({dir + "/" + photo});
        const QListWidgetItem* item = dialog.findChild<QListWidget*>("orderImportedLstWgt")->item(0);
        return QTest::qWaitFor([item] { return !item->icon().isNull(); });
    }
    case Step::LocalSheet:
        return localSheet(dir, photo);
    case Step::SheetPicture:
        return !ExpressHtml::renderPdf(pictureSheet(dir + "/" + photo)).isEmpty();
    }
    return false;
}

// The work run on a thread of its own, or on this, the user-interface thread.
bool runOn(bool ownThread, const std::function<void()>& work)
{
    if (!ownThread) {
        work();
        return true;
    }
    const std::unique_ptr<QThread> thread(QThread::create(work));
    thread->start();
    return thread->wait(60000);
}

} // namespace

void TestPictureWork::noPictureHandedToQtsPool_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("photo"); // where the photo is written, under the row's folder
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("ownThread"); // else the user-interface thread
    QTest::addColumn<bool>("handedOff");

    QTest::newRow("Qt's own smooth scale, own thread")
        << int(Step::QtsOwnScale) << QString() << 0 << QSize() << true << true;
    QTest::newRow("Qt's own pixmap of a large image")
        << int(Step::QtsOwnPixmap) << QString() << 0 << QSize() << false << true;
    QTest::newRow("pixmap of a large image")
        << int(Step::Pixmap) << QString() << 0 << QSize() << false << false;
    const QString card = "card/IMG_0001.JPG";
    const QSize whole(1280, 800);
    // A turn by 6 brings the bottom edge to the left: a height of part
    // blocks cannot be turned losslessly, so the photo is decoded and turned.
    const QSize partBlocks(1280, 808);
    for (const bool own : {true, false}) {
        const char* thread = own ? "own thread" : "user-interface thread";
        QTest::addRow("import, orientation 1, %s", thread)
            << int(Step::Import) << card << 1 << whole << own << false;
        QTest::addRow("import, orientation 6, %s", thread)
            << int(Step::Import) << card << 6 << whole << own << false;
        QTest::addRow("import, orientation 6 decoded and turned, %s", thread)
            << int(Step::Import) << card << 6 << partBlocks << own << false;
        QTest::addRow("import, CMYK, %s", thread)
            << int(Step::Import) << "card/CMYK.JPG" << 1 << whole << own << false;
        QTest::addRow("sheet thumbnails, %s", thread)
            << int(Step::SheetThumbnails) << "order/成品/p1.jpg" << 6 << QSize(1200, 800) << own << false;
        QTest::addRow("label and barcode, %s", thread)
            << int(Step::Label) << QString() << 0 << QSize() << own << false;
        // Decoded at an eighth, still a picture Qt would split.
        QTest::addRow("single-order icon, %s", thread)
            << int(Step::SingleOrderIcon) << "IMG_0001.JPG" << 1 << QSize(4000, 3000) << own << false;
    }
    QTest::newRow("import dialog icon")
        << int(Step::DialogIcon) << "thumbnail/IMG_0001.JPG" << 1 << QSize(1000, 667) << false << false;
    // Qt's PDF engine converts a picture it does not draw as it is on the
    // calling thread; a pixmap made on the user-interface thread, whatever
    // it held, keeps alpha premultiplied, which the engine converts again.
    const QSize photo(2400, 1600);
    for (const bool own : {true, false}) {
        const char* thread = own ? "own thread" : "user-interface thread";
        QTest::addRow("local sheet, grey marked photo, %s", thread)
            << int(Step::LocalSheet) << "marked/grey.jpg" << 0 << photo << own << false;
        QTest::addRow("sheet picture, 16-bit grey, %s", thread)
            << int(Step::SheetPicture) << "grey16.png" << 0 << photo << own << false;
        QTest::addRow("sheet picture, 16-bit colour, %s", thread)
            << int(Step::SheetPicture) << "colour64.png" << 0 << photo << own << false;
    }
    QTest::newRow("sheet picture, palette with alpha")
        << int(Step::SheetPicture) << "palette.png" << 0 << photo << false << false;
    QTest::newRow("sheet picture, alpha")
        << int(Step::SheetPicture) << "alpha.png" << 0 << photo << false << false;
    QTest::newRow("sheet picture, 16-bit alpha")
        << int(Step::SheetPicture) << "alpha64.png" << 0 << photo << false << false;
}

void TestPictureWork::noPictureHandedToQtsPool()
{
    QFETCH(int, step);
    QFETCH(QString, photo);
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(bool, ownThread);
    QFETCH(bool, handedOff);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!photo.isEmpty())
        QVERIFY(writePhoto(dir.filePath(photo), orientation, size));

    s_handoffs = 0;
    bool done = false;
    QVERIFY(runOn(ownThread, [&] { done = run(Step(step), dir.path(), photo); }));
    QVERIFY(done);
    if (handedOff)
        QVERIFY(s_handoffs > 0);
    else
        QCOMPARE(s_handoffs.load(), 0);
}

void TestPictureWork::thumbnailIsQtsOwnSmoothScale()
{
    // From this thread Qt's scale hands its pieces to the counter, which
    // makes them here: Qt's own picture, made inline.
    const QImage photo = JpegFixture::cameraLikeImage(QSize(3000, 2000), 7);
    const QImage own = photo.scaled(1000, 667, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage thumbnail = PictureWork::smoothScaled(photo, QSize(1000, 667));
    QCOMPARE(thumbnail.size(), own.size());
    QCOMPARE(thumbnail.format(), own.format());
    qint64 sum = 0;
    for (int y = 0; y < own.height(); ++y) {
        for (int x = 0; x < own.width(); ++x) {
            const QRgb a = own.pixel(x, y);
            const QRgb b = thumbnail.pixel(x, y);
            sum += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
        }
    }
    const double mean = double(sum) / (3.0 * own.width() * own.height());
    QVERIFY2(mean <= 1, qPrintable(QString::number(mean)));
}

void TestPictureWork::sheetPdfHoldsFilesPicture_data()
{
    QTest::addColumn<QString>("picture");
    for (const char* picture :
         {"colour.jpg", "grey.jpg", "grey16.png", "colour64.png", "palette.png", "alpha.png", "alpha64.png"})
        QTest::newRow(picture) << picture;
}

void TestPictureWork::sheetPdfHoldsFilesPicture()
{
    // The picture the PDF holds, read back by poppler, is the file's as Qt
    // reads it: its colours within what the PDF's JPEG of it loses, its
    // opacity (a mask of its own) within a level. Sheets are printed on the
    // user-interface thread. (On another, Qt lays a picture given one side
    // out at its own size for the other.)
    QFETCH(QString, picture);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(picture);
    QVERIFY(writePhoto(path, 0, QSize(600, 400)));
    const QByteArray pdf = ExpressHtml::renderPdf(pictureSheet(path));
    QVERIFY(TestFiles::write(dir.filePath("sheet.pdf"), pdf));
    const QList<QImage> held = BarcodeDecoder::pdfPictures(dir.filePath("sheet.pdf"));

    const QImage file(path);
    QCOMPARE(held.size(), file.hasAlphaChannel() ? 2 : 1);
    QCOMPARE(held.first().size(), file.size());
    qint64 colour = 0;
    int opacity = 0;
    for (int y = 0; y < file.height(); ++y) {
        for (int x = 0; x < file.width(); ++x) {
            const QRgb a = file.pixel(x, y);
            const QRgb b = held.first().pixel(x, y);
            colour += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
            if (held.size() == 2)
                opacity = qMax(opacity, qAbs(qAlpha(a) - qGray(held.last().pixel(x, y))));
        }
    }
    const double mean = double(colour) / (3.0 * file.width() * file.height());
    QVERIFY2(mean <= 3, qPrintable(QString::number(mean)));
    QVERIFY2(opacity <= 1, qPrintable(QString::number(opacity)));
}

QTEST_MAIN(TestPictureWork)
#include "tst_picturework.moc"
