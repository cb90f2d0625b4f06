#include "dirserver.h"
#include "exiffiles.h"
#include "imageoperation.h"
#include "jpegfixture.h"
#include "picturework.h"

#include <QtTest>

#include <QBuffer>
#include <QColorSpace>
#include <QPainter>

namespace {

const QColor kGreen(40, 160, 90);
const QRgb kMark = qRgb(32, 45, 98);

QImage solid(int w, int h, const QColor& color = kGreen, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(w, h, format);
    image.fill(color);
    return image;
}

bool near(QRgb a, QRgb b, int tolerance = 24)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

bool isWhite(QRgb c)
{
    return qRed(c) == 255 && qGreen(c) == 255 && qBlue(c) == 255;
}

int countNear(const QImage& image, const QRect& area, QRgb color)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += near(image.pixel(x, y), color, 40) ? 1 : 0;
    return n;
}

int darkPixels(const QImage& image, const QRect& area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    return n;
}

} // namespace

class TestImageOperation : public QObject
{
    Q_OBJECT

private slots:
    void loadImage();
    void decodeScaledToExactSize_data();
    void decodeScaledToExactSize();
    void thumbGeometry();
    void scaleRect();
    void rectangleAndEllipseMarks();
    void marksOnGreyImages();
    void squareImage_data();
    void squareImage();
    void numberBox();
    void nullImagesPassThrough();
    void webViewThumbWritesTheSmallThumbnailOnce();
    void webViewThumbFindsUpperCaseFiles();
    void codeImageLayout();
    void codeImageWithoutBarcode();
    void rotate_data();
    void rotate();
    void cameraPhotoTurnedUpright();

private:
    QTemporaryDir m_dir;
};

void TestImageOperation::loadImage()
{
    const QString good = m_dir.filePath("good.jpg");
    QVERIFY(solid(30, 20).save(good));
    QCOMPARE(ImageOperation::loadImage(good).size(), QSize(30, 20));

    // The format comes from the bytes, not the name.
    const QString png = m_dir.filePath("really-a-png.jpg");
    QVERIFY(solid(7, 5).save(png, "PNG"));
    QCOMPARE(ImageOperation::loadImage(png).size(), QSize(7, 5));

    QVERIFY(ImageOperation::loadImage(m_dir.filePath("missing.jpg")).isNull());
    QVERIFY(ExifFiles::writeFile(m_dir.filePath("garbage.jpg"), "not an image"));
    QVERIFY(ImageOperation::loadImage(m_dir.filePath("garbage.jpg")).isNull());
}

void TestImageOperation::decodeScaledToExactSize_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<QSize>("wanted");
    QTest::addColumn<bool>("profile");

    QTest::newRow("jpeg, 3/8 exactly") << "JPG" << QSize(2400, 1600) << QSize(900, 600) << false;
    QTest::newRow("jpeg, between two scales") << "JPG" << QSize(2400, 1600) << QSize(1000, 666) << true;
    QTest::newRow("jpeg, a sliver") << "JPG" << QSize(2400, 1600) << QSize(88, 58) << false;
    QTest::newRow("jpeg, enlarged") << "JPG" << QSize(300, 200) << QSize(2250, 1500) << false;
    QTest::newRow("grey jpeg") << "GREY" << QSize(1601, 1199) << QSize(200, 149) << false;
    QTest::newRow("png") << "PNG" << QSize(800, 600) << QSize(200, 150) << true;
}

void TestImageOperation::decodeScaledToExactSize()
{
    QFETCH(QString, format);
    QFETCH(QSize, stored);
    QFETCH(QSize, wanted);
    QFETCH(bool, profile);
    QImage picture = JpegFixture::cameraLikeImage(stored, 11);
    if (format == QLatin1String("GREY"))
        picture = PictureWork::converted(std::move(picture), QImage::Format_Grayscale8);
    if (profile)
        picture.setColorSpace(QColorSpace::AdobeRgb);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(picture.save(&buffer, format == QLatin1String("PNG") ? "PNG" : "JPG", 90));

    QCOMPARE(ImageOperation::storedSize(bytes), stored);
    const QImage image = ImageOperation::decodeScaled(bytes, wanted);
    QCOMPARE(image.size(), wanted);
    QCOMPARE(image.isGrayscale(), format == QLatin1String("GREY"));
    QCOMPARE(image.colorSpace() == QColorSpace::AdobeRgb, profile);
    // The picture itself: on average within a few levels of the whole
    // picture decoded and scaled smoothly.
    const QImage reference = PictureWork::smoothScaled(QImage::fromData(bytes), wanted);
    qint64 sum = 0;
    for (int y = 0; y < wanted.height(); ++y)
        for (int x = 0; x < wanted.width(); ++x)
            sum += qAbs(qGray(image.pixel(x, y)) - qGray(reference.pixel(x, y)));
    const double mean = double(sum) / (wanted.width() * wanted.height());
    QVERIFY2(mean < 4, qPrintable(QString::number(mean)));

    QVERIFY(ImageOperation::decodeScaled("not an image", wanted).isNull());
}

void TestImageOperation::thumbGeometry()
{
    const QImage photo = solid(2000, 1000);
    const QImage thumb = ImageOperation::getThumb(photo, QRect(100, 100, 200, 100), 88, false, 0);
    QCOMPARE(thumb.size(), QSize(88, 88));
    QCOMPARE(thumb.format(), QImage::Format_ARGB32);
    // The 86 × 43 picture sits at (1, 22), white above and below.
    QVERIFY(near(thumb.pixel(44, 22), kGreen.rgb()));
    QVERIFY(near(thumb.pixel(44, 64), kGreen.rgb()));
    QVERIFY(isWhite(thumb.pixel(44, 21)));
    QVERIFY(isWhite(thumb.pixel(44, 65)));
    QCOMPARE(QColor(thumb.pixel(0, 44)), QColor(Qt::gray));
    // The mark, mapped to (4, 4) 8 × 4 on the 88 × 44 picture, is drawn
    // there and nowhere else.
    QVERIFY(countNear(thumb, QRect(1, 22, 16, 10), kMark) > 10);
    QCOMPARE(countNear(thumb, QRect(30, 22, 57, 43), kMark), 0);

    const QImage numbered = ImageOperation::getThumb(photo, QRect(), 88, false, 3);
    QVERIFY(near(numbered.pixel(2, 86), qRgb(255, 0, 0)));
}

void TestImageOperation::scaleRect()
{
    QCOMPARE(ImageOperation::scaleRect(solid(2000, 1000), QRect(100, 100, 200, 100), solid(88, 44)),
             QRect(4, 4, 8, 4));
    QCOMPARE(ImageOperation::scaleRect(solid(100, 100), QRect(10, 20, 30, 40), solid(300, 50)),
             QRect(30, 10, 90, 20));
    QCOMPARE(ImageOperation::scaleRect(QImage(), QRect(1, 1, 2, 2), solid(10, 10)), QRect());
}

void TestImageOperation::rectangleAndEllipseMarks()
{
    const QImage rect =
        ImageOperation::addRectToImage(solid(100, 100, Qt::white), QRect(10, 10, 50, 30), false);
    QCOMPARE(rect.size(), QSize(100, 100));
    QCOMPARE(rect.pixel(10, 20), kMark);
    QCOMPARE(rect.pixel(35, 10), kMark);
    QVERIFY(isWhite(rect.pixel(35, 25))); // the inside stays untouched
    QVERIFY(isWhite(rect.pixel(80, 80)));

    const QImage ellipse =
        ImageOperation::addRectToImage(solid(100, 100, Qt::white), QRect(10, 10, 50, 30), true);
    QVERIFY(isWhite(ellipse.pixel(11, 11))); // the rectangle's corner is not drawn
    QVERIFY(near(ellipse.pixel(35, 10), kMark, 60));
    QVERIFY(isWhite(ellipse.pixel(35, 25)));

    // A mark never set is a dot in the top-left corner.
    const QImage dot =
        ImageOperation::addRectToImage(solid(20, 20, Qt::white), QRect(QPoint(0, 0), QPoint(0, 0)), false);
    QVERIFY(!isWhite(dot.pixel(0, 0)));
    QVERIFY(isWhite(dot.pixel(10, 10)));
}

void TestImageOperation::marksOnGreyImages()
{
    QImage grey(60, 60, QImage::Format_Grayscale8);
    grey.fill(200);
    const QImage marked = ImageOperation::addRectToImage(grey, QRect(5, 5, 40, 40), false);
    QCOMPARE(marked.pixel(5, 20), kMark);
    const QImage numbered = ImageOperation::addNumToImage(grey, 5);
    QCOMPARE(QColor(numbered.pixel(1, 44)), QColor(Qt::red));
}

void TestImageOperation::squareImage_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("side");
    QTest::addColumn<QRect>("picture");

    QTest::newRow("landscape") << QSize(100, 60) << 100 << QRect(1, 21, 98, 58);
    QTest::newRow("portrait") << QSize(60, 100) << 100 << QRect(21, 1, 58, 98);
    QTest::newRow("square") << QSize(50, 50) << 50 << QRect(1, 1, 48, 48);
    QTest::newRow("wide thumb") << QSize(88, 44) << 88 << QRect(1, 22, 86, 43);
}

void TestImageOperation::squareImage()
{
    QFETCH(QSize, size);
    QFETCH(int, side);
    QFETCH(QRect, picture);

    const QImage square = ImageOperation::getSquareImage(solid(size.width(), size.height()));
    QCOMPARE(square.size(), QSize(side, side));
    QCOMPARE(square.format(), QImage::Format_ARGB32);
    QCOMPARE(QColor(square.pixel(0, side / 2)), QColor(Qt::gray));
    QCOMPARE(QColor(square.pixel(side - 1, side / 2)), QColor(Qt::gray));
    QCOMPARE(QColor(square.pixel(side / 2, side - 1)), QColor(Qt::gray));
    QCOMPARE(square.pixel(picture.topLeft()), kGreen.rgb());
    QCOMPARE(square.pixel(picture.bottomRight()), kGreen.rgb());
    if (picture.top() > 2) {
        QVERIFY(isWhite(square.pixel(side / 2, picture.top() - 1)));
        QVERIFY(isWhite(square.pixel(side / 2, picture.bottom() + 1)));
    }
    if (picture.left() > 2) {
        QVERIFY(isWhite(square.pixel(picture.left() - 1, side / 2)));
        QVERIFY(isWhite(square.pixel(picture.right() + 1, side / 2)));
    }
}

void TestImageOperation::numberBox()
{
    const QImage image = solid(60, 40, Qt::white);
    QCOMPARE(ImageOperation::addNumToImage(image, 0), image);
    QCOMPARE(ImageOperation::addNumToImage(image, -3), image);

    const QImage numbered = ImageOperation::addNumToImage(image, 12);
    QCOMPARE(numbered.size(), image.size());
    // The red box covers (0, 22) to (21, 39); the white digits are inside.
    int red = 0;
    int white = 0;
    for (int y = 23; y < 39; ++y) {
        for (int x = 1; x < 21; ++x) {
            const QRgb c = numbered.pixel(x, y);
            red += c == qRgb(255, 0, 0) ? 1 : 0;
            white += qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200 ? 1 : 0;
        }
    }
    QVERIFY(red > 150);
    QVERIFY(white > 5);
    QVERIFY(isWhite(numbered.pixel(30, 30)));
    QVERIFY(isWhite(numbered.pixel(10, 20)));
}

void TestImageOperation::nullImagesPassThrough()
{
    QVERIFY(ImageOperation::getThumb(QImage(), QRect(0, 0, 5, 5), 88, true, 2).isNull());
    QVERIFY(ImageOperation::addRectToImage(QImage(), QRect(0, 0, 5, 5), false).isNull());
    QVERIFY(ImageOperation::getSquareImage(QImage()).isNull());
    QVERIFY(ImageOperation::addNumToImage(QImage(), 4).isNull());
    QVERIFY(ImageOperation::rotateImage(QImage(), 6).isNull());
}

void TestImageOperation::webViewThumbWritesTheSmallThumbnailOnce()
{
    const QString order = m_dir.filePath("order1/");
    QVERIFY(QDir().mkpath(order + "成品"));
    QVERIFY(QDir().mkpath(order + "成品缩略图"));
    QVERIFY(solid(1600, 800).save(order + "成品/p1.jpg"));

    Image photo;
    QString name = "p1.jpg";
    photo.Setpath(name);
    photo.setKind(FinePhoto);
    photo.setOrderFolder(order);
    photo.setClipRect(QRect(100, 100, 400, 200), false);

    const QImage thumb = ImageOperation::getWebViewThumbImage(photo, 88);
    QCOMPARE(thumb.size(), QSize(88, 88));
    const QImage small(order + "成品缩略图/p1.jpg");
    QCOMPARE(small.size(), QSize(1000, 500));

    // The next call reads the small thumbnail, even once the photo is gone.
    QVERIFY(QFile::remove(order + "成品/p1.jpg"));
    QCOMPARE(ImageOperation::getWebViewThumb(photo, 120).size(), QSize(120, 120));

    Image missing;
    QString other = "nothing.jpg";
    missing.Setpath(other);
    missing.setKind(FinePhoto);
    missing.setOrderFolder(order);
    QVERIFY(ImageOperation::getWebViewThumb(missing, 88).isNull());
    QVERIFY(!QFile::exists(order + "成品缩略图/nothing.jpg"));
}

void TestImageOperation::webViewThumbFindsUpperCaseFiles()
{
    const QString order = m_dir.filePath("order2/");
    QVERIFY(QDir().mkpath(order + "成品"));
    QVERIFY(QDir().mkpath(order + "成品缩略图"));
    QVERIFY(solid(300, 600).save(order + "成品/IMG_1.JPG", "JPG"));

    DirServer::setOrderPath(order);
    Image photo; // no folder of its own: DirServer's order folder
    QString name = "IMG_1.jpg";
    photo.Setpath(name);
    photo.setKind(FinePhoto);
    QCOMPARE(photo.GetBigImagePath(), order + "成品/IMG_1.JPG");
    QCOMPARE(ImageOperation::getWebViewThumbImage(photo, 50).size(), QSize(50, 50));
    // The thumbnail keeps the listed spelling.
    QCOMPARE(QImage(order + "成品缩略图/IMG_1.jpg").size(), QSize(500, 1000));
    DirServer::setOrderPath(QString());
}

void TestImageOperation::codeImageLayout()
{
    // A barcode picture whose top 74 rows are stripes and whose lower rows
    // are red: only the stripes reach the label.
    QImage code(300, 100, QImage::Format_RGB32);
    code.fill(Qt::red);
    for (int x = 0; x < 300; ++x)
        for (int y = 0; y < 74; ++y)
            code.setPixel(x, y, (x / 10) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QString codePath = m_dir.filePath("code.png");
    QVERIFY(code.save(codePath));

    CodeImageInfo info;
    info.title = "成长相册 WWWW";
    info.subtitle = "12寸 WWWW";
    info.barCodeImagePath = codePath;
    info.codeText = "501  A001";
    info.shopName = "旗舰店 WWWW";
    const QImage label = ImageOperation::getCodeImage(info);

    QCOMPARE(label.size(), QSize(218, 150));
    QCOMPARE(label.format(), QImage::Format_RGB32);
    for (const QPoint& corner : {QPoint(0, 0), QPoint(217, 0), QPoint(0, 149), QPoint(217, 149)})
        QVERIFY(isWhite(label.pixel(corner)));

    // The barcode band holds black and white stripes and nothing red.
    int black = 0;
    int red = 0;
    for (int y = 40; y < 110; ++y) {
        for (int x = 5; x < 213; ++x) {
            const QRgb c = label.pixel(x, y);
            black += qGray(c) < 60 ? 1 : 0;
            red += qRed(c) > 150 && qGreen(c) < 100 ? 1 : 0;
        }
    }
    QVERIFY(black > 208 * 70 / 3);
    QCOMPARE(red, 0);
    QVERIFY(isWhite(label.pixel(2, 75)));
    QVERIFY(isWhite(label.pixel(215, 75)));

    // Each text sits in its own band: two at the left, two centred below.
    QVERIFY(darkPixels(label, QRect(5, 0, 100, 20)) > 10);
    QVERIFY(darkPixels(label, QRect(5, 20, 100, 20)) > 10);
    QVERIFY(darkPixels(label, QRect(60, 110, 98, 20)) > 10);
    QVERIFY(darkPixels(label, QRect(60, 130, 98, 20)) > 10);
    QCOMPARE(darkPixels(label, QRect(0, 110, 30, 40)), 0);
    QCOMPARE(darkPixels(label, QRect(188, 110, 30, 40)), 0);
}

void TestImageOperation::codeImageWithoutBarcode()
{
    CodeImageInfo info;
    info.title = "相框";
    info.barCodeImagePath = m_dir.filePath("no-such-code.png");
    info.shopName = "旗舰店";
    const QImage label = ImageOperation::getCodeImage(info);
    QCOMPARE(label.size(), QSize(218, 150));
    QCOMPARE(darkPixels(label, QRect(0, 40, 218, 70)), 0);
    QVERIFY(darkPixels(label, QRect(5, 0, 100, 20)) > 5);
    QVERIFY(darkPixels(label, QRect(0, 130, 218, 20)) > 5);
}

void TestImageOperation::rotate_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("redCorner");

    // A 40 × 20 picture whose top-left pixel is red.
    QTest::newRow("1") << 1 << QSize(40, 20) << QPoint(0, 0);
    QTest::newRow("2") << 2 << QSize(40, 20) << QPoint(0, 0);
    QTest::newRow("3") << 3 << QSize(40, 20) << QPoint(39, 19);
    QTest::newRow("4") << 4 << QSize(40, 20) << QPoint(0, 0);
    QTest::newRow("5") << 5 << QSize(40, 20) << QPoint(0, 0);
    QTest::newRow("6") << 6 << QSize(20, 40) << QPoint(19, 0);
    QTest::newRow("7") << 7 << QSize(40, 20) << QPoint(0, 0);
    QTest::newRow("8") << 8 << QSize(20, 40) << QPoint(0, 39);
    QTest::newRow("0") << 0 << QSize(40, 20) << QPoint(0, 0);
}

void TestImageOperation::rotate()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(QPoint, redCorner);

    QImage image = solid(40, 20, Qt::white);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));

    const QImage turned = ImageOperation::rotateImage(image, orientation);
    QCOMPARE(turned.size(), size);
    QVERIFY(near(turned.pixel(redCorner), qRgb(255, 0, 0), 60));
    if (size == image.size() && redCorner == QPoint(0, 0))
        QCOMPARE(turned, image);

    const QPixmap pixmap = ImageOperation::rotateImage(PictureWork::toPixmap(image), orientation);
    QCOMPARE(pixmap.size(), size);
    QVERIFY(near(pixmap.toImage().pixel(redCorner), qRgb(255, 0, 0), 60));
}

void TestImageOperation::cameraPhotoTurnedUpright()
{
    // What the import does with a photo shot with the camera turned.
    JpegFixture::Options options;
    options.size = QSize(600, 400);
    options.orientation = 6;
    options.dateTime = "2019:05:03 14:22:11";
    const QString path = m_dir.filePath("turned.jpg");
    QVERIFY(JpegFixture::write(path, options));

    const int orientation = ImageOperation::getDirection(path);
    QCOMPARE(orientation, 6);
    const QImage upright = ImageOperation::rotateImage(ImageOperation::loadImage(path), orientation);
    QCOMPARE(upright.size(), QSize(400, 600));
    const QImage thumb = upright.scaled(200, 200, Qt::KeepAspectRatio, Qt::FastTransformation);
    QCOMPARE(thumb.size(), QSize(133, 200));
    QCOMPARE(ImageOperation::getSquareImage(thumb).size(), QSize(200, 200));
}

QTEST_MAIN(TestImageOperation)
#include "tst_imageoperation.moc"
