#include "cr2downloadrunnable.h"
#include "cr2downloadwindow.h"
#include "exiffiles.h"
#include "fileoperation.h"
#include "foldersinuse.h"
#include "jobrunner.h"
#include "scriptedprompts.h"
#include "tempvolumes.h"
#include "testfiles.h"

#include <QtTest>

#include <QProgressBar>

// What a download job told its window.
struct DownloadReports
{
    QStringList progress;
    bool result = false;
    QString tip;
    int finished = 0;
};

// Receives the download job's reports by slot name, as its window does.
class DownloadReceiver : public QObject
{
    Q_OBJECT

public:
    DownloadReports reports;

public slots:
    void onDownloadProcess(int max, int value)
    {
        reports.progress.append(QStringLiteral("%1/%2").arg(value).arg(max));
    }
    void onDownloadFinish(bool isSuccess, QString text)
    {
        reports.result = isSuccess;
        reports.tip = text;
        ++reports.finished;
    }
};

// The raw-file download: its window, the choice of the raw folder, the
// names the raw files get, and that no raw file is ever lost.
class TestRawDownload : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowSlotsByName();
    void readImageTime_data();
    void readImageTime();
    void progressBar();
    void tipBoxThenClose();
    void endsUnderAnotherWindowsBox();
    void longTipKeepsTwentyLines();
    void rawFolder_data();
    void rawFolder();
    void oneReportPerFile();
    void matching_data();
    void matching();
    void numberedNeverReplaced();
    void failedCopyKeepsRawAndFolder();
    void subFolderAndLinks();
    void removalFailuresAreNamed();
    void refusals_data();
    void refusals();

private:
    // The order's photos folder with its raw folder, under the mount root.
    QString photos() const { return m_volumes->path("photos/2024-05/12/A1-1/照片/"); }
    QString raws() const { return photos() + QStringLiteral("新建文件夹/"); }
    QString target() const { return m_volumes->path("local/out/"); }
    void raw(const QString& name, const QString& dateTime, const QString& folder = QString());
    void photo(const QString& name, const QString& dateTime);
    DownloadReports download(const QString& records = QString(), const QString& src = QString(),
                             const QString& dst = QString());

    std::unique_ptr<TempVolumes> m_volumes;
};

void TestRawDownload::init()
{
    m_volumes = std::make_unique<TempVolumes>();
    m_volumes->mkdir("local");
}

void TestRawDownload::cleanup()
{
    FileOperation::setFaultHook(nullptr);
    m_volumes.reset();
}

void TestRawDownload::raw(const QString& name, const QString& dateTime, const QString& folder)
{
    ExifFiles::Tags tags;
    tags.dateTime = dateTime;
    QVERIFY(ExifFiles::writeFile((folder.isEmpty() ? raws() : folder) + name, ExifFiles::tiff(tags, false, true)));
}

void TestRawDownload::photo(const QString& name, const QString& dateTime)
{
    ExifFiles::Tags tags;
    tags.dateTime = dateTime;
    QVERIFY(ExifFiles::writeFile(photos() + name, ExifFiles::jpeg(tags)));
}

DownloadReports TestRawDownload::download(const QString& records, const QString& src, const QString& dst)
{
    DownloadReceiver receiver;
    {
        JobRunner runner(&receiver);
        runner.start(new CR2DownloadRunnable(runner.owner(), src.isEmpty() ? photos() : src,
                                             dst.isEmpty() ? target() : dst, records));
        runner.waitForDone();
        QCoreApplication::processEvents();
    }
    return receiver.reports;
}

void TestRawDownload::windowSlotsByName()
{
    for (const char* slot : {"onDownloadFinish(bool,QString)", "onDownloadProcess(int,int)"})
        QVERIFY2(CR2DownLoadWindow::staticMetaObject.indexOfMethod(slot) >= 0, slot);
    CR2DownLoadWindow window;
    QCOMPARE(window.windowTitle(), QStringLiteral("正在下载照片..."));
    QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(window.size(), QSize(349, 38));
}

void TestRawDownload::readImageTime_data()
{
    QTest::addColumn<QByteArray>("content"); // "<missing>": no file
    QTest::addColumn<QString>("text");
    QTest::newRow("missing") << QByteArray("<missing>") << "";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("blank") << QByteArray(" \n\t ") << "";
    QTest::newRow("trailing line feed") << QStringLiteral("婚纱-001>24:05:12 10:00:47|\n").toUtf8()
                                        << QStringLiteral("婚纱-001>24:05:12 10:00:47|");
}

void TestRawDownload::readImageTime()
{
    QFETCH(QByteArray, content);
    const QString path = m_volumes->path("ImageTime.txt");
    if (content != "<missing>")
        QVERIFY(TestFiles::write(path, content));
    QTEST(CR2DownLoadWindow::readImageTime(path), "text");
}

void TestRawDownload::progressBar()
{
    CR2DownLoadWindow window;
    auto* bar = window.findChild<QProgressBar*>("progressBar");
    QCOMPARE(bar->maximum(), 0); // busy until the first report
    window.onDownloadProcess(5, 3);
    QCOMPARE(bar->text(), QStringLiteral("60%"));
    const QString dir = qEnvironmentVariable("DRAVIN_RENDER_DIR");
    if (!dir.isEmpty()) {
        window.show();
        QVERIFY(window.grab().save(dir + "/cr2downloadwindow.png"));
    }
    window.onDownloadProcess(3, 7);
    QCOMPARE(bar->value(), 3);
    QCOMPARE(bar->maximum(), 3);
    window.setValue(0, 0);
    QCOMPARE(bar->maximum(), 0);
    QCOMPARE(bar->minimum(), 0);
}

void TestRawDownload::tipBoxThenClose()
{
    ScriptedPrompts prompts;
    raw("IMG_0001.CR2", "2024:05:12 10:00:47");
    CR2DownLoadWindow window;
    window.show();
    window.startDownLoad(m_volumes->path("none.txt"), photos(), target());
    // The window stays until the job has told its end.
    window.close();
    QVERIFY(window.isVisible());
    prompts.setNextAnswer(Prompts::Yes);
    QTRY_COMPARE(prompts.messages().size(), 1);
    QCOMPARE(prompts.messages().first().title, QStringLiteral("提示"));
    QCOMPARE(prompts.messages().first().text, QStringLiteral("下载完毕！\n\n"));
    QVERIFY(prompts.messages().first().hasParent);
    QVERIFY(!window.isVisible());
    QVERIFY(QFile::exists(target() + "IMG_0001.CR2"));

    // While a deletion of this process removes the order's folder, no
    // download starts: the window says so and closes.
    const FoldersInUse::Claim deleting(photos(), QString(), FoldersInUse::Use::Deletion);
    CR2DownLoadWindow refused;
    refused.show();
    prompts.setNextAnswer(Prompts::Yes);
    refused.startDownLoad(m_volumes->path("none.txt"), photos(), target(), "A1");
    QCOMPARE(prompts.messages().last().title + " / " + prompts.messages().last().text,
             QStringLiteral("警告 / 订单正在删除，未导片：A1"));
    QVERIFY(!refused.isVisible());
}

// The download ends while a box of another window is open (a search that
// found nothing): its tip is told in a box of its own over that one, and the
// window, deleted on close as the order table's row command makes it, stays
// until that box is answered too.
void TestRawDownload::endsUnderAnotherWindowsBox()
{
    ScriptedPrompts prompts;
    raw("IMG_0001.CR2", "2024:05:12 10:00:47");
    // The copy waits until the other box is open.
    auto boxOpen = std::make_shared<std::atomic<bool>>(false);
    FileOperation::setFaultHook([boxOpen](FileOperation::Fault fault, const QString&) {
        while (fault == FileOperation::Fault::Write && !boxOpen->load())
            QThread::yieldCurrentThread();
        return false;
    });
    const auto openBox = qScopeGuard([boxOpen] { boxOpen->store(true); });
    auto* window = new CR2DownLoadWindow(nullptr);
    window->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<CR2DownLoadWindow> alive(window);
    window->show();
    window->startDownLoad(m_volumes->path("none.txt"), photos(), target(), "A1");
    bool shownUnderTheBox = true;
    prompts.setNextAnswerWhen(
        [&] {
            boxOpen->store(true);
            shownUnderTheBox = shownUnderTheBox && alive && alive->isVisible();
            return prompts.messages().size() == 2;
        },
        Prompts::Yes);
    prompts.setNextAnswer(Prompts::Yes); // the download's tip
    Prompts::notice(QStringLiteral("提示"), QStringLiteral("没有查询到任何订单"));
    QTRY_VERIFY(alive.isNull());
    QVERIFY(shownUnderTheBox);
    QCOMPARE(prompts.messages().size(), 2);
    QCOMPARE(prompts.messages().at(1).text, QStringLiteral("下载完毕！\n\n"));
    QVERIFY(QFile::exists(target() + "IMG_0001.CR2"));
}

// A tip of more than 20 lines keeps 20 in the box, the kept raw folder's
// line first, and the whole in its details. While the job writes, the
// order's photos folder and the target are in use for this process's
// deletions; once it has told its end, not.
void TestRawDownload::longTipKeepsTwentyLines()
{
    ScriptedPrompts prompts;
    QStringList failures;
    for (int n = 1; n <= 25; ++n) {
        const QString name = QStringLiteral("IMG_%1.CR2").arg(n, 4, 10, QLatin1Char('0'));
        raw(name, QString());
        failures.append(QStringLiteral("拷贝原图照片未成功，照片名：") + raws() + name);
    }
    const QString order = m_volumes->path("photos/2024-05/12/A1-1");
    std::atomic<int> writesInUse{0};
    FileOperation::setFaultHook([&](FileOperation::Fault fault, const QString& path) {
        if (fault != FileOperation::Fault::Write || !path.contains("/local/out/"))
            return false;
        QString key;
        if (FoldersInUse::contains(order, &key) && key == "A1" && FoldersInUse::contains(target()))
            ++writesInUse;
        return true;
    });
    CR2DownLoadWindow window;
    window.show();
    prompts.setNextAnswer(Prompts::Yes);
    window.startDownLoad(m_volumes->path("none.txt"), photos(), target(), "A1");
    QTRY_COMPARE(prompts.messages().size(), 1);
    const ScriptedPrompts::Call box = prompts.messages().first();
    QCOMPARE(box.title, QStringLiteral("提示"));
    const QString kept =
        QStringLiteral("下载完毕！\n\n原图目录已保留：%1（有未下载的照片）\n").arg(raws().chopped(1));
    QCOMPARE(box.text, kept + QStringList(failures.mid(0, 17)).join('\n') + "\n…");
    QCOMPARE(box.detailedText, kept + failures.join('\n') + "\n");
    QCOMPARE(TestFiles::entries(raws()).size(), 25);
    QCOMPARE(writesInUse.load(), 25);
    QVERIFY(!FoldersInUse::contains(order));
    QVERIFY(!FoldersInUse::contains(target()));
}

void TestRawDownload::rawFolder_data()
{
    QTest::addColumn<QStringList>("files"); // below the photos' folder
    QTest::addColumn<QString>("rawFolder"); // "" for none
    QTest::newRow("the folder with a raw file, any case")
        << QStringList{"a/x.jpg", "a/y.jpg", "B/IMG_1.Cr2", "C/IMG_2.NEF"} << "B";
    QTest::newRow("nef") << QStringList{"a/x.jpg", "n/IMG_1.nef"} << "n";
    QTest::newRow("two levels down") << QStringList{"a/b/IMG_1.CR2", "x.jpg"} << "";
    QTest::newRow("files of the source never count") << QStringList{"IMG_1.CR2", "a/x.jpg"} << "";
}

void TestRawDownload::rawFolder()
{
    QFETCH(QStringList, files);
    QFETCH(QString, rawFolder);
    for (const QString& file : files)
        QVERIFY(TestFiles::write(photos() + file, "bytes of " + file.toUtf8()));
    QString found = QStringLiteral("unchanged");
    QCOMPARE(CR2DownloadRunnable::getSubCR2Dir(photos(), found), !rawFolder.isEmpty());
    QCOMPARE(found, rawFolder.isEmpty() ? QStringLiteral("unchanged") : photos() + rawFolder);

    // Without a raw folder the photos' own files are copied, nothing removed.
    const DownloadReports reports = download();
    QVERIFY(reports.result);
    QCOMPARE(reports.tip, QStringLiteral("下载完毕！\n\n"));
    if (rawFolder.isEmpty()) {
        QStringList own;
        for (const QString& file : files) {
            if (!file.contains('/'))
                own.append(file);
        }
        QCOMPARE(TestFiles::entries(target()), own);
        for (const QString& file : files)
            QVERIFY(QFile::exists(photos() + file));
    }
}

void TestRawDownload::oneReportPerFile()
{
    for (const char* name : {"IMG_0001.CR2", "IMG_0002.CR2", "IMG_0003.CR2"})
        raw(name, QString());
    const DownloadReports reports = download();
    QCOMPARE(reports.progress, QStringList({"3/5", "4/5", "5/5"}));
    QCOMPARE(reports.finished, 1);
    QCOMPARE(TestFiles::entries(target()), QStringList({"IMG_0001.CR2", "IMG_0002.CR2", "IMG_0003.CR2"}));
    QVERIFY(!QFileInfo::exists(raws()));
}

void TestRawDownload::matching_data()
{
    QTest::addColumn<QString>("records");
    QTest::addColumn<QStringList>("sourcePhotos"); // "name=EXIF date"
    QTest::addColumn<QString>("rawName");
    QTest::addColumn<QString>("rawDate"); // "none": not a TIFF at all
    QTest::addColumn<QString>("copy");

    const QString t = "2024:05:12 10:00:47";
    QTest::newRow("a record beats a source photo")
        << "0308A001>24:05:12 10:00:47|" << QStringList{"other.jpg=" + t} << "IMG_0001.CR2" << t << "0308A001.CR2";
    QTest::newRow("without records, the photo shot then")
        << "" << QStringList{"0308A001.jpg=" + t} << "IMG_0001.CR2" << t << "0308A001.CR2";
    QTest::newRow("the photo's name less its last suffix")
        << "" << QStringList{"a.b.jpg=" + t} << "IMG_0001.CR2" << t << "a.b.CR2";
    QTest::newRow("nef alike") << "" << QStringList{"0308A001.jpg=" + t} << "IMG_0009.NEF" << t << "0308A001.NEF";
    QTest::newRow("no match") << "x>24:01:01 00:00:00|" << QStringList{"0308A001.jpg=2024:05:12 11:00:00"}
                              << "IMG_0001.CR2" << t << "IMG_0001.CR2";
    QTest::newRow("no EXIF") << "" << QStringList{"0308A001.jpg=" + t} << "IMG_0001.CR2" << "none"
                             << "IMG_0001.CR2";
    QTest::newRow("undated raw beside an undated photo")
        << ">|" << QStringList{"0308A001.jpg="} << "IMG_0001.CR2" << "" << "IMG_0001.CR2";
    QTest::newRow("a record without a name is skipped")
        << ">24:05:12 10:00:47|" << QStringList{"0308A001.jpg=" + t} << "IMG_0001.CR2" << t << "0308A001.CR2";
    QTest::newRow("a record naming a path is skipped")
        << "../../x>24:05:12 10:00:47|" << QStringList() << "IMG_0001.CR2" << t << "IMG_0001.CR2";
    QTest::newRow("raw name without a dot") << "" << QStringList() << "RAWFILE" << t << "RAWFILE";
}

void TestRawDownload::matching()
{
    QFETCH(QString, records);
    QFETCH(QStringList, sourcePhotos);
    QFETCH(QString, rawName);
    QFETCH(QString, rawDate);
    for (const QString& entry : sourcePhotos)
        photo(entry.section('=', 0, 0), entry.section('=', 1));
    if (rawDate == "none")
        QVERIFY(TestFiles::write(raws() + rawName, "no metadata here"));
    else
        raw(rawName, rawDate);
    QVERIFY(TestFiles::write(raws() + "IMG_7777.CR2", "a raw to find the folder by"));

    const DownloadReports reports = download(records);
    QVERIFY(reports.result);
    QFETCH(QString, copy);
    QVERIFY2(QFile::exists(target() + copy), qPrintable(TestFiles::entries(target()).join(' ')));
    QCOMPARE(reports.tip, QStringLiteral("下载完毕！\n\n"));
}

void TestRawDownload::numberedNeverReplaced()
{
    photo("0308A001.jpg", "2024:05:12 10:00:47");
    raw("IMG_0001.CR2", "2024:05:12 10:00:47");
    raw("IMG_0002.CR2", "2024:05:12 10:00:47"); // a burst in the same second
    const QByteArray first = TestFiles::readAll(raws() + "IMG_0001.CR2");
    QVERIFY(TestFiles::write(target() + "0308A001.CR2", "an earlier download"));

    const DownloadReports reports = download();
    QCOMPARE(reports.tip, QStringLiteral("下载完毕！\n\n"));
    QCOMPARE(TestFiles::entries(target()), QStringList({"0308A001(1).CR2", "0308A001(2).CR2", "0308A001.CR2"}));
    QCOMPARE(TestFiles::readAll(target() + "0308A001.CR2"), QByteArray("an earlier download"));
    QCOMPARE(TestFiles::readAll(target() + "0308A001(1).CR2"), first);
    QVERIFY(!QFileInfo::exists(raws()));
    QVERIFY(QFile::exists(photos() + "0308A001.jpg"));
}

void TestRawDownload::failedCopyKeepsRawAndFolder()
{
    raw("IMG_0001.CR2", QString());
    raw("IMG_0002.CR2", QString());
    FileOperation::setFaultHook([this](FileOperation::Fault fault, const QString& path) {
        return fault == FileOperation::Fault::Write && path == target() + "IMG_0002.CR2";
    });
    const DownloadReports reports = download();
    QVERIFY(reports.result);
    QCOMPARE(reports.tip, QStringLiteral("下载完毕！\n\n原图目录已保留：%1（有未下载的照片）\n"
                                         "拷贝原图照片未成功，照片名：%2IMG_0002.CR2\n")
                              .arg(raws().chopped(1), raws()));
    QCOMPARE(TestFiles::entries(raws()), QStringList{"IMG_0002.CR2"});
    QCOMPARE(TestFiles::entries(target()), QStringList{"IMG_0001.CR2"});
}

void TestRawDownload::subFolderAndLinks()
{
    raw("IMG_0001.CR2", QString());
    QVERIFY(TestFiles::write(raws() + "sub/IMG_0002.CR2", "deeper"));
    const QString elsewhere = m_volumes->writeFile("elsewhere/real.CR2", "linked raw");
    QVERIFY(QFile::link(elsewhere, raws() + "link.CR2"));

    const DownloadReports reports = download();
    QCOMPARE(reports.tip,
             QStringLiteral("下载完毕！\n\n原图目录已保留：%1（有未下载的照片）\n链接未下载：%2link.CR2\n")
                 .arg(raws().chopped(1), raws()));
    QCOMPARE(TestFiles::entries(raws()), QStringList{"sub"});
    QCOMPARE(TestFiles::readAll(raws() + "sub/IMG_0002.CR2"), QByteArray("deeper"));
    QCOMPARE(TestFiles::readAll(elsewhere), QByteArray("linked raw"));
    QCOMPARE(TestFiles::entries(target()), QStringList{"IMG_0001.CR2"});
}

void TestRawDownload::removalFailuresAreNamed()
{
    raw("IMG_0001.CR2", QString());
    raw("IMG_0002.CR2", QString());
    int tries = 0;
    FileOperation::setFaultHook([&](FileOperation::Fault fault, const QString& path) {
        if (fault == FileOperation::Fault::Remove && path.endsWith("IMG_0002.CR2"))
            return ++tries > 0;
        return false;
    });
    DownloadReports reports = download();
    QCOMPARE(tries, 2); // one retry
    QCOMPARE(reports.tip, QStringLiteral("下载完毕！\n\n删除原图目录未成功，请手动删除。路径为：%1IMG_0002.CR2\n").arg(raws()));
    QCOMPARE(TestFiles::entries(raws()), QStringList{"IMG_0002.CR2"});

    // The emptied folder that will not go is named too.
    QVERIFY(QFile::remove(raws() + "IMG_0002.CR2"));
    raw("IMG_0003.CR2", QString());
    FileOperation::setFaultHook([this](FileOperation::Fault fault, const QString& path) {
        return fault == FileOperation::Fault::Remove && QDir::cleanPath(path) == QDir::cleanPath(raws());
    });
    reports = download(QString(), QString(), m_volumes->path("local/again"));
    const QString folderKept =
        QStringLiteral("下载完毕！\n\n删除原图目录未成功，请手动删除。路径为：%1\n").arg(raws().chopped(1));
    QCOMPARE(reports.tip, folderKept);
    QVERIFY(QFileInfo(raws()).isDir());

    // A raw file that comes in right before the emptied folder goes stays,
    // and the folder with it.
    raw("IMG_0004.CR2", QString());
    FileOperation::setFaultHook([this](FileOperation::Fault fault, const QString& path) {
        if (fault == FileOperation::Fault::EmptiedFolder && QDir::cleanPath(path) == QDir::cleanPath(raws()))
            TestFiles::write(raws() + "IMG_0005.CR2", "late");
        return false;
    });
    reports = download(QString(), QString(), m_volumes->path("local/third"));
    QCOMPARE(reports.tip, folderKept);
    QCOMPARE(TestFiles::entries(raws()), QStringList{"IMG_0005.CR2"});
}

void TestRawDownload::refusals_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("tip"); // %1 the source, %2 the target
    QTest::newRow("target is the source") << "same" << false << "下载目录不能在毛底目录内：%2";
    QTest::newRow("target inside the raw folder") << "inside" << false << "下载目录不能在毛底目录内：%2";
    QTest::newRow("missing source") << "missing" << false << "毛底目录为空";
    QTest::newRow("target's parent missing") << "parent" << false << "创建本地目录失败，目录为：%2";
    QTest::newRow("guard refuses the raw folder")
        << "shallow" << true << "下载完毕！\n\n原图目录已保留：%1新建文件夹（路径是服务器或共享的根目录）\n";
    // A share that drops right after the raw folder was found.
    QTest::newRow("raw folder unreadable once found")
        << "unreadable" << true << "下载完毕！\n\n原图目录已保留：%1新建文件夹（目录读取失败）\n";
    // A folder it looks in that cannot be read stops it before it copies.
    QTest::newRow("source unreadable at the first look") << "first look" << false << "目录读取失败：%1";
    QTest::newRow("source unreadable while the raw folder is sought")
        << "search" << false << "目录读取失败：%1";
    QTest::newRow("source unreadable for the plain copy") << "plain" << false << "目录读取失败：%1";
    QTest::newRow("raw folder unreadable while sought")
        << "raw sought" << false << "目录读取失败：%1新建文件夹";
    QTest::newRow("unreadable sibling before the raw folder") << "sibling" << true << "下载完毕！\n\n";
    // A folder it cannot look at stops it as one it cannot read.
    QTest::newRow("source cannot be looked at") << "look first" << false << "目录读取失败：%1";
    QTest::newRow("source cannot be looked at while the raw folder is sought")
        << "look search" << false << "目录读取失败：%1";
    QTest::newRow("raw folder cannot be looked at while sought")
        << "look raw" << false << "目录读取失败：%1新建文件夹";
}

void TestRawDownload::refusals()
{
    QFETCH(QString, situation);
    QFETCH(bool, result);
    QFETCH(QString, tip);
    QString src = photos();
    QString dst = target();
    if (situation == "same")
        dst = photos();
    if (situation == "inside")
        dst = raws() + "out/";
    if (situation == "missing")
        src = m_volumes->path("photos/none/");
    if (situation == "parent")
        dst = m_volumes->path("local/x/y/");
    if (situation == "shallow")
        src = m_volumes->mkdir("shallow") + "/";
    QStringList rawFiles{"IMG_0001.CR2"};
    if (situation == "unreadable")
        rawFiles += QStringList{"IMG_0002.CR2", "IMG_0003.CR2"};
    if (situation == "missing" || situation == "plain")
        rawFiles.clear();
    for (const QString& name : rawFiles)
        raw(name, QString(), src + "新建文件夹/");
    if (situation == "plain" || situation == "raw sought" || situation == "look raw")
        photo("x.jpg", QString());
    if (situation == "sibling")
        raw("IMG_0009.CR2", QString(), src + "a/");
    // Which folder's listing (or look-up) fails, and after how many readings
    // (or look-ups) of it: only that one fails.
    const QMap<QString, QPair<QString, int>> faults{{"unreadable", {"新建文件夹", 1}},
                                                    {"first look", {"", 0}},
                                                    {"search", {"", 1}},
                                                    {"plain", {"", 2}},
                                                    {"raw sought", {"新建文件夹", 0}},
                                                    {"sibling", {"a", 0}},
                                                    {"look first", {"", 0}},
                                                    {"look search", {"", 1}},
                                                    {"look raw", {"新建文件夹", 2}}};
    const auto kind =
        situation.startsWith("look ") ? FileOperation::Fault::LookUp : FileOperation::Fault::List;
    int listings = 0;
    if (faults.contains(situation))
        FileOperation::setFaultHook([&](FileOperation::Fault fault, const QString& path) {
            return fault == kind && path == QDir::cleanPath(src + faults.value(situation).first) &&
                   listings++ == faults.value(situation).second;
        });
    const QStringList before = TestFiles::entries(m_volumes->path("local"));

    const DownloadReports reports = download(QString(), src, dst);
    QCOMPARE(reports.result, result);
    QCOMPARE(reports.tip, tip.replace("%1", src).replace("%2", dst));
    // Nothing was deleted, and nothing was made where it was refused; past
    // an unreadable sibling the raw folder goes as it always has.
    QCOMPARE(TestFiles::entries(src + "新建文件夹"), situation == "sibling" ? QStringList() : rawFiles);
    if (situation == "sibling")
        QCOMPARE(TestFiles::entries(dst), rawFiles);
    if (!result)
        QCOMPARE(TestFiles::entries(m_volumes->path("local")), before);
}

QTEST_MAIN(TestRawDownload)
#include "tst_rawdownload.moc"
