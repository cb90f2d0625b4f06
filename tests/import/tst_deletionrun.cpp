#include "config.h"
#include "deletionrun.h"
#include "fileoperation.h"
#include "foldersinuse.h"
#include "importordermodel.h"
#include "importorderthread.h"
#include "namecleaning.h"
#include "ordertablecheck.h"
#include "webservice.h"

#include "scriptedprompts.h"
#include "standin.h"
#include "tempvolumes.h"
#include "testfiles.h"

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QScopeGuard>
#include <QStandardItemModel>
#include <QTableView>

#include <atomic>
#include <memory>
#include <sys/stat.h>

// The deletion run every deleting window shares, and the small pieces of
// the order tables (check column, name cleaning).
class TestDeletionRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void deletesOnlyCheckedFolders();
    void refusedFoldersAreNamedAndKept_data();
    void refusedFoldersAreNamedAndKept();
    void nothingToDelete_data();
    void nothingToDelete();
    void failedRemovalIsNamed();
    void manyOrdersAtMostFourAtOnce();
    void secondStartIsIgnored();
    void folderOfARunningImportIsKept();
    void deleteLogReachesTheService();
    void logReplyBoxes_data();
    void logReplyBoxes();

    void foldersInUseOverlap_data();
    void foldersInUseOverlap();

    void replaceString_data();
    void replaceString();
    void checkColumn();

private:
    order orderAt(const QString& key, const QString& path, bool checked = true) const;
    // Runs until the run has ended, or fails after a while.
    bool waitForEnd(DeletionRun& run, bool* allSucceeded = nullptr);

    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TempVolumes> m_volumes;
};

order TestDeletionRun::orderAt(const QString& key, const QString& path, bool checked) const
{
    order record;
    record.isChecked = checked;
    record.order_photo_id = "id-" + key;
    record.orderpayforkey = key;
    record.orderpath = path;
    return record;
}

bool TestDeletionRun::waitForEnd(DeletionRun& run, bool* allSucceeded)
{
    QSignalSpy ended(&run, &DeletionRun::ended);
    if (!ended.wait(10000))
        return false;
    if (allSucceeded)
        *allSucceeded = ended.first().first().toBool();
    return true;
}

void TestDeletionRun::init()
{
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_prompts->setLenient(true);
    m_volumes = std::make_unique<TempVolumes>();
}

void TestDeletionRun::cleanup()
{
    FileOperation::setFaultHook(nullptr);
    m_volumes.reset();
    m_prompts.reset();
}

void TestDeletionRun::deletesOnlyCheckedFolders()
{
    const QString a = m_volumes->mkdir("photos/2024-06/12/A1/");
    const QString b = m_volumes->mkdir("photos/2024-06/12/B1/");
    const QString c = m_volumes->mkdir("photos/2024-06/12/C1/");
    m_volumes->writeFile("photos/2024-06/12/B1/照片/1.jpg", "x");
    m_volumes->writeFile("photos/2024-06/12/B1/成品/deep/2.jpg", "y");

    QWidget group;
    QProgressBar bar;
    QLabel label;
    DeletionRun run;
    run.setDisplay(&group, &bar, &label);
    QSignalSpy deleted(&run, &DeletionRun::deleted);

    const QList<order> orders = {orderAt("A1", a, false), orderAt("B1", b), orderAt("C1", c, false),
                                 orderAt("E1", QString())};
    QCOMPARE(run.start(orders), 1);
    QCOMPARE(label.text(), QStringLiteral("正在删除订单路径下的照片"));
    QCOMPARE(bar.maximum(), 1);
    bool allSucceeded = false;
    QVERIFY(waitForEnd(run, &allSucceeded));
    QVERIFY(allSucceeded);

    QVERIFY(!QFileInfo::exists(b));
    QVERIFY(QFileInfo::exists(a));
    QVERIFY(QFileInfo::exists(c));
    QCOMPARE(deleted.count(), 1);
    QCOMPARE(deleted.first().at(0).toString(), QStringLiteral("id-B1"));
    QCOMPARE(deleted.first().at(1).toString(), b);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("订单照片删除成功"));
    QCOMPARE(m_prompts->last().buttons, Prompts::StandardButtons(Prompts::Yes));
    QCOMPARE(label.text(), QStringLiteral("删除成功"));
    QVERIFY(group.isHidden());
    QVERIFY(!run.isRunning());
}

void TestDeletionRun::refusedFoldersAreNamedAndKept_data()
{
    QTest::addColumn<QStringList>("checkedPaths"); // relative to the mount root
    QTest::addColumn<QStringList>("refusedKeys");
    QTest::addColumn<int>("started"); // workers; a worker's own check may refuse too

    QTest::newRow("share root") << QStringList{"photos/"} << QStringList{"K0"} << 0;
    QTest::newRow("folder right below a share, beside a good one")
        << QStringList{"backup/2024-06/", "photos/2024-06/12/K2/"} << QStringList{"K0"} << 1;
    QTest::newRow("a link on the path") << QStringList{"linked/12/K0/"} << QStringList{"K0"} << 0;
    QTest::newRow("two orders on one folder")
        << QStringList{"photos/2024-06/12/K1/", "photos/2024-06/12/K1/"} << QStringList{"K0", "K1"} << 0;
    QTest::newRow("nested folders") << QStringList{"photos/2024-06/12/K1/", "photos/2024-06/12/K1/照片/"}
                                    << QStringList{"K0", "K1"} << 0;
    QTest::newRow("a day folder") << QStringList{"photos/2024-06/12/"} << QStringList{"K0"} << 0;
    QTest::newRow("a folder holding orders") << QStringList{"photos/store/east/"} << QStringList{"K0"} << 1;
    // The worker's own walk cannot list 照片/: it might hold anything.
    QTest::newRow("a sub-folder that cannot be listed")
        << QStringList{"photos/2024-06/12/K1/"} << QStringList{"K0"} << 1;
    QTest::newRow("a sub-folder that cannot be looked at")
        << QStringList{"photos/2024-06/12/K1/"} << QStringList{"K0"} << 1;
    QTest::newRow("a sub-folder whose name does not read back")
        << QStringList{"photos/2024-06/12/K1/"} << QStringList{"K0"} << 1;
    // The run's own check: no worker, and named, not left out.
    QTest::newRow("an order folder that cannot be looked at")
        << QStringList{"photos/2024-06/12/K1/"} << QStringList{"K0"} << 0;
    // The guard looked at it first; only the run's own look-up fails, as
    // when the share drops between the two.
    QTest::newRow("an order folder that cannot be looked at the second time")
        << QStringList{"photos/2024-06/12/K1/"} << QStringList{"K0"} << 0;
}

void TestDeletionRun::refusedFoldersAreNamedAndKept()
{
    QFETCH(QStringList, checkedPaths);
    QFETCH(QStringList, refusedKeys);
    QFETCH(int, started);

    m_volumes->writeFile("photos/2024-06/12/K1/照片/1.jpg", "keep");
    m_volumes->writeFile("photos/2024-06/12/K2/照片/2.jpg", "go");
    m_volumes->writeFile("elsewhere/12/K0/成品/3.jpg", "keep");
    m_volumes->mkdir("backup/2024-06/12/");
    m_volumes->writeFile("photos/store/east/K3/照片/4.jpg", "keep");
    QVERIFY(QFile::link(m_volumes->path("elsewhere"), m_volumes->path("linked")));

    const QByteArray tag = QTest::currentDataTag();
    const QString unreadable = QDir::cleanPath(
        m_volumes->path(tag.startsWith("an order") ? "photos/2024-06/12/K1" : "photos/2024-06/12/K1/照片"));
    const bool faulty = tag.contains("cannot be");
    const bool badName = tag.contains("read back");
    if (badName) {
        const QByteArray name = QFile::encodeName(unreadable) + "/\xb3\xc9\xc6\xb7";
        QVERIFY(::mkdir(name.constData(), 0700) == 0);
    }
    // The folder named is the one whose listing (or look-up) failed: a
    // sub-folder's failed look-up fails its parent's listing.
    const bool lookUp = tag.contains("looked at");
    QString named = lookUp ? m_volumes->path("photos/2024-06/12/K1") : unreadable;
    if (badName)
        named += QStringLiteral("（含无法识别的文件名）");
    const auto kind = lookUp ? FileOperation::Fault::LookUp : FileOperation::Fault::List;
    const int only = tag.endsWith("the second time") ? 2 : 0;
    auto asks = std::make_shared<std::atomic<int>>(0);
    FileOperation::setFaultHook([=](FileOperation::Fault fault, const QString& path) {
        return faulty && fault == kind && path == unreadable && (!only || ++*asks == only);
    });

    QList<order> orders;
    for (int i = 0; i < checkedPaths.size(); ++i)
        orders.append(orderAt(QStringLiteral("K%1").arg(i), m_volumes->path(checkedPaths.at(i))));

    DeletionRun run;
    QCOMPARE(run.start(orders), started);
    if (started > 0)
        QVERIFY(waitForEnd(run));

    const auto boxes = m_prompts->messages();
    QString refusal;
    for (const auto& box : boxes) {
        if (box.text.startsWith(QStringLiteral("以下订单目录不能删除：\n")))
            refusal = box.text;
    }
    for (const QString& key : refusedKeys)
        QVERIFY2(refusal.contains(key + QStringLiteral("：")), qPrintable(refusal));
    QCOMPARE(refusal.count('\n'), refusedKeys.size());
    QCOMPARE(refusal.contains(QStringLiteral("（目录读取失败：%1）").arg(QDir::cleanPath(named))),
             faulty || badName);
    // No second box saying the paths do not exist once the refusal was told.
    for (const auto& box : boxes)
        QVERIFY(box.text != QStringLiteral("订单路径不存在"));

    QVERIFY(QFileInfo::exists(m_volumes->path("photos/2024-06/12/K1/照片/1.jpg")));
    QVERIFY(QFileInfo::exists(m_volumes->path("elsewhere/12/K0/成品/3.jpg")));
    QVERIFY(QFileInfo::exists(m_volumes->path("photos/store/east/K3/照片/4.jpg")));
    QCOMPARE(QFileInfo::exists(m_volumes->path("photos/2024-06/12/K2/")),
             !checkedPaths.contains("photos/2024-06/12/K2/"));
}

void TestDeletionRun::nothingToDelete_data()
{
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("path");
    QTest::newRow("nothing checked") << false << "photos/2024-06/12/N1/";
    QTest::newRow("missing folder") << true << "photos/2024-06/12/missing/";
    QTest::newRow("empty path") << true << "";
}

void TestDeletionRun::nothingToDelete()
{
    QFETCH(bool, checked);
    QFETCH(QString, path);
    m_volumes->mkdir("photos/2024-06/12/N1/");
    QWidget group;
    DeletionRun run;
    run.setDisplay(&group, nullptr, nullptr);
    QCOMPARE(run.start({orderAt("N1", path.isEmpty() ? QString() : m_volumes->path(path), checked)}), 0);
    QCOMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().text, QStringLiteral("订单路径不存在"));
    QVERIFY(group.isHidden());
    QVERIFY(QFileInfo::exists(m_volumes->path("photos/2024-06/12/N1/")));
}

void TestDeletionRun::failedRemovalIsNamed()
{
    const QString good = m_volumes->mkdir("photos/2024-06/12/G1/");
    const QString bad = m_volumes->mkdir("photos/2024-06/12/F1/");
    m_volumes->writeFile("photos/2024-06/12/F1/照片/1.jpg", "x");
    FileOperation::setFaultHook([bad](FileOperation::Fault fault, const QString& path) {
        return fault == FileOperation::Fault::Remove && path.startsWith(QDir::cleanPath(bad));
    });

    DeletionRun run;
    QSignalSpy deleted(&run, &DeletionRun::deleted);
    QSignalSpy progressed(&run, &DeletionRun::progressed);
    QCOMPARE(run.start({orderAt("G1", good), orderAt("F1", bad)}), 2);
    bool allSucceeded = true;
    QVERIFY(waitForEnd(run, &allSucceeded));
    QVERIFY(!allSucceeded);
    QCOMPARE(progressed.count(), 2);
    QCOMPARE(deleted.count(), 1);
    QCOMPARE(deleted.first().at(0).toString(), QStringLiteral("id-G1"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("以下订单照片删除失败：\nF1：%1").arg(bad));
    QVERIFY(QFileInfo::exists(bad));
}

void TestDeletionRun::manyOrdersAtMostFourAtOnce()
{
    QList<order> orders;
    for (int i = 0; i < 13; ++i) {
        const QString key = QStringLiteral("M%1").arg(i);
        m_volumes->writeFile("photos/2024-06/12/" + key + "/照片/1.jpg", "x");
        orders.append(orderAt(key, m_volumes->path("photos/2024-06/12/" + key + "/")));
    }
    // A slow share: each order's first removal takes a while. An order whose
    // removal has begun and whose worker has not ended is being deleted.
    const QString day = m_volumes->path("photos/2024-06/12/");
    QMutex mutex;
    QSet<QString> begun;
    int ended = 0;
    int most = 0;
    FileOperation::setFaultHook([&](FileOperation::Fault fault, const QString& path) {
        if (fault != FileOperation::Fault::Remove || !path.startsWith(day))
            return false;
        const QString key = path.mid(day.size()).section('/', 0, 0);
        QMutexLocker lock(&mutex);
        if (!begun.contains(key)) {
            begun.insert(key);
            most = qMax(most, begun.size() - ended);
            lock.unlock();
            QThread::msleep(40);
        }
        return false;
    });
    DeletionRun run;
    connect(&run, &DeletionRun::progressed, &run, [&] {
        QMutexLocker lock(&mutex);
        ++ended;
    });
    QSignalSpy deleted(&run, &DeletionRun::deleted);
    QCOMPARE(run.start(orders), orders.size());
    QVERIFY(waitForEnd(run));
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(most, 4);
    QCOMPARE(deleted.count(), orders.size());
    QCOMPARE(QDir(m_volumes->path("photos/2024-06/12/")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList());
}

void TestDeletionRun::secondStartIsIgnored()
{
    const QString a = m_volumes->mkdir("photos/2024-06/12/S1/");
    DeletionRun run;
    QSignalSpy deleted(&run, &DeletionRun::deleted);
    QCOMPARE(run.start({orderAt("S1", a)}), 1);
    QCOMPARE(run.start({orderAt("S1", a)}), -1);
    QVERIFY(waitForEnd(run));
    QCOMPARE(deleted.count(), 1);
}

void TestDeletionRun::folderOfARunningImportIsKept()
{
    const QString busy = m_volumes->path("photos/2024-06/12/A24061205-1/");
    m_volumes->writeFile("photos/2024-06/12/A24061205-1/成品/old.jpg", "old");
    // The import's first write waits until let go.
    QAtomicInt writing = 0;
    QAtomicInt hold = 1;
    FileOperation::setFaultHook([&](FileOperation::Fault fault, const QString& path) {
        if (fault == FileOperation::Fault::Write && path.startsWith(busy)) {
            writing = 1;
            while (hold.loadAcquire())
                QThread::msleep(5);
        }
        return false;
    });
    Config::importServPath = m_volumes->path("photos/");
    Config::importServBackupPath.clear();
    QObject owner;
    auto* model = new ImportOrderModel(
        QJsonObject{{"orderpayforkey", "A24061205"}, {"servicetimes", "1"}, {"shotdate", "2024-06-12"}},
        &owner);
    model->setOrderPath(busy);
    model->setFineImgLst({m_volumes->writeFile("card/new.jpg", "new")});
    ImportOrderThread import(model, ImportFinished);
    const auto letGo = qScopeGuard([&] { hold = 0; });
    import.start();
    QTRY_VERIFY(writing.loadAcquire());

    DeletionRun run;
    QCOMPARE(run.start({orderAt("A24061205", busy)}), 0);
    QCOMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().text, QStringLiteral("订单正在导片，未删除：A24061205"));
    QVERIFY(QFileInfo::exists(busy + "成品/old.jpg"));

    // Once the import has ended, the same deletion goes through.
    hold = 0;
    QVERIFY(import.wait(10000));
    QCOMPARE(TestFiles::readAll(busy + "成品/new.jpg"), QByteArray("new"));
    QCOMPARE(run.start({orderAt("A24061205", busy)}), 1);
    bool allSucceeded = false;
    QVERIFY(waitForEnd(run, &allSucceeded));
    QVERIFY(allSucceeded);
    QVERIFY(!QFileInfo::exists(busy));
}

void TestDeletionRun::deleteLogReachesTheService()
{
    StandIn service;
    StandIn::useDemoIdentity();
    QNetworkAccessManager manager;
    QNetworkReply* reply = WebService::post(&manager, Config::url_submit_delete_log,
                                            DeletionRun::deleteLogBody("100101", "/Volumes/photos/a&b=c/"));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(5000));
    QVERIFY(WebService::read(reply).ok());
    reply->deleteLater();

    const auto logged = service.requests("OrderPhoto", "order_photo_del");
    QCOMPARE(logged.size(), 1);
    QCOMPARE(logged.first().keys,
             QStringList({"token", "shopid", "superid", "orderphotoid", "path", "MANAGER_ID"}));
    QCOMPARE(logged.first().values.value("path"), QStringLiteral("/Volumes/photos/a&b=c/"));
    const QJsonArray log = service.storeSnapshot().value("delete_log").toArray();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first().toObject().value("orderphotoid").toString(), QStringLiteral("100101"));
    QCOMPARE(log.first().toObject().value("MANAGER_ID").toString(), Config::manager_id);
}

void TestDeletionRun::logReplyBoxes_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("box"); // empty: none

    QTest::newRow("success") << 200 << QByteArray(R"({"code":"1","message":"ok"})") << QString();
    QTest::newRow("refusal") << 200 << QByteArray(R"({"code":"0","message":"订单不存在"})")
                             << QStringLiteral("订单不存在\t0");
    QTest::newRow("number code") << 200 << QByteArray(R"({"code":1,"message":"怪"})") << QStringLiteral("怪\t");
    // The service may or may not have kept the log: told like a lost reply.
    QTest::newRow("not json") << 200 << QByteArray("<html>") << QStringLiteral("请检查网络连接\n200");
    QTest::newRow("http error") << 502 << QByteArray() << QStringLiteral("请检查网络连接\n502");
}

void TestDeletionRun::logReplyBoxes()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, box);
    WebService::Reply reply = WebService::classify(body);
    reply.statusText = QString::number(status);
    if (status != 200)
        reply.kind = WebService::Reply::Kind::TransportError;
    DeletionRun::reportLogReply(reply, "A24051201", "/Volumes/photos/A24051201/");
    if (box.isEmpty()) {
        QVERIFY(m_prompts->messages().isEmpty());
    } else {
        QCOMPARE(m_prompts->messages().size(), 1);
        QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
        // The order the service was not told of, then why.
        QCOMPARE(m_prompts->last().text, "删除记录上报失败：A24051201：/Volumes/photos/A24051201/\n" + box);
    }
}

void TestDeletionRun::replaceString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("colon between blanks") << " A/B : D " << "ABD";
    QTest::newRow("three blanks keep one") << "a   b" << "a b";
    QTest::newRow("every removed sign") << "a\\b/c:d*e？f?g\"h'i“j”k‘l’m<n《o>p》q|r" << "abcdefghijklmnopqr";
    QTest::newRow("normal name untouched") << "10x12相册 (精修)" << "10x12相册 (精修)";
}

void TestDeletionRun::replaceString()
{
    QFETCH(QString, text);
    QFETCH(QString, cleaned);
    QCOMPARE(NameCleaning::replaceString(text), cleaned);
    QCOMPARE(NameCleaning::productName(QStringLiteral("8*10 相册")), QStringLiteral("8x10 相册"));
}

void TestDeletionRun::checkColumn()
{
    QList<order> orders = {orderAt("1", ""), orderAt("2", "", false), orderAt("3", "")};
    QStandardItemModel model(3, 15);
    QTableView view;
    auto state = [&model](int row) { return model.item(row, 0)->data(Qt::CheckStateRole).toInt(); };

    OrderTableCheck::invert(orders, &model);
    QCOMPARE(state(0), int(Qt::Unchecked));
    QCOMPARE(state(1), int(Qt::Checked));
    QCOMPARE(state(2), int(Qt::Unchecked));
    // Each new cell carries its check state and nothing else: no text, no alignment.
    for (int row = 0; row < 3; ++row)
        QCOMPARE(model.itemData(model.index(row, 0)).keys(), QList<int>{Qt::CheckStateRole});

    QVERIFY(OrderTableCheck::toggle(orders, &model, &view, model.index(0, 14)));
    QVERIFY(orders.at(0).isChecked);
    QCOMPARE(view.styleSheet(), QStringLiteral("selection-background-color: rgb(135, 206, 250);selection-color:black;"));
    QVERIFY(OrderTableCheck::toggle(orders, &model, &view, model.index(0, 3)));
    QCOMPARE(view.styleSheet(), QStringLiteral("selection-background-color: rgb(248, 248, 255);selection-color:black;"));
    QVERIFY(!OrderTableCheck::toggle(orders, &model, &view, model.index(5, 0)));
    QVERIFY(!OrderTableCheck::toggle(orders, &model, &view, QModelIndex()));

    OrderTableCheck::selectAll(orders, &model);
    QVERIFY(OrderTableCheck::anyChecked(orders));
    QCOMPARE(state(0) + state(1) + state(2), 3 * int(Qt::Checked));
    QList<order> none;
    OrderTableCheck::selectAll(none, &model);
    QVERIFY(!OrderTableCheck::anyChecked(none));
}

void TestDeletionRun::foldersInUseOverlap_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("inUse");
    QTest::newRow("the folder") << "/v/share/2024-05/12/A001" << true;
    QTest::newRow("with a slash") << "/v/share/2024-05/12/A001/" << true;
    QTest::newRow("a folder in it") << "/v/share/2024-05/12/A001/照片" << true;
    QTest::newRow("the day holding it") << "/v/share/2024-05/12" << true;
    QTest::newRow("reached through ..") << "/v/share/2024-05/13/../12/A001" << true;
    QTest::newRow("a name it begins") << "/v/share/2024-05/12/A00" << false;
    QTest::newRow("a longer name") << "/v/share/2024-05/12/A0012" << false;
    QTest::newRow("a sibling") << "/v/share/2024-05/12/A002" << false;
    QTest::newRow("empty") << "" << false;
}

void TestDeletionRun::foldersInUseOverlap()
{
    QFETCH(QString, asked);
    QFETCH(bool, inUse);
    FoldersInUse::Claim claim("/v/share/2024-05/12/A001/", "A001");
    FoldersInUse::Claim empty("", "B001"); // registers nothing
    QString key;
    QCOMPARE(FoldersInUse::contains(asked, &key), inUse);
    QCOMPARE(key, inUse ? QStringLiteral("A001") : QString());
    QCOMPARE(FoldersInUse::Claim(asked, "D", FoldersInUse::Use::Deletion).refused(), inUse);

    // A claim moved keeps the folder registered; once released it is free.
    FoldersInUse::Claim moved = std::move(claim);
    QCOMPARE(FoldersInUse::contains(asked), inUse);
    moved.release();
    QVERIFY(!FoldersInUse::contains(asked));

    // While a deletion holds the folder asked, an import by the same rule
    // does not start; a deletion is no import.
    const FoldersInUse::Claim deleting(asked, "D", FoldersInUse::Use::Deletion);
    QVERIFY(!FoldersInUse::contains(asked));
    QCOMPARE(FoldersInUse::Claim("/v/share/2024-05/12/A001/", "A001").refused(), inUse);
}

QTEST_MAIN(TestDeletionRun)
#include "tst_deletionrun.moc"
