#include "config.h"
#include "fileoperation.h"
#include "formbody.h"
#include "signin.h"

#include <QtTest>

#include <QDataStream>
#include <QJsonArray>
#include <QJsonDocument>

// The pure parts of signing in: bodies, title, reply storing, the web
// page's result and the remembered-user file.
class TestSignIn : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loginBodyKeepsKeyOrderAndEncodesValues();
    void updateCheckBodies_data();
    void updateCheckBodies();
    void productTitle_data();
    void productTitle();
    void storeIdentityReadsTextsOnly();

    void rememberedUserRoundTrip_data();
    void rememberedUserRoundTrip();
    void rememberedUserFileFormat();
    void rememberedUserFileIsOwnerOnly();

private:
    QString m_host;
    QString m_testHost;
};

void TestSignIn::init()
{
    m_host = Config::url_host;
    m_testHost = Config::url_test_host;
}

void TestSignIn::cleanup()
{
    Config::url_host = m_host;
    Config::url_test_host = m_testHost;
    Config::composeRoutes();
}

void TestSignIn::loginBodyKeepsKeyOrderAndEncodesValues()
{
    const QByteArray body = SignIn::loginBody(QStringLiteral("张 三"), QStringLiteral("p&w=1"));
    QCOMPARE(body, "username=%E5%BC%A0%20%E4%B8%89&password=p%26w%3D1&token=" + Config::token.toUtf8() +
                       "&version=" + QUrl::toPercentEncoding(Config::version));
}

void TestSignIn::updateCheckBodies_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("testHost");
    QTest::addColumn<QString>("dialogKeys");
    QTest::addColumn<QString>("webKeys");
    QTest::newRow("production") << "https://studio.example.com"
                                << "http://beta.example.com"
                                << "type,systemtype,number,token"
                                << "type,number,token";
    QTest::newRow("test server, plain") << "http://beta.example.com"
                                        << "http://beta.example.com"
                                        << "type,test,systemtype,number,token"
                                        << "type,number,token";
    QTest::newRow("test server, secure") << "https://beta.example.com"
                                         << "http://beta.example.com"
                                         << "type,systemtype,number,token"
                                         << "type,test,number,token";
}

void TestSignIn::updateCheckBodies()
{
    QFETCH(QString, host);
    QFETCH(QString, testHost);
    QFETCH(QString, dialogKeys);
    QFETCH(QString, webKeys);
    Config::url_host = host;
    Config::url_test_host = testHost;
    Config::composeRoutes();

    auto keysOf = [](const QByteArray& body) {
        QStringList keys;
        for (const QByteArray& pair : body.split('&'))
            keys.append(QString::fromUtf8(pair.left(pair.indexOf('='))));
        return keys.join(',');
    };
    const QByteArray dialog = SignIn::updateCheckBody();
    const QByteArray web = SignIn::webUpdateCheckBody();
    QCOMPARE(keysOf(dialog), dialogKeys);
    QCOMPARE(keysOf(web), webKeys);
    QVERIFY(dialog.startsWith("type=vmrKorvaDravin&"));
    QVERIFY(dialog.contains("&systemtype=mac&number=" + QUrl::toPercentEncoding(Config::version) +
                            "&token=" + Config::token.toUtf8()));
    QVERIFY(web.startsWith("type=vmrNewDravin&"));
    if (dialogKeys.contains("test"))
        QVERIFY(dialog.contains("&test=1&"));
    if (webKeys.contains("test"))
        QVERIFY(web.contains("&test=1&"));
}

void TestSignIn::productTitle_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("title");
    QTest::newRow("production") << "https://studio.example.com"
                                << QStringLiteral("Velmor软件Korva-Dravin") + Config::version;
    QTest::newRow("test anywhere in the address")
        << "http://mytest.example.com" << QStringLiteral("Velmor软件Korva-Dravin 测试机") + Config::version;
    QTest::newRow("upper case is not a test build")
        << "http://TEST.example.com" << QStringLiteral("Velmor软件Korva-Dravin") + Config::version;
}

void TestSignIn::productTitle()
{
    QFETCH(QString, host);
    QFETCH(QString, title);
    Config::url_host = host;
    Config::composeRoutes();
    QCOMPARE(SignIn::productTitle(), title);
}

void TestSignIn::storeIdentityReadsTextsOnly()
{
    const QJsonObject reply = QJsonDocument::fromJson(R"({"code":"1","SUPERID":7,"EID":"e1","USERNAME":"李明",
        "SHOPID":"12","SHOPNAME":"东店","UID":"u9"})")
                                  .object();
    SignIn::storeIdentity(reply);
    QCOMPARE(Config::super_id, QString()); // a number reads as empty
    QCOMPARE(Config::manager_id, QStringLiteral("e1"));
    QCOMPARE(Config::manager_name, QStringLiteral("李明"));
    QCOMPARE(Config::shop_id, QStringLiteral("12"));
    QCOMPARE(Config::shop_name, QStringLiteral("东店"));
    QCOMPARE(Config::uid, QStringLiteral("u9"));
}

void TestSignIn::rememberedUserRoundTrip_data()
{
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QString>("field"); // Base64 of the Latin-1 bytes earlier clients wrote, or of UTF-8
    QTest::addColumn<QString>("readPassword");
    QTest::addColumn<bool>("readRemembered");
    QTest::newRow("remembered") << "李明"
                                << "secret" << true << "c2VjcmV0"
                                << "secret" << true;
    QTest::newRow("not remembered") << "李明"
                                    << "secret" << false << ""
                                    << "" << false;
    QTest::newRow("latin-1 password")
        << "li" << QStringLiteral("pässwörd") << true << "cORzc3f2cmQ=" << QStringLiteral("pässwörd") << true;
    QTest::newRow("latin-1 bytes that are valid utf-8")
        << "li" << QStringLiteral("Ã©") << true << "w6k=" << QStringLiteral("Ã©") << true;
    QTest::newRow("outside latin-1") << "li" << QStringLiteral("密码ab") << true
                                     << "5a+G56CBYWI=" << QStringLiteral("密码ab") << true;
    QTest::newRow("latin-1 and beyond")
        << "li" << QStringLiteral("é中") << true << "w6nkuK0=" << QStringLiteral("é中") << true;
}

void TestSignIn::rememberedUserRoundTrip()
{
    QFETCH(QString, userName);
    QFETCH(QString, password);
    QFETCH(bool, remember);
    QFETCH(QString, field);
    QFETCH(QString, readPassword);
    QFETCH(bool, readRemembered);
    QTemporaryDir dir;
    const QString path = dir.filePath(".user_vmr.dat");
    QVERIFY(RememberedUser::write(path, userName, password, remember));
    const RememberedUser::Entry entry = RememberedUser::read(path);
    QCOMPARE(entry.userName, userName);
    QCOMPARE(entry.encodedPassword, field);
    QCOMPARE(entry.password, readPassword);
    QCOMPARE(entry.remembered(), readRemembered);
}

void TestSignIn::rememberedUserFileFormat()
{
    // Files written by earlier versions of the client read the same way.
    QTemporaryDir dir;
    const QString path = dir.filePath(".user_vmr.dat");
    QVERIFY(RememberedUser::write(path, "li", "pw", true));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QByteArray expected;
    {
        QDataStream out(&expected, QIODevice::WriteOnly);
        out.setVersion(10);
        out << QStringLiteral("li") << QStringLiteral("cHc="); // Base64 of "pw"
    }
    QCOMPARE(bytes, expected);
    QCOMPARE(bytes.left(4), QByteArray("\x00\x00\x00\x04", 4)); // big-endian byte count

    // A password whose bytes hold a zero reads up to it.
    QByteArray withZero;
    {
        QDataStream out(&withZero, QIODevice::WriteOnly);
        out.setVersion(10);
        out << QStringLiteral("li") << QString::fromLatin1(QByteArray("ab\0cd", 5).toBase64());
    }
    QFile zero(dir.filePath("zero.dat"));
    QVERIFY(zero.open(QIODevice::WriteOnly));
    zero.write(withZero);
    zero.close();
    QCOMPARE(RememberedUser::read(zero.fileName()).password, QStringLiteral("ab"));
}

void TestSignIn::rememberedUserFileIsOwnerOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(".user_vmr.dat");
    // An older file readable by everyone is replaced by an owner-only one.
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    QVERIFY(old.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                               QFileDevice::ReadOther));
    QVERIFY(RememberedUser::write(path, "li", "pw", true));
    const QFileDevice::Permissions p = QFileInfo(path).permissions();
    QVERIFY(p & QFileDevice::ReadOwner);
    QVERIFY(!(p & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup |
                   QFileDevice::WriteOther)));
    QCOMPARE(RememberedUser::read(path).userName, QStringLiteral("li"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{".user_vmr.dat"});

    // A write refused at close is a failure and keeps the file as it was.
    FileOperation::setFaultHook(
        [](FileOperation::Fault f, const QString&) { return f == FileOperation::Fault::Close; });
    QVERIFY(!RememberedUser::write(path, "wang", "pw", true));
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(RememberedUser::read(path).userName, QStringLiteral("li"));
}

QTEST_MAIN(TestSignIn)
#include "tst_signin.moc"
