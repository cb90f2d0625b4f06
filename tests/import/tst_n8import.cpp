#include "config.h"
#include "fileoperation.h"
#include "foldersinuse.h"
#include "importordermodel.h"
#include "importordersphotodlg.h"
#include "importorderthread.h"
#include "jobrunner.h"
#include "n8importthread.h"
#include "pendingrecords.h"
#include "scriptedprompts.h"
#include "standin.h"
#include "tempvolumes.h"
#include "testfiles.h"
#include "workerdeletedfirst.h"

#include <QtTest>

#include <QJsonArray>
#include <QLabel>
#include <QMutex>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSemaphore>
#include <QSet>
#include <QTableWidget>

#include <atomic>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

// File writes that are held up or refused by name, and the order in which
// held-up writes went on.
struct WriteFaults
{
    QMutex mutex;
    QMap<QString, int> delays; // file name -> ms
    QStringList refused;       // file names whose write fails
    QStringList full;          // file names whose write finds the share full
    QStringList unlisted;      // folders (clean paths) whose listing breaks off
    QStringList unread;        // file names whose read breaks off
    QStringList cutShort;      // file names whose compare's first read is cut short
    QStringList written;       // file names in the order their write went on
    // Clean paths -> the answer to each look-up of that path (which may
    // also remove it, as another station would).
    QHash<QString, std::function<bool()>> lookUps;
    // Called before each look-up, outside the lock: it may wait.
    std::function<void(const QString& path)> beforeLookUp;
    std::atomic<int> inWrite{0};
    std::atomic<int> writesBegun{0};
    // While set, every write waits before it goes on; when heldNames names
    // any, only the writes of those file names wait.
    std::atomic<bool> held{false};
    QStringList heldNames;
    std::atomic<int> writesHeld{0}; // writes that came to the hold while it was set

    void install()
    {
        FileOperation::setFaultHook([this](FileOperation::Fault fault, const QString& path) {
            const QString name = QFileInfo(path).fileName();
            if (fault == FileOperation::Fault::DiskFull) {
                QMutexLocker lock(&mutex);
                return full.contains(name);
            }
            if (fault == FileOperation::Fault::List) {
                QMutexLocker lock(&mutex);
                return unlisted.contains(path);
            }
            if (fault == FileOperation::Fault::LookUp) {
                if (beforeLookUp)
                    beforeLookUp(path);
                QMutexLocker lock(&mutex);
                const auto answer = lookUps.find(path);
                return answer != lookUps.end() && (*answer)();
            }
            if (fault == FileOperation::Fault::Read || fault == FileOperation::Fault::ShortRead) {
                QMutexLocker lock(&mutex);
                return (fault == FileOperation::Fault::Read ? unread : cutShort).contains(name);
            }
            if (fault != FileOperation::Fault::Write)
                return false;
            ++inWrite;
            ++writesBegun;
            bool waits = false;
            {
                QMutexLocker lock(&mutex);
                waits = heldNames.isEmpty() || heldNames.contains(name);
            }
            if (waits && held.load()) {
                ++writesHeld;
                while (held.load())
                    QThread::msleep(5);
            }
            int delay = 0;
            bool refuse = false;
            {
                QMutexLocker lock(&mutex);
                delay = delays.value(name);
                refuse = refused.contains(name);
            }
            QThread::msleep(delay);
            {
                QMutexLocker lock(&mutex);
                written.append(name);
            }
            --inWrite;
            return refuse;
        });
    }
};

// The N8 folder import: the folder walk of the import worker, the per-file
// copy jobs, and type 5 of the batch import dialog against the stand-in web
// service, with real folders under a temporary mount root.
class TestN8Import : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void folderNameAndDestination_data();
    void folderNameAndDestination();
    void windowsFormN8Paths_data();
    void windowsFormN8Paths();
    void refusals_data();
    void refusals();

    void walkListsTheTreeDepthFirst();
    void walkEndsWithoutAList_data();
    void walkEndsWithoutAList();

    void copyJob_data();
    void copyJob();

    void batchIntoDemoOrders_data();
    void batchIntoDemoOrders();
    void progressCountsFinishedJobs();
    void failedOrdersEndAndTheBatchMovesOn_data();
    void failedOrdersEndAndTheBatchMovesOn();
    void closingDuringTheCopyWaitsForTheJobs();
    void closingMidBatchNamesWhatItFound_data();
    void closingMidBatchNamesWhatItFound();
    void batchEndsThoughItsWorkerWentFirst();

private:
    QString card(const QString& relative, const QByteArray& content = "n8 page") const
    {
        return m_volumes->writeFile(QStringLiteral("card/N8/") + relative, content);
    }
    QString n8Folder() const { return m_volumes->path(QStringLiteral("n8/store1201/选版服务器/")); }
    // An existing N8 folder beside the mount root.
    QString outside() const
    {
        return QDir::cleanPath(m_volumes->mkdir(QStringLiteral("../outside/n8"))) + QLatin1Char('/');
    }

    // The batch import dialog with orders made from order-list items.
    importOrdersPhotoDlg* dialog(const QList<QJsonObject>& items);
    QTableWidget* table() const { return m_dlg->findChild<QTableWidget*>("ordersTableWgt"); }
    QString state(int row) const { return table()->item(row, 3)->text(); }
    QString progress(int row) const { return table()->cellWidget(row, 5)->findChild<QLabel*>()->text(); }
    ImportOrderModel* model(int row) const { return m_dlg->findChildren<ImportOrderModel*>().at(row); }
    void chooseFolder(int row, const QString& folder);
    void runBatch();
    QStringList messages() const;
    QList<StandIn::LoggedRequest> n8Reports() const { return m_service->requests("order", "saven8path"); }

    std::unique_ptr<TempVolumes> m_volumes;
    // Outlives the dialog, whose running jobs may still be inside a write.
    std::unique_ptr<WriteFaults> m_faults;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<StandIn> m_service;
    QPointer<importOrdersPhotoDlg> m_dlg;
};

namespace {

// An order-list item of the demo shop; its N8 folder maps under the mount root.
QJsonObject item(const QString& id, const QString& number,
                 const QString& n8 = QStringLiteral("\\\\studio-nas\\n8\\store1201"))
{
    return QJsonObject{{"order_photo_id", id},
                       {"orderpayforkey", number},
                       {"servicetimes", "1"},
                       {"shotdate", "2024-05-12"},
                       {"wname", "刘芳"},
                       {"storesname", "旗舰店一馆"},
                       {"phototype", "写真"},
                       {"orderpath", ""},
                       {"orderbakpicpath", ""},
                       {"picpathnew", QJsonObject{{"picpath", "\\\\studio-nas\\photos\\"},
                                                  {"bakpicpath", "\\\\studio-nas\\backup\\"},
                                                  {"homepicpath", "\\\\studio-nas\\home\\"},
                                                  {"n8path", n8}}}};
}

// Stands in for the dialog: the slots the copy jobs call by name, recorded
// as "slot(arguments)".
class JobReceiver : public QObject
{
    Q_OBJECT
public:
    QStringList calls;

public slots:
    void importCopyN8ProgressSlot(int row, int currentCount, int totalCount, QString toDir)
    {
        calls.append(
            QStringLiteral("progress(%1,%2,%3,%4)").arg(row).arg(currentCount).arg(totalCount).arg(toDir));
    }
    void slt_n8threadmsg(QString str) { calls.append(QStringLiteral("msg(%1)").arg(str)); }
    void n8CopyFailedSlot(int row, QString target, bool)
    {
        calls.append(QStringLiteral("failed(%1,%2)").arg(row).arg(target));
    }
};

} // namespace

void TestN8Import::init()
{
    m_volumes = std::make_unique<TempVolumes>();
    m_faults = std::make_unique<WriteFaults>();
    m_volumes->mkdir(QStringLiteral("n8/store1201/选版服务器"));
    Config::importServN8Path.clear();
    StandIn::useDemoIdentity();
}

void TestN8Import::cleanup()
{
    delete m_dlg.data(); // waits for its jobs
    FileOperation::setFaultHook({});
    m_faults.reset();
    // The next row starts from a clean state, whatever this one found.
    const QStringList unexpected = m_prompts ? m_prompts->unexpected() : QStringList();
    m_service.reset();
    m_prompts.reset();
    m_volumes.reset();
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join("; ")));
}

// ---------------------------------------------------------------- paths

void TestN8Import::folderNameAndDestination_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("n8");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("destination");

    QTest::newRow("plain") << "/V/card/N8/A1"
                           << "/V/n8/选版服务器/"
                           << "A1"
                           << "/V/n8/选版服务器/A1";
    QTest::newRow("final separator") << "/V/card/N8/A1/"
                                     << "/V/n8/选版服务器/"
                                     << "A1"
                                     << "/V/n8/选版服务器/A1";
    QTest::newRow("doubled separators") << "/V/card//N8/A1//"
                                        << "/V/n8/选版服务器"
                                        << "A1"
                                        << "/V/n8/选版服务器/A1";
    QTest::newRow("blank and Chinese") << "/V/card/N8/A1 相册"
                                       << "/V/n8/"
                                       << "A1 相册"
                                       << "/V/n8/A1 相册";
    QTest::newRow("root folder") << "/"
                                 << "/V/n8/"
                                 << ""
                                 << "";
    QTest::newRow("nothing chosen") << ""
                                    << "/V/n8/"
                                    << ""
                                    << "";
    QTest::newRow("no N8 folder") << "/V/card/N8/A1"
                                  << ""
                                  << "A1"
                                  << "";
}

void TestN8Import::folderNameAndDestination()
{
    QFETCH(QString, chosen);
    QFETCH(QString, n8);
    QFETCH(QString, name);
    QFETCH(QString, destination);
    QCOMPARE(N8Import::folderName(chosen), name);
    QCOMPARE(N8Import::destinationRoot(n8, chosen), destination);
}

void TestN8Import::windowsFormN8Paths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected"); // below the mount root; "=" unchanged

    QTest::newRow("host share") << "\\\\studio-nas\\n8\\store1201\\选版服务器"
                                << "n8/store1201/选版服务器/";
    QTest::newRow("drive letter") << "D:\\n8\\store3001"
                                  << "n8/store3001/";
    QTest::newRow("forward host share") << "//studio-nas/n8/store1201/选版服务器"
                                        << "n8/store1201/选版服务器/";
    QTest::newRow("local path") << "/srv/n8/store1201/"
                                << "=";
    QTest::newRow("empty") << ""
                           << "=";
}

void TestN8Import::windowsFormN8Paths()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    m_volumes->mkdir(QStringLiteral("n8/store3001"));
    QCOMPARE(N8Import::localPath(path), expected == "=" ? path : m_volumes->path(expected));
}

void TestN8Import::refusals_data()
{
    QTest::addColumn<QString>("chosen"); // below the mount root; "/" the root folder
    QTest::addColumn<QString>("n8");     // below the mount root; "<root>" the mount root, "\\..." as given
    QTest::addColumn<int>("refusal");

    using R = N8Import::Refusal;
    const QString n8 = QStringLiteral("n8/store1201/选版服务器/");
    QTest::newRow("importable") << "card/N8/A1" << n8 << int(R::None);
    QTest::newRow("importable, Windows-form N8 folder")
        << "card/N8/A1"
        << "\\\\studio-nas\\n8\\store1201\\选版服务器" << int(R::None);
    QTest::newRow("no N8 folder") << "card/N8/A1"
                                  << "" << int(R::NoN8Folder);
    QTest::newRow("N8 folder is the mount root") << "card/N8/A1"
                                                 << "<root>" << int(R::NoN8Folder);
    QTest::newRow("order without n8path maps to the mount root") << "card/N8/A1"
                                                                 << "\\选版服务器" << int(R::NoN8Folder);
    QTest::newRow("root folder chosen") << "/" << n8 << int(R::UnusableSource);
    QTest::newRow("chosen folder missing") << "card/N8/gone" << n8 << int(R::UnusableSource);
    QTest::newRow("chosen path is a file") << "card/N8/A1/a.jpg" << n8 << int(R::UnusableSource);
    QTest::newRow("destination inside the chosen folder") << "n8" << n8 << int(R::DestinationInSource);
    QTest::newRow("destination is the chosen folder")
        << "n8/store1201/选版服务器/A1" << n8 << int(R::DestinationInSource);
}

void TestN8Import::refusals()
{
    QFETCH(QString, chosen);
    QFETCH(QString, n8);
    QFETCH(int, refusal);
    card(QStringLiteral("A1/a.jpg"));
    m_volumes->mkdir(QStringLiteral("n8/store1201/选版服务器/A1"));
    const QString chosenPath = chosen == "/" ? chosen : m_volumes->path(chosen);
    const QString n8Path = n8 == "<root>"                        ? m_volumes->root()
                           : n8.startsWith('\\') || n8.isEmpty() ? n8
                                                                 : m_volumes->path(n8);
    QCOMPARE(int(N8Import::check(chosenPath, n8Path)), refusal);
}

// ---------------------------------------------------------------- the walk

void TestN8Import::walkListsTheTreeDepthFirst()
{
    const QString chosen = m_volumes->path(QStringLiteral("card/N8/A1"));
    const QString parent = m_volumes->path(QStringLiteral("card/N8"));
    // A folder path inside the chosen folder that repeats the parent's path:
    // only the leading parent is replaced. (Not where the temporary folder
    // itself lies in a hidden folder, which the walk leaves out.)
    const QString repeat =
        parent.contains("/.") ? QStringLiteral("Z/zz/card/N8") : QStringLiteral("Z/zz") + parent;
    for (const QString& file :
         {QStringLiteral("b.jpg"), QStringLiteral("a/x.jpg"), QStringLiteral("a/.hidden.jpg"),
          QStringLiteral(".hiddenDir/y.jpg"), QStringLiteral("Z/c.jpg"), QStringLiteral("Z/deeper/d.jpg"),
          repeat + QStringLiteral("/r.jpg")})
        card(QStringLiteral("A1/") + file);
    m_volumes->mkdir(QStringLiteral("card/N8/A1/empty"));
    QVERIFY(QFile::link(chosen, chosen + QStringLiteral("/Z/loop"))); // a link back up: walked once
    // The destination root exists already with one of its folders.
    const QString toDir = n8Folder() + QStringLiteral("A1");
    QDir().mkpath(toDir + QStringLiteral("/a"));

    // The N8 folder in the web service's form is mapped before use.
    Config::importServN8Path = QStringLiteral("\\\\studio-nas\\n8\\store1201\\选版服务器");
    ImportOrderModel model;
    model.setN8Path(chosen + QLatin1Char('/'));
    ImportOrderThread worker(&model, ImportN8);
    QSignalSpy list(&worker, &ImportOrderThread::startImportDirN8ThreadSigl);
    QSignalSpy failed(&worker, &ImportOrderThread::importDirN8ThreadError);
    worker.start();
    QVERIFY(worker.wait(10000));

    QCOMPARE(failed.count(), 0);
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.first().at(1).toString(), toDir);
    const auto files = list.first().at(0).value<QList<N8FileInfo>>();
    QStringList pairs;
    for (const N8FileInfo& f : files)
        pairs.append(f.getFromPath().mid(chosen.size()) + " -> " + f.getToPath().mid(toDir.size()));
    QCOMPARE(pairs, QStringList({"/a/x.jpg -> /a/x.jpg", "/b.jpg -> /b.jpg", "/Z/c.jpg -> /Z/c.jpg",
                                 "/Z/deeper/d.jpg -> /Z/deeper/d.jpg",
                                 "/" + repeat + "/r.jpg -> /" + repeat + "/r.jpg"}));
    QCOMPARE(files.first(), N8FileInfo(chosen + "/a/x.jpg", toDir + "/a/x.jpg"));

    // The walk makes the folders; the files are left to the copy jobs.
    for (const QString& folder : {QStringLiteral("empty"), QStringLiteral("Z/deeper"), repeat})
        QVERIFY2(QFileInfo(toDir + '/' + folder).isDir(), qPrintable(folder));
    QVERIFY(!QFileInfo::exists(toDir + "/.hiddenDir"));
    QVERIFY(!QFileInfo::exists(toDir + "/Z/loop"));
    QVERIFY(!QFileInfo::exists(toDir + "/b.jpg"));
}

void TestN8Import::walkEndsWithoutAList_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("emptyList"); // false: importDirN8ThreadError
    QTest::newRow("folder without files") << "empty" << true;
    QTest::newRow("N8 folder is the mount root") << "mount root" << false;
    QTest::newRow("N8 folder outside the mount root") << "outside" << false;
    QTest::newRow("root folder chosen") << "root" << false;
    QTest::newRow("destination cannot be made") << "blocked" << false;
    QTest::newRow("a sub-folder cannot be read") << "unreadable" << false;
}

void TestN8Import::walkEndsWithoutAList()
{
    QFETCH(QString, setup);
    QFETCH(bool, emptyList);
    QString chosen = m_volumes->mkdir(QStringLiteral("card/N8/A1"));
    card(QStringLiteral("A1/.DS_Store"));
    if (setup != "empty")
        card(QStringLiteral("A1/sub/a.jpg"));
    Config::importServN8Path = setup == "mount root" ? m_volumes->root()
                               : setup == "outside"  ? outside()
                                                     : n8Folder();
    if (setup == "root")
        chosen = QStringLiteral("/");
    if (setup == "blocked")
        m_volumes->writeFile(QStringLiteral("n8/store1201/选版服务器/A1"), "a file where the folder goes");
    if (setup == "unreadable")
        m_faults->unlisted << QDir::cleanPath(chosen + "/sub");
    m_faults->install();
    const QStringList rootBefore = TestFiles::entries(m_volumes->root());

    ImportOrderModel model;
    model.setN8Path(chosen);
    ImportOrderThread worker(&model, ImportN8);
    QSignalSpy list(&worker, &ImportOrderThread::startImportDirN8ThreadSigl);
    QSignalSpy failed(&worker, &ImportOrderThread::importDirN8ThreadError);
    worker.start();
    QVERIFY(worker.wait(10000));
    QCOMPARE(list.count(), emptyList ? 1 : 0);
    QCOMPARE(failed.count(), emptyList ? 0 : 1);
    if (emptyList)
        QVERIFY(list.first().at(0).value<QList<N8FileInfo>>().isEmpty());
    QCOMPARE(TestFiles::entries(m_volumes->root()), rootBefore); // nothing made at the mount root
    QCOMPARE(TestFiles::entries(outside()), QStringList());
}

// ---------------------------------------------------------------- copy jobs

void TestN8Import::copyJob_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("copied");    // the target holds the source's bytes
    QTest::addColumn<QString>("status"); // start of the status text; empty: none sent
    QTest::addColumn<bool>("failure");   // a failure report before the progress

    QTest::newRow("new file, folder made") << "new" << true << "复制文件需要创建目录 原目录：" << false;
    QTest::newRow("folder exists") << "folder" << true << "不用创建目录" << false;
    QTest::newRow("existing other page is kept, not copied") << "existing" << false << "不用创建目录" << true;
    QTest::newRow("existing same page counts as done") << "same" << true << "不用创建目录" << false;
    QTest::newRow("source missing") << "missing" << false << "" << true;
    QTest::newRow("write fails") << "refused" << false << "不用创建目录" << true;
    QTest::newRow("dialog closed") << "closed" << false << "" << false;
}

void TestN8Import::copyJob()
{
    QFETCH(QString, setup);
    QFETCH(bool, copied);
    QFETCH(QString, status);
    QFETCH(bool, failure);
    const QString source = card(QStringLiteral("A1/sub/p.jpg"), "new bytes");
    const QString toDir = n8Folder() + QStringLiteral("A1");
    const QString target = toDir + QStringLiteral("/sub/p.jpg");
    if (setup != "new")
        QDir().mkpath(toDir + "/sub");
    if (setup == "existing" || setup == "same")
        QVERIFY(TestFiles::write(target, setup == "same" ? "new bytes" : "kept bytes"));
    if (setup == "missing")
        QFile::remove(source);
    WriteFaults& faults = *m_faults;
    if (setup == "refused") {
        faults.refused << QStringLiteral("p.jpg");
        faults.install();
    }

    JobReceiver receiver;
    JobRunner runner(&receiver);
    if (setup == "closed")
        runner.close();
    runner.start(new N8ImportThread(3, 2, 5, toDir, N8FileInfo(source, target), runner.owner()));
    QVERIFY(runner.waitForDone(10000));
    QCoreApplication::processEvents();

    QStringList expected;
    if (!status.isEmpty())
        expected << "msg";
    if (failure)
        expected << QStringLiteral("failed(3,%1)").arg(target);
    if (setup != "closed")
        expected << QStringLiteral("progress(3,2,5,%1)").arg(toDir);
    QStringList calls = receiver.calls;
    for (QString& call : calls) {
        if (call.startsWith("msg(")) {
            QVERIFY2(call.mid(4).startsWith(status), qPrintable(call));
            call = "msg";
        }
    }
    QCOMPARE(calls, expected);
    if (copied)
        QCOMPARE(TestFiles::readAll(target), QByteArray("new bytes"));
    else if (setup == "existing")
        QCOMPARE(TestFiles::readAll(target), QByteArray("kept bytes"));
    else
        QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(TestFiles::entries(toDir + "/sub", QDir::Files | QDir::Hidden).size(),
             setup == "new" || setup == "folder" || setup == "existing" || setup == "same" ? 1 : 0);
}

// ---------------------------------------------------------------- the dialog

importOrdersPhotoDlg* TestN8Import::dialog(const QList<QJsonObject>& items)
{
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_service = std::make_unique<StandIn>();
    m_dlg = new importOrdersPhotoDlg;
    QList<ImportOrderModel*> models;
    for (const QJsonObject& i : items)
        models.append(new ImportOrderModel(i, nullptr));
    m_dlg->getNewOrderSlot(models);
    m_dlg->show();
    m_dlg->findChild<QRadioButton*>("importTypeRadio5")->click();
    return m_dlg;
}

void TestN8Import::chooseFolder(int row, const QString& folder)
{
    m_prompts->setNextPath(folder);
    table()->cellWidget(row, 4)->findChild<QPushButton*>()->click();
    QCOMPARE(model(row)->getN8Path(), folder);
}

void TestN8Import::runBatch()
{
    auto* start = m_dlg->findChild<QPushButton*>("importAllOrdersBtn");
    start->click();
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled() && start->text() == QStringLiteral("批量导片"), 20000);
}

QStringList TestN8Import::messages() const
{
    QStringList texts;
    for (const ScriptedPrompts::Call& c : m_prompts->messages())
        texts.append(c.title + " / " + c.text);
    return texts;
}

void TestN8Import::batchIntoDemoOrders_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("both orders whole") << "";
    QTest::newRow("a folder of the first order cannot be read") << "list";
    QTest::newRow("a page of the first order cannot be looked at") << "look";
    QTest::newRow("the first order's destination gone before its look") << "gone";
}

void TestN8Import::batchIntoDemoOrders()
{
    QFETCH(QString, fault);
    const QString named = fault == "list" ? "/封面" : fault == "look" ? "/封面/cover.jpg" : "";
    // Order A24051201: pages, a nested folder, hidden files and a page the
    // N8 folder holds already (the same page, from an attempt whose record
    // failed). Order A24051202: a folder named with a blank and Chinese
    // characters.
    const QString first = m_volumes->path(QStringLiteral("card/N8/A24051201"));
    card(QStringLiteral("A24051201/page01.jpg"), "page one");
    card(QStringLiteral("A24051201/page02.jpg"), "page two");
    card(QStringLiteral("A24051201/封面/cover.jpg"), "cover");
    card(QStringLiteral("A24051201/.DS_Store"));
    card(QStringLiteral("A24051201/.cache/x.jpg"));
    const QString firstTo = n8Folder() + QStringLiteral("A24051201");
    QVERIFY(TestFiles::write(firstTo + "/page01.jpg", "page one"));
    const QString second = m_volumes->path(QStringLiteral("card/N8/A24051202 相册"));
    card(QStringLiteral("A24051202 相册/p.jpg"), "p");
    const QString secondTo = n8Folder() + QStringLiteral("A24051202 相册");
    if (fault == "list")
        m_faults->unlisted << QDir::cleanPath(first + "/封面");
    if (fault == "look") // once the walk has read its folder
        m_faults->lookUps.insert(QDir::cleanPath(first + named),
                                 [looks = 0]() mutable { return ++looks > 1; });
    if (fault == "gone") // the earlier attempt's page goes too, and is copied again
        m_faults->lookUps.insert(QDir::cleanPath(firstTo),
                                 [firstTo] { return !QDir(firstTo).removeRecursively(); });
    m_faults->install();

    dialog({item("100101", "A24051201"), item("100102", "A24051202")});
    for (const char* slot : {"startImportCopyN8ProgressSlot(QList<N8FileInfo>,QString)",
                             "importCopyN8ProgressSlot(int,int,int,QString)", "slt_n8threadmsg(QString)",
                             "finishedImportOrderN8Slot(int,QString)", "n8CopyFailedSlot(int,QString,bool)",
                             "n8CopyNotStartedSlot(int)"})
        QVERIFY2(m_dlg->metaObject()->indexOfMethod(slot) >= 0, slot);
    chooseFolder(0, first);
    chooseFolder(1, second + QLatin1Char('/'));
    m_prompts->setNextAnswer(Prompts::Ok);
    runBatch();

    if (!named.isEmpty()) {
        // Nothing of the first order is copied or recorded; the second goes through.
        QCOMPARE(messages(), QStringList{"警告 / 订单A24051201-1的N8文件夹读取失败：" + first + named});
        QCOMPARE(TestFiles::entries(firstTo, QDir::Files), QStringList{"page01.jpg"});
        QCOMPARE(TestFiles::entries(firstTo + "/封面", QDir::Files), QStringList());
        QCOMPARE(QStringList({state(0), state(1)}), QStringList({"导入失败", "已导入"}));
        QTRY_COMPARE(n8Reports().size(), 1);
        QCOMPARE(n8Reports().first().values.value("orderphotoid"), QStringLiteral("100102"));
        return;
    }
    QCOMPARE(messages(), QStringList{"导入完成 / 2个订单已经全部导完"});
    QCOMPARE(TestFiles::readAll(firstTo + "/page01.jpg"), QByteArray("page one"));
    QCOMPARE(TestFiles::readAll(firstTo + "/page02.jpg"), QByteArray("page two"));
    QCOMPARE(TestFiles::readAll(firstTo + "/封面/cover.jpg"), QByteArray("cover"));
    QCOMPARE(TestFiles::entries(firstTo), QStringList({"page01.jpg", "page02.jpg", "封面"}));
    QCOMPARE(TestFiles::readAll(secondTo + "/p.jpg"), QByteArray("p"));
    QCOMPARE(state(0), QStringLiteral("已导入"));
    QCOMPARE(progress(0), QStringLiteral("3/3"));
    QCOMPARE(state(1), QStringLiteral("已导入"));
    QCOMPARE(progress(1), QStringLiteral("1/1"));
    QVERIFY(model(0)->getisN8Imported() && model(1)->getisN8Imported());
    QCOMPARE(model(0)->getFinalN8Path(), firstTo);
    QCOMPARE(model(1)->getFinalN8Path(), secondTo);

    // The web service hears each order's local destination; the two records
    // travel apart, in either order.
    QTRY_COMPARE(n8Reports().size(), 2);
    const auto reportOf = [this](const QString& orderId) {
        for (const StandIn::LoggedRequest& r : n8Reports()) {
            if (r.values.value("orderphotoid") == orderId)
                return r;
        }
        return StandIn::LoggedRequest();
    };
    const StandIn::LoggedRequest report = reportOf("100102");
    QCOMPARE(report.keys, QStringList({"token", "orderphotoid", "n8path", "superid", "eid", "shopid"}));
    QVERIFY2(report.rawBody.startsWith("&token=" + Config::n8PathToken.toUtf8() +
                                       "&orderphotoid=100102&n8path=" + QUrl::toPercentEncoding(secondTo) +
                                       "&superid=8&eid=1024&shopid=12"),
             report.rawBody.constData());
    QVERIFY(report.rawBody.contains("%20%E7%9B%B8%E5%86%8C")); // " 相册"
    QCOMPARE(report.values.value("n8path"), secondTo);
    QCOMPARE(reportOf("100101").values.value("n8path"), firstTo);
    QTRY_VERIFY([&] {
        for (const QJsonValue& v : m_service->storeSnapshot().value("orders").toArray()) {
            if (v.toObject().value("order_photo_id").toString() == "100101")
                return v.toObject().value("n8path").toString() == firstTo;
        }
        return false;
    }());

    // The state holds across a switch of types, and a second batch has
    // nothing left to do.
    m_dlg->findChild<QRadioButton*>("importTypeRadio1")->click();
    m_dlg->findChild<QRadioButton*>("importTypeRadio5")->click();
    QCOMPARE(state(0), QStringLiteral("已导入"));
    m_prompts->setNextAnswer(Prompts::Ok);
    m_dlg->findChild<QPushButton*>("importAllOrdersBtn")->click();
    QCOMPARE(messages().last(), QStringLiteral("警告 / 没有需要导入的订单"));
}

void TestN8Import::progressCountsFinishedJobs()
{
    const QString chosen = m_volumes->path(QStringLiteral("card/N8/A24051201"));
    for (int i = 1; i <= 3; ++i)
        card(QStringLiteral("A24051201/%1.jpg").arg(i), QByteArray::number(i));
    WriteFaults& faults = *m_faults;
    faults.delays = {{"1.jpg", 250}, {"2.jpg", 500}, {"3.jpg", 0}};
    faults.install();

    dialog({item("100101", "A24051201")});
    chooseFolder(0, chosen);
    auto* bar = table()->cellWidget(0, 5)->findChild<QProgressBar*>();
    QSignalSpy values(bar, &QProgressBar::valueChanged);
    m_prompts->setNextAnswer(Prompts::Ok);
    auto* start = m_dlg->findChild<QPushButton*>("importAllOrdersBtn");
    start->click();
    // While files are still being copied, no deletion of this process may
    // take the destination; once the order is done it is free again.
    const QString destination = n8Folder() + QStringLiteral("A24051201");
    QTRY_VERIFY([&] {
        QMutexLocker lock(&faults.mutex);
        return faults.written.size() == 1;
    }());
    QString importing;
    QVERIFY(FoldersInUse::contains(destination, &importing));
    QCOMPARE(importing, QStringLiteral("A24051201"));
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled() && start->text() == QStringLiteral("批量导片"), 20000);
    QTRY_VERIFY(!FoldersInUse::contains(destination));

    QCOMPARE(faults.written, QStringList({"3.jpg", "1.jpg", "2.jpg"}));
    QList<int> counted;
    for (const QList<QVariant>& v : values) {
        if (v.first().toInt() > 0)
            counted.append(v.first().toInt());
    }
    QCOMPARE(counted, QList<int>({1, 2, 3}));
    QCOMPARE(bar->maximum(), 3);
    QCOMPARE(progress(0), QStringLiteral("3/3"));
    QCOMPARE(messages(), QStringList{"导入完成 / 1个订单已经全部导完"});
    QTest::qWait(100);
    QCOMPARE(n8Reports().size(), 1); // completed once
}

void TestN8Import::failedOrdersEndAndTheBatchMovesOn_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("box"); // of "警告"; "%1" the first order's path in the text
    QTest::addColumn<QString>("firstState");
    QTest::addColumn<bool>("firstReported");

    QTest::newRow("every copy fails") << "all fail"
                                      << "以下订单有照片导入失败：\nA24051201：2张"
                                      << "导入失败" << false;
    QTest::newRow("one copy fails") << "one fails"
                                    << "以下订单有照片导入失败：\nA24051201：1张"
                                    << "已导入(1个失败)" << true;
    QTest::newRow("a page changed since the order's own import") << "page changed"
                                                                 << "以下订单有照片导入失败：\nA24051201：1张"
                                                                 << "已导入(1个失败)" << true;
    QTest::newRow("one page on a full share")
        << "one full"
        << "服务器空间不足，请清理空间后再导入\n以下订单有照片导入失败：\nA24051201：1张"
        << "已导入(1个失败)" << true;
    QTest::newRow("every write on a full share")
        << "all full"
        << "服务器空间不足，请清理空间后再导入\n以下订单有照片导入失败：\nA24051201：2张"
        << "导入失败" << false;
    QTest::newRow("N8 record refused") << "record refused"
                                       << "以下订单上报失败：\nA24051201：订单不存在\nA24051202：订单不存在"
                                       << "已导入" << true;
    QTest::newRow("N8 record answers 500") << "record 500"
                                           << "以下订单上报失败：\nA24051201：500\nA24051202：500"
                                           << "已导入" << true;
    QTest::newRow("empty folder") << "empty"
                                  << "订单A24051201-1选择的N8文件夹中没有文件：%1"
                                  << "导入失败" << false;
    QTest::newRow("destination cannot be made") << "destination blocked"
                                                << "订单A24051201-1的N8目录无法创建：%1"
                                                << "导入失败" << false;
    QTest::newRow("order N8 folder cannot be made") << "n8 blocked"
                                                    << "订单A24051201-1的N8目录无法创建：%1"
                                                    << "导入失败" << false;
    QTest::newRow("N8 folder climbs out of the mount root") << "outside"
                                                            << "订单A24051201-1的N8目录无法创建：%1"
                                                            << "导入失败" << false;
    QTest::newRow("destination holds another order's page")
        << "taken"
        << "订单A24051201-1的N8目录已被其他订单使用：%1，请将所选文件夹改名后再导入"
        << "导入失败" << false;
    QTest::newRow("destination cannot be read") << "unreadable"
                                                << "订单A24051201-1的N8文件夹读取失败：%1"
                                                << "导入失败" << false;
    QTest::newRow("destination cannot be looked at") << "unlookable"
                                                     << "订单A24051201-1的N8文件夹读取失败：%1"
                                                     << "导入失败" << false;
    QTest::newRow("a page in the destination cannot be looked at") << "unlookable page there"
                                                                   << "订单A24051201-1的N8文件夹读取失败：%1"
                                                                   << "导入失败" << false;
    QTest::newRow("a page in the destination cannot be read") << "unreadable page there"
                                                              << "订单A24051201-1的N8文件夹读取失败：%1"
                                                              << "导入失败" << false;
    QTest::newRow("a page in the destination cut short while compared")
        << "page cut short there"
        << "订单A24051201-1的N8文件夹读取失败：%1"
        << "导入失败" << false;
    QTest::newRow("order N8 folder cannot be looked at") << "n8 unseen"
                                                         << "订单A24051201-1的N8文件夹读取失败：%1"
                                                         << "导入失败" << false;
    QTest::newRow("chosen folder gone before the worker's check") << "gone at the check"
                                                                  << "订单A24051201-1选择的N8文件夹不可用：%1"
                                                                  << "导入失败" << false;
    QTest::newRow("a name that does not read back")
        << "bad name"
        << "订单A24051201-1的N8文件夹读取失败：%1（含无法识别的文件名）"
        << "导入失败" << false;
    QTest::newRow("same-named folders in one batch")
        << "same name"
        << "订单A24051202-1的N8目录已被其他订单使用：%1，请将所选文件夹改名后再导入"
        << "已导入" << true;
    QTest::newRow("destination being deleted") << "deleting"
                                               << "订单正在删除，未导片：A24051201"
                                               << "导入失败" << false;
    // Named by its service time where another of its booking is listed.
    QTest::newRow("destination being deleted, a second service time of the booking listed")
        << "deleting, two service times"
        << "订单正在删除，未导片：A24051201-1"
        << "导入失败" << false;
    QTest::newRow("order without N8 folder") << "no n8path"
                                             << "订单A24051201-1没有设置N8路径"
                                             << "导入失败" << false;
    QTest::newRow("chosen folder gone") << "gone"
                                        << "订单A24051201-1选择的N8文件夹不可用：%1"
                                        << "导入失败" << false;
    QTest::newRow("chosen folder gone before the walk") << "gone at the walk"
                                                        << "订单A24051201-1的N8文件夹读取失败：%1"
                                                        << "导入失败" << false;
}

void TestN8Import::failedOrdersEndAndTheBatchMovesOn()
{
    QFETCH(QString, setup);
    QFETCH(QString, box);
    QFETCH(QString, firstState);
    QFETCH(bool, firstReported);
    const QString first = m_volumes->mkdir(QStringLiteral("card/N8/A24051201"));
    if (setup != "empty") {
        card(QStringLiteral("A24051201/a.jpg"));
        card(QStringLiteral("A24051201/b.jpg"));
    }
    card(QStringLiteral("A24051201/.DS_Store"));
    QString second = m_volumes->path(QStringLiteral("card/N8/A24051202"));
    card(QStringLiteral("A24051202/c.jpg"));

    QString boxPath = first;
    QString n8 = QStringLiteral("\\\\studio-nas\\n8\\store1201");
    const QString firstTo = n8Folder() + QStringLiteral("A24051201");
    WriteFaults& faults = *m_faults;
    if (setup == "all fail" || setup == "one fails" || setup == "all full" || setup == "one full") {
        QStringList& names = setup.endsWith("full") ? faults.full : faults.refused;
        names << QStringLiteral("a.jpg");
        if (setup.startsWith("all"))
            names << QStringLiteral("b.jpg");
        faults.install();
    } else if (setup == "destination blocked") {
        boxPath = firstTo;
        m_volumes->writeFile(QStringLiteral("n8/store1201/选版服务器/A24051201"),
                             "a file where the folder goes");
    } else if (setup == "n8 blocked") {
        // No such N8 folder: it maps below the share's host, where a file stands.
        n8 = QStringLiteral("\\\\studio-nas\\n8\\store1299");
        m_volumes->writeFile(QStringLiteral("studio-nas"), "a file where the folder goes");
        boxPath = m_volumes->path(QStringLiteral("studio-nas/store1299/选版服务器/"));
    } else if (setup == "outside") {
        n8 = QStringLiteral("\\\\studio-nas\\n8\\..\\..\\outside");
        boxPath = m_volumes->path(QStringLiteral("studio-nas/../../outside/选版服务器/"));
    } else if (setup == "no n8path") {
        n8.clear();
    } else if (setup == "unreadable") {
        // What it holds looks like this order's page, but the rest is unknown.
        boxPath = firstTo;
        QVERIFY(TestFiles::write(firstTo + "/a.jpg", "n8 page"));
        faults.unlisted << QDir::cleanPath(firstTo);
        faults.install();
    } else if (setup == "unlookable" || setup == "gone at the walk") {
        // The destination's look-up fails; or it finds nothing there while
        // the chosen folder is removed before the walk reaches it.
        boxPath = setup == "unlookable" ? firstTo : first;
        faults.lookUps.insert(QDir::cleanPath(firstTo), [setup, first] {
            return setup == "unlookable" || !QDir(first).removeRecursively();
        });
        faults.install();
    } else if (setup == "unlookable page there") {
        boxPath = firstTo;
        QVERIFY(TestFiles::write(firstTo + "/a.jpg", "n8 page"));
        faults.lookUps.insert(QDir::cleanPath(firstTo + "/a.jpg"),
                              [looks = 0]() mutable { return ++looks > 1; });
        faults.install();
    } else if (setup == "unreadable page there" || setup == "page cut short there") {
        // The order's own page, as far as anyone can tell.
        boxPath = firstTo;
        QVERIFY(TestFiles::write(firstTo + "/a.jpg", "n8 page"));
        (setup == "page cut short there" ? faults.cutShort : faults.unread) << QStringLiteral("a.jpg");
        faults.install();
    } else if (setup == "n8 unseen" || setup == "gone at the check") {
        // Once the batch runs, the order's N8 folder: its first look-up
        // fails; or the chosen folder is removed after the window's check.
        boxPath = setup == "n8 unseen" ? n8Folder() : first;
        faults.lookUps.insert(QDir::cleanPath(n8Folder()), [setup, first, looks = 0]() mutable {
            return ++looks == 1 && (setup == "n8 unseen" || !QDir(first).removeRecursively());
        });
    } else if (setup == "bad name") {
        const QByteArray name = QFile::encodeName(first) + "/\xb3\xc9\xc6\xb7.jpg";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(fd >= 0 && ::close(fd) == 0);
    } else if (setup == "taken" || setup == "page changed") {
        boxPath = firstTo;
        QVERIFY(TestFiles::write(firstTo + "/a.jpg", setup == "taken" ? "another order's page" : "n8 page"));
        if (setup == "page changed") // the order's own import, then a page corrected on the card
            QVERIFY(TestFiles::write(first + "/a.jpg", "corrected page"));
    } else if (setup == "same name") {
        // The second order chose a copy of the first's folder, and one page more.
        boxPath = firstTo;
        for (const char* page : {"a.jpg", "b.jpg", "c.jpg"})
            card(QStringLiteral("copy/A24051201/") + page);
        second = m_volumes->path(QStringLiteral("card/N8/copy/A24051201"));
    }
    // A deletion of this process is removing the first order's destination.
    const FoldersInUse::Claim deleting(setup.startsWith("deleting") ? firstTo : QString(), QString(),
                                       FoldersInUse::Use::Deletion);
    const QStringList rootBefore = TestFiles::entries(m_volumes->root());

    QJsonObject secondOrder = item("100102", "A24051202");
    if (setup.endsWith("two service times")) {
        secondOrder.insert("orderpayforkey", "A24051201");
        secondOrder.insert("servicetimes", "2");
    }
    dialog({item("100101", "A24051201", n8), secondOrder});
    if (setup == "record refused")
        m_service->refuse("order", "saven8path", "0", QStringLiteral("订单不存在"));
    if (setup == "record 500")
        m_service->failHttp("order", "saven8path", 500);
    if (setup == "page changed") // the folder the web service holds for this order
        model(0)->setFinalN8Path(QStringLiteral("\\\\studio-nas\\n8\\store1201\\选版服务器\\A24051201"));
    chooseFolder(0, first);
    chooseFolder(1, second);
    if (setup == "gone")
        QVERIFY(QDir(first).removeRecursively());
    if (setup == "n8 unseen" || setup == "gone at the check")
        faults.install();
    m_prompts->setNextAnswer(Prompts::Ok);
    runBatch();

    QCOMPARE(messages(), QStringList{"警告 / " + (box.contains("%1") ? box.arg(boxPath) : box)});
    QCOMPARE(state(0), firstState);
    QCOMPARE(model(0)->getisN8Imported(), firstReported);
    QCOMPARE(model(0)->getFinalN8Path().isEmpty(), !firstReported);

    // The following order is imported all the same, unless the share is
    // full or it is the one refused.
    const bool full = setup.endsWith("full");
    const bool secondDone = !full && setup != "same name";
    QCOMPARE(state(1), secondDone ? QStringLiteral("已导入")
                       : full     ? QStringLiteral("未导入")
                                  : QStringLiteral("导入失败"));
    if (secondDone)
        QCOMPARE(TestFiles::readAll(n8Folder() + "A24051202/c.jpg"), QByteArray("n8 page"));
    QStringList expectedReports = secondDone ? QStringList{"100102"} : QStringList();
    if (firstReported)
        expectedReports.prepend("100101");
    QTRY_COMPARE(n8Reports().size(), expectedReports.size());
    // Each report is a request of its own; they may reach the service in
    // either order.
    QStringList reported;
    for (const auto& report : n8Reports())
        reported << report.values.value("orderphotoid");
    reported.sort();
    QCOMPARE(reported, expectedReports);
    if (setup == "all fail" || setup == "one fails")
        QCOMPARE(progress(0), QStringLiteral("2/2"));
    const QStringList left = TestFiles::entries(firstTo);
    if (setup.startsWith("all") || setup.startsWith("one"))
        QCOMPARE(left, setup.startsWith("one") ? QStringList{"b.jpg"} : QStringList());
    if (setup == "same name" || setup == "page changed")
        QCOMPARE(left, QStringList({"a.jpg", "b.jpg"}));
    if (setup == "taken" || setup.endsWith("page there"))
        QCOMPARE(left, QStringList{"a.jpg"});
    if (setup == "bad name")
        QCOMPARE(left, QStringList());
    if (setup == "taken" || setup == "page changed") // never replaced
        QCOMPARE(TestFiles::readAll(firstTo + "/a.jpg"),
                 QByteArray(setup == "taken" ? "another order's page" : "n8 page"));
    if (setup == "no n8path")
        QCOMPARE(TestFiles::entries(m_volumes->root()), rootBefore);
    if (setup == "outside")
        QVERIFY(!QFileInfo::exists(m_volumes->root() + "../outside"));
    if (setup.startsWith("deleting") || setup == "unlookable")
        QVERIFY(!QFileInfo::exists(firstTo));
}

void TestN8Import::closingDuringTheCopyWaitsForTheJobs()
{
    const QString chosen = m_volumes->path(QStringLiteral("card/N8/A24051201"));
    for (int i = 1; i <= 4; ++i)
        card(QStringLiteral("A24051201/%1.jpg").arg(i), QByteArray(64 * 1024, char('0' + i)));
    WriteFaults& faults = *m_faults;
    // Every copy begins, and its write waits until the close is answered.
    faults.held = true;
    const auto letGo = qScopeGuard([&faults] { faults.held = false; });
    faults.install();

    dialog({item("100101", "A24051201")});
    chooseFolder(0, chosen);
    m_dlg->findChild<QPushButton*>("importAllOrdersBtn")->click();
    QTRY_COMPARE(faults.writesBegun.load(), 4);
    bool jobsRunningAtDeletion = true;
    QObject rowScope; // the watch goes with the row, whenever the dialog goes
    connect(m_dlg.data(), &QObject::destroyed, &rowScope,
            [&] { jobsRunningAtDeletion = faults.inWrite.load() > 0; });
    m_prompts->setNextAnswer(Prompts::Yes); // stop the batch and close
    m_dlg->close();
    faults.held = false;
    QTRY_VERIFY_WITH_TIMEOUT(m_dlg.isNull(), 10000);
    QVERIFY(!jobsRunningAtDeletion);

    // Every file either arrived whole or not at all; the order is recorded
    // with the pages that arrived, and nothing failed.
    const QString toDir = n8Folder() + QStringLiteral("A24051201");
    for (const QString& name : TestFiles::entries(toDir)) {
        QVERIFY2(!FileOperation::isPartialFile(name), qPrintable(name));
        QCOMPARE(QFileInfo(toDir + '/' + name).size(), 64 * 1024);
    }
    QCOMPARE(messages(), QStringList{"提示 / 正在导片，确定停止导片并关闭吗？"});
    QCOMPARE(n8Reports().size(), 1);
}

void TestN8Import::closingMidBatchNamesWhatItFound_data()
{
    QTest::addColumn<QString>("fault"); // of the first order
    QTest::addColumn<bool>("walking");  // the second order's walk, not its copy, is under way
    // After the close question; empty: none. "<arrived>": the second
    // order's pages in its N8 folder.
    QTest::addColumn<QString>("box");
    const QString page = "以下订单有照片导入失败：\nA24051201：1张";
    const QString unfinished = "以下订单的N8文件夹未导完，请重新导入：\nA24051202：已导入<arrived>/12张";
    const QString records = "\n以下订单上报失败：\nA24051201：500\n"
                            "窗口已关闭，以上订单的记录不再上报，请核对照片数量";
    // The second order is not recorded, and is named to be imported again;
    // the pages the stop left unbegun are not failures.
    QTest::newRow("nothing failed") << "" << false << "警告 / " + unfinished;
    QTest::newRow("a page unwritten") << "page" << false << "警告 / " + page + "\n" + unfinished;
    QTest::newRow("records answered 500") << "http" << false << "警告 / " + unfinished + records;
    QTest::newRow("records answered 500, on their way at the close")
        << "late" << false << "警告 / " + unfinished + records;
    // A walk stopped hands nothing over: nothing of the order is copied.
    QTest::newRow("a page unwritten, the close during the walk") << "page" << true << "警告 / " + page;
}

// An N8 batch stopped by closing its dialog in its second order: the copies
// in work end, the order is not recorded, and once the records have
// answered the last box names what failed and the order left unfinished,
// which the same folder imported again completes.
void TestN8Import::closingMidBatchNamesWhatItFound()
{
    QFETCH(QString, fault);
    QFETCH(bool, walking);
    QFETCH(QString, box);
    card(QStringLiteral("A24051201/a1.jpg"));
    card(QStringLiteral("A24051201/a2.jpg"));
    // More pages than the dialog copies at once; their writes wait until
    // the close has been answered, while the first order's go on.
    WriteFaults& faults = *m_faults;
    const QString second = m_volumes->path(QStringLiteral("card/N8/A24051202"));
    for (int i = 1; i <= JobRunner::maxThreads + 2; ++i) {
        const QString name = QStringLiteral("b%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
        card(QStringLiteral("A24051202/") + name);
        faults.heldNames << name;
    }
    faults.held = true;
    if (fault == "page")
        faults.refused << QStringLiteral("a2.jpg");
    // The walk of the second order waits at its first page until let go.
    auto walk = std::make_shared<QSemaphore>();
    auto walkReached = std::make_shared<QSemaphore>();
    // Whatever this row comes to, nothing it holds outlasts it.
    const auto letGo = qScopeGuard([this, &faults, walk] {
        faults.held = false;
        walk->release(1000);
        if (m_service)
            m_service->release("order", "saven8path");
    });
    if (walking) {
        faults.beforeLookUp = [walk, walkReached,
                               page = QDir::cleanPath(second + "/b01.jpg")](const QString& path) {
            if (path == page) {
                walkReached->release();
                walk->acquire();
            }
        };
    }
    faults.install();

    dialog({item("100101", "A24051201"), item("100102", "A24051202")});
    if (fault == "late") // the first order's record answers once the close is answered
        m_service->hold("order", "saven8path");
    if (fault == "http" || fault == "late")
        m_service->failHttp("order", "saven8path", 500);
    chooseFolder(0, m_volumes->path(QStringLiteral("card/N8/A24051201")));
    chooseFolder(1, second);
    m_dlg->findChild<QPushButton*>("importAllOrdersBtn")->click();
    // The close comes during the walk, or once the first order is done and
    // every copy the dialog runs at once is in its write.
    if (walking)
        QTRY_VERIFY_WITH_TIMEOUT(walkReached->available() > 0, 20000);
    else
        QTRY_VERIFY_WITH_TIMEOUT(state(0).startsWith(QStringLiteral("已导入")) &&
                                     faults.writesHeld.load() == JobRunner::maxThreads,
                                 20000);
    if (fault == "late")
        QCOMPARE(PendingRecords::instance().count(), 1);
    m_prompts->setNextAnswer(Prompts::Yes);
    if (!box.isEmpty())
        m_prompts->setNextAnswer(Prompts::Ok);
    QVERIFY(!m_dlg->close());
    // The copies in work go on, and this walk too; no other copy begins.
    faults.held = false;
    walk->release(1000); // and so will a later walk
    if (fault == "late") {
        // Only an answer to a request that has come can be let go.
        QTRY_COMPARE(n8Reports().size(), 1);
        m_service->release("order", "saven8path");
    }
    QTRY_VERIFY_WITH_TIMEOUT(m_dlg.isNull(), 20000);
    const QString secondTo = n8Folder() + QStringLiteral("A24051202");
    const QStringList copied = TestFiles::entries(secondTo, QDir::Files);
    QVERIFY2(copied.size() < JobRunner::maxThreads + 2, qPrintable(copied.join(',')));
    QCOMPARE(messages().mid(1), QStringList{box.replace("<arrived>", QString::number(copied.size()))});
    QCOMPARE(n8Reports().size(), 1);
    QCOMPARE(n8Reports().first().values.value("orderphotoid"), QStringLiteral("100101"));
    QVERIFY(m_prompts->unexpected().isEmpty());

    // The same folder imported again completes the order, recorded once.
    faults.refused.clear();
    m_service.reset();
    m_prompts.reset();
    dialog({item("100102", "A24051202")});
    chooseFolder(0, second);
    m_prompts->setNextAnswer(Prompts::Ok);
    runBatch();
    QCOMPARE(messages(), QStringList{"导入完成 / 1个订单已经全部导完"});
    QCOMPARE(TestFiles::entries(secondTo, QDir::Files).size(), JobRunner::maxThreads + 2);
    QTRY_COMPARE(n8Reports().size(), 1);
    QCOMPARE(n8Reports().first().values.value("orderphotoid"), QStringLiteral("100102"));
}

// The last order's worker ends only after the order's record has answered,
// and its deletion is delivered first: the batch ends all the same.
void TestN8Import::batchEndsThoughItsWorkerWentFirst()
{
    card(QStringLiteral("A24051201/page01.jpg"));
    dialog({item("100101", "A24051201")});
    chooseFolder(0, m_volumes->path(QStringLiteral("card/N8/A24051201")));
    // The worker waits once it has handed its pages over, until let go.
    struct Held
    {
        QMutex mutex;
        QSet<QThread*> workers;
        QSemaphore go;
    };
    auto held = std::make_shared<Held>();
    const auto letGo = qScopeGuard([held] { held->go.release(1000); });
    FileOperation::setFaultHook([held](FileOperation::Fault, const QString&) {
        auto* worker = qobject_cast<ImportOrderThread*>(QThread::currentThread());
        QMutexLocker lock(&held->mutex);
        if (worker && !held->workers.contains(worker)) {
            held->workers.insert(worker);
            QObject::connect(
                worker, &ImportOrderThread::startImportDirN8ThreadSigl, worker,
                [held] { held->go.acquire(); }, Qt::DirectConnection);
        }
        return false;
    });
    WorkerDeletedFirst deletedFirst;
    m_prompts->setNextAnswer(Prompts::Ok);
    auto* start = m_dlg->findChild<QPushButton*>("importAllOrdersBtn");
    start->click();
    QTRY_COMPARE(n8Reports().size(), 1);
    QTRY_COMPARE(PendingRecords::instance().count(), 0);
    QVERIFY(!start->isEnabled());
    held->go.release();
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 10000);
    QCOMPARE(messages(), QStringList{"导入完成 / 1个订单已经全部导完"});
}

QTEST_MAIN(TestN8Import)
#include "tst_n8import.moc"
