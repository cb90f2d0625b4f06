#include "barcodedecoder.h"
#include "batchdeleteorder.h"
#include "config.h"
#include "fajiandialog.h"
#include "labelprinter.h"
#include "demosignin.h"
#include "recordingdesktop.h"
#include "scriptedprompts.h"
#include "selecttool.h"
#include "shangjiandialog.h"
#include "signin.h"
#include "standin.h"
#include "storeaccess.h"
#include "tempvolumes.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QCalendarWidget>
#include <QComboBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>

#include <algorithm>

// The desks from the front door: sign in, pick the flagship shop and a
// desk in the launcher, and do the desk's main job against the stand-in.
class TestDesksEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void deleteAWeeksOrdersThenMarkOneUploaded();
    void dispatchAnOrderAndPrintItsLabels();

private:
    // Opens the tool from the launcher and returns its window.
    template <typename Window> Window* openTool(const char* radio);

    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<RecordingDesktop> m_desktop;
    std::unique_ptr<TempVolumes> m_volumes;
    std::unique_ptr<StandIn> m_service;
    std::unique_ptr<DemoSignIn> m_front;
    QPointer<SelectTool> m_launcher;
};

namespace {

QJsonObject orderOf(const QJsonObject& store, const QString& id)
{
    return Store::find(store, "orders", "order_photo_id", id);
}

void clickRow(QTableView* view, int row)
{
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(row, 1)).center());
}

} // namespace

void TestDesksEndToEnd::initTestCase()
{
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_prompts->setLenient(true);
    m_desktop = std::make_unique<RecordingDesktop>();
    m_volumes = std::make_unique<TempVolumes>();
    m_service = std::make_unique<StandIn>();
    m_front = std::make_unique<DemoSignIn>();
    m_launcher = m_front->signIn();
    QVERIFY(m_launcher);
}

void TestDesksEndToEnd::cleanupTestCase()
{
    m_front.reset();
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        windows.append(w);
        w->deleteLater();
    }
    // Every window gone before the service it talks to.
    QTRY_VERIFY(
        std::all_of(windows.cbegin(), windows.cend(), [](const QPointer<QWidget>& w) { return w.isNull(); }));
    m_service.reset();
    m_volumes.reset();
    m_desktop.reset();
    m_prompts.reset();
}

template <typename Window> Window* TestDesksEndToEnd::openTool(const char* radio)
{
    auto* tool = m_launcher->findChild<QRadioButton*>(radio);
    if (!tool || !tool->isEnabled())
        return nullptr;
    tool->click();
    QTest::mouseClick(m_launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    if (!QTest::qWaitFor([] { return topLevelWindow<Window>() != nullptr; }))
        return nullptr;
    Window* window = topLevelWindow<Window>();
    return QTest::qWaitForWindowExposed(window) ? window : nullptr;
}

void TestDesksEndToEnd::deleteAWeeksOrdersThenMarkOneUploaded()
{
    // The demo orders' folders on the file server.
    const QString base = "photos/2024-05/12/";
    const QStringList folders = {"A24051201-1-王小宝-刘芳-王强-陈摄影-林化妆/",
                                 "A24051202-1-孙丽-钱伟-陈摄影/", "A24051203-2-赵敏-黄摄影-林化妆/",
                                 "A24051204-1-李乐乐-李军-陈摄影-林化妆/"};
    for (const QString& folder : folders)
        m_volumes->writeFile(base + folder + "照片/IMG_0001.JPG", "photo");

    BatchDeleteOrder* deletion = openTool<BatchDeleteOrder>("rb_plsc");
    QVERIFY(deletion);
    QCOMPARE(Config::shop_id, QStringLiteral("12"));
    QVERIFY(deletion->windowState() & Qt::WindowMaximized);
    QVERIFY(deletion->testAttribute(Qt::WA_DeleteOnClose));
    deletion->findChild<QCalendarWidget*>("calendar")->setSelectedDate(QDate(2024, 6, 3));
    deletion->findChild<QCalendarWidget*>("calendar_2")->setSelectedDate(QDate(2024, 6, 9));
    QTest::mouseClick(deletion->findChild<QPushButton*>("searchButton"), Qt::LeftButton);
    auto* view = deletion->findChild<QTableView*>("tableView");
    QTRY_COMPARE(view->model()->rowCount(), 4);
    clickRow(view, 0);
    clickRow(view, 2);
    QTest::mouseClick(deletion->findChild<QPushButton*>("pushButton_separate"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_prompts->last().text, QStringLiteral("订单照片删除成功"), 10000);

    QVERIFY(!QFileInfo::exists(m_volumes->path(base + folders.at(0))));
    QVERIFY(!QFileInfo::exists(m_volumes->path(base + folders.at(2))));
    QVERIFY(QFileInfo::exists(m_volumes->path(base + folders.at(1) + "照片/IMG_0001.JPG")));
    QVERIFY(QFileInfo::exists(m_volumes->path(base + folders.at(3) + "照片/IMG_0001.JPG")));
    QTRY_COMPARE(m_service->storeSnapshot().value("delete_log").toArray().size(), 2);
    QStringList logged;
    for (const StandIn::LoggedRequest& r : m_service->requests("OrderPhoto", "order_photo_del"))
        logged.append(r.values.value("orderphotoid"));
    logged.sort();
    QCOMPARE(logged, QStringList({"100101", "100103"}));
    QPointer<BatchDeleteOrder> closed = deletion;
    deletion->close();
    QTRY_VERIFY(closed.isNull());

    // An order not marked yet is scanned at the upload desk.
    QVERIFY(orderOf(m_service->storeSnapshot(), "100107").value("gotodigitaltime").toString().isEmpty());
    ShangJianDialog* desk = openTool<ShangJianDialog>("rb_shangjian");
    QVERIFY(desk);
    QCOMPARE(desk->windowTitle(), QStringLiteral("上件管理"));
    auto* scan = desk->findChild<QLineEdit*>("lineEdit");
    scan->setFocus();
    QTest::keyClicks(scan, "100107");
    QTest::keyClick(scan, Qt::Key_Return);
    auto* right = qobject_cast<QStandardItemModel*>(desk->findChild<QTableView*>("tableView_right")->model());
    QTRY_COMPARE(right->rowCount(), 1);
    QCOMPARE(right->item(0, 0)->text(), QStringLiteral("A24052001-1"));
    QCOMPARE(right->item(0, 2)->text(), QStringLiteral("李店长"));
    const QString marked = orderOf(m_service->storeSnapshot(), "100107").value("gotodigitaltime").toString();
    QVERIFY(!marked.isEmpty());
    QCOMPARE(right->item(0, 3)->text(), marked.left(10));
    desk->close();
}

void TestDesksEndToEnd::dispatchAnOrderAndPrintItsLabels()
{
    QTemporaryDir labels;
    PdfLabelPrinter printer(labels.path());
    LabelPrinter::install(&printer);
    const auto uninstall = qScopeGuard([] { LabelPrinter::install(nullptr); }); // the printer is this row's

    FaJianDialog* desk = openTool<FaJianDialog>("rb_fajian");
    QVERIFY(desk);
    QCOMPARE(desk->windowTitle(), QStringLiteral("发件管理"));
    auto* scan = desk->findChild<QLineEdit*>("lineEdit");
    scan->setFocus();
    QTest::keyClicks(scan, "100101");
    QTest::keyClick(scan, Qt::Key_Return);
    auto* orders = desk->findChild<QTableView*>("tableView_left");
    QTRY_COMPARE(orders->model()->rowCount(), 1);
    QTRY_COMPARE(m_service->requests("order", "ordergoods").size(), 1);
    auto* products = desk->findChild<QTableWidget*>("tableWidget");
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            clickRow(orders, 0);
            return products->rowCount() == 4;
        }(),
        5000);
    QCOMPARE(products->item(1, 0)->text(), QStringLiteral("宝宝成长相册"));

    auto* printShopForAll = qobject_cast<QComboBox*>(products->cellWidget(0, 8));
    QVERIFY(printShopForAll);
    printShopForAll->setCurrentIndex(printShopForAll->findText(QStringLiteral("光影冲印")));
    QTest::mouseClick(desk->findChild<QPushButton*>("pushButton_submit"), Qt::LeftButton);
    QTRY_COMPARE(m_prompts->last().text, QStringLiteral("发件成功!"));
    const QJsonObject goods =
        m_service->storeSnapshot().value("deskgoods").toObject().value("100101").toObject();
    QStringList shops;
    for (const char* group : {"ordergoods0", "ordergoods2"}) {
        for (const QJsonValue& v : goods.value(group).toArray())
            shops.append(v.toObject().value("printshopname").toString());
    }
    QCOMPARE(shops, QStringList({"光影冲印", "光影冲印", "光影冲印"}));
    QTRY_VERIFY(!products->item(1, 9)->text().isEmpty());

    QTest::mouseClick(desk->findChild<QPushButton*>("pushButton_print"), Qt::LeftButton);
    QCOMPARE(printer.files().size(), 3);
    QStringList codes;
    for (const QString& pdf : printer.files())
        codes += BarcodeDecoder::code128(BarcodeDecoder::pdfPages(pdf).value(0));
    QCOMPARE(codes, QStringList({"5101", "5102", "5103"}));
    desk->close();
}

QTEST_MAIN(TestDesksEndToEnd)
#include "tst_desksendtoend.moc"
