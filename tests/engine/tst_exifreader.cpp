#include "exiffiles.h"
#include "exifreader.h"
#include "imageoperation.h"
#include "jpegfixture.h"

#include <QtTest>

#include <QAtomicInt>
#include <QThreadPool>

#include <sys/stat.h>

using ExifFiles::Tags;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(ExifFiles::Tags)

class TestExifReader : public QObject
{
    Q_OBJECT

private slots:
    void cameraJpeg_data();
    void cameraJpeg();
    void rawFiles_data();
    void rawFiles();
    void tagsAnywhereInTheFile_data();
    void tagsAnywhereInTheFile();
    void unreadableFiles_data();
    void unreadableFiles();
    void shotTimeText_data();
    void shotTimeText();
    void readsInParallel();

private:
    QTemporaryDir m_dir;
};

void TestExifReader::cameraJpeg_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("dateTime");
    QTest::addColumn<QString>("dateTimeOriginal");
    QTest::addColumn<int>("expectedDirection");
    QTest::addColumn<QString>("expectedShotTime");

    const auto row = [](const char* tag, int orientation, const QString& dateTime, const QString& original,
                        int direction, const QString& shotTime) {
        QTest::newRow(tag) << orientation << dateTime << original << direction << shotTime;
    };
    row("upright", 1, "2019:05:03 14:22:11", "", 1, "19:05:03 14:22:11");
    row("upside down", 3, "", "", 3, "");
    row("turned right", 6, "2024:12:31 23:59:59", "2024:12:30 10:00:00", 6, "24:12:31 23:59:59");
    row("turned left", 8, "", "2023:01:02 03:04:05", 8, "23:01:02 03:04:05");
    row("no orientation", 0, "2020:02:29 12:00:00", "", 1, "20:02:29 12:00:00");
    row("blank date falls back", 1, "0000:00:00 00:00:00", "2021:06:07 08:09:10", 1, "21:06:07 08:09:10");
    row("blank dates", 1, "0000:00:00 00:00:00", "    :  :     :  :  ", 1, "");
}

void TestExifReader::cameraJpeg()
{
    QFETCH(int, orientation);
    QFETCH(QString, dateTime);
    QFETCH(QString, dateTimeOriginal);
    QFETCH(int, expectedDirection);
    QFETCH(QString, expectedShotTime);

    JpegFixture::Options options;
    options.size = QSize(320, 240);
    options.orientation = orientation;
    options.dateTime = dateTime;
    options.dateTimeOriginal = dateTimeOriginal;
    const QString path = m_dir.filePath(QStringLiteral("%1.jpg").arg(QTest::currentDataTag()));
    QVERIFY(JpegFixture::write(path, options));

    const ExifReader::Info info = ExifReader::read(path);
    QVERIFY(info.readable);
    QCOMPARE(info.orientation, orientation);
    QCOMPARE(info.shotTime, expectedShotTime);
    QCOMPARE(ExifReader::shotTime(path), expectedShotTime);
    QCOMPARE(ImageOperation::getDirection(path), expectedDirection);
    // The file's bytes, once read, tell the same.
    const ExifReader::Info fromBytes = ExifReader::fromBytes(bytesOf(path));
    QVERIFY(fromBytes.readable);
    QCOMPARE(fromBytes.orientation, orientation);
    QCOMPARE(fromBytes.shotTime, expectedShotTime);
}

void TestExifReader::rawFiles_data()
{
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<bool>("cr2");
    QTest::addColumn<Tags>("tags");
    QTest::addColumn<int>("expectedOrientation");
    QTest::addColumn<QString>("expectedShotTime");

    QTest::newRow("cr2 turned right")
        << false << true << Tags{6, "2019:05:03 14:22:11", "2019:05:03 14:22:10"} << 6 << "19:05:03 14:22:11";
    QTest::newRow("cr2 original date only")
        << false << true << Tags{1, "", "2018:11:12 09:08:07"} << 1 << "18:11:12 09:08:07";
    QTest::newRow("cr2 without tags") << false << true << Tags{0, "", ""} << 0 << "";
    QTest::newRow("big-endian raw turned left")
        << true << false << Tags{8, "2022:07:08 19:20:21", ""} << 8 << "22:07:08 19:20:21";
    QTest::newRow("big-endian raw upside down")
        << true << false << Tags{3, "0000:00:00 00:00:00", "2017:03:04 05:06:07"} << 3 << "17:03:04 05:06:07";
    QTest::newRow("orientation out of range") << false << false << Tags{9, "", ""} << 0 << "";
}

void TestExifReader::rawFiles()
{
    QFETCH(bool, bigEndian);
    QFETCH(bool, cr2);
    QFETCH(Tags, tags);
    QFETCH(int, expectedOrientation);
    QFETCH(QString, expectedShotTime);

    const QString path =
        m_dir.filePath(QStringLiteral("%1.%2").arg(QTest::currentDataTag(), cr2 ? "CR2" : "NEF"));
    QVERIFY(ExifFiles::writeFile(path, ExifFiles::tiff(tags, bigEndian, cr2)));

    const ExifReader::Info info = ExifReader::read(path);
    QVERIFY(info.readable);
    QCOMPARE(info.orientation, expectedOrientation);
    QCOMPARE(info.shotTime, expectedShotTime);
    QCOMPARE(ImageOperation::getDirection(path), qMax(1, expectedOrientation));
    const ExifReader::Info fromBytes = ExifReader::fromBytes(bytesOf(path));
    QCOMPARE(fromBytes.orientation, expectedOrientation);
    QCOMPARE(fromBytes.shotTime, expectedShotTime);
}

void TestExifReader::tagsAnywhereInTheFile_data()
{
    QTest::addColumn<QByteArray>("comment");
    QTest::addColumn<int>("orientation");

    // Bytes that look like an orientation entry of 8, at an even offset
    // right after the comment marker.
    const QByteArray lookAlike("\x12\x01\x03\x00\x01\x00\x00\x00\x08\x00", 10);
    QTest::newRow("no comment") << QByteArray() << 6;
    QTest::newRow("odd offset") << QByteArray("x") << 6;
    QTest::newRow("far into the file") << QByteArray(3000, ' ') << 6;
    QTest::newRow("far and odd") << QByteArray(3001, ' ') << 8;
    QTest::newRow("look-alike bytes first") << lookAlike << 3;
}

void TestExifReader::tagsAnywhereInTheFile()
{
    QFETCH(QByteArray, comment);
    QFETCH(int, orientation);

    const QString path = m_dir.filePath(QStringLiteral("%1.jpg").arg(QTest::currentDataTag()));
    QVERIFY(
        ExifFiles::writeFile(path, ExifFiles::jpeg(Tags{orientation, "2019:05:03 14:22:11", ""}, comment)));
    QVERIFY(!QImage(path).isNull());
    QCOMPARE(ImageOperation::getDirection(path), orientation);
    QCOMPARE(ExifReader::shotTime(path), QString("19:05:03 14:22:11"));
}

void TestExifReader::unreadableFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");

    QByteArray truncated = ExifFiles::jpeg(Tags{6, "2019:05:03 14:22:11", ""});
    truncated.truncate(30);
    QTest::newRow("missing") << "missing.jpg" << QByteArray();
    QTest::newRow("empty") << "empty.jpg" << QByteArray("");
    QTest::newRow("text") << "notes.jpg" << QByteArray("just some text, no picture at all");
    QTest::newRow("truncated") << "truncated.jpg" << truncated;
    QTest::newRow("broken tiff") << "broken.CR2"
                                 << QByteArray("II*\0\xff\xff\xff\x7f"
                                               "CR\x02\x00",
                                               12);
    QTest::newRow("folder") << "folder.jpg" << QByteArray();
    QTest::newRow("pipe") << "pipe.jpg" << QByteArray();
}

void TestExifReader::unreadableFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);

    const QString path = m_dir.filePath(name);
    if (name == "folder.jpg")
        QVERIFY(QDir().mkpath(path));
    else if (name == "pipe.jpg")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (name != "missing.jpg")
        QVERIFY(ExifFiles::writeFile(path, content));

    const ExifReader::Info info = ExifReader::read(path);
    QCOMPARE(info.orientation, 0);
    QCOMPARE(info.shotTime, QString());
    QCOMPARE(ImageOperation::getDirection(path), 1);
    QVERIFY(ImageOperation::loadImage(path).isNull());
    QCOMPARE(ExifReader::fromBytes(content).orientation, 0);
    QCOMPARE(ExifReader::fromBytes(content).shotTime, QString());
}

void TestExifReader::shotTimeText_data()
{
    QTest::addColumn<QString>("dateTime");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* tag, const QString& dateTime, const QString& expected) {
        QTest::newRow(tag) << dateTime << expected;
    };
    row("camera form", "2019:05:03 14:22:11", "19:05:03 14:22:11");
    row("trailing zero byte", QString("2019:05:03 14:22:11") + QChar(0), "19:05:03 14:22:11");
    row("blanks around", "  2019:05:03 14:22:11  ", "19:05:03 14:22:11");
    row("zeros", "0000:00:00 00:00:00", "");
    row("blanks", "    :  :     :  :  ", "");
    row("empty", "", "");
    row("longer text", "2019:05:03 14:22:11.123", "19:05:03 14:22:11");
}

void TestExifReader::shotTimeText()
{
    QFETCH(QString, dateTime);
    QFETCH(QString, expected);
    QCOMPARE(ExifReader::shotTimeText(dateTime), expected);
}

void TestExifReader::readsInParallel()
{
    QStringList paths;
    for (int i = 0; i < 8; ++i) {
        const QString path =
            m_dir.filePath(QStringLiteral("parallel%1.%2").arg(i).arg(i % 2 ? "jpg" : "CR2"));
        const Tags tags{i % 2 ? 6 : 8, QStringLiteral("2020:01:0%1 10:00:00").arg(i + 1), ""};
        const QByteArray bytes = i % 2 ? ExifFiles::jpeg(tags) : ExifFiles::tiff(tags, false, true);
        QVERIFY(ExifFiles::writeFile(path, bytes));
        paths << path;
    }
    QAtomicInt wrong;
    QThreadPool pool;
    pool.setMaxThreadCount(8);
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < paths.size(); ++i) {
            pool.start(QRunnable::create([&wrong, path = paths.at(i), i] {
                const ExifReader::Info info = ExifReader::read(path);
                if (info.orientation != (i % 2 ? 6 : 8) ||
                    info.shotTime != QStringLiteral("20:01:0%1 10:00:00").arg(i + 1))
                    wrong.fetchAndAddRelaxed(1);
            }));
        }
    }
    pool.waitForDone();
    QCOMPARE(wrong.loadRelaxed(), 0);
}

QTEST_MAIN(TestExifReader)
#include "tst_exifreader.moc"
