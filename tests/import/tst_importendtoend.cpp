#include "config.h"
#include "demosignin.h"
#include "dialogprompts.h"
#include "fileoperation.h"
#include "importordersphotodlg.h"
#include "importorderthread.h"
#include "jpegfixture.h"
#include "login.h"
#include "pendingrecords.h"
#include "recordingdesktop.h"
#include "scriptedprompts.h"
#include "searchorderwindow.h"
#include "selecttool.h"
#include "signin.h"
#include "standin.h"
#include "startup.h"
#include "studioservice.h"
#include "tempvolumes.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QComboBox>
#include <QCursor>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSemaphore>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWindow>

#include <functional>
#include <memory>
#include <utility>

// Batch import from the front door: sign in, switch to the demo shop, open
// the batch import from the launcher, add two demo orders through the
// search window and import camera photos, finished photos and videos from
// a card, with the real windows against the stand-in service.
class TestImportEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void importTheCardIntoTwoOrders();
    void boxAtQuitAfterABatchStoppedByItsClose();
};

namespace {

QJsonObject orderOf(const QJsonObject& store, const QString& id)
{
    for (const QJsonValue& v : store.value("orders").toArray()) {
        if (v.toObject().value("order_photo_id").toString() == id)
            return v.toObject();
    }
    return {};
}

// Opens the search window with 添加订单, searches the 预约单号 given, which
// finds two orders, and adds both to the dialog.
void addTwoFound(importOrdersPhotoDlg* dlg, const QString& number)
{
    dlg->findChild<QPushButton*>("addNewOrderBtn")->click();
    QTRY_VERIFY(topLevelWindow<SearchOrderWindow>());
    QPointer<SearchOrderWindow> search = topLevelWindow<SearchOrderWindow>();
    search->findChild<QComboBox*>("comboBox")->setCurrentIndex(0);
    search->findChild<QLineEdit*>("orderNumber")->setText(number);
    search->findChild<QPushButton*>("searchButton")->click();
    auto* results = qobject_cast<QStandardItemModel*>(search->findChild<QTableView*>("tableView")->model());
    QTRY_COMPARE(results->rowCount(), 3);
    results->item(1, 0)->setCheckState(Qt::Checked);
    results->item(2, 0)->setCheckState(Qt::Checked);
    search->findChild<QPushButton*>("addOrdersBtn")->click();
    search->close();
    QTRY_VERIFY(search.isNull());
}

// The boxes of the running client, with the files chosen from the card
// handed over as staff would pick them.
class RealBoxes : public DialogPrompts
{
public:
    RealBoxes() { Prompts::install(this); }
    ~RealBoxes() override { Prompts::install(nullptr); }
    QStringList nextFiles;

protected:
    QStringList askOpenFileNames(QWidget*, const QString&, const QString&, const QString&) override
    {
        return std::exchange(nextFiles, QStringList());
    }
};

// Answers every message box from the keyboard as it shows, with the key
// of its 是 button where it has one, else with Enter, and keeps what each
// said; tells when the notice of the quit wait shows, and counts the import
// workers as they go.
class Staff : public QObject
{
public:
    Staff() { QCoreApplication::instance()->installEventFilter(this); }

    QStringList boxes;
    int workersGone = 0;
    std::function<void()> onQuitNotice;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::DeferredDelete && qobject_cast<ImportOrderThread*>(watched)) {
            ++workersGone;
        } else if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                boxes.append(box->windowTitle() + " / " + box->text());
                const Qt::Key key = box->button(QMessageBox::Yes) ? Qt::Key_Y : Qt::Key_Return;
                // Once the box runs its own loop.
                QMetaObject::invokeMethod(
                    box, [box, key] { QTest::keyClick(box, key); }, Qt::QueuedConnection);
            } else if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->isWindow()) {
                const auto* label = widget->findChild<QLabel*>();
                if (label && label->text() == QStringLiteral("正在上报导片数量，请稍候…") && onQuitNotice)
                    onQuitNotice();
            }
        }
        return false;
    }
};

// The demo fixture with a second service time of booking A24051501.
QString fixtureWithSecondServiceTime(const QTemporaryDir& dir)
{
    QFile demo(StudioService::demoFixturePath());
    if (!demo.open(QIODevice::ReadOnly))
        return QString();
    QJsonObject fixture = QJsonDocument::fromJson(demo.readAll()).object();
    QJsonArray orders = fixture.value("orders").toArray();
    QJsonObject second = orderOf(fixture, "100105");
    second.insert("order_photo_id", "100199");
    second.insert("orderid", "100199");
    second.insert("servicetimes", "2");
    orders.append(second);
    fixture.insert("orders", orders);
    QFile file(dir.filePath("fixture.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(fixture).toJson()) < 0)
        return QString();
    return file.fileName();
}

} // namespace

void TestImportEndToEnd::importTheCardIntoTwoOrders()
{
    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    TempVolumes volumes;
    for (const char* root : {"photos", "backup", "home"})
        volumes.mkdir(root);
    StandIn service;

    // The card: four camera photos (one stored sideways) and a clip.
    QStringList card;
    for (int i = 1; i <= 4; ++i) {
        JpegFixture::Options options;
        options.size = QSize(600, 400);
        options.orientation = i == 2 ? 6 : 1;
        options.seed = quint32(i);
        card.append(
            volumes.path(QStringLiteral("card/DCIM/100DRAVN/IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0'))));
        QDir().mkpath(QFileInfo(card.last()).absolutePath());
        QVERIFY(JpegFixture::write(card.last(), options));
    }
    const QString clip = volumes.writeFile("card/VIDEO/MVI_0001.mp4", QByteArray(4096, 'v'));

    // Sign in and open the batch import for the flagship shop.
    DemoSignIn front;
    QPointer<SelectTool> launcher = front.signIn();
    QVERIFY(launcher);
    auto* tool = launcher->findChild<QRadioButton*>("importPicRadio");
    QVERIFY(tool->isEnabled());
    tool->click();
    QTest::mouseClick(launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QTRY_VERIFY(topLevelWindow<importOrdersPhotoDlg>());
    QPointer<importOrdersPhotoDlg> dlg = topLevelWindow<importOrdersPhotoDlg>();
    QCOMPARE(Config::shop_id, QStringLiteral("12"));
    QVERIFY(dlg->isVisible());
    QVERIFY(dlg->windowState() & Qt::WindowMaximized);
    QCOMPARE(dlg->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint),
             Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    // Two orders of the 15th, found by their number and handed over.
    addTwoFound(dlg, "A240515");
    if (QTest::currentTestFailed())
        return;

    auto* table = dlg->findChild<QTableWidget*>("ordersTableWgt");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("A24051501-1"));
    QCOMPARE(table->item(1, 0)->text(), QStringLiteral("A24051502-1"));
    auto pick = [&](int row, const QStringList& files) {
        prompts.setNextFiles(files);
        const int before = prompts.calls().size();
        table->cellWidget(row, 4)->findChild<QPushButton*>()->click();
        QTRY_VERIFY(prompts.calls().size() > before);
    };
    auto importAll = [&](int type, const QString& state0, const QString& state1) {
        prompts.setNextAnswer(Prompts::Ok);
        auto* start = dlg->findChild<QPushButton*>("importAllOrdersBtn");
        start->click();
        QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 30000);
        QCOMPARE(prompts.messages().last().text, QStringLiteral("2个订单已经全部导完"));
        QCOMPARE(table->item(0, 3)->text(), state0);
        QCOMPARE(table->item(1, 3)->text(), state1);
        Q_UNUSED(type)
    };

    dlg->findChild<QRadioButton*>("importTypeRadio0")->click();
    pick(0, card.mid(0, 3));
    pick(1, card.mid(3));
    importAll(0, QStringLiteral("已导入(3)"), QStringLiteral("已导入(1)"));

    dlg->findChild<QRadioButton*>("importTypeRadio1")->click();
    pick(0, card.mid(0, 2));
    pick(1, card.mid(3));
    importAll(1, QStringLiteral("已导入(2)"), QStringLiteral("已导入(1)"));

    dlg->findChild<QRadioButton*>("importTypeRadio3")->click();
    pick(0, {clip});
    pick(1, {clip});
    importAll(3, QStringLiteral("已导入(1)"), QStringLiteral("已导入(1)"));

    // The trial video list of the first order goes to the selection system.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualItemRect(table->item(0, 0)).center());
    prompts.setNextAnswer(Prompts::Yes);
    prompts.setNextAnswer(Prompts::Ok);
    dlg->findChild<QPushButton*>("upDataVideoUrlsBtn")->click();
    QTRY_COMPARE(prompts.messages().last().text, QStringLiteral("视频列表已更新"));

    // On disk: both orders' trees with photos, backups, thumbnails and clips.
    const QString first = "2024-05/15/A24051501-1-张豆豆-吴静-张伟-陈摄影-林化妆/";
    const QString second = "2024-05/15/A24051502-1-郭晶-马超-黄摄影-林化妆/";
    for (int i = 1; i <= 3; ++i) {
        const QString name = QStringLiteral("IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0'));
        for (const char* folder : {"照片/", "thumbnail/", "thumbnail100/", "thumbnail2250/"})
            QVERIFY2(QImageReader(volumes.path("photos/" + first + folder + name)).canRead(), folder);
        QVERIFY(QFile::exists(volumes.path("backup/" + first + "照片/" + name)));
    }
    for (int i = 1; i <= 2; ++i) {
        const QString name = QStringLiteral("IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0'));
        for (const char* folder : {"成品/", "成品缩略图/", "成品缩略图100/", "成品缩略图2250/"})
            QVERIFY2(QFile::exists(volumes.path("photos/" + first + folder + name)), folder);
    }
    // The photo stored sideways is upright in the order.
    QCOMPARE(QImageReader(volumes.path("photos/" + first + "照片/IMG_0002.JPG")).size(), QSize(400, 600));
    QVERIFY(QFile::exists(volumes.path("photos/" + second + "照片/IMG_0004.JPG")));
    QVERIFY(QFile::exists(volumes.path("photos/" + second + "成品/IMG_0004.JPG")));
    QVERIFY(QFile::exists(volumes.path("photos/" + first + "试拍视频/MVI_0001.mp4")));
    QVERIFY(QFile::exists(volumes.path("photos/" + second + "试拍视频/MVI_0001.mp4")));

    // What the web service saw: start and completion per order for the
    // photo types, completions only for videos, and the video list.
    QTRY_COMPARE(service.requests("order", "updatepicpath").size(), 10);
    QTRY_COMPARE(service.requests("order", "updatevideo").size(), 1);
    const QJsonObject store = service.storeSnapshot();
    const QJsonObject a = orderOf(store, "100105");
    QCOMPARE(a.value("orderpath").toString(), "\\\\studio-nas\\photos\\" + first);
    QCOMPARE(a.value("orderbakpicpath").toString(), "\\\\studio-nas\\backup\\" + first);
    QCOMPARE(a.value("photonum").toString(), QStringLiteral("3"));
    QCOMPARE(a.value("bakphotonum").toString(), QStringLiteral("3"));
    QCOMPARE(a.value("finishnum").toString(), QStringLiteral("2"));
    QCOMPARE(a.value("videonum").toString(), QStringLiteral("1"));
    QCOMPARE(a.value("testvideofiles").toString(), QStringLiteral("MVI_0001.mp4"));
    QCOMPARE(a.value("testvideopaths").toString(), volumes.path("photos/" + first + "试拍视频/MVI_0001.mp4"));
    const QJsonObject b = orderOf(store, "100106");
    QCOMPARE(b.value("photonum").toString(), QStringLiteral("1"));
    QCOMPARE(b.value("testvideopaths").toString(),
             "\\\\studio-nas\\photos\\" + second + "试拍视频/MVI_0001.mp4");
    const StandIn::LoggedRequest videoRecord = service.requests("order", "updatepicpath").last();
    QCOMPARE(videoRecord.values.value("typeid"), QStringLiteral("3"));
    QCOMPARE(videoRecord.values.value("videofiles"), QStringLiteral("MVI_0001.mp4"));

    // Back to camera photos: the table counts what the orders now hold.
    dlg->findChild<QRadioButton*>("importTypeRadio0")->click();
    QCOMPARE(table->item(0, 3)->text(), QStringLiteral("已导入(3)"));
    QCOMPARE(table->item(1, 3)->text(), QStringLiteral("已导入(1)"));
    QCOMPARE(table->cellWidget(0, 5)->findChild<QLabel*>()->text(), QStringLiteral("3/3"));

    QVERIFY2(prompts.unexpected().isEmpty(), qPrintable(prompts.unexpected().join('|')));
    dlg->close();
    QTRY_VERIFY(dlg.isNull());

    // The stand-alone order search is a launcher choice too.
    auto* searchTool = launcher->findChild<QRadioButton*>("rb_searchorder");
    QVERIFY(searchTool->isEnabled());
    searchTool->click();
    QTest::mouseClick(launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QTRY_VERIFY(topLevelWindow<SearchOrderWindow>());
    QPointer<SearchOrderWindow> search = topLevelWindow<SearchOrderWindow>();
    QVERIFY(search->windowState() & Qt::WindowMaximized);
    launcher->hide();
    search->close();
    QTRY_VERIFY(search.isNull());
    QVERIFY(launcher->isVisible()); // brought back by the search window's close
    launcher->close();
    QTRY_VERIFY(launcher.isNull());
}

// The client as staff run it: the batch import opened from the launcher
// with two service times of one booking listed, camera photos imported
// into both; then a photo more for the first, its record taken by the
// service and left unanswered, the pointer resting on 批量导片 as the batch
// runs. The dialog is closed from its title bar and "正在导片，确定停止导片
// 并关闭吗？" answered 是 from the keyboard, then the launcher is closed. The
// client waits for the record, which is refused while it waits; the
// dialog, which stayed for it, goes then. The box at quit names the record
// by its service time, and the client goes on to exit.
void TestImportEndToEnd::boxAtQuitAfterABatchStoppedByItsClose()
{
    if (!qEnvironmentVariableIsSet("DRAVIN_TEST_WM_PID"))
        QSKIP("needs a window manager: run by tests/support/runwithwm.sh");
    prepareApplication(qApp);
    RealBoxes boxes;
    RecordingDesktop desktop;
    TempVolumes volumes;
    for (const char* root : {"photos", "backup", "home"})
        volumes.mkdir(root);
    QTemporaryDir fixtureDir;
    const QString fixture = fixtureWithSecondServiceTime(fixtureDir);
    QVERIFY(!fixture.isEmpty());
    StandIn service(fixture);
    Staff staff;
    QStringList card;
    for (int i = 1; i <= 3; ++i) {
        card.append(volumes.path(QStringLiteral("card/DCIM/100DRAVN/IMG_%1.JPG").arg(i)));
        QDir().mkpath(QFileInfo(card.last()).absolutePath());
        QVERIFY(JpegFixture::write(card.last(), JpegFixture::Options()));
    }

    DemoSignIn front;
    QPointer<SelectTool> launcher = front.signIn();
    QVERIFY(launcher);
    launcher->findChild<QRadioButton*>("importPicRadio")->click();
    QTest::mouseClick(launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QTRY_VERIFY(topLevelWindow<importOrdersPhotoDlg>());
    QPointer<importOrdersPhotoDlg> dlg = topLevelWindow<importOrdersPhotoDlg>();
    addTwoFound(dlg, "A24051501");
    if (QTest::currentTestFailed())
        return;
    auto* table = dlg->findChild<QTableWidget*>("ordersTableWgt");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 0)->text() + " " + table->item(1, 0)->text(),
             QStringLiteral("A24051501-1 A24051501-2"));
    dlg->findChild<QRadioButton*>("importTypeRadio0")->click();
    const auto pick = [&](int row, const QString& file) {
        boxes.nextFiles = QStringList{file};
        table->cellWidget(row, 4)->findChild<QPushButton*>()->click();
        QTRY_VERIFY(boxes.nextFiles.isEmpty());
    };
    auto* start = dlg->findChild<QPushButton*>("importAllOrdersBtn");
    pick(0, card.at(0));
    pick(1, card.at(1));
    start->click();
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 30000);
    QCOMPARE(staff.boxes, QStringList{"导入完成 / 2个订单已经全部导完"});

    // The next photo's run waits on the share until its order's start
    // record has been answered; its completion record is then taken and
    // held back, and refused once the client quits.
    pick(0, card.at(2));
    auto gate = std::make_shared<QSemaphore>();
    FileOperation::setFaultHook([gate](FileOperation::Fault f, const QString&) {
        if (f == FileOperation::Fault::Write) {
            gate->acquire();
            gate->release();
        }
        return false;
    });
    const auto unhook = qScopeGuard([gate] {
        gate->release();
        FileOperation::setFaultHook({});
    });
    QVERIFY(QTest::qWaitForWindowExposed(dlg));
    QCursor::setPos(start->mapToGlobal(start->rect().center()));
    QTRY_VERIFY(start->underMouse());
    const int before = service.requests("order", "updatepicpath").size();
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_COMPARE(service.requests("order", "updatepicpath").size(), before + 1);
    QTRY_COMPARE(PendingRecords::instance().count(), 0);
    service.hold("order", "updatepicpath");
    service.failHttp("order", "updatepicpath", 500);
    staff.onQuitNotice = [&service] { service.release("order", "updatepicpath"); };
    gate->release();
    QTRY_COMPARE_WITH_TIMEOUT(staff.workersGone, 3, 30000);
    QCOMPARE(PendingRecords::instance().count(), 1);
    QCOMPARE(start->text(), QStringLiteral("导片中..."));

    // Closed as the window manager closes it.
    QCloseEvent close;
    QCoreApplication::sendEvent(dlg->windowHandle(), &close);
    QVERIFY(close.isAccepted());
    QVERIFY(dlg && !dlg->isVisible()); // it stays for its record
    QCOMPARE(staff.boxes.mid(1), QStringList{"提示 / 正在导片，确定停止导片并关闭吗？"});

    // The launcher closed last, and the client's own way out.
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible() || window == launcher, window->metaObject()->className());
    QTimer::singleShot(0, launcher, [launcher] {
        QCloseEvent lastClose;
        QCoreApplication::sendEvent(launcher->windowHandle(), &lastClose);
    });
    QCOMPARE(QApplication::exec(), 0);
    PendingRecords::settleBeforeQuit();
    QCOMPARE(staff.boxes.mid(2), QStringList{"警告 / 以下订单上报失败：\nA24051501-1：500\n"
                                             "退出软件后不再上报，请核对以上订单的照片数量"});
    QVERIFY(dlg.isNull());
    QCOMPARE(PendingRecords::instance().count(), 0);
}

QTEST_MAIN(TestImportEndToEnd)
#include "tst_importendtoend.moc"
