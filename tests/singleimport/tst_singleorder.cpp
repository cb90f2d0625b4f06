#include "config.h"
#include "fileoperation.h"
#include "imagetime.h"
#include "serverpath.h"
#include "singleorder.h"
#include "standin.h"
#include "tempvolumes.h"
#include "testfiles.h"

#include <QtTest>

using SingleOrder::NamePieces;

// The plain parts of the single-order import: order prefix, photo and
// folder names, the count report, and the shot-time records of
// "ImageTime.txt".
class TestSingleOrder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void orderPrefix_data();
    void orderPrefix();
    void photoNames_data();
    void photoNames();
    void serverPathCheck_data();
    void serverPathCheck();
    void folderNames_data();
    void folderNames();
    void countReportBody();

    void imageTimeParse_data();
    void imageTimeParse();
    void imageTimeFile();
};

namespace {

QStringList keysOf(const QByteArray& body)
{
    QStringList keys;
    for (const QByteArray& pair : body.split('&'))
        keys.append(QString::fromUtf8(pair.left(pair.indexOf('='))));
    return keys;
}

} // namespace

void TestSingleOrder::initTestCase()
{
    StandIn::useDemoIdentity();
}

void TestSingleOrder::orderPrefix_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("2019-03-05") << "2019-03-05" << "305";
    QTest::newRow("2019-12-25") << "2019-12-25" << "1225";
    QTest::newRow("2019-3-5") << "2019-3-5" << "35";
    QTest::newRow("month no number") << "2019-x-05" << "005";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("two fields") << "2019-03" << "";
    QTest::newRow("four fields") << "2019-03-05-1" << "";
}

void TestSingleOrder::orderPrefix()
{
    QFETCH(QString, date);
    QTEST(SingleOrder::orderPrefix(date), "prefix");
}

void TestSingleOrder::photoNames_data()
{
    QTest::addColumn<QString>("append");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("empty folder") << "" << QStringList() << QStringList{"507A1024-001.jpg", "507A1024-002.jpg"};
    QTest::newRow("continues after the highest")
        << "" << QStringList{"507A1024-003.jpg", "507A1024-010.jpg", "507A1024-vip-001.jpg", "507A1024-vip-002.jpg"}
        << QStringList{"507A1024-011.jpg", "507A1024-012.jpg"};
    QTest::newRow("no numbered photo") << "" << QStringList{"cover.jpg"}
                                       << QStringList{"507A1024-001.jpg", "507A1024-002.jpg"};
    QTest::newRow("append") << "vip" << QStringList{"507A1024-007.jpg"}
                            << QStringList{"507A1024-vip-008.jpg", "507A1024-vip-009.jpg"};
    QTest::newRow("append loses hyphens") << "a-b" << QStringList()
                                          << QStringList{"507A1024-ab-001.jpg", "507A1024-ab-002.jpg"};
    QTest::newRow("past 999 never reuses a name")
        << "" << QStringList{"507A1024-998.jpg", "507A1024-999.JPG", "507A1024-1000.jpg"}
        << QStringList{"507A1024-1001.jpg", "507A1024-1002.jpg"};
    QTest::newRow("a low number taken past 999")
        << "" << QStringList{"507A1024-1001.jpg", "507A1024-002.jpg"}
        << QStringList{"507A1024-003.jpg", "507A1024-004.jpg"};
}

void TestSingleOrder::photoNames()
{
    QFETCH(QString, append);
    QFETCH(QStringList, existing);
    const NamePieces pieces = NamePieces::clean("507", "A1024", append, "1");
    QTEST(SingleOrder::photoNames(pieces, 2, existing), "names");
}

void TestSingleOrder::serverPathCheck_data()
{
    QTest::addColumn<QString>("path"); // "<root>" stands for the mount root, ending in "/"
    QTest::addColumn<bool>("allowed");
    QTest::newRow("a share's folder") << "<root>photos/2019-04/" << true;
    QTest::newRow("a share") << "<root>photos" << true;
    QTest::newRow("the mount root") << "<root>" << false;
    QTest::newRow("climbs out") << "<root>backup/../../../CLIMB/" << false;
    QTest::newRow("climbs and comes back") << "<root>photos/../photos/" << false;
    QTest::newRow("a dot level") << "<root>photos/./2019-04/" << false;
    QTest::newRow("elsewhere") << "/tmp/photos/" << false;
    QTest::newRow("relative") << "photos/2019-04/" << false;
    QTest::newRow("beside the root, named like it") << "<root>../VolumesX/photos/" << false;
}

void TestSingleOrder::serverPathCheck()
{
    QFETCH(QString, path);
    TempVolumes volumes;
    path.replace("<root>../VolumesX", QDir::cleanPath(volumes.root()) + "X");
    path.replace("<root>", volumes.root());
    QTEST(ServerPath::isUnderMountRoot(path), "allowed");
}

void TestSingleOrder::folderNames_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("append");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("name");

    QTest::newRow("no append") << "507" << "A1001" << "" << "2" << "507A1001-2";
    QTest::newRow("append") << "507" << "A1001" << "retake" << "2" << "507A1001-retake-2";
    QTest::newRow("empty service count") << "507" << "A1001" << "" << "" << "507A1001-";
    QTest::newRow("order number keeps its hyphen") << "507" << "A-1" << "x" << "2" << "507A-1-x-2";
    QTest::newRow("prefix and append lose theirs") << "5-07" << "A1001" << "re-take" << "2" << "507A1001-retake-2";
    QTest::newRow("characters files cannot hold") << "507" << "A1:0/01" << "a?b" << "2*" << "507A1001-ab-2";
}

void TestSingleOrder::folderNames()
{
    QFETCH(QString, prefix);
    QFETCH(QString, number);
    QFETCH(QString, append);
    QFETCH(QString, count);
    QFETCH(QString, name);
    const NamePieces pieces = NamePieces::clean(prefix, number, append, count);
    QCOMPARE(SingleOrder::orderFolderName(pieces), name);
    // The append comes back from the folder's name.
    QCOMPARE(SingleOrder::folderAppend(name, NamePieces::clean(prefix, number, QString(), count)),
             pieces.append);
}

void TestSingleOrder::countReportBody()
{
    const QByteArray body = SingleOrder::countReportBody("100101", "\\\\nas\\p&q\\", "", 3, 2, 0);
    QCOMPARE(keysOf(body), QStringList({"token", "order_photo_id", "shopid", "orderpicpath", "orderbakpicpath",
                                        "picnumber", "picbaknumber", "MANAGER_ID", "typeid"}));
    QVERIFY(body.contains("&orderpicpath=%5C%5Cnas%5Cp%26q%5C&orderbakpicpath=&picnumber=3&picbaknumber=2"
                          "&MANAGER_ID=1024&typeid=1"));
    QVERIFY(SingleOrder::countReportBody("1", "", "", 0, 0, 1).endsWith("&typeid=2"));
    QVERIFY(SingleOrder::countReportBody("1", "", "", 0, 0, 2).endsWith("&typeid=3"));
}

void TestSingleOrder::imageTimeParse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("records"); // "name=shot time"
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("last without bar") << "a>1|b>2" << QStringList{"a=1", "b=2"};
    QTest::newRow("two arrows dropped") << "a>1>2|b>2|" << QStringList{"b=2"};
    QTest::newRow("no name") << ">1|" << QStringList{"=1"};
    QTest::newRow("same time twice, file order") << "b>1||a>1|" << QStringList{"b=1", "a=1"};
    QTest::newRow("inner blanks stay") << " a >1 |" << QStringList{" a =1 "};
}

void TestSingleOrder::imageTimeParse()
{
    QFETCH(QString, text);
    QStringList records;
    for (const ImageTime::MatchInfo& info : ImageTime::parse(text))
        records.append(info.name + QLatin1Char('=') + info.shotTime);
    QTEST(records, "records");
}

void TestSingleOrder::imageTimeFile()
{
    // A record names the photo less its last suffix, and needs a shot time.
    QCOMPARE(ImageTime::record("a.b.jpg", "19:05:03 14:22:11"), QStringLiteral("a.b>19:05:03 14:22:11|"));
    QCOMPARE(ImageTime::record("abc", "t"), QStringLiteral("abc>t|"));
    QCOMPARE(ImageTime::record("abc.jpg", ""), QString());

    TempVolumes volumes;
    const QString order = volumes.mkdir("photos/2024-05/07/507A1-1");
    const QString file = ImageTime::filePath(order);
    QCOMPARE(file, order + "/ImageTime.txt");

    QCOMPARE(ImageTime::readFile(file), QString());
    QVERIFY(ImageTime::append(order, QString()));
    QVERIFY(QFile::exists(file));
    QCOMPARE(ImageTime::readFile(file), QString());
    QVERIFY(ImageTime::append(order + "/", "507A1-001>24:05:07 10:00:47|"));
    QVERIFY(ImageTime::append(order, QStringLiteral("婚纱-002>24:05:07 10:01:34|\n")));
    // Appended, UTF-8 without a byte-order mark, read back trimmed.
    QCOMPARE(TestFiles::readAll(file),
             QStringLiteral("507A1-001>24:05:07 10:00:47|婚纱-002>24:05:07 10:01:34|\n").toUtf8());
    QCOMPARE(ImageTime::readFile(file), QStringLiteral("507A1-001>24:05:07 10:00:47|婚纱-002>24:05:07 10:01:34|"));
    QVERIFY(TestFiles::write(file, " \n\t"));
    QCOMPARE(ImageTime::readFile(file), QString());

    FileOperation::setFaultHook([](FileOperation::Fault f, const QString& p) {
        return f == FileOperation::Fault::Write && p.endsWith("ImageTime.txt");
    });
    QVERIFY(!ImageTime::append(order, "x>1|"));
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(TestFiles::readAll(file), QByteArray(" \n\t"));

    // An append a full share cut short leaves its fragment standing alone:
    // the next append's first record stays whole.
    QVERIFY(TestFiles::write(file, "507A1-001>24:05:07 10:00:47|"));
    FileOperation::setFaultHook([](FileOperation::Fault f, const QString& p) {
        return f == FileOperation::Fault::DiskFull && p.endsWith("ImageTime.txt");
    });
    QVERIFY(!ImageTime::append(order, "507A1-002>24:05:07 10:00:48|"));
    FileOperation::setFaultHook(nullptr);
    QVERIFY(ImageTime::append(order, "507A1-003>24:05:07 10:00:49|"));
    QCOMPARE(TestFiles::readAll(file),
             QByteArray("507A1-001>24:05:07 10:00:47|507A1-002>24:0|507A1-003>24:05:07 10:00:49|"));
}

QTEST_GUILESS_MAIN(TestSingleOrder)
#include "tst_singleorder.moc"
