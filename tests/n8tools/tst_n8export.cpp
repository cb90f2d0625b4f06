#include "clock.h"
#include "demotree.h"
#include "fileoperation.h"
#include "n8export.h"
#include "n8receiver.h"
#include "n8thread.h"
#include "orderrecords.h"
#include "studioservice.h"
#include "tempvolumes.h"
#include "testfiles.h"

#include <QtTest>

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>

// The worker's export of N8 selection results, on small trees under a
// temporary mount root.
class TestN8Export : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copyFilters_data();
    void copyFilters();
    void finishedPhotoSubstitution_data();
    void finishedPhotoSubstitution();
    void existingTargetKept();
    void linkLoopAndTargetInsideSource();

    void report_data();
    void report();
    void filesNotExportedAreNamed_data();
    void filesNotExportedAreNamed();
    void serverAndLocalFormExportAlike_data();
    void serverAndLocalFormExportAlike();
    void namesAreCleaned();
    void designDataFolderNames_data();
    void designDataFolderNames();
    void stopBetweenOrders();
    void demoSelections();

private:
    // Runs one export of the orders and returns the receiver's messages.
    QList<QJsonObject> runExport(const QList<order>& orders, const QString& exportPath,
                                 const QString& downAll = "0", const QString& bigImg = QString());
    QString selected(const QString& key) const;
    // A finished selection: "选版结果" with a page and the marker (a name
    // ending in "/" makes it a folder; empty: no marker).
    void makeResult(const QString& key, const QString& marker = "done.ok");

    std::unique_ptr<TempVolumes> m_volumes;
    QString m_out;
};

namespace {

const QString kStore = QStringLiteral("\\\\nas\\n8\\s1");
const QString kServer = kStore + QStringLiteral("\\选版服务器\\");

// An order as the N8 window lists it, checked.
order listed(const QString& key, const QString& n8path, const QString& customer = QStringLiteral("王小宝"))
{
    const QJsonObject item{{"orderpayforkey", key}, {"servicetimes", "1"},
                           {"bname", customer},     {"orderpath", "\\\\nas\\photos\\" + key + "\\"},
                           {"n8path", n8path},      {"picpathnew", QJsonObject{{"n8path", kStore}}}};
    order o = orderFromListItem(item, OrderListFill::n8Separation());
    o.isChecked = true;
    return o;
}

// Every file and folder below root, relative, folders ending in "/".
QStringList tree(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        found.append(QDir(root).relativeFilePath(it.filePath()) + (it.fileInfo().isDir() ? "/" : ""));
    }
    found.sort();
    return found;
}

QStringList alerts(const QList<QJsonObject>& messages)
{
    QStringList texts;
    for (const QJsonObject& m : messages) {
        if (m.value("type").toString() == "update_msg")
            texts.append(m.value("alert").toString());
    }
    return texts;
}

QString red(const QString& tail)
{
    return "<br><font color=\"#ff0000\">A1 服务次1</font> " + tail;
}
QString plain(const QString& tail)
{
    return "<br>A1 服务次1</font> " + tail;
}
QString green(const QString& tail)
{
    return "<br><font color=\"#669900\">A1 服务次1</font>  " + tail;
}

} // namespace

void TestN8Export::init()
{
    m_volumes = std::make_unique<TempVolumes>();
    m_volumes->mkdir("n8/s1/选版服务器");
    m_out = m_volumes->mkdir("out");
    Clock::setFixed(QDateTime(QDate(2024, 6, 1), QTime(23, 59)));
}

void TestN8Export::cleanup()
{
    Clock::setFixed(QDateTime());
    FileOperation::setFaultHook({});
    m_volumes.reset();
}

QString TestN8Export::selected(const QString& key) const
{
    return m_volumes->path("n8/s1/选版服务器/[已选]2024/" + key);
}

void TestN8Export::makeResult(const QString& key, const QString& marker)
{
    QVERIFY(TestFiles::write(selected(key) + "/选版结果/P01.jpg", "page"));
    if (marker.endsWith('/'))
        QVERIFY(QDir().mkpath(selected(key) + "/选版结果/" + marker));
    else if (!marker.isEmpty())
        QVERIFY(TestFiles::write(selected(key) + "/选版结果/" + marker, ""));
}

QList<QJsonObject> TestN8Export::runExport(const QList<order>& orders, const QString& exportPath,
                                           const QString& downAll, const QString& bigImg)
{
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("exportN8result");
    worker.exportPath = exportPath;
    worker.orderList = orders;
    worker.isN8ResultDownAll = downAll;
    worker.isN8fjUseBigImg = bigImg;
    worker.start();
    worker.wait();
    QCoreApplication::sendPostedEvents();
    return receiver.messages;
}

void TestN8Export::copyFilters_data()
{
    QTest::addColumn<QString>("downAll");
    QTest::addColumn<QStringList>("copied");
    QTest::addColumn<QStringList>("progress"); // file names, in copy order

    const QStringList everything = {"a.JPG",
                                    "b.tif",
                                    "c.a.tar.gz",
                                    "empty/",
                                    "n.txt",
                                    "noext",
                                    "page.psd",
                                    "sub/",
                                    "sub/未入册照片/",
                                    "sub/未入册照片/y.jpg",
                                    "未入册照片/",
                                    "未入册照片/deep/",
                                    "未入册照片/deep/x.jpg",
                                    "未入册照片x/",
                                    "未入册照片x/z.jpg",
                                    "未入册版面/",
                                    "未入册版面/v.jpg"};
    const QStringList all = {"a.JPG",    "b.tif", "c.a.tar.gz", "n.txt", "noext",
                             "page.psd", "y.jpg", "x.jpg",      "z.jpg", "v.jpg"};
    QTest::newRow("restricted") << "0" << QStringList{"a.JPG", "empty/",       "page.psd",
                                                      "sub/",  "未入册照片x/", "未入册照片x/z.jpg"}
                                << QStringList{"a.JPG", "page.psd", "z.jpg"};
    QTest::newRow("everything") << "1" << everything << all;
    QTest::newRow("no setting") << "" << everything << all;
}

void TestN8Export::copyFilters()
{
    QFETCH(QString, downAll);
    QFETCH(QStringList, copied);
    QFETCH(QStringList, progress);
    const QString s = m_volumes->path("src");
    for (const char* f :
         {"a.JPG", "b.tif", "c.a.tar.gz", "noext", ".hidden.jpg", ".hiddendir/x.jpg", "page.psd", "n.txt",
          "未入册照片/deep/x.jpg", "sub/未入册照片/y.jpg", "未入册照片x/z.jpg", "未入册版面/v.jpg"})
        QVERIFY(TestFiles::write(s + "/" + QString::fromUtf8(f), f));
    QVERIFY(QDir().mkpath(s + "/empty"));

    N8Receiver owner;
    N8thread job(&owner, nullptr);
    job.isN8ResultDownAll = downAll;
    const QString target = m_volumes->path("out/a/b/选版结果"); // parents missing
    job.copyDirectory(s, target);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(tree(target), copied);
    QStringList expected;
    for (const QString& name : progress)
        expected.append("正在拷贝" + name + ", 请稍后...");
    QCOMPARE(alerts(owner.messages), expected);
    QCOMPARE(TestFiles::readAll(target + "/a.JPG"), QByteArray("a.JPG"));
}

void TestN8Export::finishedPhotoSubstitution_data()
{
    QTest::addColumn<QString>("orderPath"); // "@": the order folder
    QTest::addColumn<QByteArray>("a");      // what a.jpg and sub/a.jpg receive
    QTest::newRow("order folder") << "@" << QByteArray("finished a");
    QTest::newRow("no order folder") << "" << QByteArray("n8 a");
    QTest::newRow("relative order folder") << "order/" << QByteArray("n8 a");
}

void TestN8Export::finishedPhotoSubstitution()
{
    QFETCH(QString, orderPath);
    QFETCH(QByteArray, a);
    const QString s = m_volumes->path("src");
    QVERIFY(TestFiles::write(s + "/a.jpg", "n8 a"));
    QVERIFY(TestFiles::write(s + "/sub/a.jpg", "n8 a"));
    QVERIFY(TestFiles::write(s + "/b.jpg", "n8 b"));
    QVERIFY(TestFiles::write(s + "/n.txt", "n8 n"));
    const QString order = m_volumes->path("photos/A1/");
    QVERIFY(TestFiles::write(order + "成品/a.jpg", "finished a"));
    QVERIFY(TestFiles::write(order + "成品/n.txt", "finished n"));
    QVERIFY(QDir().mkpath(order + "成品/b.jpg")); // a folder does not count
    // A working folder with finished photos of its own must not be looked at.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_volumes->path("photos/A1")));
    QVERIFY(TestFiles::write(m_volumes->path("photos/A1/order/成品/a.jpg"), "cwd a"));

    N8Receiver owner;
    N8thread job(&owner, nullptr);
    job.isN8ResultDownAll = "0";
    job.isN8fjUseBigImg = "1";
    job.orderPath = orderPath == "@" ? order : orderPath;
    job.copyDirectory(s, m_out + "/t");
    QDir::setCurrent(previous);
    QCOMPARE(TestFiles::readAll(m_out + "/t/a.jpg"), a);
    QCOMPARE(TestFiles::readAll(m_out + "/t/sub/a.jpg"), a);
    QCOMPARE(TestFiles::readAll(m_out + "/t/b.jpg"), QByteArray("n8 b"));
    QVERIFY(!QFileInfo::exists(m_out + "/t/n.txt")); // left out by its own suffix
}

void TestN8Export::existingTargetKept()
{
    const QString s = m_volumes->path("src");
    for (const char* f : {"a.jpg", "b.jpg", "c.jpg"})
        QVERIFY(TestFiles::write(s + "/" + f, "new"));
    QVERIFY(TestFiles::write(m_out + "/t/b.jpg", "old b, longer than the new one"));
    N8Receiver owner;
    N8thread job(&owner, nullptr);
    job.copyDirectory(s, m_out + "/t");
    QCOMPARE(TestFiles::readAll(m_out + "/t/b.jpg"), QByteArray("old b, longer than the new one"));
    QCOMPARE(tree(m_out + "/t"), QStringList({"a.jpg", "b.jpg", "c.jpg"})); // no partial file left
    QCOMPARE(TestFiles::readAll(m_out + "/t/c.jpg"), QByteArray("new"));
}

void TestN8Export::linkLoopAndTargetInsideSource()
{
    const QString s = m_volumes->path("src");
    QVERIFY(TestFiles::write(s + "/a.jpg", "a"));
    QVERIFY(TestFiles::write(s + "/twin/b.jpg", "b"));
    QVERIFY(QFile::link(s, s + "/loop"));            // leads back to its own parent
    QVERIFY(QFile::link(s + "/twin", s + "/twin2")); // the same folder twice
    N8Receiver owner;
    N8thread job(&owner, nullptr);
    QStringList notCopied;
    job.copyDirectory(s, m_out + "/t", &notCopied);
    QCOMPARE(tree(m_out + "/t"), QStringList({"a.jpg", "twin/", "twin/b.jpg"}));

    // The copy's own target below its source is never entered.
    const QString inside = s + "/out/t";
    job.copyDirectory(s, inside, &notCopied);
    QCOMPARE(tree(inside), QStringList({"a.jpg", "out/", "twin/", "twin/b.jpg"}));
    QCOMPARE(notCopied, QStringList()); // neither is a loss
}

void TestN8Export::report_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("downAll");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("made"); // below the export folder; "@" the result as exported

    const QString done = green("N8导出完成");
    const QString partial = green("N8部分导出完成");
    const QString day = "2024-06-01/";
    const QString folder = day + "A1-服务次1 王小宝/";
    const QString design = "2024\\A1_待N8设计同步用数据";
    QTest::newRow("no N8 path") << QStringList{"no path"} << "0" << QStringList{red("没有N8选版完成路径")}
                                << QStringList();
    QTest::newRow("out of reach") << QStringList{"unreachable"} << "0"
                                  << QStringList{red("N8选版未完成或与本机不在同一局域网")} << QStringList();
    QTest::newRow("no marker") << QStringList{"marker:"} << "0" << QStringList{plain("N8选版未完成")}
                               << QStringList();
    // The restricted copy leaves the marker file out, but not a folder.
    QTest::newRow("marker in capitals")
        << QStringList{"marker:DONE.OK"} << "1"
        << QStringList{plain("N8路径下没有 待N8设计同步用数据 文件夹"), partial}
        << QStringList{day, folder, folder + "选版结果/", folder + "选版结果/DONE.OK",
                       folder + "选版结果/P01.jpg"};
    QTest::newRow("marker folder") << QStringList{"marker:x.ok/"} << "0" << QStringList{done}
                                   << QStringList{day, folder, folder + "选版结果/",
                                                  folder + "选版结果/P01.jpg", folder + "选版结果/x.ok/"};
    QTest::newRow("hidden marker") << QStringList{"marker:.ok"} << "0" << QStringList{plain("N8选版未完成")}
                                   << QStringList();
    QTest::newRow("output folder gone")
        << QStringList{"no output"} << "0" << QStringList{plain("创建导出日期目录失败，请检查权限")}
        << QStringList();
    QTest::newRow("empty output folder")
        << QStringList{"empty output"} << "0" << QStringList{plain("创建导出日期目录失败，请检查权限")}
        << QStringList();
    QTest::newRow("order folder not made")
        << QStringList{"file:" + folder.chopped(1)} << "0"
        << QStringList{plain("创建导出根目录失败，请检查权限")} << QStringList{day, folder.chopped(1)};
    QTest::newRow("result target not made")
        << QStringList{"file:" + folder + "选版结果"} << "0"
        << QStringList{plain("创建选版结果导出目录失败，请检查权限"), partial}
        << QStringList{day, folder, folder + "选版结果"};
    QTest::newRow("design data missing")
        << QStringList() << "1" << QStringList{plain("N8路径下没有 待N8设计同步用数据 文件夹"), partial}
        << QStringList{"@"};
    QTest::newRow("design data target not made")
        << QStringList{"design data", "file:" + folder + design} << "1"
        << QStringList{plain("创建 待N8设计同步用数据 导出目录失败，请检查权限"), partial}
        << QStringList{"@", folder + design};
    QTest::newRow("result target not made, design data missing")
        << QStringList{"file:" + folder + "选版结果"} << "1"
        << QStringList{plain("创建选版结果导出目录失败，请检查权限"),
                       plain("N8路径下没有 待N8设计同步用数据 文件夹")}
        << QStringList{day, folder, folder + "选版结果"};
    QTest::newRow("no finished photos")
        << QStringList{"no finished"} << "0"
        << QStringList{red("没有导入成品照片，所以产品文件夹里是N8的小图！"), done} << QStringList{"@"};
}

void TestN8Export::report()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, downAll);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, made);
    if (!setup.contains("no finished"))
        m_volumes->mkdir("photos/A1/成品");
    const QString marker = setup.filter("marker:").value(0).mid(7);
    if (!setup.contains("unreachable"))
        makeResult("A1", setup.filter("marker:").isEmpty() ? "done.ok" : marker);
    if (setup.contains("design data"))
        QVERIFY(TestFiles::write(selected("A1") + "/2024/A1_待N8设计同步用数据/layout.xml", "<layout/>"));
    // A file where the export wants a folder: the share refuses the folder.
    for (const QString& file : setup.filter("file:"))
        QVERIFY(TestFiles::write(m_out + "/" + file.mid(5), "in the way"));
    QString out = m_out;
    if (setup.contains("no output"))
        out = m_volumes->path("gone");
    else if (setup.contains("empty output"))
        out.clear();

    const QList<QJsonObject> messages =
        runExport({listed("A1", setup.contains("no path") ? QString() : kServer + "2024\\A1")}, out, downAll);
    QCOMPARE(messages.last(),
             QJsonObject({{"type", "all_finish"}, {"message", "所选订单N8选版导出结果" + lines.join("")}}));
    QCOMPARE(messages.count(messages.last()), 1);
    QCOMPARE(alerts(messages).first(), QStringLiteral("开始准备A1 服务次1的检查并创建路径，请稍后..."));

    const QString folder = "2024-06-01/A1-服务次1 王小宝/";
    if (made.removeAll("@")) {
        made += QStringList{"2024-06-01/", folder, folder + "选版结果/", folder + "选版结果/P01.jpg"};
        if (downAll != "0")
            made.append(folder + "选版结果/done.ok");
    }
    made.sort();
    QCOMPARE(tree(m_out), made);
    QVERIFY(!QFileInfo::exists(m_volumes->path("gone")));
    QVERIFY(!QFileInfo::exists("/2024-06-01"));
}

void TestN8Export::filesNotExportedAreNamed_data()
{
    QTest::addColumn<int>("fault");          // a FileOperation fault, or -1
    QTest::addColumn<QStringList>("at");     // where it strikes, below the order's folders
    QTest::addColumn<QByteArray>("earlier"); // a page P01.jpg an earlier export left
    QTest::addColumn<QString>("downAll");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("p01"); // what the exported P01.jpg holds afterwards

    using Fault = FileOperation::Fault;
    const QString partial = green("N8部分导出完成");
    const QStringList p01 = {"选版结果/P01.jpg"};
    const QStringList lost = {red("未导出：选版结果/P01.jpg"), partial};
    QTest::newRow("page refused at close")
        << int(Fault::Close) << p01 << QByteArray() << "0" << lost << QByteArray("<missing>");
    QTest::newRow("share full") << int(Fault::DiskFull) << p01 << QByteArray() << "0" << lost
                                << QByteArray("<missing>");
    QTest::newRow("page unreadable") << int(Fault::Read) << p01 << QByteArray() << "0" << lost
                                     << QByteArray("<missing>");
    QTest::newRow("two pages refused")
        << int(Fault::Write) << QStringList{"选版结果/P01.jpg", "选版结果/sub/P02.jpg"} << QByteArray() << "0"
        << QStringList{red("未导出：选版结果/P01.jpg、选版结果/sub/P02.jpg"), partial}
        << QByteArray("<missing>");
    QTest::newRow("older page under the name")
        << -1 << QStringList() << QByteArray("older page") << "0" << lost << QByteArray("older page");
    QTest::newRow("the same page again") << -1 << QStringList() << QByteArray("page") << "0"
                                         << QStringList{green("N8导出完成")} << QByteArray("page");
    QTest::newRow("a folder that cannot be read")
        << int(Fault::List) << QStringList{"选版结果/sub"} << QByteArray() << "0"
        << QStringList{red("未导出：选版结果/sub"), partial} << QByteArray("page");
    QTest::newRow("design data refused")
        << int(Fault::Close) << QStringList{"2024\\A1_待N8设计同步用数据/layout.xml"} << QByteArray() << "1"
        << QStringList{red("未导出：2024\\A1_待N8设计同步用数据/layout.xml"), partial} << QByteArray("page");
    QTest::newRow("a folder that cannot be looked at")
        << int(Fault::LookUp) << QStringList{"选版结果/sub"} << QByteArray() << "0"
        << QStringList{red("未导出：选版结果"), partial} << QByteArray("<missing>");
    QTest::newRow("a folder that cannot be looked at once listed")
        << int(Fault::LookUp) << QStringList{"+选版结果/sub"} << QByteArray() << "0"
        << QStringList{red("未导出：选版结果/sub"), partial} << QByteArray("page");
    QTest::newRow("a finished photo that cannot be looked at")
        << int(Fault::LookUp) << QStringList{"成品/P01.jpg"} << QByteArray() << "0" << lost
        << QByteArray("<missing>");
    QTest::newRow("finished photos that cannot be looked at")
        << int(Fault::LookUp) << QStringList{"成品"} << QByteArray() << "0"
        << QStringList{red("目录读取失败：@photos/A1/成品"),
                       red("未导出：选版结果/P01.jpg、选版结果/sub/P02.jpg"), partial}
        << QByteArray("<missing>");
    QTest::newRow("selection cannot be looked at")
        << int(Fault::LookUp) << QStringList{"[已选]2024/A1"} << QByteArray() << "0"
        << QStringList{red("未导出：选版结果"), partial} << QByteArray("<missing>");
    QTest::newRow("result folder cannot be looked at")
        << int(Fault::LookUp) << QStringList{"选版结果"} << QByteArray() << "0"
        << QStringList{red("未导出：选版结果"), partial} << QByteArray("<missing>");
    QTest::newRow("design data cannot be looked at")
        << int(Fault::LookUp) << QStringList{"2024/A1_待N8设计同步用数据"} << QByteArray() << "1"
        << QStringList{red("未导出：2024\\A1_待N8设计同步用数据"), partial} << QByteArray("page");
}

void TestN8Export::filesNotExportedAreNamed()
{
    QFETCH(int, fault);
    QFETCH(QStringList, at);
    QFETCH(QByteArray, earlier);
    QFETCH(QString, downAll);
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, p01);
    m_volumes->mkdir("photos/A1/成品");
    makeResult("A1");
    QVERIFY(TestFiles::write(selected("A1") + "/选版结果/sub/P02.jpg", "page 2"));
    QVERIFY(TestFiles::write(selected("A1") + "/2024/A1_待N8设计同步用数据/layout.xml", "<layout/>"));
    const QString folder = m_out + "/2024-06-01/A1-服务次1 王小宝/";
    if (!earlier.isEmpty())
        QVERIFY(TestFiles::write(folder + "选版结果/P01.jpg", earlier));
    QHash<QString, int> asked;
    FileOperation::setFaultHook([&](FileOperation::Fault f, const QString& path) {
        if (int(f) != fault)
            return false;
        // The source and its target end alike; the kind tells them apart.
        // "+": the share drops once the path has been looked at.
        for (const QString& name : at) {
            if (QDir::cleanPath(path).endsWith("/" + name.mid(name.startsWith('+') ? 1 : 0)))
                return !name.startsWith('+') || asked[name]++ > 0;
        }
        return false;
    });
    const auto unhook = qScopeGuard([] { FileOperation::setFaultHook({}); }); // it reads this row's locals

    // Finished photos replace pages where a row strikes them.
    const QString bigImg = at.join(',').contains("成品") ? "1" : "";
    const QList<QJsonObject> messages =
        runExport({listed("A1", kServer + "2024\\A1")}, m_out, downAll, bigImg);
    QCOMPARE(messages.last().value("message").toString(),
             QString("所选订单N8选版导出结果" + lines.join("")).replace("@", m_volumes->root()));
    QCOMPARE(TestFiles::readAll(folder + "选版结果/P01.jpg"), p01);
    // P02 is exported unless the report names it or a folder above it.
    const QString told = lines.join("") + "<";
    if (!told.contains("选版结果/sub") && !told.contains("未导出：选版结果<"))
        QCOMPARE(TestFiles::readAll(folder + "选版结果/sub/P02.jpg"), QByteArray("page 2"));
    for (const QString& entry : tree(m_out))
        QVERIFY2(!entry.endsWith(".part"), qPrintable(entry)); // nothing half-written is left
}

void TestN8Export::serverAndLocalFormExportAlike_data()
{
    QTest::addColumn<bool>("localForm");
    QTest::newRow("server form") << false;
    QTest::newRow("local form, as the N8 import records it") << true;
}

void TestN8Export::serverAndLocalFormExportAlike()
{
    QFETCH(bool, localForm);
    m_volumes->mkdir("photos/A1/成品");
    makeResult("A1");
    QVERIFY(TestFiles::write(selected("A1") + "/2024/A1_待N8设计同步用数据/layout.xml", "<layout/>"));
    const QString n8path =
        localForm ? m_volumes->path("n8/s1/选版服务器/2024/A1") : kServer + QStringLiteral("2024\\A1");
    const order o = listed("A1", n8path);

    const QList<QJsonObject> messages = runExport({o}, m_out, "1");
    QCOMPARE(messages.last().value("message").toString(), "所选订单N8选版导出结果" + green("N8导出完成"));
    const QString orderFolder = m_out + "/2024-06-01/A1-服务次1 王小宝";
    // The design-data folder keeps N8's name, backslash and all.
    QCOMPARE(tree(orderFolder),
             QStringList({"2024\\A1_待N8设计同步用数据/", "2024\\A1_待N8设计同步用数据/layout.xml",
                          "选版结果/", "选版结果/P01.jpg", "选版结果/done.ok"}));
    QCOMPARE(alerts(messages),
             QStringList({"开始准备A1 服务次1的检查并创建路径，请稍后...",
                          "开始导出A1 服务次1的N8选版结果, 可能比较耗时，请稍后...",
                          "正在拷贝done.ok, 请稍后...", "正在拷贝P01.jpg, 请稍后...",
                          "开始导出A1 服务次1的 待N8设计同步用数据, 可能比较耗时，请稍后...",
                          "正在拷贝layout.xml, 请稍后..."}));
}

void TestN8Export::namesAreCleaned()
{
    m_volumes->mkdir("photos/A1/成品");
    makeResult("A1");
    order o = listed("A1", kServer + "2024\\A1", QStringLiteral("王/小宝:*?"));
    o.orderpayforkey = QStringLiteral("A1<>");
    o.servicetimes = QStringLiteral("1/");
    const QList<QJsonObject> messages = runExport({o}, m_out);
    QCOMPARE(QDir(m_out + "/2024-06-01").entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList({"A1-服务次1 王小宝"}));
    QVERIFY(QFileInfo(m_out + "/2024-06-01/A1-服务次1 王小宝/选版结果/P01.jpg").isFile());
    QCOMPARE(messages.last().value("message").toString(),
             QStringLiteral(
                 "所选订单N8选版导出结果<br><font color=\"#669900\">A1&lt;&gt; 服务次1/</font>  N8导出完成"));
}

void TestN8Export::designDataFolderNames_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("name"); // empty: refused
    QTest::newRow("backslash kept") << "2024\\T1"
                                    << "2024\\T1_待N8设计同步用数据";
    QTest::newRow("dots inside a name") << "a..b"
                                        << "a..b_待N8设计同步用数据";
    QTest::newRow("slash") << "2024/T1"
                           << "";
    QTest::newRow("parent part") << "..\\x"
                                 << "";
    QTest::newRow("parent part inside") << "2024\\..\\x"
                                        << "";
}

void TestN8Export::designDataFolderNames()
{
    QFETCH(QString, relative);
    QFETCH(QString, name);
    QCOMPARE(N8Export::designDataFolderName(relative), name);
}

void TestN8Export::stopBetweenOrders()
{
    m_volumes->mkdir("photos/A1/成品");
    m_volumes->mkdir("photos/A2/成品");
    makeResult("A1");
    makeResult("A2");
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("exportN8result");
    worker.exportPath = m_out;
    worker.orderList = {listed("A1", kServer + "2024\\A1"), listed("A2", kServer + "2024\\A2")};
    // The window closes while the first order's last file is copied.
    FileOperation::setFaultHook([&worker](FileOperation::Fault f, const QString& path) {
        if (f == FileOperation::Fault::Write && path.endsWith("A1-服务次1 王小宝/选版结果/P01.jpg"))
            worker.stopThread();
        return false;
    });
    const auto unhook = qScopeGuard([] { FileOperation::setFaultHook({}); }); // it reaches this row's worker
    worker.start();
    QVERIFY(worker.wait(10000));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(QDir(m_out + "/2024-06-01").entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList({"A1-服务次1 王小宝"}));
    QCOMPARE(receiver.types().count("all_finish"), 1);
    QCOMPARE(receiver.types().last(), QStringLiteral("all_finish"));
    QVERIFY(!receiver.messages.last().value("message").toString().contains("A2"));
}

void TestN8Export::demoSelections()
{
    QVERIFY(makeDemoTree(m_volumes->root()));
    QFile file(StudioService::demoFixturePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject fixture = QJsonDocument::fromJson(file.readAll()).object();

    // The demo orders as the N8 window lists them: each with its store's N8 folder.
    QMap<QString, order> orders;
    for (const QJsonValue& v : fixture.value("orders").toArray()) {
        QJsonObject item = v.toObject();
        for (const QJsonValue& shop : fixture.value("shops").toArray()) {
            for (const QJsonValue& store : shop.toObject().value("stores").toArray()) {
                if (store.toObject().value("id") == item.value("storesid"))
                    item.insert("picpathnew", QJsonObject{{"n8path", store.toObject().value("n8path")}});
            }
        }
        orders.insert(item.value("orderpayforkey").toString(),
                      orderFromListItem(item, OrderListFill::n8Separation()));
        orders[item.value("orderpayforkey").toString()].isChecked = true;
    }

    // The flagship shop: restricted copy, no design data.
    QString report =
        runExport({orders.value("A24051201"), orders.value("A24051202"), orders.value("A24051204")}, m_out,
                  "0")
            .last()
            .value("message")
            .toString();
    QCOMPARE(report,
             QStringLiteral("所选订单N8选版导出结果"
                            "<br><font color=\"#669900\">A24051201 服务次1</font>  N8导出完成"
                            "<br>A24051202 服务次1</font> N8选版未完成"
                            "<br><font color=\"#ff0000\">A24051204 服务次1</font> 没有N8选版完成路径"));
    QCOMPARE(tree(m_out + "/2024-06-01/A24051201-服务次1 王小宝-刘芳-王强/选版结果"),
             QStringList({"P01.jpg", "P02.jpg", "P03.jpg", "album.psd"}));

    // The client-brand shop: everything, the design data and the finished photos.
    report = runExport({orders.value("T24050801")}, m_out, "1", "1").last().value("message").toString();
    QCOMPARE(report,
             QStringLiteral(
                 "所选订单N8选版导出结果<br><font color=\"#669900\">T24050801 服务次1</font>  N8导出完成"));
    const QString folder = m_out + "/2024-06-01/T24050801-服务次1 许晴-罗杰/";
    QCOMPARE(tree(folder + "2024\\T24050801_待N8设计同步用数据"),
             QStringList({"layout01.xml", "layout02.xml"}));
    QCOMPARE(TestFiles::readAll(folder + "选版结果/IMG_0001.jpg"),
             TestFiles::readAll(orders.value("T24050801").orderpath + "成品/IMG_0001.jpg"));
}

QTEST_MAIN(TestN8Export)
#include "tst_n8export.moc"
