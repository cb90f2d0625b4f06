#include "config.h"
#include "fileoperation.h"
#include "n8receiver.h"
#include "n8sync.h"
#include "n8thread.h"
#include "tempvolumes.h"
#include "testfiles.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonObject>
#include <QXmlStreamReader>

#include <unistd.h>

class TestN8Thread : public QObject
{
    Q_OBJECT

private slots:
    void storesCheck_data();
    void storesCheck();
    void windowsFormPathsAreMappedUnderTheMountRoot_data();
    void windowsFormPathsAreMappedUnderTheMountRoot();
    void otherModesRunNothing_data();
    void otherModesRunNothing();
    void stopBeforeStartIsForgotten();

    void xmlDocuments_data();
    void xmlDocuments();
    void xmlWithReservedCharactersReadsBack();
    void xmlBuildStopsPartWay_data();
    void xmlBuildStopsPartWay();
    void stopWhileAFileIsWritten();
    void writesEveryStoreInOrder();
    void writeVariants_data();
    void writeVariants();
    void directoryInPlaceOfTheFile();
    void notWritableFolder();
};

namespace {

QJsonObject store(const QString& id, const QString& name, const QString& n8path)
{
    return QJsonObject{{"id", id}, {"name", name}, {"n8path", n8path}};
}

// Runs one stores check and returns its single report.
QPair<QJsonArray, QString> runStoresCheck(const QJsonArray& stores)
{
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("stores");
    worker.stores = stores;
    worker.start();
    worker.wait();
    QCoreApplication::sendPostedEvents();
    if (receiver.stores.size() != 1)
        return {};
    return receiver.stores.first();
}

} // namespace

void TestN8Thread::storesCheck_data()
{
    QTest::addColumn<QJsonArray>("stores");
    QTest::addColumn<QList<int>>("reachable"); // positions in the input
    QTest::addColumn<QString>("names");

    // Paths made fresh in storesCheck(); "@" stands for its temporary folder.
    QTest::newRow("all reachable") << QJsonArray{store("1", "东店", "@/a"), store("2", "西店", "@/b")}
                                   << QList<int>{0, 1} << "";
    QTest::newRow("none reachable") << QJsonArray{store("1", "东店", "@/missing"), store("2", "西店", ""),
                                                  store("3", "南店", "@/gone")}
                                    << QList<int>{} << "东店,西店,南店";
    QTest::newRow("empty list") << QJsonArray{} << QList<int>{} << "";
    QTest::newRow("first unreachable has no name")
        << QJsonArray{store("1", "", "@/missing"), store("2", "西店", "@/a"), store("3", "南店", "")}
        << QList<int>{1} << "南店";
    QTest::newRow("a file is not a folder")
        << QJsonArray{store("1", "东店", "@/file.txt"), store("2", "西店", "@/b")} << QList<int>{1} << "东店";
    QTest::newRow("not an object") << QJsonArray{QJsonValue("x"), store("2", "西店", "@/a")} << QList<int>{1}
                                   << "";
    QTest::newRow("path not a text") << QJsonArray{QJsonObject{{"name", "东店"}, {"n8path", 5}}}
                                     << QList<int>{} << "东店";
}

void TestN8Thread::storesCheck()
{
    QFETCH(QJsonArray, stores);
    QFETCH(QList<int>, reachable);
    QFETCH(QString, names);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("a") && QDir(dir.path()).mkpath("b"));
    QFile file(dir.filePath("file.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QJsonArray input;
    for (const QJsonValue& v : stores) {
        QJsonObject o = v.toObject();
        if (v.isObject() && o.value("n8path").isString())
            o.insert("n8path", o.value("n8path").toString().replace("@", dir.path()));
        input.append(v.isObject() ? QJsonValue(o) : v);
    }

    const auto result = runStoresCheck(input);
    QJsonArray expected;
    for (int i : reachable)
        expected.append(input.at(i)); // passed on unchanged
    QCOMPARE(result.first, expected);
    QCOMPARE(result.second, names);
}

void TestN8Thread::windowsFormPathsAreMappedUnderTheMountRoot_data()
{
    QTest::addColumn<QString>("n8path");
    QTest::addColumn<bool>("reachable");
    QTest::newRow("host share with backslashes") << R"(\\192.168.1.20\n8\东店)" << true;
    QTest::newRow("host share with slashes") << "//192.168.1.20/n8/东店" << true;
    QTest::newRow("drive letter") << R"(E:\n8\东店)" << true;
    QTest::newRow("drive letter, folder missing") << R"(E:\n8\北店)" << false;
    QTest::newRow("bare drive") << "E:" << false;
}

void TestN8Thread::windowsFormPathsAreMappedUnderTheMountRoot()
{
    QFETCH(QString, n8path);
    QFETCH(bool, reachable);
    TempVolumes volumes;
    volumes.mkdir("n8/东店");

    const QJsonObject s = store("1", "东店", n8path);
    const auto result = runStoresCheck(QJsonArray{s});
    QCOMPARE(result.first.size(), reachable ? 1 : 0);
    if (reachable)
        QCOMPARE(result.first.first().toObject(), s); // the store keeps its own path text
    QCOMPARE(result.second, reachable ? QString() : QStringLiteral("东店"));
    if (reachable)
        QCOMPARE(QDir(N8thread::localN8Path(n8path)).canonicalPath(),
                 QDir(volumes.path("n8/东店")).canonicalPath());
}

void TestN8Thread::otherModesRunNothing_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("type");
    QTest::newRow("upper case") << "STORES" << 0;
    QTest::newRow("XML upper case") << "XML" << 0;
    QTest::newRow("unknown") << "export" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("xml, type unset") << "xml" << -1;
    QTest::newRow("xml, type 2") << "xml" << 2;
}

void TestN8Thread::otherModesRunNothing()
{
    QFETCH(QString, mode);
    QFETCH(int, type);
    TempVolumes volumes;
    volumes.mkdir("n8/东店");
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = mode;
    worker.type = type;
    worker.stores = QJsonArray{store("1", "东店", volumes.path("n8/东店"))};
    worker.start();
    QVERIFY(worker.wait(5000));
    QCoreApplication::sendPostedEvents();
    QVERIFY(receiver.stores.isEmpty());
    QVERIFY(receiver.messages.isEmpty());
    QVERIFY(!QFileInfo::exists(volumes.path("n8/东店/产品")));
}

void TestN8Thread::stopBeforeStartIsForgotten()
{
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("stores");
    worker.stores = QJsonArray{store("1", "东店", ""), store("2", "西店", "")};
    worker.stopThread();
    worker.start();
    QTRY_COMPARE_WITH_TIMEOUT(receiver.stores.size(), 1, 5000);
    QCOMPARE(receiver.stores.first().second, QStringLiteral("东店,西店"));
}

namespace {

// Runs one job to its end and delivers its messages.
void runToEnd(N8thread& worker)
{
    worker.start();
    worker.wait();
    QCoreApplication::sendPostedEvents();
}

const QString kDeclaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");

} // namespace

void TestN8Thread::xmlDocuments_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QJsonArray>("datas");
    QTest::addColumn<QString>("body"); // between "<nemovg>" and "</nemovg>"

    const QJsonArray two{QJsonObject{{"id", "11"}, {"name", "李店长"}},
                         QJsonObject{{"id", "12"}, {"name", "陈摄影"}}};
    QTest::newRow("staff")
        << 0 << two
        << "<Staff><id>11</id><name>李店长</name></Staff><Staff><id>12</id><name>陈摄影</name></Staff>";
    QTest::newRow("products")
        << 1 << two
        << "<product><ID>11</ID><name>李店长</name><width>0</width><height>0</height></product>"
           "<product><ID>12</ID><name>陈摄影</name><width>0</width><height>0</height></product>";
    QTest::newRow("empty list") << 0 << QJsonArray{} << "";
    QTest::newRow("number id, missing name, not an object")
        << 1
        << QJsonArray{QJsonObject{{"id", 7}, {"name", "相册"}}, QJsonObject{{"id", "8"}}, QJsonValue("x")}
        << "<product><ID></ID><name>相册</name><width>0</width><height>0</height></product>"
           "<product><ID>8</ID><name></name><width>0</width><height>0</height></product>"
           "<product><ID></ID><name></name><width>0</width><height>0</height></product>";
}

void TestN8Thread::xmlDocuments()
{
    QFETCH(int, type);
    QFETCH(QJsonArray, datas);
    QFETCH(QString, body);
    TempVolumes volumes;
    volumes.mkdir("n8/东店");
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("xml");
    worker.type = type;
    worker.datas = datas;
    worker.stores = QJsonArray{store("1", "东店", volumes.path("n8/东店"))};
    runToEnd(worker);

    const QString document = kDeclaration + "<nemovg>" + body + "</nemovg>";
    QCOMPARE(receiver.types(), QStringList({"数据配置完成", "全部导入成功"}));
    QCOMPARE(receiver.messages.first(), QJsonObject({{"type", "数据配置完成"}, {"xmlstr", document}}));
    QCOMPARE(worker.xmlText, document);
    const QString file = type == 0 ? "n8/东店/产品/VgStaff.xml" : "n8/东店/产品/productList.xml";
    QCOMPARE(TestFiles::readAll(volumes.path(file)), document.toUtf8());
}

void TestN8Thread::xmlWithReservedCharactersReadsBack()
{
    TempVolumes volumes;
    volumes.mkdir("n8/东店");
    const QList<QPair<QString, QString>> people = {
        {"1", "林&化妆"},
        {"2", "周<设计>"},
        {"3", "\"精修\"入册"},
        {"<4>", QString("控制") + QChar(0x01) + QChar(0xFFFF) + "符"}};
    QJsonArray datas;
    for (const auto& p : people)
        datas.append(QJsonObject{{"id", p.first}, {"name", p.second}});
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("xml");
    worker.type = 0;
    worker.datas = datas;
    worker.stores = QJsonArray{store("1", "东店", volumes.path("n8/东店"))};
    runToEnd(worker);

    const QByteArray bytes = TestFiles::readAll(volumes.path("n8/东店/产品/VgStaff.xml"));
    QVERIFY(bytes.startsWith("<?xml")); // no byte-order mark
    QVERIFY(!bytes.contains('\n'));
    QCOMPARE(receiver.messages.first().value("xmlstr").toString().toUtf8(), bytes);
    QXmlStreamReader xml(bytes);
    QList<QPair<QString, QString>> read;
    QString root;
    if (xml.readNextStartElement()) {
        root = xml.name().toString();
        while (xml.readNextStartElement()) {
            QCOMPARE(xml.name().toString(), QStringLiteral("Staff"));
            QPair<QString, QString> entry;
            while (xml.readNextStartElement()) {
                const QString name = xml.name().toString();
                (name == "id" ? entry.first : entry.second) = xml.readElementText();
            }
            read.append(entry);
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(root, QStringLiteral("nemovg"));
    QCOMPARE(read.size(), 4);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(read.at(i), people.at(i));
    // Characters XML cannot carry are left out, the rest kept.
    QCOMPARE(read.at(3), qMakePair(QStringLiteral("<4>"), QStringLiteral("控制符")));
}

void TestN8Thread::xmlBuildStopsPartWay_data()
{
    QTest::addColumn<int>("stopAt"); // the check that finds the stop; -1: none does
    QTest::addColumn<int>("checks");
    QTest::newRow("before the first entry") << 0 << 1;
    QTest::newRow("after two of three entries") << 2 << 3;
    QTest::newRow("after the last entry") << 3 << 4;
    QTest::newRow("not stopped") << -1 << 4;
}

void TestN8Thread::xmlBuildStopsPartWay()
{
    QFETCH(int, stopAt);
    QFETCH(int, checks);
    const QJsonArray datas{QJsonObject{{"id", "1"}, {"name", "甲"}}, QJsonObject{{"id", "2"}, {"name", "乙"}},
                           QJsonObject{{"id", "3"}, {"name", "丙"}}};
    int asked = 0;
    const QString text = N8Sync::xmlDocument(0, datas, [&] { return asked++ == stopAt; });
    QCOMPARE(asked, checks);
    if (stopAt >= 0) {
        QVERIFY(text.isNull());
        return;
    }
    QCOMPARE(text, kDeclaration + "<nemovg><Staff><id>1</id><name>甲</name></Staff>"
                                  "<Staff><id>2</id><name>乙</name></Staff>"
                                  "<Staff><id>3</id><name>丙</name></Staff></nemovg>");
}

void TestN8Thread::stopWhileAFileIsWritten()
{
    TempVolumes volumes;
    for (const char* name : {"X", "Y", "Z"})
        volumes.writeFile(QStringLiteral("n8/%1/产品/VgStaff.xml").arg(name), "old");
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("xml");
    worker.type = 0;
    worker.datas = QJsonArray{QJsonObject{{"id", "1"}, {"name", "甲"}}};
    worker.stores = QJsonArray{store("1", "X", volumes.path("n8/X")), store("2", "Y", volumes.path("n8/Y")),
                               store("3", "Z", volumes.path("n8/Z"))};
    // The owner stops the worker while Y's file is being written.
    const QString y = volumes.path("n8/Y/产品/VgStaff.xml");
    FileOperation::setFaultHook([&worker, y](FileOperation::Fault f, const QString& path) {
        if (f == FileOperation::Fault::Write && path == y)
            worker.stopThread();
        return false;
    });
    runToEnd(worker);
    FileOperation::setFaultHook({});

    const QByteArray document = worker.xmlText.toUtf8();
    QVERIFY(document.contains("<name>甲</name>"));
    QCOMPARE(receiver.types(), QStringList({"数据配置完成", "门店数据导入成功"}));
    QCOMPARE(TestFiles::readAll(volumes.path("n8/X/产品/VgStaff.xml")), document);
    QCOMPARE(TestFiles::readAll(y), document); // the file under way is finished
    QCOMPARE(TestFiles::readAll(volumes.path("n8/Z/产品/VgStaff.xml")), QByteArray("old"));
}

void TestN8Thread::writesEveryStoreInOrder()
{
    TempVolumes volumes;
    volumes.mkdir("n8/Y");
    volumes.mkdir("n8/Z");
    // Y holds a longer file from an earlier sync.
    volumes.writeFile("n8/Y/产品/VgStaff.xml", QByteArray(4096, 'x'));
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("write");
    worker.type = 0;
    worker.xmlText = QStringLiteral("<nemovg>员工</nemovg>");
    worker.stores = QJsonArray{store("1", "X", "\\\\nas\\n8\\X"), store("2", "Y", "\\\\nas\\n8\\Y"),
                               store("3", "Z", "\\\\nas\\n8\\Z")};
    runToEnd(worker);

    const QString xPiece = "\nXn8路径错误，写入失败：\\\\nas\\n8\\X\\产品";
    const QList<QJsonObject> expected = {
        {{"type", "门店数据导入成功"},
         {"msg", "员工数据: X数据导入完成，开始给导入Y数据..."},
         {"errormsg", xPiece}},
        {{"type", "门店数据导入成功"},
         {"msg", "员工数据: Y数据导入完成，开始给导入Z数据..."},
         {"errormsg", xPiece}},
        {{"type", "全部导入成功"}, {"msg", "数据全部导入完成"}, {"errormsg", xPiece}},
    };
    QCOMPARE(receiver.messages, expected);
    QVERIFY(!QFileInfo::exists(volumes.path("n8/X")));
    QCOMPARE(TestFiles::readAll(volumes.path("n8/Y/产品/VgStaff.xml")), worker.xmlText.toUtf8());
    QCOMPARE(TestFiles::readAll(volumes.path("n8/Z/产品/VgStaff.xml")), worker.xmlText.toUtf8());
    QCOMPARE(TestFiles::entries(volumes.path("n8/Z/产品")), QStringList{"VgStaff.xml"});
}

void TestN8Thread::writeVariants_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("stores");
    QTest::addColumn<QStringList>("msgs");
    QTest::newRow("products") << 1 << 2
                              << QStringList{"产品数据: S0数据导入完成，开始给导入S1数据...",
                                             "数据全部导入完成"};
    QTest::newRow("one store") << 0 << 1 << QStringList{"数据全部导入完成"};
    QTest::newRow("no store") << 0 << 0 << QStringList{};
}

void TestN8Thread::writeVariants()
{
    QFETCH(int, type);
    QFETCH(int, stores);
    QFETCH(QStringList, msgs);
    TempVolumes volumes;
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("write");
    worker.type = type;
    worker.xmlText = QStringLiteral("<nemovg/>");
    for (int i = 0; i < stores; ++i)
        worker.stores.append(store(QString::number(i), QStringLiteral("S%1").arg(i),
                                   volumes.mkdir(QStringLiteral("n8/S%1").arg(i))));
    runToEnd(worker);
    QStringList got;
    for (const QJsonObject& m : receiver.messages)
        got.append(m.value("msg").toString());
    QCOMPARE(got, msgs);
    if (stores > 0)
        QCOMPARE(receiver.types().last(), QStringLiteral("全部导入成功"));
    for (int i = 0; i < stores; ++i)
        QCOMPARE(TestFiles::entries(volumes.path(QStringLiteral("n8/S%1/产品").arg(i))),
                 QStringList{type == 0 ? "VgStaff.xml" : "productList.xml"});
}

void TestN8Thread::directoryInPlaceOfTheFile()
{
    TempVolumes volumes;
    volumes.mkdir("n8/Y/产品/VgStaff.xml/keep");
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("write");
    worker.type = 0;
    worker.xmlText = QStringLiteral("<nemovg/>");
    worker.stores = QJsonArray{store("2", "Y", volumes.path("n8/Y"))};
    runToEnd(worker);
    QCOMPARE(receiver.messages.size(), 1);
    QVERIFY2(
        receiver.messages.first().value("errormsg").toString().startsWith("\nY 文件打开失败，错误原因："),
        qPrintable(receiver.messages.first().value("errormsg").toString()));
    QVERIFY(QFileInfo(volumes.path("n8/Y/产品/VgStaff.xml/keep")).isDir());
    QCOMPARE(TestFiles::entries(volumes.path("n8/Y/产品")), QStringList{"VgStaff.xml"});
}

void TestN8Thread::notWritableFolder()
{
    if (::geteuid() == 0)
        QSKIP("file modes stop nothing for root");
    TempVolumes volumes;
    const QString folder = volumes.mkdir("n8/Y/产品");
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    N8Receiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("write");
    worker.type = 0;
    worker.stores = QJsonArray{store("2", "Y", volumes.path("n8/Y"))};
    runToEnd(worker);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(receiver.messages.size(), 1);
    QCOMPARE(receiver.messages.first().value("errormsg").toString(),
             "\nYn8路径没有写入权限：" + volumes.path("n8/Y") + "\\产品");
}

QTEST_MAIN(TestN8Thread)
#include "tst_n8thread.moc"
