#include "config.h"
#include "n8thread.h"
#include "tempvolumes.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonObject>
#include <QWidget>

// Stands where the launcher stands: the slot the stores check calls by name.
class StoreReceiver : public QWidget
{
    Q_OBJECT
public:
    QList<QPair<QJsonArray, QString>> results;

public slots:
    void slt_n8stores(QJsonArray stores, QString msg) { results.append({stores, msg}); }
};

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
};

namespace {

QJsonObject store(const QString& id, const QString& name, const QString& n8path)
{
    return QJsonObject{{"id", id}, {"name", name}, {"n8path", n8path}};
}

// Runs one stores check and returns its single report.
QPair<QJsonArray, QString> runStoresCheck(const QJsonArray& stores)
{
    StoreReceiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("stores");
    worker.stores = stores;
    worker.start();
    [&] { QTRY_COMPARE_WITH_TIMEOUT(receiver.results.size(), 1, 5000); }();
    QTest::qWait(20);
    if (receiver.results.size() != 1)
        return {};
    return receiver.results.first();
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
    QTest::newRow("upper case") << "STORES";
    QTest::newRow("unknown") << "export";
    QTest::newRow("empty") << "";
}

void TestN8Thread::otherModesRunNothing()
{
    QFETCH(QString, mode);
    StoreReceiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = mode;
    worker.stores = QJsonArray{store("1", "东店", "")};
    worker.start();
    QVERIFY(worker.wait(5000));
    QTest::qWait(50);
    QVERIFY(receiver.results.isEmpty());
}

void TestN8Thread::stopBeforeStartIsForgotten()
{
    StoreReceiver receiver;
    N8thread worker(&receiver, nullptr);
    worker.mode = QStringLiteral("stores");
    worker.stores = QJsonArray{store("1", "东店", ""), store("2", "西店", "")};
    worker.stopThread();
    worker.start();
    QTRY_COMPARE_WITH_TIMEOUT(receiver.results.size(), 1, 5000);
    QCOMPARE(receiver.results.first().second, QStringLiteral("东店,西店"));
}

QTEST_MAIN(TestN8Thread)
#include "tst_n8thread.moc"
