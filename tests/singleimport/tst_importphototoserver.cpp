#include "config.h"
#include "fileoperation.h"
#include "foldersinuse.h"
#include "imagetime.h"
#include "importphototoserver.h"
#include "jpegfixture.h"
#include "orderrecords.h"
#include "pendingrecords.h"
#include "recordingdesktop.h"
#include "reportstore.h"
#include "scriptedprompts.h"
#include "scriptedserver.h"
#include "searchrowactions.h"
#include "standin.h"
#include "storeaccess.h"
#include "studioservice.h"
#include "tempvolumes.h"
#include "testfiles.h"
#include "webservice.h"

#include <QtTest>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QStandardItemModel>
#include <QTableView>
#include <QTcpServer>
#include <QUrl>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// The single-order import window driven by its widgets against the
// stand-in web service and real folders under a temporary mount root.
class TestImportPhotoToServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void slotsReachedByName();
    void opensAndLooksUpEachMode();
    void lookupOutcomes_data();
    void lookupOutcomes();
    void lookupAskedBeforeARun();
    void startFailures_data();
    void startFailures();
    void photosRunAndASecondOne();
    void finishedRun();
    void countsWhatTheRunCommitted_data();
    void countsWhatTheRunCommitted();
    void captionAtTheRunsEnd_data();
    void captionAtTheRunsEnd();
    void failedWritesAreTold_data();
    void failedWritesAreTold();
    void iconsOfTheCurrentListingOnly();
    void reimport();
    void deletingPhotos();
    void dateChange();
    void closingMidRun_data();
    void closingMidRun();
    void stoppedRunReportsUnderItsOwnBox();
    void twoWindowsOnOneOrder();
    void reportsKeptAndSentAgain_data();
    void reportsKeptAndSentAgain();
    void resentReportsFailingAgain_data();
    void resentReportsFailingAgain();
    void reportsTheServiceMayHold_data();
    void reportsTheServiceMayHold();
    void reimportReportOvertaken();
    void reportsOnTheirWayAtQuit_data();
    void reportsOnTheirWayAtQuit();
    void reportsAtQuitToldApart_data();
    void reportsAtQuitToldApart();
    void keptReportOfAnotherServiceTimeSent();
    void failedFilesNamed_data();
    void failedFilesNamed();
    void refusedDeletionIsTold();
    void climbingPathsRefused_data();
    void climbingPathsRefused();

private:
    // The demo fixture plus the test order 900001 (A102, shot 2019-04-15),
    // changed by the caller; the shop's roots exist under the mount root.
    void start(const std::function<void(QJsonObject& order, QJsonObject& shopSettings)>& change = {});
    // The test order with the folder this window would have made for it.
    void startWithOwnFolder();
    // The test order and its booking's second service time, 900002
    // (A102-2); the first is the current order.
    void startWithSecondServiceTime();
    void takeUpSecondServiceTime();
    // JPEG finished photos with their 1000-pixel thumbnails in that folder.
    void writeFinished(const QStringList& names, QSize size);
    ImportPhotoToServer* open();
    // The test order's window on camera photos, and two photos more on the
    // card than the pool runs at once.
    ImportPhotoToServer* openForAStop(QStringList& files);
    void waitForLookup(ImportPhotoToServer* w);
    // Waits until every request of the window has been answered.
    void waitForReplies(ImportPhotoToServer* w);
    QString card(const QString& name, int orientation, const QString& dateTime, QSize size = QSize(600, 400));
    QString pressImport(ImportPhotoToServer* w, const QStringList& files, const QString& expectedTitle);
    void choose(ImportPhotoToServer* w, const QStringList& files);
    // Presses "导入" for the chosen photos and waits for the count report;
    // the completion box's text, or what went wrong.
    QString importChosen(ImportPhotoToServer* w, const QString& expectedTitle);
    QJsonObject storedOrder() const { return storedOrder(QStringLiteral("900001")); }
    QJsonObject storedOrder(const QString& id) const;
    // Imports two card photos in a new window (m_window) in photos mode,
    // the count report answered as the service is set up meanwhile.
    void importTwo(const std::function<void()>& setUpService);
    // "<title> / <text>" of the boxes shown after the first count ones.
    QStringList boxesAfter(int count) const;
    // Sends the count reports where nothing of them reaches the service
    // until the guard goes: "refused", the connection refused; "unreachable",
    // the network unreachable; "no connection", no connection opened before
    // the timeout (shortened meanwhile).
    std::shared_ptr<void> unreachableCountReports(const QString& how);
    // Sends the count reports, until the guard goes, to a server that hands
    // the first one to the stand-in, which does the work, then closes its
    // connection unanswered and listens no more.
    std::pair<std::unique_ptr<ScriptedServer>, std::shared_ptr<void>> servedThenGone();

    template <typename T> T* child(ImportPhotoToServer* w, const char* name) { return w->findChild<T*>(name); }

    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<RecordingDesktop> m_desktop;
    std::unique_ptr<TempVolumes> m_volumes;
    std::unique_ptr<QTemporaryDir> m_fixtureDir;
    std::unique_ptr<StandIn> m_service;
    QPointer<ImportPhotoToServer> m_window;
    bool m_secondServiceTime = false;
    QJsonObject m_secondItem;
};

namespace {

const QString kOrder = QStringLiteral("900001");
// The order folder the window makes for the test order without an append.
const QString kNewFolder = QStringLiteral("photos/2019-04/15/415A102-1/");
const QString kOwnFolder = QStringLiteral("photos/2019-04/15/415A102-B-1/");

// Holds the card reads of the photos until let go (at the latest when it
// goes), counting the reads begun; the read of failing then fails. The
// hook keeps what it reads: a window's jobs may call it after the test has
// returned.
class HeldReads
{
public:
    explicit HeldReads(const QStringList& photos, const QString& failing = QString())
    {
        FileOperation::setFaultHook(
            [state = m_state, photos, failing](FileOperation::Fault fault, const QString& path) {
                if (fault != FileOperation::Fault::Read || !photos.contains(path))
                    return false;
                state->begun.release();
                while (state->held.loadAcquire())
                    QThread::msleep(5);
                return path == failing;
            });
    }
    ~HeldReads() { letGo(); }
    void letGo() { m_state->held = 0; }
    int begun() const { return m_state->begun.available(); }

private:
    struct State
    {
        QAtomicInt held = 1;
        QSemaphore begun;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

QSize storedSize(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    return reader.size();
}

} // namespace

void TestImportPhotoToServer::initTestCase()
{
    StandIn::useDemoIdentity();
}

void TestImportPhotoToServer::cleanup()
{
    FileOperation::setFaultHook(nullptr);
    delete m_window;
    // The reports outlive their windows, and so may their boxes: none may
    // reach the next test.
    const bool settled = QTest::qWaitFor([] { return PendingRecords::instance().count() == 0; });
    const QStringList unexpected = m_prompts ? m_prompts->unexpected() : QStringList();
    const int kept = ReportStore::instance().keptCount();
    // The next row starts from a store of its own, whatever this one found:
    // nothing kept, nothing taken.
    delete &ReportStore::instance();
    m_service.reset();
    m_fixtureDir.reset();
    m_volumes.reset();
    m_desktop.reset();
    m_prompts.reset();
    QVERIFY(settled);
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join("; ")));
    QCOMPARE(kept, 0);
}

void TestImportPhotoToServer::start(const std::function<void(QJsonObject&, QJsonObject&)>& change)
{
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_desktop = std::make_unique<RecordingDesktop>();
    m_volumes = std::make_unique<TempVolumes>();
    m_volumes->mkdir("photos");
    m_volumes->mkdir("backup");

    QFile file(StudioService::demoFixturePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject fixture = QJsonDocument::fromJson(file.readAll()).object();
    QJsonObject order{{"order_photo_id", kOrder}, {"shopid", "12"},          {"storesid", "1201"},
                      {"orderpayforkey", "A102"}, {"servicetimes", "1"},     {"shotdate", "2019-04-15"},
                      {"bname", "王小宝"},        {"role1", "陈摄影"},        {"role2", "林化妆"},
                      {"orderpath", ""},          {"orderbakpicpath", ""}};
    QJsonArray shops = fixture.value("shops").toArray();
    QJsonObject shop = shops.at(0).toObject();
    QJsonObject settings = shop.value("settings").toObject();
    if (change)
        change(order, settings);
    shop.insert("settings", settings);
    shops.replace(0, shop);
    fixture.insert("shops", shops);
    QJsonArray orders = fixture.value("orders").toArray();
    orders.append(order);
    QJsonObject second = order;
    second.insert("order_photo_id", "900002");
    second.insert("servicetimes", "2");
    if (std::exchange(m_secondServiceTime, false))
        orders.append(second);
    fixture.insert("orders", orders);
    m_secondItem = Store::orderItem(fixture, second);

    m_fixtureDir = std::make_unique<QTemporaryDir>();
    const QString path = m_fixtureDir->filePath("fixture.json");
    QVERIFY(TestFiles::write(path, QJsonDocument(fixture).toJson()));
    m_service = std::make_unique<StandIn>(path);
    takeUpOrder(orderFromListItem(Store::orderItem(fixture, order)));
}

void TestImportPhotoToServer::startWithOwnFolder()
{
    start([](QJsonObject& order, QJsonObject&) {
        order.insert("orderpath", "\\\\studio-nas\\photos\\2019-04\\15\\415A102-B-1\\");
        order.insert("orderbakpicpath", "\\\\studio-nas\\backup\\x\\");
    });
}

void TestImportPhotoToServer::writeFinished(const QStringList& names, QSize size)
{
    JpegFixture::Options options;
    options.size = size;
    for (const QString& name : names) {
        for (const QString folder : {"成品/", "成品缩略图/"}) {
            m_volumes->mkdir(kOwnFolder + folder);
            QVERIFY(JpegFixture::write(m_volumes->path(kOwnFolder + folder + name), options));
        }
    }
}

ImportPhotoToServer* TestImportPhotoToServer::open()
{
    m_window = new ImportPhotoToServer(nullptr);
    m_window->show();
    return m_window;
}

ImportPhotoToServer* TestImportPhotoToServer::openForAStop(QStringList& files)
{
    start();
    for (int n = 1; n <= QThread::idealThreadCount() + 2; ++n)
        files.append(card(QStringLiteral("IMG_%1.JPG").arg(n, 4, 10, QLatin1Char('0')), 1,
                          QStringLiteral("2019:04:15 10:00:01"), QSize(64, 48)));
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    child<QPushButton>(w, "importPic1")->click();
    waitForLookup(w);
    return w;
}

void TestImportPhotoToServer::waitForLookup(ImportPhotoToServer* w)
{
    auto* first = child<QPushButton>(w, "importPic1");
    QTRY_VERIFY(first->isEnabled() && first->text() == QStringLiteral("导入照片"));
}

void TestImportPhotoToServer::waitForReplies(ImportPhotoToServer* w)
{
    QTRY_VERIFY(w->findChildren<QNetworkReply*>().isEmpty());
}

QString TestImportPhotoToServer::card(const QString& name, int orientation, const QString& dateTime, QSize size)
{
    JpegFixture::Options options;
    options.size = size;
    options.orientation = orientation;
    options.dateTime = dateTime;
    options.seed = quint32(qHash(name));
    const QString path = m_volumes->path("card/" + name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!JpegFixture::write(path, options))
        return QString();
    return path;
}

// Chooses the files, presses "导入" and waits for the count report.
QString TestImportPhotoToServer::pressImport(ImportPhotoToServer* w, const QStringList& files,
                                             const QString& expectedTitle)
{
    choose(w, files);
    return importChosen(w, expectedTitle);
}

void TestImportPhotoToServer::choose(ImportPhotoToServer* w, const QStringList& files)
{
    m_prompts->setNextFiles(files);
    child<QPushButton>(w, "selectButton")->click();
}

QString TestImportPhotoToServer::importChosen(ImportPhotoToServer* w, const QString& expectedTitle)
{
    const int reports = m_service->requests("order", "updatepicpath").size();
    const int boxes = m_prompts->messages().size();
    m_prompts->setNextAnswer(Prompts::Yes);
    child<QPushButton>(w, "importButton")->click();
    // It goes once the run's box is closed, and the service has it, or it
    // was answered without reaching the service.
    const auto posted = [&] {
        return m_service->requests("order", "updatepicpath").size() > reports ||
               (m_prompts->messages().size() > boxes && PendingRecords::instance().count() == 0);
    };
    if (!QTest::qWaitFor(posted, 30000))
        return QStringLiteral("no count report");
    const ScriptedPrompts::Call box = m_prompts->messages().at(boxes);
    if (box.title != expectedTitle)
        return box.title + " / " + box.text;
    return box.text;
}

void TestImportPhotoToServer::startWithSecondServiceTime()
{
    m_secondServiceTime = true;
    start();
}

void TestImportPhotoToServer::takeUpSecondServiceTime()
{
    takeUpOrder(orderFromListItem(m_secondItem));
}

QJsonObject TestImportPhotoToServer::storedOrder(const QString& id) const
{
    for (const QJsonValue& v : m_service->storeSnapshot().value("orders").toArray()) {
        if (v.toObject().value("order_photo_id").toString() == id)
            return v.toObject();
    }
    return {};
}

void TestImportPhotoToServer::slotsReachedByName()
{
    const QMetaObject& meta = ImportPhotoToServer::staticMetaObject;
    for (const char* slot :
         {"updateThumbIcon(int,QPixmap)", "setThumbIcon(int,int,QImage)", "onIsPathExist(bool)",
          "onFinishImportImage(QString)", "onImportImageFailed(QString,bool)",
          "onImportImagePartlyWritten(QString,QString,bool)"})
        QVERIFY2(meta.indexOfMethod(slot) >= 0, slot);
}

void TestImportPhotoToServer::opensAndLooksUpEachMode()
{
    start();
    ImportPhotoToServer* w = open();
    QCOMPARE(w->windowTitle(), QStringLiteral("导入照片(成品)"));
    QCOMPARE(Config::importMode, 1);
    const QStringList fields{"label_id=A102", "label_name=王小宝", "lineEdit_otherdate=1", "lineEdit_cameraman=陈摄影",
                             "lineEdit_dresser=林化妆", "lineEdit_orderPRName=415"};
    for (const QString& field : fields)
        QCOMPARE(child<QLineEdit>(w, qPrintable(field.section('=', 0, 0)))->text(), field.section('=', 1));
    QCOMPARE(child<QPushButton>(w, "pushButton_photodate")->text(), QStringLiteral("2019-04-15"));
    QVERIFY(!child<QPushButton>(w, "pushButton_photodate")->isEnabled());
    QCOMPARE(child<QPushButton>(w, "importPic2")->text(), QStringLiteral("导入成品(加载中)"));
    QVERIFY(!child<QPushButton>(w, "importPic1")->isEnabled());
    QVERIFY(!child<QPushButton>(w, "importButton")->isEnabled());
    waitForLookup(w);
    QVERIFY(child<QPushButton>(w, "selectButton")->isVisible());
    QCOMPARE(m_service->requests("order", "get_order_path").size(), 1);
    QCOMPARE(m_service->requests("order", "get_order_path").first().keys,
             QStringList({"token", "order_photo_id", "shopid", "superid"}));

    // A switch runs the mode action for the released and the pressed button.
    const QStringList modes{"importPic1=导入照片(原片)=照片附加名", "importPic3=导入照片(设计)=订单附加名",
                            "importPic2=导入照片(成品)=订单附加名"};
    for (int i = 0; i < modes.size(); ++i) {
        const QStringList mode = modes.at(i).split('=');
        child<QPushButton>(w, qPrintable(mode.at(0)))->click();
        waitForLookup(w);
        QCOMPARE(w->windowTitle(), mode.at(1));
        QCOMPARE(child<QLabel>(w, "label_8")->text(), mode.at(2));
        QCOMPARE(child<QLineEdit>(w, "lineEdit_folderAppendName")->isVisible(), i == 0);
        QTRY_COMPARE(m_service->requests("order", "get_order_path").size(), 3 + 2 * i);
    }
    QCOMPARE(Config::importMode, 1);
}

void TestImportPhotoToServer::lookupOutcomes_data()
{
    QTest::addColumn<QString>("orderPath"); // as the service stores it
    QTest::addColumn<QString>("folder");    // made under the mount root
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("reimport");
    QTest::addColumn<QString>("folderAppend");
    QTest::addColumn<QString>("photoAppend");
    QTest::addColumn<QString>("caption");

    const QString own = "\\\\studio-nas\\photos\\2019-04\\15\\415A102-B-1\\";
    const QString before = "订单已导入成品（0张）"; // what the lookup at opening showed
    QTest::newRow("no folder") << "" << "" << "" << "" << false << "typed" << "typed" << "订单已导入照片（0张）";
    QTest::newRow("own form") << own << kOwnFolder << "" << "" << true << "B" << "C" << "订单已导入照片（2张)";
    QTest::newRow("batch-named folder") << "\\\\studio-nas\\photos\\2019-04\\15\\A102-1-王小宝-陈摄影\\"
                                        << "photos/2019-04/15/A102-1-王小宝-陈摄影/" << "" << "" << true << ""
                                        << "C" << "订单已导入照片（2张)";
    QTest::newRow("missing folder") << own << "" << "" << "" << true << "typed" << "typed" << "订单照片";
    QTest::newRow("refusal") << own << kOwnFolder << "refuse" << "错误代码：0" << true << "typed" << "typed" << before;
    QTest::newRow("numeric code") << own << kOwnFolder << "number" << "错误代码：" << true << "typed" << "typed"
                                  << before;
    QTest::newRow("HTTP 500") << own << kOwnFolder << "http" << "网络请求错误\n500" << true << "typed" << "typed"
                              << before;
    // A folder that cannot be listed shows no thumbnails and no count.
    const QString unreadable = "订单已导入照片（目录读取失败）";
    QTest::newRow("thumbnails unreadable") << own << kOwnFolder << "list thumbnail" << "" << true << "B" << "C"
                                           << unreadable;
    QTest::newRow("photos unreadable") << own << kOwnFolder << "list 照片" << "" << true << "B" << "C" << unreadable;
    // One that cannot be looked at, or holds a photo that cannot, alike.
    QTest::newRow("thumbnails cannot be looked at") << own << kOwnFolder << "look thumbnail"
                                                    << "" << true << "B"
                                                    << "C" << unreadable;
    QTest::newRow("a photo cannot be looked at") << own << kOwnFolder << "look 照片/a.png"
                                                 << "" << true << "B"
                                                 << "C" << unreadable;
    // The order folder may be read but not entered: its thumbnail folder
    // cannot be looked at, which the hook cannot stand for (the listing
    // would fail on its own).
    QTest::newRow("order folder cannot be entered") << own << kOwnFolder << "mode"
                                                    << "" << true << "B"
                                                    << "B" << unreadable;
}

void TestImportPhotoToServer::lookupOutcomes()
{
    QFETCH(QString, orderPath);
    QFETCH(QString, folder);
    QFETCH(QString, fault);
    QFETCH(QString, box);
    if (fault == "mode" && ::geteuid() == 0)
        QSKIP("file modes stop nothing for root");
    start([&](QJsonObject& order, QJsonObject&) {
        order.insert("orderpath", orderPath);
        order.insert("orderbakpicpath", orderPath.isEmpty() ? "" : "\\\\studio-nas\\backup\\x\\");
    });
    if (!folder.isEmpty()) {
        // a.png: a photo the count passes over by its name.
        for (const char* name : {"415A102-C-002.jpg", "415A102-C-001.jpg", "a.png"}) {
            m_volumes->writeFile(folder + "照片/" + name, "photo");
            m_volumes->writeFile(folder + "thumbnail/" + name, "thumb");
        }
    }
    const bool fileFault = fault.startsWith("list ") || fault.startsWith("look ");
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    auto* folderAppendEdit = child<QLineEdit>(w, "lineEdit_folderAppendName");
    folderAppendEdit->setText("typed");

    const QString orderFolder = m_volumes->path(kOwnFolder);
    const auto enterable = qScopeGuard([&] {
        if (fault == "mode")
            QFile::setPermissions(orderFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (fault == "refuse")
        m_service->refuse("order", "get_order_path", "0", "x");
    else if (fault == "number")
        m_service->sendRaw("order", "get_order_path", R"({"code":1,"data":{}})");
    else if (fault == "http")
        m_service->failHttp("order", "get_order_path", 500);
    else if (fault == "mode")
        QVERIFY(QFile::setPermissions(orderFolder, QFile::ReadOwner | QFile::WriteOwner));
    else if (fileFault)
        FileOperation::setFaultHook([fault](FileOperation::Fault f, const QString& path) {
            const bool look = fault.startsWith("look ");
            return f == (look ? FileOperation::Fault::LookUp : FileOperation::Fault::List) &&
                   path.endsWith("415A102-B-1/" + fault.mid(5));
        });
    if (!box.isEmpty()) {
        m_prompts->setNextAnswer(Prompts::Yes);
        m_prompts->setNextAnswer(Prompts::Yes);
    }
    child<QPushButton>(w, "importPic1")->click();
    // Both lookups of the switch end in the same state.
    if (!box.isEmpty()) {
        QTRY_COMPARE(m_prompts->messages().size(), 2);
        QCOMPARE(m_prompts->messages().last().title, QStringLiteral("警告"));
        QCOMPARE(m_prompts->messages().last().text, box);
    }
    QFETCH(QString, caption);
    QFETCH(QString, folderAppend);
    QFETCH(QString, photoAppend);
    QTRY_COMPARE(child<QLabel>(w, "label_4")->text(), caption);
    if (fileFault)
        QCOMPARE(w->findChild<QListWidget*>()->count(), 0);
    QTRY_COMPARE(folderAppendEdit->text(), folderAppend);
    QTRY_COMPARE(child<QLineEdit>(w, "lineEdit_picAppendName")->text(), photoAppend);
    waitForLookup(w);
    QTEST(child<QPushButton>(w, "reimportButton")->isVisible(), "reimport");
    // An existing folder's appends are taken over, not typed.
    QCOMPARE(folderAppendEdit->isReadOnly(), !folder.isEmpty());
}

// An order lookup asked before a run began and answered after it ended
// names the order as it was before the run made its folder: the window
// keeps the run's folder and what the lookup after the run showed.
void TestImportPhotoToServer::lookupAskedBeforeARun()
{
    start();
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    m_service->hold("order", "get_order_path");
    child<QPushButton>(w, "importPic1")->click(); // looks up twice
    QTRY_COMPARE(m_service->requests("order", "get_order_path").size(), 3);
    m_service->clearFaults();
    QVERIFY(pressImport(w, {card("IMG_0001.JPG", 1, ""), card("IMG_0002.JPG", 1, "")}, "导片成功!")
                .startsWith("导入前正式库照片：0张"));
    auto* caption = child<QLabel>(w, "label_4");
    QTRY_COMPARE(caption->text(), QStringLiteral("订单已导入照片（2张)"));
    QTRY_COMPARE(w->findChild<QListWidget*>()->count(), 2);

    m_service->release("order", "get_order_path");
    waitForReplies(w);
    QCOMPARE(caption->text(), QStringLiteral("订单已导入照片（2张)"));
    QCOMPARE(w->findChild<QListWidget*>()->count(), 2);
    QVERIFY(!child<QPushButton>(w, "reimportButton")->isHidden());
}

void TestImportPhotoToServer::startFailures_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("box");

    QTest::newRow("server paths refused") << "refuse" << "没有路径";
    QTest::newRow("server paths HTTP 500") << "http" << "网络请求错误\n500";
    QTest::newRow("empty root") << "empty root" << "服务器路径错误";
    QTest::newRow("root not makeable") << "deep root" << "服务器路径错误";
    QTest::newRow("backup root not makeable") << "deep backup" << "备份服务器路径错误。";
    QTest::newRow("invalid date") << "date" << "拍摄日期无效：2019-4-15";
    QTest::newRow("missing order folder") << "missing" << "订单目录不存在：%1";
    QTest::newRow("order folder unreadable") << "unreadable"
                                             << "目录读取失败：%1";
    QTest::newRow("finished folder cannot be looked at") << "look 成品"
                                                         << "目录读取失败：%1";
    QTest::newRow("order folder cannot be looked at") << "look order"
                                                      << "目录读取失败：%1";
    QTest::newRow("order folder being deleted") << "deleting"
                                                << "订单正在删除，未导片：A102";
}

void TestImportPhotoToServer::startFailures()
{
    QFETCH(QString, change);
    QFETCH(QString, box);
    start([&](QJsonObject& order, QJsonObject& settings) {
        if (change == "empty root")
            settings.insert("picpath", "");
        if (change == "deep root")
            settings.insert("picpath", "\\\\studio-nas\\nowhere\\deep\\");
        if (change == "deep backup")
            settings.insert("bakpicpath", "\\\\studio-nas\\nowhere\\deep\\");
        if (change == "date")
            order.insert("shotdate", "2019-4-15");
        if (change == "missing") {
            order.insert("orderpath", "\\\\studio-nas\\photos\\gone\\");
            order.insert("orderbakpicpath", "\\\\studio-nas\\backup\\gone\\");
        }
        if (change == "deleting" || change == "unreadable" || change.startsWith("look ")) {
            order.insert("orderpath", "\\\\studio-nas\\photos\\2019-04\\15\\415A102-B-1\\");
            order.insert("orderbakpicpath", "\\\\studio-nas\\backup\\x\\");
        }
    });
    // A deletion of this process is removing the order's folder.
    const FoldersInUse::Claim deleting(change == "deleting" ? m_volumes->mkdir(kOwnFolder) : QString(),
                                       QString(), FoldersInUse::Use::Deletion);
    if (change == "refuse")
        m_service->refuse("order", "get_order_pic_path", "0", "没有路径");
    if (change == "http")
        m_service->failHttp("order", "get_order_pic_path", 500);
    const QString failing = change == "look order" ? kOwnFolder : kOwnFolder + "成品/";
    if (box.contains("%1"))
        box = box.arg(change == "unreadable" || change.startsWith("look ")
                          ? m_volumes->path(failing)
                          : Config::returnPicPath("\\\\studio-nas\\photos\\gone\\"));
    if (change == "unreadable" || change.startsWith("look ")) {
        m_volumes->mkdir(kOwnFolder + "成品");
        const auto kind = change == "unreadable" ? FileOperation::Fault::List : FileOperation::Fault::LookUp;
        const QString folder = QDir::cleanPath(m_volumes->path(failing));
        FileOperation::setFaultHook([kind, folder](FileOperation::Fault f, const QString& path) {
            return f == kind && path == folder;
        });
    }

    ImportPhotoToServer* w = open();
    waitForLookup(w);
    m_prompts->setNextFiles({card("IMG_0001.JPG", 1, "")});
    child<QPushButton>(w, "selectButton")->click();
    m_prompts->setNextAnswer(Prompts::Yes);
    auto* importButton = child<QPushButton>(w, "importButton");
    importButton->click();
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->messages().last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->messages().last().text, box);
    QCOMPARE(importButton->text(), QStringLiteral("导入"));
    QVERIFY(importButton->isEnabled());
    QVERIFY(child<QPushButton>(w, "importPic1")->isEnabled());
    QVERIFY(child<QPushButton>(w, "selectButton")->isEnabled());
    QCOMPARE(PendingRecords::instance().count(), 0); // nothing on its way
    QVERIFY(m_service->requests("order", "updatepicpath2").isEmpty());
    QVERIFY(m_service->requests("order", "updatepicpath").isEmpty());
    QVERIFY(!QFileInfo::exists(m_volumes->path(kNewFolder)));
    QVERIFY(!QFileInfo::exists(m_volumes->path(kOwnFolder + "成品缩略图")));
    QCOMPARE(child<QTableView>(w, "tableView")->model()->rowCount(), 1); // the choice stays
}

void TestImportPhotoToServer::photosRunAndASecondOne()
{
    start();
    const QStringList files{card("IMG_0001.JPG", 1, "2019:04:15 10:00:01"),
                            card("IMG_0002.JPG", 6, "2019:04:15 10:00:02"), card("IMG_0003.JPG", 0, "")};
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    child<QPushButton>(w, "importPic1")->click();
    waitForLookup(w);

    QCOMPARE(pressImport(w, files, "导片成功!"),
             QStringLiteral("导入前正式库照片：0张\n\n导入后正式库照片：3张\n\n导入前备份库照片：0张\n\n"
                            "导入后备份库照片：3张    \n"));
    const QString order = m_volumes->path(kNewFolder);
    const QString backup = m_volumes->path("backup/2019-04/15/415A102-1/");
    const QStringList names{"415A102-001.jpg", "415A102-002.jpg", "415A102-003.jpg"};
    QCOMPARE(TestFiles::entries(order + "照片", QDir::Files), names);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(TestFiles::readAll(backup + "照片/" + names.at(i)), TestFiles::readAll(files.at(i)));
    QCOMPARE(TestFiles::readAll(order + "照片/" + names.at(0)), TestFiles::readAll(files.at(0)));
    QCOMPARE(storedSize(order + "照片/" + names.at(1)), QSize(400, 600));
    QCOMPARE(storedSize(order + "thumbnail2250/" + names.at(0)), QSize(2250, 1500));
    QCOMPARE(storedSize(order + "thumbnail100/" + names.at(0)), QSize(200, 133));
    QCOMPARE(storedSize(order + "thumbnail100/" + names.at(1)), QSize(133, 200));

    // Records of the two dated photos, in the order the jobs finished.
    const QString records = QString::fromUtf8(TestFiles::readAll(order + "ImageTime.txt"));
    QCOMPARE(records.size(), 2 * QStringLiteral("415A102-001>19:04:15 10:00:01|").size());
    QVERIFY(records.contains("415A102-001>19:04:15 10:00:01|"));
    QVERIFY(records.contains("415A102-002>19:04:15 10:00:02|"));

    const StandIn::LoggedRequest folders = m_service->requests("order", "updatepicpath2").last();
    QCOMPARE(folders.keys, QStringList({"token", "orderid", "shopid", "orderpicpath", "orderbakpicpath"}));
    QCOMPARE(folders.values.value("orderpicpath"), QStringLiteral("\\\\studio-nas\\photos\\2019-04/15/415A102-1/"));
    QCOMPARE(folders.values.value("orderbakpicpath"),
             QStringLiteral("\\\\studio-nas\\backup\\2019-04/15/415A102-1/"));
    const StandIn::LoggedRequest counts = m_service->requests("order", "updatepicpath").last();
    QCOMPARE(counts.values.value("picnumber"), QStringLiteral("3"));
    QCOMPARE(counts.values.value("picbaknumber"), QStringLiteral("3"));
    QCOMPARE(counts.values.value("typeid"), QStringLiteral("1"));
    QTRY_COMPARE(storedOrder().value("photonum").toString(), QStringLiteral("3"));

    // The accepted report shows the order anew.
    QTRY_COMPARE(child<QLabel>(w, "label_4")->text(), QStringLiteral("订单已导入照片（3张)"));
    QTRY_COMPARE(w->findChild<QListWidget*>()->count(), 3);
    QVERIFY(child<QPushButton>(w, "reimportButton")->isVisible());
    waitForLookup(w);

    // A second run numbers on and appends its records.
    QVERIFY(pressImport(w, files.mid(0, 2), "导片成功!").startsWith("导入前正式库照片：3张"));
    QVERIFY(QFile::exists(order + "照片/415A102-004.jpg"));
    QVERIFY(QFile::exists(order + "照片/415A102-005.jpg"));
    const QString more = QString::fromUtf8(TestFiles::readAll(order + "ImageTime.txt"));
    QVERIFY(more.startsWith(records));
    QVERIFY(more.mid(records.size()).contains("415A102-004>19:04:15 10:00:01|"));
    QVERIFY(more.mid(records.size()).contains("415A102-005>19:04:15 10:00:02|"));
}

void TestImportPhotoToServer::finishedRun()
{
    start([](QJsonObject& order, QJsonObject&) {
        order.insert("orderpath", "\\\\studio-nas\\photos\\2019-04\\15\\415A102-B-1\\");
        order.insert("orderbakpicpath", "\\\\studio-nas\\backup\\2019-04\\15\\415A102-B-1\\");
    });
    m_volumes->mkdir("backup/2019-04/15/415A102-B-1");
    m_volumes->writeFile(kOwnFolder + "ImageTime.txt", "old>19:01:01 00:00:00|");
    m_volumes->writeFile(kOwnFolder + "成品/IMG_0009.jpg", "finished");
    const QStringList files{card("IMG_0001.JPG", 1, "2019:04:15 10:00:01"), card("IMG_0002.JPG", 1, "")};
    ImportPhotoToServer* w = open();
    waitForLookup(w);

    QCOMPARE(pressImport(w, files, "导片成功!"),
             QStringLiteral("导入前正式库照片：1张\n\n导入后正式库照片：3张    \n"));
    const QString order = m_volumes->path(kOwnFolder);
    QVERIFY(QFile::exists(order + "成品/IMG_0001.JPG"));
    QVERIFY(QFile::exists(order + "成品缩略图100/IMG_0002.JPG"));
    QVERIFY(!QFileInfo::exists(m_volumes->path("backup/2019-04/15/415A102-B-1/照片")));
    QCOMPARE(TestFiles::readAll(order + "ImageTime.txt"), QByteArray("old>19:01:01 00:00:00|"));
    const StandIn::LoggedRequest counts = m_service->requests("order", "updatepicpath").last();
    QCOMPARE(counts.values.value("picnumber"), QStringLiteral("2"));
    QCOMPARE(counts.values.value("picbaknumber"), QStringLiteral("0"));
    QCOMPARE(counts.values.value("typeid"), QStringLiteral("2"));
    // The service's own form goes back as it came.
    QCOMPARE(counts.values.value("orderpicpath"), QStringLiteral("\\\\studio-nas\\photos\\2019-04\\15\\415A102-B-1\\"));
    // Logged as it came; applied before it is answered.
    QTRY_COMPARE(storedOrder().value("finishnum").toString(), QStringLiteral("2"));
}

void TestImportPhotoToServer::countsWhatTheRunCommitted_data()
{
    QTest::addColumn<QString>("mode"); // its button
    // "again": the run's files are in the order already, under their names;
    // "other window": another window imports three into the order meanwhile.
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("posted");

    const QString again = "导入前正式库照片：2张\n\n导入后正式库照片：2张    \n";
    const QString beside = "导入前正式库照片：0张\n\n导入后正式库照片：2张    \n";
    QTest::newRow("finished photos over their own names") << "importPic2"
                                                          << "again" << again << "0";
    QTest::newRow("designs over their own names") << "importPic3"
                                                  << "again" << again << "0";
    QTest::newRow("finished photos beside another window's") << "importPic2"
                                                             << "other window" << beside << "2";
    QTest::newRow("designs beside another window's") << "importPic3"
                                                     << "other window" << beside << "2";
}

// A count report and its box carry what the run committed: a file that
// replaced one of its name adds nothing, and another window's files written
// into the order meanwhile are that window's.
void TestImportPhotoToServer::countsWhatTheRunCommitted()
{
    QFETCH(QString, mode);
    QFETCH(QString, meanwhile);
    startWithOwnFolder();
    m_volumes->mkdir(kOwnFolder);
    const QStringList mine{card("IMG_0001.JPG", 1, ""), card("IMG_0002.JPG", 1, "")};
    ImportPhotoToServer* w = open();
    std::unique_ptr<ImportPhotoToServer> other(new ImportPhotoToServer(nullptr));
    for (ImportPhotoToServer* window : {w, other.get()}) {
        window->show();
        waitForLookup(window);
        child<QPushButton>(window, qPrintable(mode))->click();
        waitForLookup(window);
    }
    if (meanwhile == "again") {
        const QString first = pressImport(w, mine, "导片成功!");
        QVERIFY2(first.startsWith("导入前正式库照片：0张"), qPrintable(first));
        waitForLookup(w);
        choose(w, mine);
    } else {
        choose(w, mine);
        choose(other.get(),
               {card("IMG_0011.JPG", 1, ""), card("IMG_0012.JPG", 1, ""), card("IMG_0013.JPG", 1, "")});
    }
    // This run's photos wait at their card reads until the other's is over.
    HeldReads hold(meanwhile == "other window" ? mine : QStringList());
    const int reports = m_service->requests("order", "updatepicpath").size();
    m_prompts->setNextAnswer(Prompts::Yes);
    child<QPushButton>(w, "importButton")->click();
    if (meanwhile == "other window") {
        QTRY_VERIFY(hold.begun() >= 1);
        QCOMPARE(importChosen(other.get(), "导片成功!"),
                 "导入前正式库照片：0张\n\n导入后正式库照片：3张    \n");
        QCOMPARE(m_service->requests("order", "updatepicpath").last().values.value("picnumber"),
                 QStringLiteral("3"));
        hold.letGo();
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_service->requests("order", "updatepicpath").size(),
                              reports + (meanwhile == "other window" ? 2 : 1), 30000);
    QCOMPARE(m_prompts->messages().last().title, QStringLiteral("导片成功!"));
    QTEST(m_prompts->messages().last().text, "box");
    QTEST(m_service->requests("order", "updatepicpath").last().values.value("picnumber"), "posted");
}

void TestImportPhotoToServer::captionAtTheRunsEnd_data()
{
    QTest::addColumn<QString>("before"); // the mode of a run before, whose photos' names come again
    QTest::newRow("finished photos over their own names") << "importPic2";
    QTest::newRow("camera photos listed before, finished photos without thumbnails") << "importPic1";
}

// Once a run of finished photos has ended, the caption counts what the
// folder holds: photos that replaced their own names, and one that could
// not be read, add nothing, nor do another mode's photos listed before.
void TestImportPhotoToServer::captionAtTheRunsEnd()
{
    QFETCH(QString, before);
    startWithOwnFolder();
    m_volumes->mkdir(kOwnFolder);
    m_volumes->mkdir("studio-nas/x"); // the backups of camera photos
    const QStringList mine{card("IMG_0001.JPG", 1, ""), card("IMG_0002.JPG", 1, "")};
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    child<QPushButton>(w, qPrintable(before))->click();
    waitForLookup(w);
    const QString first = pressImport(w, mine, "导片成功!");
    QVERIFY2(first.startsWith("导入前正式库照片：0张"), qPrintable(first));
    // The report taken, the order is looked up again.
    QTRY_COMPARE(PendingRecords::instance().count(), 0);
    waitForReplies(w);
    auto* caption = child<QLabel>(w, "label_4");
    QTRY_VERIFY(caption->text().endsWith(QStringLiteral("（2张)")));
    child<QPushButton>(w, "importPic2")->click();
    waitForLookup(w);

    const QString unreadable = card("IMG_0003.JPG", 1, "");
    FileOperation::setFaultHook([unreadable](FileOperation::Fault fault, const QString& path) {
        return fault == FileOperation::Fault::Read && path == unreadable;
    });
    // No look at the order after the run's report while the caption is read.
    m_service->hold("order", "updatepicpath");
    choose(w, mine + QStringList{unreadable});
    m_prompts->setNextAnswer(Prompts::Yes); // the run's box
    child<QPushButton>(w, "importButton")->click();
    QTRY_COMPARE(m_service->requests("order", "updatepicpath").size(), 2);
    QCOMPARE(m_prompts->messages().last().title, QStringLiteral("警告"));
    QCOMPARE(TestFiles::entries(m_volumes->path(kOwnFolder + "成品"), QDir::Files).size(), 2);
    QCOMPARE(caption->text(), QStringLiteral("订单已导入成品（2张)"));
    m_service->release("order", "updatepicpath");
}

void TestImportPhotoToServer::failedWritesAreTold_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QStringList>("failing"); // path ends
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("posted"); // picnumber/picbaknumber
    QTest::addColumn<int>("records");
    // The new mode's order lookup is answered only while the photos are written.
    QTest::addColumn<bool>("lookupInRun");

    using F = FileOperation::Fault;
    const QString partly = "1张照片已导入，部分文件未写入\nIMG_0002.JPG → 415A102-002.jpg\n";
    const QString counts = "\n导入前正式库照片：0张\n\n导入后正式库照片：%1张\n\n导入前备份库照片：0张\n\n"
                           "导入后备份库照片：%2张    \n";
    const QString backupCopy = "backup/2019-04/15/415A102-1/照片/415A102-002.jpg";
    // A photo in the order with a file not written is named apart: imported
    // again, it would be stored twice.
    QTest::newRow("a thumbnail and the records not written")
        << int(F::Write) << QStringList{"thumbnail100/415A102-002.jpg", "ImageTime.txt"}
        << partly + "拍摄时间记录写入失败\n" + counts.arg(2).arg(2) << "2/2" << 0 << false;
    QTest::newRow("a backup copy not written")
        << int(F::Write) << QStringList{backupCopy} << partly + counts.arg(2).arg(1) << "2/1" << 2 << false;
    QTest::newRow("a backup copy not written, the lookup answered in the run")
        << int(F::Write) << QStringList{backupCopy} << partly + counts.arg(2).arg(1) << "2/1" << 2 << true;
    QTest::newRow("a main copy onto a full share")
        << int(F::DiskFull) << QStringList{"photos/2019-04/15/415A102-1/照片/415A102-002.jpg"}
        << "服务器空间不足，请清理空间后再导入\n1张照片导入失败\nIMG_0002.JPG\n" + counts.arg(1).arg(1)
        << "1/1" << 1 << false;
    QTest::newRow("a backup copy onto a full share")
        << int(F::DiskFull) << QStringList{backupCopy}
        << "服务器空间不足，请清理空间后再导入\n" + partly + counts.arg(2).arg(1) << "2/1" << 2 << false;
}

void TestImportPhotoToServer::failedWritesAreTold()
{
    QFETCH(int, fault);
    QFETCH(QStringList, failing);
    QFETCH(bool, lookupInRun);
    start();
    const QStringList files{card("IMG_0001.JPG", 1, "2019:04:15 10:00:01"),
                            card("IMG_0002.JPG", 1, "2019:04:15 10:00:02")};
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    // The new mode's lookup is answered slowly, with what the service held
    // before the run made the order's folder; the photos are read only once
    // it is in, so it comes during the run.
    const auto lookupsIn = std::make_shared<QAtomicInt>(0);
    if (lookupInRun) {
        m_service->trickle("order", "get_order_path", 5);
        connect(w->findChild<QNetworkAccessManager*>(), &QNetworkAccessManager::finished, w,
                [lookupsIn](QNetworkReply* reply) {
                    if (reply->url().query().contains("a=get_order_path"))
                        lookupsIn->ref();
                });
    }
    child<QPushButton>(w, "importPic1")->click();
    if (!lookupInRun)
        waitForLookup(w);
    FileOperation::setFaultHook(
        [fault, failing, lookupsIn, lookupInRun](FileOperation::Fault f, const QString& path) {
            if (lookupInRun && f == FileOperation::Fault::Read && path.contains("/card/")) {
                QDeadlineTimer held(10000);
                while (lookupsIn->loadAcquire() == 0 && !held.hasExpired())
                    QThread::msleep(5);
            }
            return int(f) == fault && std::any_of(failing.begin(), failing.end(),
                                                  [&path](const QString& end) { return path.endsWith(end); });
        });
    QTEST(pressImport(w, files, "警告"), "box");
    const StandIn::LoggedRequest counts = m_service->requests("order", "updatepicpath").last();
    QTEST(counts.values.value("picnumber") + "/" + counts.values.value("picbaknumber"), "posted");
    QTEST(int(TestFiles::readAll(m_volumes->path(kNewFolder + "ImageTime.txt")).count('|')), "records");
    QVERIFY(counts.values.value("orderpicpath").endsWith("/415A102-1/"));
}

void TestImportPhotoToServer::iconsOfTheCurrentListingOnly()
{
    startWithOwnFolder();
    writeFinished({"b.jpg", "a.jpg"}, QSize(300, 200));
    m_volumes->mkdir(kOwnFolder + "成品缩略图/sub");
    m_volumes->writeFile(kOwnFolder + "成品缩略图/gone.jpg", "no photo of it");
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    auto* list = w->findChild<QListWidget*>();
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("a.jpg"));
    QTRY_VERIFY(!list->item(0)->icon().isNull() && !list->item(1)->icon().isNull());
    QCOMPARE(list->item(0)->icon().availableSizes().value(0), QSize(100, 100));
    const QString dir = qEnvironmentVariable("DRAVIN_RENDER_DIR");
    if (!dir.isEmpty()) {
        w->resize(867, 629);
        m_prompts->setNextFiles({card("IMG_0101.JPG", 1, ""), card("IMG_0102.JPG", 1, "")});
        child<QPushButton>(w, "selectButton")->click();
        QVERIFY(w->grab().save(dir + "/importphototoserver.png"));
    }

    // An icon of an earlier listing is dropped; one beyond the list too.
    QImage red(100, 100, QImage::Format_RGB32);
    red.fill(Qt::red);
    const qint64 before = list->item(0)->icon().cacheKey();
    QVERIFY(QMetaObject::invokeMethod(w, "setThumbIcon", Q_ARG(int, -5), Q_ARG(int, 0), Q_ARG(QImage, red)));
    QVERIFY(QMetaObject::invokeMethod(w, "updateThumbIcon", Q_ARG(int, 7), Q_ARG(QPixmap, QPixmap::fromImage(red))));
    QCOMPARE(list->item(0)->icon().cacheKey(), before);

    // A mode switch empties the list; the folder check answers for the new mode.
    child<QPushButton>(w, "importPic1")->click();
    QCOMPARE(list->count(), 0);
    waitForLookup(w);
    QCOMPARE(child<QLabel>(w, "label_4")->text(), QStringLiteral("订单已导入照片（0张）"));
}

void TestImportPhotoToServer::reimport()
{
    startWithOwnFolder();
    m_volumes->writeFile(kOwnFolder + "ImageTime.txt", "a>1|");
    m_volumes->writeFile(kOwnFolder + "成品/IMG_0001.jpg", "finished");
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    auto* reimportButton = child<QPushButton>(w, "reimportButton");
    QVERIFY(reimportButton->isVisible());

    m_prompts->setNextAnswer(Prompts::No);
    reimportButton->click();
    QVERIFY(QFile::exists(m_volumes->path(kOwnFolder + "ImageTime.txt")));
    m_prompts->setNextAnswer(Prompts::Yes);
    reimportButton->click();
    QCOMPARE(m_prompts->messages().last().title, QStringLiteral("注意"));
    QCOMPARE(m_prompts->messages().last().text, QStringLiteral("是否要重新读该订单？若是点击后请自行删除订单原文件夹"));
    QVERIFY(!QFile::exists(m_volumes->path(kOwnFolder + "ImageTime.txt")));
    QTRY_COMPARE(m_service->requests("order", "updatepicpath").size(), 1);
    const StandIn::LoggedRequest report = m_service->requests("order", "updatepicpath").last();
    QCOMPARE(report.values.value("orderpicpath"), QString());
    QCOMPARE(report.values.value("orderbakpicpath"), QStringLiteral("\\\\studio-nas\\backup\\x\\"));
    QCOMPARE(report.values.value("picnumber"), QStringLiteral("0"));
    QCOMPARE(report.values.value("typeid"), QStringLiteral("2"));
    // The accepted report looks the order up again: it has no folder now.
    QTRY_VERIFY(reimportButton->isHidden());
    QVERIFY(QFile::exists(m_volumes->path(kOwnFolder + "成品/IMG_0001.jpg")));
}

void TestImportPhotoToServer::deletingPhotos()
{
    startWithOwnFolder();
    for (const char* folder : {"成品/", "成品缩略图/", "成品缩略图100/", "成品缩略图2250/"}) {
        m_volumes->writeFile(kOwnFolder + folder + "a.jpg", "a");
        m_volumes->writeFile(kOwnFolder + folder + "b.jpg", "b");
    }
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    auto* list = w->findChild<QListWidget*>();
    QCOMPARE(list->count(), 2);
    list->item(1)->setSelected(true);
    const int lookups = m_service->requests("order", "get_order_path").size();
    auto* menu = list->findChild<QMenu*>();
    menu->actions().last()->trigger();
    QCOMPARE(menu->actions().last()->text(), QStringLiteral("删除选中照片"));
    for (const char* folder : {"成品/", "成品缩略图/", "成品缩略图100/", "成品缩略图2250/"}) {
        QCOMPARE(TestFiles::entries(m_volumes->path(kOwnFolder + folder)), QStringList{"a.jpg"});
    }
    QTRY_COMPARE(m_service->requests("order", "get_order_path").size(), lookups + 1);
    QTRY_COMPARE(list->count(), 1);

    menu->actions().first()->trigger();
    QCOMPARE(m_desktop->urls.last().toLocalFile(), m_volumes->path(kOwnFolder + "成品"));
}

void TestImportPhotoToServer::dateChange()
{
    start();
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    QSignalSpy refreshed(w, &ImportPhotoToServer::refreshSearchTable);
    QVERIFY(QMetaObject::invokeMethod(w, "on_newPhotoDateDate", Q_ARG(QString, QString())));
    QVERIFY(QMetaObject::invokeMethod(w, "on_newPhotoDateDate", Q_ARG(QString, "2024-05-07")));
    QCOMPARE(child<QPushButton>(w, "pushButton_photodate")->text(), QStringLiteral("2024-05-07"));
    QCOMPARE(child<QLineEdit>(w, "lineEdit_orderPRName")->text(), QStringLiteral("507"));
    QTRY_COMPARE(refreshed.count(), 1);
    const QList<StandIn::LoggedRequest> posts = m_service->requests("order", "updatephotodate");
    QCOMPARE(posts.size(), 1); // the cleared date was not posted
    QCOMPARE(posts.first().keys, QStringList({"token", "orderid", "shopid", "photodate", "superid"}));
    QCOMPARE(Config::order_photodate, QStringLiteral("2024-05-07"));
    QCOMPARE(storedOrder().value("shotdate").toString(), QStringLiteral("2024-05-07"));

    m_service->refuse("order", "updatephotodate", "0", "x");
    m_prompts->setNextAnswer(Prompts::Yes);
    QVERIFY(QMetaObject::invokeMethod(w, "on_newPhotoDateDate", Q_ARG(QString, "2024-06-01")));
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->messages().last().text, QStringLiteral("错误代码：0"));
    QCOMPARE(Config::order_photodate, QStringLiteral("2024-05-07"));
    // The prefix follows the picked date at once, accepted or not.
    QCOMPARE(child<QLineEdit>(w, "lineEdit_orderPRName")->text(), QStringLiteral("601"));
    // Another server's page: the service may not hold the date.
    m_service->sendRaw("order", "updatephotodate", "<html>busy</html>");
    m_prompts->setNextAnswer(Prompts::Yes);
    QVERIFY(QMetaObject::invokeMethod(w, "on_newPhotoDateDate", Q_ARG(QString, "2024-06-01")));
    QTRY_COMPARE(m_prompts->messages().size(), 2);
    QCOMPARE(m_prompts->messages().last().text, QStringLiteral("网络请求错误\n200"));
    QCOMPARE(Config::order_photodate, QStringLiteral("2024-05-07"));

    // A new folder takes the accepted date.
    child<QPushButton>(w, "importPic1")->click();
    waitForLookup(w);
    QCOMPARE(pressImport(w, {card("IMG_0001.JPG", 1, "")}, "导片成功!").left(9), QStringLiteral("导入前正式库照片："));
    QVERIFY(QFile::exists(m_volumes->path("photos/2024-05/07/601A102-1/照片/601A102-001.jpg")));
}

void TestImportPhotoToServer::closingMidRun_data()
{
    QTest::addColumn<bool>("stop"); // the answer to the close question
    // "jobs": the photo jobs write; "paths": the server paths are asked for.
    QTest::addColumn<QString>("stage");
    QTest::addColumn<bool>("reportHeld"); // the count report's answer waits

    QTest::newRow("yes: the photos under way arrive, the rest are named") << true << "jobs" << false;
    QTest::newRow("no: the run goes on") << false << "jobs" << false;
    QTest::newRow("yes: the report is answered before the window goes") << true << "jobs" << true;
    QTest::newRow("yes before the jobs began: nothing written or posted") << true << "paths" << false;
}

// The jobs under way are held at their card reads (the first one's fails)
// while every pool thread has one and two more wait; then the window is
// closed.
void TestImportPhotoToServer::closingMidRun()
{
    QFETCH(bool, stop);
    QFETCH(QString, stage);
    QFETCH(bool, reportHeld);
    const int running = QThread::idealThreadCount();
    QStringList files;
    QPointer<ImportPhotoToServer> w = openForAStop(files);
    QSignalSpy closed(w.data(), &ImportPhotoToServer::showSearch);

    HeldReads hold(files, files.first());
    if (stage == "paths")
        m_service->hold("order", "get_order_pic_path");
    if (reportHeld)
        m_service->hold("order", "updatepicpath");
    choose(w, files);
    child<QPushButton>(w, "importButton")->click();
    if (stage == "jobs") {
        QTRY_COMPARE(hold.begun(), running);
        QVERIFY(FoldersInUse::contains(m_volumes->path(kNewFolder)));
    }
    m_prompts->setNextAnswer(stop ? Prompts::Yes : Prompts::No);
    m_prompts->setNextAnswer(Prompts::Yes); // the run's box
    w->close();
    const ScriptedPrompts::Call question = m_prompts->messages().value(0);
    QCOMPARE(question.title, QStringLiteral("提示"));
    QCOMPARE(question.text, QStringLiteral("正在导片，确定停止导片并关闭吗？"));
    QCOMPARE(question.buttons, Prompts::Yes | Prompts::No);
    QCOMPARE(question.defaultButton, Prompts::No);

    if (stage == "paths") {
        // Gone at once; the paths that come later start nothing.
        QVERIFY(!w->isVisible());
        QCOMPARE(closed.count(), 1);
        hold.letGo();
        QTRY_COMPARE(m_service->requests("order", "get_order_pic_path").size(), 1);
        m_service->release("order", "get_order_pic_path");
        waitForReplies(w);
        QCOMPARE(m_prompts->messages().size(), 1);
        QCOMPARE(PendingRecords::instance().count(), 0);
        QVERIFY(m_service->requests("order", "updatepicpath2").isEmpty());
        QVERIFY(m_service->requests("order", "updatepicpath").isEmpty());
        QVERIFY(!QFileInfo::exists(m_volumes->path(kNewFolder)));
        return;
    }
    QVERIFY(w->isVisible());
    QCOMPARE(child<QLineEdit>(w, "lineEdit_picAppendName")->isEnabled(), !stop);
    if (stop) {
        w->close(); // ignored while stopping, without asking again
        QCOMPARE(m_prompts->messages().size(), 1);
        QVERIFY(w->isVisible());
    }
    hold.letGo();
    QTRY_COMPARE_WITH_TIMEOUT(m_service->requests("order", "updatepicpath").size(), 1, 30000);
    if (reportHeld) {
        QVERIFY(w->isVisible());
        QCOMPARE(closed.count(), 0);
        m_service->release("order", "updatepicpath");
    }
    QTRY_COMPARE(w->isVisible(), !stop);
    QCOMPARE(closed.count(), stop ? 1 : 0);

    const int arrived = stop ? running - 1 : running + 1;
    QStringList named{"1张照片导入失败", QFileInfo(files.first()).fileName()};
    if (stop)
        named << "2张照片未导入" << QFileInfo(files.at(running)).fileName()
              << QFileInfo(files.at(running + 1)).fileName();
    const ScriptedPrompts::Call box = m_prompts->messages().last();
    QCOMPARE(box.title, QStringLiteral("警告"));
    QCOMPARE(box.text,
             named.join('\n') + QStringLiteral("\n\n导入前正式库照片：0张\n\n导入后正式库照片：%1张\n\n"
                                               "导入前备份库照片：0张\n\n导入后备份库照片：%1张    \n")
                                    .arg(arrived));
    const StandIn::LoggedRequest counts = m_service->requests("order", "updatepicpath").last();
    QCOMPARE(counts.values.value("picnumber"), QString::number(arrived));
    QCOMPARE(counts.values.value("picbaknumber"), QString::number(arrived));
    QCOMPARE(TestFiles::entries(m_volumes->path(kNewFolder + "照片"), QDir::Files).size(), arrived);
    QCOMPARE(TestFiles::readAll(m_volumes->path(kNewFolder + "ImageTime.txt")).count('|'), arrived);
    if (stop)
        QVERIFY(!FoldersInUse::contains(m_volumes->path(kNewFolder)));
}

// A run stopped by the close whose count report is answered while a box of
// the window is open (its path report refused a moment before): the window
// stays shown under the box and goes once it is answered.
void TestImportPhotoToServer::stoppedRunReportsUnderItsOwnBox()
{
    const int running = QThread::idealThreadCount();
    QStringList files;
    QPointer<ImportPhotoToServer> w = openForAStop(files);
    QSignalSpy closed(w.data(), &ImportPhotoToServer::showSearch);
    HeldReads hold(files);
    m_service->refuse("order", "updatepicpath2", "0", QStringLiteral("订单不存在"));
    m_service->hold("order", "updatepicpath2");
    m_service->hold("order", "updatepicpath");
    choose(w, files);
    child<QPushButton>(w, "importButton")->click();
    QTRY_COMPARE(hold.begun(), running);
    m_prompts->setNextAnswer(Prompts::Yes); // stop
    m_prompts->setNextAnswer(Prompts::Yes); // the run's box
    w->close();
    hold.letGo();
    QTRY_COMPARE_WITH_TIMEOUT(m_service->requests("order", "updatepicpath").size(), 1, 30000);

    // The path report's refusal is told in a box held open until the count
    // report has been answered.
    bool released = false;
    bool shownUnderTheBox = true;
    int closedUnderTheBox = -1;
    m_prompts->setNextAnswerWhen(
        [&] {
            if (!std::exchange(released, true))
                m_service->release("order", "updatepicpath");
            shownUnderTheBox = shownUnderTheBox && w && w->isVisible();
            closedUnderTheBox = closed.count();
            return PendingRecords::instance().count() == 0;
        },
        Prompts::Yes);
    m_service->release("order", "updatepicpath2");
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(released);
    QVERIFY(shownUnderTheBox);
    QCOMPARE(closedUnderTheBox, 0);
    QVERIFY(!w->isVisible());
    const QList<ScriptedPrompts::Call> boxes = m_prompts->messages();
    QCOMPARE(boxes.size(), 3); // the question, the run's box, the refusal
    QCOMPARE(boxes.at(1).title, QStringLiteral("警告"));
    QCOMPARE(boxes.at(2).title + " / " + boxes.at(2).text, QStringLiteral("警告 / 上传路径错误代码：0"));
}

// Two windows import four photos each into one order at once: both number
// from 001, and the first one's photos wait between their run's start and
// their main copies until the second has taken those names. Every photo of
// both is there once, with its own backup, thumbnails and record; each
// window counts its own four; and a second click imports nothing.
void TestImportPhotoToServer::twoWindowsOnOneOrder()
{
    start();
    QMap<QByteArray, int> cardOf; // bytes -> card n, 600 + 40n wide, shot at 10:00:0n
    QList<QStringList> files{{}, {}};
    for (int n = 0; n < 8; ++n) {
        files[n / 4].append(card(QStringLiteral("IMG_%1.JPG").arg(n), 1,
                                 QStringLiteral("2019:04:15 10:00:0%1").arg(n), QSize(600 + 40 * n, 400)));
        cardOf.insert(TestFiles::readAll(files[n / 4].last()), n);
    }
    ImportPhotoToServer* first = open();
    std::unique_ptr<ImportPhotoToServer> second(new ImportPhotoToServer(nullptr));
    second->show();
    for (ImportPhotoToServer* w : {first, second.get()}) {
        waitForLookup(w);
        child<QPushButton>(w, "importPic1")->click();
        waitForLookup(w);
        choose(w, files.at(w == first ? 0 : 1));
        const auto* model = qobject_cast<QStandardItemModel*>(child<QTableView>(w, "tableView")->model());
        QCOMPARE(model->item(0)->text(), QStringLiteral("415A102-001.jpg"));
    }
    HeldReads hold(files.at(0));
    m_prompts->setNextAnswer(Prompts::Yes);
    child<QPushButton>(first, "importButton")->click();
    QTRY_COMPARE(m_service->requests("order", "updatepicpath2").size(), 1); // its photos are numbered
    const QString counts = "导入前正式库照片：0张\n\n导入后正式库照片：4张\n\n导入前备份库照片：0张\n\n"
                           "导入后备份库照片：4张    \n";
    QCOMPARE(importChosen(second.get(), "导片成功!"), counts);
    hold.letGo();
    QTRY_COMPARE_WITH_TIMEOUT(m_service->requests("order", "updatepicpath").size(), 2, 30000);
    QCOMPARE(m_prompts->messages().last().text, counts);
    for (const StandIn::LoggedRequest& report : m_service->requests("order", "updatepicpath"))
        QCOMPARE(report.values.value("picnumber") + report.values.value("picbaknumber"),
                 QStringLiteral("44"));

    const QString order = m_volumes->path(kNewFolder);
    const QStringList names = TestFiles::entries(order + "照片", QDir::Files);
    QCOMPARE(names,
             QStringList({"415A102-001.jpg", "415A102-002.jpg", "415A102-003.jpg", "415A102-004.jpg",
                          "415A102-005.jpg", "415A102-006.jpg", "415A102-007.jpg", "415A102-008.jpg"}));
    QVERIFY(!FoldersInUse::contains(order)); // the runs are over
    const QString records = QString::fromUtf8(TestFiles::readAll(order + "ImageTime.txt"));
    QCOMPARE(records.count('|'), 8);
    QSet<int> seen;
    for (const QString& name : names) {
        const QByteArray main = TestFiles::readAll(order + "照片/" + name);
        const int n = cardOf.value(main, -1);
        QVERIFY2(n >= 0 && !seen.contains(n), qPrintable(name));
        seen.insert(n);
        QCOMPARE(TestFiles::readAll(m_volumes->path("backup/2019-04/15/415A102-1/照片/" + name)), main);
        QCOMPARE(storedSize(order + "thumbnail2250/" + name), QSize(2250, 400 * 2250 / (600 + 40 * n)));
        QVERIFY(records.contains(QStringLiteral("%1>19:04:15 10:00:0%2|").arg(name.chopped(4)).arg(n)));
    }

    // The first window's photos left its choice.
    waitForLookup(first);
    QCOMPARE(child<QTableView>(first, "tableView")->model()->rowCount(), 0);
    const int paths = m_service->requests("order", "updatepicpath2").size();
    QTRY_COMPARE(PendingRecords::instance().count(), 0);
    m_prompts->setNextAnswer(Prompts::Yes);
    child<QPushButton>(first, "importButton")->click();
    QCOMPARE(m_prompts->messages().last().text, QStringLiteral("请先添加照片"));
    QCOMPARE(PendingRecords::instance().count(), 0); // nothing on its way
    QCOMPARE(m_service->requests("order", "updatepicpath2").size(), paths);
    QCOMPARE(TestFiles::entries(order + "照片", QDir::Files).size(), 8);
}

void TestImportPhotoToServer::reportsKeptAndSentAgain_data()
{
    QTest::addColumn<QString>("action"); // the route that fails
    // "unreached": the connection is refused, nothing reaches the service.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box"); // after the run
    // What comes next: "same window" looks the order up again; "next
    // window": the window is closed and another one opened; "gone": the
    // window is closed and deleted before the answer, then another opened;
    // "two windows": the window looks up again while a second one opens.
    QTest::addColumn<QString>("then");
    QTest::addColumn<bool>("sentAgain");

    const QString failed = "以下订单上报失败：\nA102：";
    const QString kept = "\n未上报的记录将在下次导入照片时重新上报，退出软件后不再上报";
    const QString check = "\n请核对以上订单的照片数量";
    QTest::newRow("count report, connection refused")
        << "updatepicpath"
        << "unreached" << failed + "网络错误" + kept << "same window" << true;
    // The service may have added it: never sent again.
    QTest::newRow("count report, HTTP 500") << "updatepicpath"
                                            << "http" << failed + "500" + check << "same window" << false;
    QTest::newRow("count report, no answer")
        << "updatepicpath"
        << "drop" << failed + "网络错误" + check << "same window" << false;
    // The run's count report, taken after it, carried the same folders: a
    // path report it overtook is not sent again.
    QTest::newRow("path report, HTTP 500") << "updatepicpath2"
                                           << "http" << failed + "500" + kept << "same window" << false;
    QTest::newRow("count report, sent by the next window")
        << "updatepicpath"
        << "unreached" << failed + "网络错误" + kept << "next window" << true;
    // Once its window has gone, the store names the report itself.
    QTest::newRow("count report, HTTP 500 after the window has gone")
        << "updatepicpath"
        << "http" << failed + "500" + check << "gone" << false;
    QTest::newRow("path report, HTTP 500 after the window has gone")
        << "updatepicpath2"
        << "http" << failed + "500" + kept << "gone" << false;
    QTest::newRow("count report refused after the window has gone") << "updatepicpath"
                                                                    << "refuse" << failed + "错误代码：0"
                                                                    << "gone" << false;
    QTest::newRow("path report refused after the window has gone")
        << "updatepicpath2"
        << "refuse" << failed + "上传路径错误代码：0"
        << "gone" << false;
    QTest::newRow("count report, resent once by two windows")
        << "updatepicpath"
        << "unreached" << failed + "网络错误" + kept << "two windows" << true;
    // A reply that is not the service's JSON object is no receipt either,
    // and the service may have added the count before it.
    for (const char* then : {"same window", "gone"}) {
        for (const char* body : {"<html>502 Bad Gateway</html>", ""}) {
            QTest::newRow(qPrintable(QString("count report answered 200 with \"%1\", %2").arg(body, then)))
                << "updatepicpath" << QString("raw:") + body << failed + "200" + check << then << false;
        }
    }
}

// A report the service did not receive is named after the run and sent
// again, once and as it was, before the next lookup, also a later window's:
// no photo is copied again and no count is added twice. A refused one is
// named and not sent again, and so is a count report the service may hold.
void TestImportPhotoToServer::reportsKeptAndSentAgain()
{
    QFETCH(QString, action);
    QFETCH(QString, fault);
    QFETCH(QString, then);
    QFETCH(bool, sentAgain);
    start();
    std::shared_ptr<void> unreached;
    importTwo([&] {
        if (fault == "http")
            m_service->failHttp("order", action, 500);
        else if (fault == "refuse")
            m_service->refuse("order", action, "0", "x");
        else if (fault.startsWith("raw:"))
            m_service->sendRaw("order", action, fault.mid(4).toUtf8());
        else if (fault == "drop")
            m_service->drop("order", action);
        else
            unreached = unreachableCountReports("refused");
        if (then == "gone")
            m_service->hold("order", action);
    });
    if (QTest::currentTestFailed())
        return;
    ImportPhotoToServer* w = m_window;
    if (then == "gone") {
        // The held report alone is on its way, the window's own requests
        // are answered.
        QTRY_COMPARE(PendingRecords::instance().count(), 1);
        waitForReplies(w);
        QCOMPARE(m_prompts->messages().size(), 1);
        w->close(); // its opener deletes it then
        delete w;
        m_service->release("order", action);
    }
    QTRY_COMPARE(PendingRecords::instance().count(), 0);
    if (then != "gone")
        waitForReplies(w); // a count report taken looks the order up again
    QCOMPARE(m_prompts->messages().size(), 2);
    QCOMPARE(m_prompts->messages().last().title, QStringLiteral("警告"));
    QTEST(m_prompts->messages().last().text, "box");
    const QList<StandIn::LoggedRequest> first = m_service->requests("order", action);

    m_service->clearFaults();
    m_service->clearLog();
    unreached.reset();
    std::unique_ptr<ImportPhotoToServer> second;
    if (then == "next window") {
        w->close();
        delete w;
    }
    if (then == "next window" || then == "gone") {
        w = open();
    } else {
        // The first resend is on its way while the second window looks up.
        if (then == "two windows")
            m_service->hold("order", action);
        child<QPushButton>(w, "importPic2")->click();
        if (then == "two windows") {
            second.reset(new ImportPhotoToServer(nullptr));
            second->show();
            waitForLookup(second.get());
            m_service->release("order", action);
        }
    }
    waitForLookup(w);
    // A mode switch looks up twice, an opening once.
    const int lookups =
        (then == "same window" || then == "two windows" ? 2 : 0) + (then == "same window" ? 0 : 1);
    QTRY_COMPARE(m_service->requests("order", "get_order_path").size(), lookups);
    const QList<StandIn::LoggedRequest> log = m_service->log();
    QCOMPARE(m_service->requests("order", action).size(), sentAgain ? 1 : 0);
    QCOMPARE(TestFiles::entries(m_volumes->path(kNewFolder + "照片"), QDir::Files).size(), 2);
    QCOMPARE(m_prompts->messages().size(), 2);
    if (!sentAgain)
        return;
    if (!first.isEmpty())
        QCOMPARE(m_service->requests("order", action).first().rawBody, first.first().rawBody);
    // The report went before the lookups (of another window, any time).
    if (then != "two windows")
        QCOMPARE(log.first().a, action);
    if (action == "updatepicpath")
        QCOMPARE(storedOrder().value("photonum").toString(), QStringLiteral("2"));
    QCOMPARE(storedOrder().value("orderpath").toString(),
             QStringLiteral("\\\\studio-nas\\photos\\2019-04/15/415A102-1/"));
}

void TestImportPhotoToServer::importTwo(const std::function<void()>& setUpService)
{
    const QStringList files{card("IMG_0001.JPG", 1, ""), card("IMG_0002.JPG", 1, "")};
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    child<QPushButton>(w, "importPic1")->click();
    waitForLookup(w);
    setUpService();
    m_prompts->setNextAnswer(Prompts::Yes); // the report box
    QVERIFY(pressImport(w, files, "导片成功!").startsWith("导入前正式库照片：0张"));
}

QStringList TestImportPhotoToServer::boxesAfter(int count) const
{
    QStringList boxes;
    for (const ScriptedPrompts::Call& box : m_prompts->messages().mid(count))
        boxes.append(box.title + " / " + box.text);
    return boxes;
}

void TestImportPhotoToServer::resentReportsFailingAgain_data()
{
    // "run": the run's count report, whose connection was refused;
    // "reimport": the 重新导片 report, answered HTTP 500.
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("fault");     // of the resend
    QTest::addColumn<QStringList>("boxes"); // after the one naming it kept
    const QString check = "\n请核对以上订单的照片数量";
    QTest::newRow("refused, its window open")
        << "run"
        << "refuse" << QStringList{"警告 / 以下订单上报失败：\nA102：错误代码：0"};
    // The service may hold its count: not sent again, and named by the store.
    QTest::newRow("HTTP 500 once its window has gone")
        << "run"
        << "http, gone" << QStringList{"警告 / 以下订单上报失败：\nA102：500" + check};
    // It sets the folder only: sent once more, then named.
    QTest::newRow("重新导片 report, HTTP 500 again")
        << "reimport"
        << "http" << QStringList{"警告 / 以下订单上报失败：\nA102：500" + check};
}

// A kept report that fails again when resent: a refusal names the order the
// report was for (kept reports may be any order's); one the service may hold
// is named, once its window has gone by the store, and no longer kept.
void TestImportPhotoToServer::resentReportsFailingAgain()
{
    QFETCH(QString, report);
    QFETCH(QString, fault);
    start();
    std::shared_ptr<void> unreached;
    importTwo([&] {
        if (report == "run")
            unreached = unreachableCountReports("refused");
    });
    if (QTest::currentTestFailed())
        return;
    ImportPhotoToServer* w = m_window;
    if (report == "reimport") {
        // Taken; the answer left over is the 重新导片 question's.
        QTRY_COMPARE(PendingRecords::instance().count(), 0);
        waitForReplies(w);
        m_service->failHttp("order", "updatepicpath", 500);
        m_prompts->setNextAnswer(Prompts::Ok); // the report kept
        child<QPushButton>(w, "reimportButton")->click();
    }
    QTRY_COMPARE(m_prompts->messages().size(), report == "run" ? 2 : 3);
    QVERIFY(m_prompts->messages().last().text.endsWith(
        "未上报的记录将在下次导入照片时重新上报，退出软件后不再上报"));
    QCOMPARE(ReportStore::instance().keptCount(), 1);
    const int named = m_prompts->messages().size();
    unreached.reset();

    if (fault == "refuse")
        m_service->refuse("order", "updatepicpath", "0", "x");
    else
        m_service->failHttp("order", "updatepicpath", 500);
    m_prompts->setNextAnswer(Prompts::Ok);
    if (fault.endsWith("gone")) {
        m_service->hold("order", "updatepicpath");
        w->close();
        delete w;
        w = open(); // sent again on opening
        QTRY_COMPARE(m_service->requests("order", "updatepicpath").size(), 1);
        w->close();
        delete w;
        m_service->release("order", "updatepicpath");
    } else {
        child<QPushButton>(w, "importPic2")->click(); // sent again before the lookup
        waitForLookup(w);
    }
    QTRY_COMPARE(PendingRecords::instance().count(), 0);
    QTEST(boxesAfter(named), "boxes");
    QCOMPARE(ReportStore::instance().keptCount(), 0);
}

std::shared_ptr<void> TestImportPhotoToServer::unreachableCountReports(const QString& how)
{
    QString host;
    std::function<void()> restore;
    if (how == "refused") {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        host = "127.0.0.1:" + QString::number(closed.serverPort());
    } else if (how == "unreachable") {
        // A connection to a multicast address fails at once: the network
        // is unreachable.
        host = "224.0.0.1:" + QString::number(QUrl(m_service->baseUrl()).port());
    } else {
        // A listening socket whose queue is full: the connection never
        // opens, and the request times out before it is sent.
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* raw = reinterpret_cast<sockaddr*>(&address);
        if (::bind(listener, raw, length) != 0 || ::listen(listener, 0) != 0 ||
            ::getsockname(listener, raw, &length) != 0 || ::connect(filler, raw, length) != 0)
            qWarning("the full queue could not be made");
        host = "127.0.0.1:" + QString::number(ntohs(address.sin_port));
        const int timeout = WebService::transferTimeoutMs();
        WebService::setTransferTimeoutMs(2000);
        restore = [listener, filler, timeout] {
            ::close(filler);
            ::close(listener);
            WebService::setTransferTimeoutMs(timeout);
        };
    }
    const QString route = Config::url_post_orderpicpath;
    Config::url_post_orderpicpath.replace(QUrl(m_service->baseUrl()).authority(), host);
    return std::shared_ptr<void>(nullptr, [route, restore](void*) {
        Config::url_post_orderpicpath = route;
        if (restore)
            restore();
    });
}

std::pair<std::unique_ptr<ScriptedServer>, std::shared_ptr<void>> TestImportPhotoToServer::servedThenGone()
{
    const quint16 standIn = quint16(QUrl(m_service->baseUrl()).port());
    auto server = std::make_unique<ScriptedServer>([standIn](const ScriptedServer::Request& r) {
        ScriptedServer::handOn(r.raw, standIn); // the stand-in closes once it has answered
        return ScriptedServer::Act::CloseAndStopListening;
    });
    const QString route = Config::url_post_orderpicpath;
    Config::url_post_orderpicpath.replace(QUrl(m_service->baseUrl()).authority(),
                                          QUrl(server->baseUrl()).authority());
    return {std::move(server),
            std::shared_ptr<void>(nullptr, [route](void*) { Config::url_post_orderpicpath = route; })};
}

void TestImportPhotoToServer::reportsTheServiceMayHold_data()
{
    // The count report's first send meets it.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("finishedRun");     // the second window imports two finished photos
    QTest::addColumn<QStringList>("photonum"); // in the service after each of three windows
    QTest::addColumn<QStringList>("boxes");    // of each window, but the run's
    QTest::addColumn<QString>("finishnum");    // in the service in the end
    QTest::addColumn<int>("counted");          // count reports the service saw
    const QString failed = "警告 / 以下订单上报失败：\nA102：";
    const QString kept = "\n未上报的记录将在下次导入照片时重新上报，退出软件后不再上报";
    const QString check = "\n请核对以上订单的照片数量";
    // The service added it (or may have, the report being written): named
    // at once, never sent again; Qt does not send it a second time either.
    const QList<std::array<const char*, 3>> held{
        {"a notice before its JSON", "notice", "200"},
        {"504 after the work", "504", "504"},
        {"the work done, the connection dropped once", "dropped once", "网络错误"},
        {"read, the connection closed, the service gone until the next window", "gone", "网络错误"}};
    for (const auto& [name, fault, status] : held) {
        QTest::newRow(name) << fault << false << QStringList{"2", "2", "2"}
                            << QStringList{failed + status + check, "", ""} << "" << 1;
    }
    // The run's path report is kept, and sent again by the next window.
    QTest::newRow("504 after the work, the path report HTTP 500")
        << "504, paths 500" << false << QStringList{"2", "2", "2"}
        << QStringList{"警告 / 以下订单上报失败：\nA102（上传路径）：500" + kept + "\nA102（导片数量）：504" +
                           check,
                       "", ""}
        << "" << 1;
    // Nothing reached the service: sent until it goes through, counted once.
    const QList<std::array<const char*, 2>> unreached{{"connection refused", "refused"},
                                                      {"host unreachable", "unreachable"},
                                                      {"no connection before the timeout", "no connection"}};
    for (const auto& [name, fault] : unreached) {
        QTest::newRow(name) << fault << false << QStringList{"", "", "2"}
                            << QStringList{failed + "网络错误" + kept, "", ""} << "" << 1;
    }
    // Counts add: the newer reports of the order, into its same folder, do
    // not overtake it.
    QTest::newRow("connection refused, finished photos imported meanwhile")
        << "refused" << true << QStringList{"", "", "2"}
        << QStringList{failed + "网络错误" + kept, failed + "网络错误" + kept, ""} << "2" << 2;
}

// A count report is added by the service: one it may hold already (its
// answer lost or garbled after the work) is named at once and never sent
// again; one that never reached it is sent until it goes through.
void TestImportPhotoToServer::reportsTheServiceMayHold()
{
    QFETCH(QString, fault);
    QFETCH(bool, finishedRun);
    QFETCH(QStringList, photonum);
    QFETCH(QStringList, boxes);
    start();
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    child<QPushButton>(w, "importPic1")->click();
    waitForLookup(w);
    std::shared_ptr<void> unreached;
    std::unique_ptr<ScriptedServer> gone;
    if (fault == "notice")
        m_service->answerAfterWork("order", "updatepicpath", 200, "<b>Notice</b>: Undefined index<br>\n");
    else if (fault.startsWith("504"))
        m_service->answerAfterWork("order", "updatepicpath", 504, "<html>504 Gateway Time-out</html>");
    else if (fault == "dropped once")
        m_service->dropAfterWork("order", "updatepicpath");
    else if (fault == "gone")
        std::tie(gone, unreached) = servedThenGone();
    else
        unreached = unreachableCountReports(fault);
    if (fault.endsWith("paths 500"))
        m_service->failHttp("order", "updatepicpath2", 500);
    m_prompts->setNextAnswer(Prompts::Yes); // the run's box
    choose(w, {card("IMG_0001.JPG", 1, ""), card("IMG_0002.JPG", 1, "")});
    int shown = 0;
    for (int window = 0; window < 3; ++window) {
        if (!boxes.at(window).isEmpty())
            m_prompts->setNextAnswer(Prompts::Ok);
        if (window > 0) {
            delete m_window;
            m_service->clearFaults();
            if (window == 2 || fault == "gone")
                unreached.reset();
            w = open();
            waitForLookup(w); // kept reports go before the lookup
        }
        if (window == 0 || (window == 1 && finishedRun)) {
            if (window == 1) {
                m_prompts->setNextAnswer(Prompts::Yes); // the run's box
                choose(w, {card("IMG_0003.JPG", 1, ""), card("IMG_0004.JPG", 1, "")});
            }
            const int before = m_prompts->messages().size();
            child<QPushButton>(w, "importButton")->click();
            // The count report goes once the run's box is closed.
            QTRY_VERIFY(m_prompts->messages().size() > before);
            QCOMPARE(m_prompts->messages().at(before).title, QStringLiteral("导片成功!"));
        }
        QTRY_COMPARE(PendingRecords::instance().count(), 0);
        QCOMPARE(storedOrder().value("photonum").toString(), photonum.at(window));
        QStringList reported;
        for (const QString& box : boxesAfter(shown)) {
            if (!box.startsWith("导片成功!"))
                reported.append(box);
        }
        QCOMPARE(reported.join('|'), boxes.at(window));
        shown = m_prompts->messages().size();
    }
    QTEST(storedOrder().value("finishnum").toString(), "finishnum");
    QTEST(int(m_service->requests("order", "updatepicpath").size()), "counted");
}

// A 重新导片 report kept through a resend that failed once more is older
// than the next run's reports once they are taken: it never goes out after
// them (it would take the order's folder away), and its order is named.
void TestImportPhotoToServer::reimportReportOvertaken()
{
    start();
    importTwo([] {}); // taken; the answer left over is the 重新导片 question's
    if (QTest::currentTestFailed())
        return;
    ImportPhotoToServer* w = m_window;
    waitForLookup(w);
    std::shared_ptr<void> refused = unreachableCountReports("refused");
    m_prompts->setNextAnswer(Prompts::Ok); // the report kept
    child<QPushButton>(w, "reimportButton")->click();
    QTRY_COMPARE(ReportStore::instance().keptCount(), 1);

    // The next run's resend is refused again; its own reports go through.
    const QStringList files{card("IMG_0003.JPG", 1, ""), card("IMG_0004.JPG", 1, "")};
    HeldReads hold(files);
    m_prompts->setNextAnswer(Prompts::Yes); // the run's box
    m_prompts->setNextAnswer(Prompts::Ok);  // the run's reports
    m_prompts->setNextAnswer(Prompts::Ok);  // the lookup after them: the kept one overtaken
    choose(w, files);
    child<QPushButton>(w, "importButton")->click();
    QTRY_VERIFY(hold.begun() > 0);
    refused.reset();
    hold.letGo();
    QTRY_COMPARE(m_prompts->messages().size(), 6);
    QTRY_COMPARE(PendingRecords::instance().count(), 0);
    QCOMPARE(m_prompts->messages().last().text,
             QStringLiteral("以下订单上报失败：\nA102：网络错误\n请核对以上订单的照片数量"));
    QCOMPARE(m_service->requests("order", "updatepicpath").size(), 2);
    const QString folder = storedOrder().value("orderpath").toString();
    QVERIFY2(folder.endsWith("415A102-1/"), qPrintable(folder));
}

void TestImportPhotoToServer::reportsOnTheirWayAtQuit_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("notice"); // shown while the client waits
    QTest::addColumn<QStringList>("boxes"); // after the run's
    QTest::newRow("answered before the quit") << "" << false << QStringList();
    QTest::newRow("answered late") << "late" << true << QStringList();
    QTest::newRow("answered late with HTTP 500")
        << "late, http" << true
        << QStringList{"警告 / 以下订单上报失败：\nA102：500\n退出软件后不再上报，请核对以上订单的照片数量"};
    // Its window closed, not yet deleted: the answer goes to the last box all the same.
    QTest::newRow("answered late with HTTP 500, its window still there")
        << "late, window, http" << true
        << QStringList{"警告 / 以下订单上报失败：\nA102：500\n退出软件后不再上报，请核对以上订单的照片数量"};
    // Its close button and the window manager's close leave it on the screen.
    QTest::newRow("answered late, the notice closed meanwhile")
        << "late, notice closed" << true << QStringList();
}

namespace {

// Gathers the texts of the windows shown while it lives, and calls shown
// with each of them.
class ShownWindows : public QObject
{
public:
    explicit ShownWindows(std::function<void(QWidget*)> shown) : m_shown(std::move(shown))
    {
        qApp->installEventFilter(this);
    }
    QStringList texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            for (const QLabel* label : watched->findChildren<QLabel*>())
                texts.append(label->text());
            if (m_shown)
                m_shown(static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    std::function<void(QWidget*)> m_shown;
};

} // namespace

// Staff close the last window while the count report is on its way: the
// client waits for its answer before it exits, and names it when it was
// not received.
void TestImportPhotoToServer::reportsOnTheirWayAtQuit()
{
    QFETCH(QString, fault);
    start();
    const bool late = fault.startsWith("late");
    importTwo([&] {
        if (late)
            m_service->hold("order", "updatepicpath");
        if (fault.endsWith("http"))
            m_service->failHttp("order", "updatepicpath", 500);
    });
    if (QTest::currentTestFailed())
        return;
    m_window->close();
    if (!fault.contains("window"))
        delete m_window;
    if (!late)
        QTRY_COMPARE(PendingRecords::instance().count(), 0);
    // The held answer comes once the client waits for it, and the notice
    // of the wait is closed first where the row says so.
    const bool closeNotice = fault.endsWith("notice closed");
    bool stayedShown = false;
    ShownWindows shown([&](QWidget* window) {
        if (!closeNotice) {
            if (late)
                m_service->release("order", "updatepicpath");
            return;
        }
        QTimer::singleShot(0, window, [&, window] {
            window->close();
            QCloseEvent fromTheWindowManager;
            QCoreApplication::sendEvent(window->windowHandle(), &fromTheWindowManager);
            stayedShown = window->isVisible();
            m_service->release("order", "updatepicpath");
        });
    });

    PendingRecords::settleBeforeQuit();
    QCOMPARE(PendingRecords::instance().count(), 0);
    QCOMPARE(storedOrder().value("photonum").toString(), QString(fault.endsWith("http") ? "" : "2"));
    QFETCH(bool, notice);
    QCOMPARE(shown.texts.contains(QStringLiteral("正在上报导片数量，请稍候…")), notice);
    QCOMPARE(stayedShown, closeNotice);
    QTEST(boxesAfter(1), "boxes");
    QCOMPARE(ReportStore::instance().keptCount(), 0);
}

void TestImportPhotoToServer::reportsAtQuitToldApart_data()
{
    // The second run: of the booking's second service time in a window of
    // its own, or of the order again in its window; none: the path report
    // is held with the count report.
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("box");
    const QString lost = "\n退出软件后不再上报，请核对以上订单的照片数量";
    QTest::newRow("the count reports of two service times of a booking, from two windows")
        << "service time"
        << "警告 / 以下订单上报失败：\nA102-1：网络错误\nA102-2：网络错误" + lost;
    QTest::newRow("the path report and the count report of an order")
        << ""
        << "警告 / 以下订单上报失败：\nA102（上传路径）：网络错误\nA102（导片数量）：网络错误" + lost;
    QTest::newRow("the count reports of two runs of an order")
        << "run"
        << "警告 / 以下订单上报失败：\nA102：网络错误" + lost;
}

// Reports still on their way at quit are named in the box at quit each by
// its order as the order table names it, and by which report it is where
// its order has two: no two lines read the same.
void TestImportPhotoToServer::reportsAtQuitToldApart()
{
    QFETCH(QString, second);
    QFETCH(QString, box);
    if (second == "service time") {
        startWithSecondServiceTime();
    } else {
        start();
        if (second.isEmpty())
            m_service->hold("order", "updatepicpath2");
    }
    m_service->hold("order", "updatepicpath");
    std::unique_ptr<ImportPhotoToServer> other;
    for (int run = 0; run < (second.isEmpty() ? 1 : 2); ++run) {
        ImportPhotoToServer* w = m_window;
        if (run == 0 || second == "service time") {
            if (run == 1) {
                takeUpSecondServiceTime();
                other.reset(new ImportPhotoToServer(nullptr));
                other->show();
            }
            w = run == 0 ? open() : other.get();
            waitForLookup(w);
            child<QPushButton>(w, "importPic1")->click();
            waitForLookup(w);
        }
        const QString photo = card(QStringLiteral("IMG_000%1.JPG").arg(run + 1), 1, "");
        QVERIFY(pressImport(w, {photo}, "导片成功!").startsWith("导入前正式库照片："));
    }
    QTRY_COMPARE(PendingRecords::instance().count(), 2);
    const int shown = m_prompts->messages().size();
    delete m_window;
    other.reset();

    m_prompts->setNextAnswer(Prompts::Ok); // the box at quit
    const int timeout = WebService::transferTimeoutMs();
    WebService::setTransferTimeoutMs(300);
    PendingRecords::settleBeforeQuit();
    WebService::setTransferTimeoutMs(timeout);
    QCOMPARE(PendingRecords::instance().count(), 0);
    QCOMPARE(boxesAfter(shown), QStringList{box});
}

// A count report of one service time kept, and a report of the booking's
// other service time taken since: it is another order's, and the kept one
// still goes out and is added.
void TestImportPhotoToServer::keptReportOfAnotherServiceTimeSent()
{
    startWithSecondServiceTime();
    std::shared_ptr<void> unreached = unreachableCountReports("refused");
    for (int window = 0; window < 2; ++window) {
        if (window == 1) {
            delete m_window;
            takeUpSecondServiceTime();
        }
        ImportPhotoToServer* w = open();
        waitForLookup(w);
        child<QPushButton>(w, "importPic1")->click();
        waitForLookup(w);
        choose(w, {card(QStringLiteral("IMG_000%1.JPG").arg(window + 1), 1, "")});
        m_prompts->setNextAnswer(Prompts::Yes); // the run's box
        m_prompts->setNextAnswer(Prompts::Ok);  // the reports kept
        const int before = m_prompts->messages().size();
        child<QPushButton>(w, "importButton")->click();
        QTRY_COMPARE(m_prompts->messages().size(), before + 2);
        QCOMPARE(m_prompts->messages().at(before).title, QStringLiteral("导片成功!"));
        QTRY_COMPARE(PendingRecords::instance().count(), 0);
    }
    // The second service time's path report was taken, its count report kept.
    QCOMPARE(m_service->requests("order", "updatepicpath2").size(), 2);
    QCOMPARE(storedOrder("900002").value("orderpath").toString(),
             QStringLiteral("\\\\studio-nas\\photos\\2019-04/15/415A102-2/"));
    QCOMPARE(ReportStore::instance().keptCount(), 2);

    unreached.reset();
    const int shown = m_prompts->messages().size();
    delete m_window;
    ImportPhotoToServer* w = open();
    waitForLookup(w); // the kept reports go before the lookup
    QTRY_COMPARE(PendingRecords::instance().count(), 0);
    QCOMPARE(storedOrder("900001").value("photonum").toString(), QStringLiteral("1"));
    QCOMPARE(storedOrder("900002").value("photonum").toString(), QStringLiteral("1"));
    QCOMPARE(ReportStore::instance().keptCount(), 0);
    QCOMPARE(boxesAfter(shown), QStringList());
}

void TestImportPhotoToServer::failedFilesNamed_data()
{
    QTest::addColumn<int>("cards");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("details");

    const QString counts = "\n\n导入前正式库照片：0张\n\n导入后正式库照片：1张\n\n导入前备份库照片：0张\n\n"
                           "导入后备份库照片：1张    \n";
    QTest::newRow("three of four") << 4
                                   << "3张照片导入失败\nIMG_0002.JPG\nIMG_0003.JPG\nIMG_0004.JPG" + counts
                                   << "";
    QStringList names;
    for (int n = 2; n <= 23; ++n)
        names.append(QStringLiteral("IMG_%1.JPG").arg(n, 4, 10, QLatin1Char('0')));
    QTest::newRow("twenty-two of twenty-three")
        << 23 << "22张照片导入失败\n" + QStringList(names.mid(0, 19)).join('\n') + "\n…"
        << "22张照片导入失败\n" + names.join('\n') + counts;
}

// The completion box names the photos that did not arrive; a long list
// keeps 20 lines in the box and the whole text in its details.
void TestImportPhotoToServer::failedFilesNamed()
{
    QFETCH(int, cards);
    start();
    QStringList files;
    for (int n = 1; n <= cards; ++n)
        files.append(
            card(QStringLiteral("IMG_%1.JPG").arg(n, 4, 10, QLatin1Char('0')), 1, "", QSize(64, 48)));
    const QString kept = files.first();
    FileOperation::setFaultHook([kept](FileOperation::Fault fault, const QString& path) {
        return fault == FileOperation::Fault::Read && path.contains("/card/") && path != kept;
    });
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    child<QPushButton>(w, "importPic1")->click();
    waitForLookup(w);

    QFETCH(QString, text);
    QCOMPARE(pressImport(w, files, "警告"), text);
    QTEST(m_prompts->messages().last().detailedText, "details");
}

void TestImportPhotoToServer::refusedDeletionIsTold()
{
    // A folder right below a share: the deletion guard refuses it.
    start([](QJsonObject& order, QJsonObject&) {
        order.insert("orderpath", "\\\\studio-nas\\photos\\A102\\");
        order.insert("orderbakpicpath", "\\\\studio-nas\\backup\\A102\\");
    });
    for (const char* folder : {"成品/", "成品缩略图/"})
        m_volumes->writeFile(QStringLiteral("photos/A102/") + folder + "a.jpg", "a");
    ImportPhotoToServer* w = open();
    waitForLookup(w);
    auto* list = w->findChild<QListWidget*>();
    QTRY_COMPARE(list->count(), 1);
    list->item(0)->setSelected(true);
    const int lookups = m_service->requests("order", "get_order_path").size();
    m_prompts->setNextAnswer(Prompts::Yes);
    list->findChild<QMenu*>()->actions().last()->trigger();

    QCOMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->messages().last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->messages().last().text,
             QStringLiteral("照片不能删除：%1（路径是服务器或共享的根目录）")
                 .arg(m_volumes->path("photos/A102/")));
    QVERIFY(QFile::exists(m_volumes->path("photos/A102/成品/a.jpg")));
    QVERIFY(QFile::exists(m_volumes->path("photos/A102/成品缩略图/a.jpg")));
    QTRY_COMPARE(m_service->requests("order", "get_order_path").size(), lookups + 1);
}

void TestImportPhotoToServer::climbingPathsRefused_data()
{
    QTest::addColumn<QString>("key"); // of the shop's settings, or of the order
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("box");

    const QString climb = "backup/X/../../../CLIMB";
    QTest::newRow("shop root climbs") << "picpath" << climb << "服务器路径错误";
    QTest::newRow("backup root climbs") << "bakpicpath" << climb << "备份服务器路径错误。";
    QTest::newRow("shop root is the mount root") << "picpath"
                                                 << "/tmp/CLIMB"
                                                 << "服务器路径错误";
    QTest::newRow("order folder climbs") << "orderpath" << climb << "服务器路径错误";
    QTest::newRow("order backup folder climbs") << "orderbakpicpath" << climb << "服务器路径错误";
}

// A root or order path from a reply that leaves the mount root is refused
// with the window's own text, and nothing is made anywhere.
void TestImportPhotoToServer::climbingPathsRefused()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, box);
    const bool orderKey = key.startsWith("order");
    start([&](QJsonObject& order, QJsonObject& settings) {
        if (orderKey) {
            order.insert("orderpath", "\\\\studio-nas\\photos\\2019-04\\15\\415A102-1\\");
            order.insert("orderbakpicpath", "\\\\studio-nas\\backup\\2019-04\\15\\415A102-1\\");
            order.insert(key, value);
        } else {
            settings.insert(key, value);
        }
    });
    const QString file = card("IMG_0001.JPG", 1, "");
    // The climb ends two levels above the mount root.
    const QString around = QFileInfo(QDir::cleanPath(m_volumes->root())).absolutePath();
    const QString above = QFileInfo(around).absolutePath();
    const QStringList aroundBefore = TestFiles::entries(around);
    const bool climbedBefore = QFileInfo::exists(above + "/CLIMB");

    m_prompts->setNextAnswer(Prompts::Yes);
    ImportPhotoToServer* w = open();
    if (!orderKey) {
        waitForLookup(w);
        child<QPushButton>(w, "importPic1")->click();
        waitForLookup(w);
        choose(w, {file});
        child<QPushButton>(w, "importButton")->click();
    }
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->messages().last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->messages().last().text, box);
    QCOMPARE(PendingRecords::instance().count(), 0); // nothing on its way
    QVERIFY(m_service->requests("order", "updatepicpath2").isEmpty());
    QCOMPARE(TestFiles::entries(around), aroundBefore);
    QCOMPARE(QFileInfo::exists(above + "/CLIMB"), climbedBefore);
    QCOMPARE(TestFiles::entries(m_volumes->root()), QStringList({"backup", "card", "photos"}));
    QVERIFY(TestFiles::entries(m_volumes->path("photos")).isEmpty());
    QVERIFY(TestFiles::entries(m_volumes->path("backup")).isEmpty());
}

QTEST_MAIN(TestImportPhotoToServer)
#include "tst_importphototoserver.moc"
