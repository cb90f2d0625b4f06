#include "config.h"
#include "cr2downloadwindow.h"
#include "demosignin.h"
#include "demotree.h"
#include "fileoperation.h"
#include "importphototoserver.h"
#include "recordingdesktop.h"
#include "scriptedprompts.h"
#include "searchorderwindow.h"
#include "selecttool.h"
#include "signin.h"
#include "standin.h"
#include "testfiles.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableView>

// The one-order tools from the front door: sign in, open the stand-alone
// order search ("检索订单"), find a demo order and work on it from the row
// menu, with the real windows against the stand-in and the demo tree.
class TestSingleImportEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void importPhotosIntoAnOrderWithoutFolder();
    void downloadTheRawFilesOfAnOrder();

private:
    // Signs in and opens the order search with the order found.
    SearchOrderWindow* findOrder(const QString& number);
    // Chooses a row-menu entry on the search's first order.
    void chooseRowEntry(SearchOrderWindow* search, const QString& text);

    QTemporaryDir m_dir;
    QString m_root;
    QString m_previousRoot;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<RecordingDesktop> m_desktop;
    std::unique_ptr<StandIn> m_service;
    std::unique_ptr<DemoSignIn> m_front;
    QPointer<SelectTool> m_launcher;
};

void TestSingleImportEndToEnd::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_root = m_dir.path() + QStringLiteral("/Volumes/");
    QVERIFY(makeDemoTree(m_root));
    m_previousRoot = Config::volumesRoot();
    Config::setVolumesRoot(m_root);
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_desktop = std::make_unique<RecordingDesktop>();
    m_service = std::make_unique<StandIn>();
}

void TestSingleImportEndToEnd::cleanupTestCase()
{
    m_front.reset();
    QVERIFY2(m_prompts->unexpected().isEmpty(), qPrintable(m_prompts->unexpected().join('|')));
    m_service.reset();
    m_desktop.reset();
    m_prompts.reset();
    Config::setVolumesRoot(m_previousRoot);
}

SearchOrderWindow* TestSingleImportEndToEnd::findOrder(const QString& number)
{
    if (!m_launcher) {
        m_front = std::make_unique<DemoSignIn>();
        m_launcher = m_front->signIn();
        if (!m_launcher)
            return nullptr;
    }
    m_launcher->findChild<QComboBox*>("comboBox")->setCurrentIndex(0);
    m_launcher->findChild<QRadioButton*>("rb_searchorder")->click();
    QTest::mouseClick(m_launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    if (!QTest::qWaitFor([] { return topLevelWindow<SearchOrderWindow>() != nullptr; }, 10000))
        return nullptr;
    SearchOrderWindow* search = topLevelWindow<SearchOrderWindow>();
    search->findChild<QComboBox*>("comboBox")->setCurrentIndex(0);
    search->findChild<QLineEdit*>("orderNumber")->setText(number);
    search->findChild<QPushButton*>("searchButton")->click();
    auto* table = search->findChild<QTableView*>("tableView");
    if (!QTest::qWaitFor([table] { return table->model()->rowCount() == 2; }, 10000))
        return nullptr;
    return search;
}

void TestSingleImportEndToEnd::chooseRowEntry(SearchOrderWindow* search, const QString& text)
{
    auto* table = search->findChild<QTableView*>("tableView");
    table->setCurrentIndex(table->model()->index(1, 0));
    emit table->customContextMenuRequested(table->visualRect(table->currentIndex()).center());
    auto* menu = table->findChild<QMenu*>();
    QVERIFY(menu);
    for (QAction* action : menu->actions()) {
        if (action->text() == text) {
            QVERIFY(action->isEnabled());
            menu->hide();
            action->trigger();
            return;
        }
    }
    QFAIL(qPrintable("no row entry " + text));
}

void TestSingleImportEndToEnd::importPhotosIntoAnOrderWithoutFolder()
{
    QPointer<SearchOrderWindow> search = findOrder("A24051501");
    QVERIFY(search);
    chooseRowEntry(search, QStringLiteral("导入照片"));
    QTRY_VERIFY(topLevelWindow<ImportPhotoToServer>());
    QPointer<ImportPhotoToServer> window = topLevelWindow<ImportPhotoToServer>();
    QVERIFY(window->isVisible());
    QCOMPARE(window->findChild<QLineEdit*>("label_id")->text(), QStringLiteral("A24051501"));
    auto* photosMode = window->findChild<QPushButton*>("importPic1");
    QTRY_VERIFY(photosMode->isEnabled());
    photosMode->click();
    QTRY_VERIFY(photosMode->isEnabled() && photosMode->text() == QStringLiteral("导入照片"));

    QStringList card;
    for (int i = 1; i <= 3; ++i)
        card.append(m_root + QStringLiteral("card/DCIM/100DRAVN/IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0')));
    m_prompts->setNextFiles(card);
    window->findChild<QPushButton*>("selectButton")->click();
    m_prompts->setNextAnswer(Prompts::Yes);
    window->findChild<QPushButton*>("importButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_service->requests("order", "updatepicpath").size(), 1, 30000);
    QCOMPARE(m_prompts->messages().last().title, QStringLiteral("导片成功!"));

    // The tree: photos named by the order, backups, thumbnails and records.
    const QString order = m_root + "photos/2024-05/15/515A24051501-1/";
    const QString backup = m_root + "backup/2024-05/15/515A24051501-1/";
    QStringList names;
    for (int i = 1; i <= 3; ++i) {
        const QString name = QStringLiteral("515A24051501-%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
        names.append(name);
        for (const char* folder : {"照片/", "thumbnail/", "thumbnail100/", "thumbnail2250/"})
            QVERIFY2(QFile::exists(order + folder + name), folder);
        QCOMPARE(TestFiles::readAll(backup + "照片/" + name), TestFiles::readAll(card.at(i - 1)));
    }
    const QString records = QString::fromUtf8(TestFiles::readAll(order + "ImageTime.txt"));
    for (const char* record : {"515A24051501-001>24:05:15 10:00:47|", "515A24051501-002>24:05:15 10:01:34|",
                               "515A24051501-003>24:05:15 10:02:21|"})
        QVERIFY2(records.contains(QString::fromUtf8(record)), qPrintable(records));
    QCOMPARE(records.count('|'), 3);

    // The stand-in saw the folders and the counts, and keeps them.
    QCOMPARE(m_service->requests("order", "get_order_pic_path").size(), 1);
    const StandIn::LoggedRequest folders = m_service->requests("order", "updatepicpath2").last();
    QCOMPARE(folders.values.value("orderid"), QStringLiteral("100105"));
    QCOMPARE(folders.values.value("orderpicpath"),
             QStringLiteral("\\\\studio-nas\\photos\\2024-05/15/515A24051501-1/"));
    const StandIn::LoggedRequest counts = m_service->requests("order", "updatepicpath").last();
    QCOMPARE(counts.values.value("picnumber"), QStringLiteral("3"));
    QCOMPARE(counts.values.value("picbaknumber"), QStringLiteral("3"));
    QCOMPARE(counts.values.value("typeid"), QStringLiteral("1"));
    QTRY_COMPARE(window->findChild<QLabel*>("label_4")->text(), QStringLiteral("订单已导入照片（3张)"));

    // Closing brings the search back and releases the window.
    search->hide();
    window->close();
    QTRY_VERIFY(window.isNull());
    QVERIFY(search->isVisible());
    search->close();
    QTRY_VERIFY(search.isNull());
}

void TestSingleImportEndToEnd::downloadTheRawFilesOfAnOrder()
{
    // Demo order 100101: eight photos and, in the raw folder, the camera's
    // raw files of the same seconds under the camera's names. Only the raw
    // files made for this are counted; others may lie beside them.
    const QString order = m_root + "photos/2024-05/12/A24051201-1-王小宝-刘芳-王强-陈摄影-林化妆/";
    const QString rawFolder = order + "照片/新建文件夹/";
    QMap<QString, QByteArray> raws;
    QMap<QString, QByteArray> photos;
    for (int i = 1; i <= 8; ++i) {
        raws.insert(QStringLiteral("IMG_%1").arg(i, 4, 10, QLatin1Char('0')),
                    TestFiles::readAll(rawFolder + QStringLiteral("_MG_%1.CR2").arg(7000 + i)));
        const QString photo = order + QStringLiteral("照片/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        photos.insert(photo, TestFiles::readAll(photo));
    }
    QVERIFY(!raws.values().contains("<missing>"));
    const QString target = m_dir.path() + "/download";
    QVERIFY(QDir().mkpath(target));

    // An order without a folder has nothing to download.
    QPointer<SearchOrderWindow> search = findOrder("A24051502");
    QVERIFY(search);
    auto* table = search->findChild<QTableView*>("tableView");
    table->setCurrentIndex(table->model()->index(1, 0));
    emit table->customContextMenuRequested(QPoint());
    QStringList enabled;
    for (QAction* action : table->findChild<QMenu*>()->actions())
        enabled.append(action->text() + (action->isEnabled() ? "+" : "-"));
    QCOMPARE(enabled, QStringList({"打开订单目录-", "导入照片+", "下载原图-"}));
    table->findChild<QMenu*>()->hide();
    search->close();
    QTRY_VERIFY(search.isNull());

    search = findOrder("A24051201");
    QVERIFY(search);
    // An order folder that cannot be looked at is named so; nothing starts.
    FileOperation::setFaultHook([order](FileOperation::Fault fault, const QString& path) {
        return fault == FileOperation::Fault::LookUp && path == QDir::cleanPath(order);
    });
    m_prompts->setNextAnswer(Prompts::Yes);
    chooseRowEntry(search, QStringLiteral("下载原图"));
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(m_prompts->calls().last().text, QStringLiteral("目录读取失败：") + order);
    m_prompts->setNextPath(target);
    m_prompts->setNextAnswer(Prompts::Yes);
    const int boxes = m_prompts->messages().size();
    chooseRowEntry(search, QStringLiteral("下载原图"));
    QCOMPARE(m_prompts->calls().last().title, QStringLiteral("选择下载目录"));
    QTRY_VERIFY(topLevelWindow<CR2DownLoadWindow>());
    QPointer<CR2DownLoadWindow> window = topLevelWindow<CR2DownLoadWindow>();
    QTRY_COMPARE_WITH_TIMEOUT(m_prompts->messages().size(), boxes + 1, 30000);
    QCOMPARE(m_prompts->messages().last().title, QStringLiteral("提示"));
    QVERIFY(m_prompts->messages().last().text.startsWith(QStringLiteral("下载完毕！\n\n")));
    QTRY_VERIFY(window.isNull());

    // Each raw file under the name of the photo of its second, by its bytes.
    const QStringList copies = QDir(target).entryList(QDir::Files);
    for (auto it = raws.cbegin(); it != raws.cend(); ++it) {
        bool found = false;
        for (const QString& copy : copies)
            found = found || (copy.startsWith(it.key()) && TestFiles::readAll(target + "/" + copy) == it.value());
        QVERIFY2(found, qPrintable(it.key() + " in " + copies.join(' ')));
    }
    QVERIFY(copies.contains("IMG_0001.CR2"));
    QVERIFY(!QFileInfo::exists(rawFolder));
    for (auto it = photos.cbegin(); it != photos.cend(); ++it)
        QCOMPARE(TestFiles::readAll(it.key()), it.value());
    search->close();
    QTRY_VERIFY(search.isNull());
}

QTEST_MAIN(TestSingleImportEndToEnd)
#include "tst_singleimportendtoend.moc"
