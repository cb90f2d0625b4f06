#include "clock.h"
#include "config.h"
#include "fileoperation.h"
#include "tempvolumes.h"

#include <QtTest>

#include <atomic>

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    // A row's fault hook never reaches the next row, however the row ends.
    void cleanup() { FileOperation::setFaultHook(nullptr); }

    void routesAreComposedFromTheBase();
    void hostOverrideComesFromTheEnvironment();

    void returnPicPath_data();
    void returnPicPath();
    void returnPicPathReRootsMountedForm();
    void localPathMapsOnlyWindowsForms();

    void sanitizeWithRegex_data();
    void sanitizeWithRegex();

    void diskSpaceKeepsItsTexts();
    void parseDay_data();
    void parseDay();
    void parseDayFromManyThreads();
};

void TestConfig::initTestCase()
{
    Config::url_host = QStringLiteral("https://studio.example.invalid");
    Config::composeRoutes();
}

void TestConfig::routesAreComposedFromTheBase()
{
    QCOMPARE(Config::url_base, QStringLiteral("https://studio.example.invalid/index.php?"));
    QCOMPARE(Config::url_login, Config::url_base + "g=Pelagrine&m=public&a=dologin");
    QCOMPARE(Config::url_query_order_isimportphoto, Config::url_base + "g=Pelagrine&m=OrderPhoto&a=order_isrole12finish");
    QCOMPARE(Config::url_query_pro, Config::url_base + "g=Pelagrine&m=order&a=ordergoods20230521");
    QCOMPARE(Config::url_n8updatapath, Config::url_base + "g=Pelagrine&m=order&a=saven8path");
    QCOMPARE(Config::url_storesn8path, Config::url_base + "g=Pelagrine&m=n8&a=getn8set");
    QCOMPARE(Config::url_check_update, Config::url_base + "g=Publicapi&m=Version&a=check_update");
    QCOMPARE(Config::version, QStringLiteral("1.6.8_03"));
    QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(Config::token).hasMatch());
    QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(Config::n8PathToken).hasMatch());
}

void TestConfig::hostOverrideComesFromTheEnvironment()
{
    const QString before = Config::url_host;
    const QString rootBefore = Config::volumesRoot();
    qputenv("DRAVIN_URL_HOST", "http://127.0.0.1:9/");
    qputenv("DRAVIN_VOLUMES_ROOT", "/tmp/some-root");
    Config::initialize();
    QCOMPARE(Config::url_base, QStringLiteral("http://127.0.0.1:9/index.php?"));
    QCOMPARE(Config::url_video_updata, QStringLiteral("http://127.0.0.1:9/index.php?g=Pelagrine&m=order&a=updatevideo"));
    QCOMPARE(Config::volumesRoot(), QStringLiteral("/tmp/some-root/"));
    qunsetenv("DRAVIN_URL_HOST");
    qunsetenv("DRAVIN_VOLUMES_ROOT");
    Config::url_host = before;
    Config::setVolumesRoot(rootBefore);
    Config::composeRoutes();
}

void TestConfig::returnPicPath_data()
{
    // Folders made under the root first ("" for none); "!" before it: not
    // made, and its look-up fails, as on a share that dropped.
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected"); // "@" stands for the mount root

    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("share exists") << "share/orders/A001" << "//server/share/orders/A001" << "@share/orders/A001/";
    QTest::newRow("share missing") << "" << "//server/share/orders/A001" << "@server/orders/A001/";
    QTest::newRow("share cannot be looked at") << "!share/orders/A001"
                                               << "//server/share/orders/A001"
                                               << "@share/orders/A001/";
    QTest::newRow("backslashes") << "share/orders/A001" << "\\\\server\\share\\orders\\A001" << "@share/orders/A001/";
    QTest::newRow("backslashes missing") << "" << "\\\\server\\share\\orders\\A001" << "@server/orders/A001/";
    QTest::newRow("drive exists") << "photos/2023/A001" << "D:/photos/2023/A001" << "@photos/2023/A001/";
    QTest::newRow("drive missing") << "" << "D:/photos/2023/A001" << "@D:/2023/A001/";
    QTest::newRow("drive backslashes") << "photos/2023/A001" << "D:\\photos\\2023\\A001" << "@photos/2023/A001/";
    QTest::newRow("upper-case VOLUMES mapped") << "" << "/VOLUMES/x/y" << "@";
    QTest::newRow("single slash") << "" << "/share/A001" << "@";
    QTest::newRow("host and share exist") << "share" << "//host/share" << "@share/";
    QTest::newRow("host and share missing") << "" << "//host/share" << "@host/";
    QTest::newRow("doubled separator") << "a/b" << "D:/a//b" << "@a/b/";
    QTest::newRow("bare name") << "" << "D:" << "";
}

void TestConfig::returnPicPath()
{
    QFETCH(QString, existing);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    TempVolumes volumes;
    QVERIFY(volumes.isValid());
    const bool unseen = existing.startsWith('!');
    existing.remove(0, unseen ? 1 : 0);
    if (!existing.isEmpty() && !unseen)
        volumes.mkdir(existing);
    const QString hidden = QDir::cleanPath(volumes.root() + existing);
    FileOperation::setFaultHook([unseen, hidden](FileOperation::Fault f, const QString& path) {
        return unseen && f == FileOperation::Fault::LookUp && path == hidden;
    });
    expected.replace(QLatin1Char('@'), volumes.root());
    QCOMPARE(Config::returnPicPath(input), expected);
    FileOperation::setFaultHook(nullptr);
}

void TestConfig::returnPicPathReRootsMountedForm()
{
    {
        TempVolumes volumes;
        QCOMPARE(Config::returnPicPath("/Volumes/share/A001/"), volumes.root() + "share/A001/");
        QCOMPARE(Config::returnPicPath("/volumes/share/A001"), volumes.root() + "share/A001");
        const QString already = volumes.root() + "share/x";
        QCOMPARE(Config::returnPicPath(already), already);
    }
    const QString before = Config::volumesRoot();
    Config::setVolumesRoot("/Volumes/");
    QCOMPARE(Config::returnPicPath("/Volumes/share/A001"), QStringLiteral("/Volumes/share/A001"));
    QCOMPARE(Config::returnPicPath("/volumes/share/A001"), QStringLiteral("/volumes/share/A001"));
    Config::setVolumesRoot(before);
}

void TestConfig::localPathMapsOnlyWindowsForms()
{
    TempVolumes volumes;
    volumes.mkdir("share/n8");
    QCOMPARE(Config::localPath("\\\\host\\share\\n8"), volumes.root() + "share/n8/");
    QCOMPARE(Config::localPath("//host/share/n8"), volumes.root() + "share/n8/");
    QCOMPARE(Config::localPath("E:\\n8\\store"), volumes.root() + "E:/store/");
    // A local path is used as it is, even one the mapping would turn into
    // the mount root.
    QCOMPARE(Config::localPath("/srv/n8/store"), QStringLiteral("/srv/n8/store"));
    QCOMPARE(Config::localPath(QString()), QString());
    // A lone surrogate does not hide a Windows form from the check.
    const QString hidden = QStringLiteral("..\\..\\x") + QChar(0xDC00);
    QVERIFY(Config::localPath(hidden) != hidden);
}

void TestConfig::sanitizeWithRegex_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("mixed") << "  Li: Ming?. " << "Li Ming";
    QTest::newRow("blank before dot kept") << "name ." << "name ";
    QTest::newRow("dots only") << "..." << "";
    QTest::newRow("every forbidden char") << "a<b>c:d\"e/f\\g|h?i*j" << "abcdefghij";
    QTest::newRow("control chars") << QString("a\tb\nc") + QChar(0x1F) << "abc";
    QTest::newRow("chinese kept") << "张三-婚纱" << "张三-婚纱";
    QTest::newRow("normal unchanged") << "A001-Wang Li" << "A001-Wang Li";
    const QString lone = QString(QChar(0xDC00));
    QTest::newRow("lone low surrogate") << "../../../ESCAPE" + lone << "......ESCAPE";
    QTest::newRow("lone high surrogate") << QString(QChar(0xD83D)) + "/x/.."
                                         << "x";
    QTest::newRow("paired surrogate kept") << QString::fromUtf8("相册😀") << QString::fromUtf8("相册😀");
    QTest::newRow("swapped pair dropped") << QString(QChar(0xDE00)) + QChar(0xD83D) + "a"
                                          << "a";
    QTest::newRow("dot") << "."
                         << "";
    QTest::newRow("dot dot") << ".."
                             << "";
    QTest::newRow("nul and delete") << QString("a") + QChar(0) + "b" + QChar(0x7F) << "ab";
    QTest::newRow("only forbidden") << "<>:\"/\\|?*"
                                    << "";
}

void TestConfig::sanitizeWithRegex()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString cleaned = Config::sanitizeWithRegex(input);
    QCOMPARE(cleaned, expected);
    // Whatever went in, what comes out is one plain name.
    QVERIFY(!cleaned.contains('/') && !cleaned.contains('\\'));
    QVERIFY(cleaned != "." && cleaned != "..");
}

void TestConfig::diskSpaceKeepsItsTexts()
{
    Config::disk_space.reset();
    QCOMPARE(QString(Config::disk_space), QString());
    Config::disk_space = QStringLiteral("no");
    QVERIFY(Config::disk_space == "no");
    Config::disk_space = QStringLiteral("go");
    QVERIFY(Config::disk_space == "go");
    QVERIFY(Config::disk_space != "no");
    Config::disk_space.reset();
    QVERIFY(Config::disk_space != "no");
}

void TestConfig::parseDay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("day") << "2024-05-12" << QDate(2024, 5, 12);
    QTest::newRow("leap day") << "2024-02-29" << QDate(2024, 2, 29);
    QTest::newRow("no such day") << "2023-02-29" << QDate();
    QTest::newRow("month 13") << "2024-13-01" << QDate();
    QTest::newRow("short") << "2024-5-12" << QDate();
    QTest::newRow("time too") << "2024-05-12 10:00" << QDate();
    QTest::newRow("slashes") << "2024/05/12" << QDate();
    QTest::newRow("empty") << "" << QDate();
}

void TestConfig::parseDay()
{
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    QCOMPARE(Clock::parseDay(text), expected);
}

void TestConfig::parseDayFromManyThreads()
{
    // Import workers check the shot date while the window checks it too.
    std::atomic<int> wrong{0};
    QList<QThread*> threads;
    for (int t = 0; t < 8; ++t) {
        threads.append(QThread::create([&wrong] {
            for (int i = 0; i < 20000; ++i) {
                if (Clock::parseDay(QStringLiteral("2024-05-12")) != QDate(2024, 5, 12))
                    ++wrong;
            }
        }));
    }
    for (QThread* t : threads)
        t->start();
    for (QThread* t : threads) {
        t->wait();
        delete t;
    }
    QCOMPARE(wrong.load(), 0);
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
