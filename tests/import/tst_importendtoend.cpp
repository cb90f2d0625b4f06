#include "config.h"
#include "demosignin.h"
#include "importordersphotodlg.h"
#include "jpegfixture.h"
#include "login.h"
#include "recordingdesktop.h"
#include "scriptedprompts.h"
#include "searchorderwindow.h"
#include "selecttool.h"
#include "signin.h"
#include "standin.h"
#include "tempvolumes.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QComboBox>
#include <QImageReader>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>

// Batch import from the front door: sign in, switch to the demo shop, open
// the batch import from the launcher, add two demo orders through the
// search window and import camera photos, finished photos and videos from
// a card, with the real windows against the stand-in service.
class TestImportEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void importTheCardIntoTwoOrders();
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
    dlg->findChild<QPushButton*>("addNewOrderBtn")->click();
    QTRY_VERIFY(topLevelWindow<SearchOrderWindow>());
    QPointer<SearchOrderWindow> search = topLevelWindow<SearchOrderWindow>();
    search->findChild<QComboBox*>("comboBox")->setCurrentIndex(0);
    search->findChild<QLineEdit*>("orderNumber")->setText("A240515");
    search->findChild<QPushButton*>("searchButton")->click();
    auto* results = qobject_cast<QStandardItemModel*>(search->findChild<QTableView*>("tableView")->model());
    QTRY_COMPARE(results->rowCount(), 3);
    results->item(1, 0)->setCheckState(Qt::Checked);
    results->item(2, 0)->setCheckState(Qt::Checked);
    search->findChild<QPushButton*>("addOrdersBtn")->click();
    search->close();
    QTRY_VERIFY(search.isNull());

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
    search = topLevelWindow<SearchOrderWindow>();
    QVERIFY(search->windowState() & Qt::WindowMaximized);
    launcher->hide();
    search->close();
    QTRY_VERIFY(search.isNull());
    QVERIFY(launcher->isVisible()); // brought back by the search window's close
    launcher->close();
    QTRY_VERIFY(launcher.isNull());
}

QTEST_MAIN(TestImportEndToEnd)
#include "tst_importendtoend.moc"
