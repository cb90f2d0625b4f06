#include "barcodedecoder.h"
#include "barcodepicture.h"
#include "imageoperation.h"
#include "labelprinter.h"
#include "testfiles.h"

#include <QtTest>

#include <QPrinter>

// The barcode pictures and the label printer, read back with a barcode
// decoder and the PDF tools.
class TestLabels : public QObject
{
    Q_OBJECT

private slots:
    void pictureDecodesToItsText_data();
    void pictureDecodesToItsText();
    void noPictureForWhatCannotBeDrawn_data();
    void noPictureForWhatCannotBeDrawn();
    void writeReplacesAPlantedLink();
    void pdfJobsOnePerLabelAtLabelSize();
};

namespace {

// The width of the white margin on the left of the first bar.
int leftMargin(const QImage& picture)
{
    for (int x = 0; x < picture.width(); ++x) {
        if (qGray(picture.pixel(x, picture.height() / 2)) < 128)
            return x;
    }
    return picture.width();
}

QImage label(const QString& code, const QString& picture)
{
    CodeImageInfo info;
    info.title = QStringLiteral("宝宝成长相册");
    info.subtitle = QStringLiteral("12寸");
    info.barCodeImagePath = picture;
    info.codeText = code + QStringLiteral("  A24051201");
    info.shopName = QStringLiteral("Velmor旗舰店");
    return ImageOperation::getCodeImage(info);
}

} // namespace

void TestLabels::pictureDecodesToItsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("module"); // pixels per module
    // Code 128: 11 modules a symbol character, 13 for stop; digits pair up.
    QTest::newRow("four digits") << "5101" << 2;                        // 11+22+11+13 = 57, +20 quiet: 2 px
    QTest::newRow("letters and digits") << "AB-1234" << 1;              // 11+77+11+13 = 112 modules
    QTest::newRow("no room for quiet zones") << "ABCDEFGHIJKLMNO" << 1; // 200 modules
}

void TestLabels::pictureDecodesToItsText()
{
    QFETCH(QString, text);
    QFETCH(int, module);
    const QImage picture = BarcodePicture::code128(text);
    QCOMPARE(picture.size(), QSize(208, 74));
    QCOMPARE(BarcodeDecoder::code128(picture), QStringList{text});

    const int modules = BarcodePicture::code128Modules(text).size();
    const int margin = leftMargin(picture);
    // Centred; the first bar starts the symbol, so the margin is the quiet zone.
    QCOMPARE(margin, (208 - modules * module) / 2);
    if (modules + 20 <= 208)
        QVERIFY(margin >= 10 * module);
    // Every bar run is a whole number of modules.
    int run = 0;
    for (int x = margin; x < margin + modules * module; ++x) {
        const bool dark = qGray(picture.pixel(x, 37)) < 128;
        const bool nextDark = x + 1 < picture.width() && qGray(picture.pixel(x + 1, 37)) < 128;
        ++run;
        if (dark != nextDark) {
            QCOMPARE(run % module, 0);
            run = 0;
        }
    }
    // The label shows it where a scanner reads it.
    QTemporaryDir dir;
    const QString path = dir.filePath(text + ".png");
    QVERIFY(BarcodePicture::write(text, path));
    QCOMPARE(BarcodeDecoder::code128(label(text, path)), QStringList{text});
}

void TestLabels::noPictureForWhatCannotBeDrawn_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("wider than the picture") << "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    QTest::newRow("not Latin-1") << "订单5101";
}

void TestLabels::noPictureForWhatCannotBeDrawn()
{
    QFETCH(QString, text);
    QVERIFY(BarcodePicture::code128(text).isNull());
    QTemporaryDir dir;
    QVERIFY(!BarcodePicture::write(text, dir.filePath("x.png")));
    QVERIFY(!QFileInfo::exists(dir.filePath("x.png")));
}

void TestLabels::writeReplacesAPlantedLink()
{
    QTemporaryDir dir;
    const QString victim = dir.filePath("victim.txt");
    QVERIFY(TestFiles::write(victim, "keep me"));
    const QString path = dir.filePath("5101.png");
    QVERIFY(QFile::link(victim, path));
    QVERIFY(BarcodePicture::write("5101", path));
    QCOMPARE(TestFiles::readAll(victim), QByteArray("keep me"));
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(BarcodeDecoder::code128(QImage(path)), QStringList{"5101"});
}

void TestLabels::pdfJobsOnePerLabelAtLabelSize()
{
    QTemporaryDir dir;
    QVERIFY(TestFiles::write(dir.filePath("labels/label-001.pdf"), "an earlier label"));
    PdfLabelPrinter printer(dir.filePath("labels"));
    QList<QImage> labels;
    for (const QString code : {"5101", "5102"}) {
        const QString picture = dir.filePath(code + ".png");
        QVERIFY(BarcodePicture::write(code, picture));
        labels.append(label(code, picture));
    }
    QCOMPARE(printer.print(labels), LabelPrinter::Outcome::Printed);
    QCOMPARE(printer.files(),
             QStringList({dir.filePath("labels/label-002.pdf"), dir.filePath("labels/label-003.pdf")}));
    QCOMPARE(TestFiles::readAll(dir.filePath("labels/label-001.pdf")), QByteArray("an earlier label"));

    for (int i = 0; i < 2; ++i) {
        const QString pdf = printer.files().at(i);
        // A 60 × 40 mm printable area gives a 60 × 42.5 mm page.
        const QSizeF points = BarcodeDecoder::pdfPageSize(pdf);
        QVERIFY2(qAbs(points.width() * 25.4 / 72 - 60) <= 0.5, qPrintable(QString::number(points.width())));
        QVERIFY2(qAbs(points.height() * 25.4 / 72 - 42.5) <= 0.5,
                 qPrintable(QString::number(points.height())));
        const QList<QImage> pages = BarcodeDecoder::pdfPages(pdf);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(BarcodeDecoder::code128(pages.first()), QStringList{i == 0 ? "5101" : "5102"});
    }

    // Nothing to print sets no printer up: its folder is not even made.
    PdfLabelPrinter idle(dir.filePath("idle"));
    QCOMPARE(idle.print({}), LabelPrinter::Outcome::Printed);
    QVERIFY(!QFileInfo::exists(dir.filePath("idle")));
    QVERIFY(idle.files().isEmpty());
}

QTEST_MAIN(TestLabels)
#include "tst_labels.moc"
