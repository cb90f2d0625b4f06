#include "appfixture.h"
#include "config.h"
#include "login.h"
#include "recordingdesktop.h"
#include "releasedrequests.h"
#include "scriptedprompts.h"
#include "selecttool.h"
#include "signin.h"
#include "standin.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The sign-in dialog against the stand-in service.
class TestLogin : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formAndTitle();
    void formFromRememberedUser_data();
    void formFromRememberedUser();
    void emptyFieldsAreRefused_data();
    void emptyFieldsAreRefused();
    void signInSucceeds();
    void signInWithoutRememberingForgetsThePassword();
    void signInRefused();
    void signInTransportError();
    void signInBrokenReply_data();
    void signInBrokenReply();
    void enterPressesSignIn();
    void updateCheckOpensTheDownloadPage_data();
    void updateCheckOpensTheDownloadPage();
    void userWithoutShopsGetsAnEmptyLauncher();

private:
    void startService(bool offerUpdate = false);
    static QList<SelectTool*> launchers();
    // Waits for the update check so it never mixes with what a test checks.
    void waitForUpdateCheck();

    AppFixture m_fixture;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<RecordingDesktop> m_desktop;
    std::unique_ptr<StandIn> m_service;
    std::unique_ptr<QTemporaryDir> m_userDir;
    std::unique_ptr<ReleasedRequests> m_released;
};

void TestLogin::startService(bool offerUpdate)
{
    m_service.reset();
    m_service = std::make_unique<StandIn>(m_fixture.write(offerUpdate));
}

void TestLogin::init()
{
    m_released = std::make_unique<ReleasedRequests>();
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_desktop = std::make_unique<RecordingDesktop>();
    m_userDir = std::make_unique<QTemporaryDir>();
    RememberedUser::setFolder(m_userDir->path());
    startService();
}

void TestLogin::cleanup()
{
    for (SelectTool* launcher : launchers())
        delete launcher;
    QVERIFY2(m_prompts->unexpected().isEmpty(), qPrintable(m_prompts->unexpected().join('|')));
    m_service.reset();
    m_desktop.reset();
    m_prompts.reset();
    RememberedUser::setFolder(QString());
    m_userDir.reset();
    m_released.reset();
}

QList<SelectTool*> TestLogin::launchers()
{
    return topLevelWindows<SelectTool>();
}

void TestLogin::waitForUpdateCheck()
{
    QTRY_COMPARE(m_service->requests("Version", "check_update").size(), 1);
    // Its reply handled: the request has released itself.
    QTRY_COMPARE_WITH_TIMEOUT(m_released->count(), 1, 10000);
}

void TestLogin::formAndTitle()
{
    Login login;
    waitForUpdateCheck();
    QCOMPARE(login.windowTitle(), QStringLiteral("登录"));
    QVERIFY(login.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(login.size(), QSize(320, 320));
    QCOMPARE(login.findChild<QLabel*>("lb_version")->text(),
             QStringLiteral("Velmor软件Korva-Dravin") + Config::version);
    QVERIFY(login.findChild<QPushButton*>("okButton")->isDefault());
    QCOMPARE(login.focusWidget(), login.findChild<QLineEdit*>("username"));
    QCOMPARE(login.findChild<QLineEdit*>("password")->echoMode(), QLineEdit::Password);
    QVERIFY(!login.findChild<QLabel*>("label_pic")
                 ->pixmap(Qt::ReturnByValue)
                 .isNull()); // the picture is in the resources
    QVERIFY(!QPixmap("://del.png").isNull());
    QVERIFY(m_desktop->urls.isEmpty()); // no newer version offered
}

void TestLogin::formFromRememberedUser_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("password");
    QTest::newRow("first start") << false << false << ""
                                 << "";
    QTest::newRow("user name only") << true << false << "李明"
                                    << "";
    QTest::newRow("remembered password") << true << true << "李明"
                                         << "pässwort";
}

void TestLogin::formFromRememberedUser()
{
    QFETCH(bool, write);
    QFETCH(bool, remember);
    QFETCH(QString, userName);
    QFETCH(QString, password);
    if (write)
        QVERIFY(RememberedUser::write(RememberedUser::filePath(), userName, QStringLiteral("pässwort"),
                                      remember));
    Login login;
    waitForUpdateCheck();
    QCOMPARE(login.findChild<QLineEdit*>("username")->text(), userName);
    QCOMPARE(login.findChild<QLineEdit*>("password")->text(), password);
    QCOMPARE(login.findChild<QCheckBox*>("checkBox")->isChecked(), remember);
}

void TestLogin::emptyFieldsAreRefused_data()
{
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("text");
    QTest::newRow("no user name") << ""
                                  << "pw"
                                  << "未输入用户名";
    QTest::newRow("no password") << "li"
                                 << ""
                                 << "未输入密码";
    QTest::newRow("neither") << ""
                             << ""
                             << "未输入用户名";
}

void TestLogin::emptyFieldsAreRefused()
{
    QFETCH(QString, userName);
    QFETCH(QString, password);
    QFETCH(QString, text);
    Login login;
    waitForUpdateCheck();
    login.findChild<QLineEdit*>("username")->setText(userName);
    login.findChild<QLineEdit*>("password")->setText(password);
    m_prompts->setNextAnswer(Prompts::Yes);
    QTest::mouseClick(login.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QCOMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, text);
    QCOMPARE(m_prompts->last().buttons, Prompts::StandardButtons(Prompts::Yes));
    QVERIFY(m_prompts->last().hasParent);
    // The box was the refusal; no sign-in may follow it.
    QTest::qWait(50);
    QVERIFY(m_service->requests("public", "dologin").isEmpty());
}

void TestLogin::signInSucceeds()
{
    Login login;
    login.show();
    waitForUpdateCheck();
    login.findChild<QLineEdit*>("username")->setText("li");
    login.findChild<QLineEdit*>("password")->setText("pw123");
    login.findChild<QCheckBox*>("checkBox")->setChecked(true);
    QTest::mouseClick(login.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QTRY_COMPARE(launchers().size(), 1);

    const auto posts = m_service->requests("public", "dologin");
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts.first().keys, QStringList({"username", "password", "token", "version"}));
    QCOMPARE(posts.first().values.value("username"), QStringLiteral("li"));
    QCOMPARE(posts.first().values.value("password"), QStringLiteral("pw123"));
    QCOMPARE(posts.first().values.value("version"), Config::version);

    QCOMPARE(Config::super_id, QStringLiteral("8"));
    QCOMPARE(Config::manager_id, QStringLiteral("1024"));
    QCOMPARE(Config::manager_name, QStringLiteral("李店长"));
    QCOMPARE(Config::shop_id, QStringLiteral("12"));
    QCOMPARE(Config::shop_name, QStringLiteral("东店"));
    QCOMPARE(Config::uid, QStringLiteral("2048"));

    const RememberedUser::Entry entry = RememberedUser::read(m_userDir->filePath(".user_vmr.dat"));
    QCOMPARE(entry.userName, QStringLiteral("li"));
    QCOMPARE(entry.password, QStringLiteral("pw123"));

    SelectTool* launcher = launchers().first();
    QVERIFY(launcher->isVisible());
    QVERIFY(launcher->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!launcher->parent());
    auto* combo = launcher->findChild<QComboBox*>("comboBox");
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QStringLiteral("东店"));
    QCOMPARE(combo->itemText(2), QStringLiteral("南店"));
    QVERIFY(!login.isVisible());
}

void TestLogin::signInWithoutRememberingForgetsThePassword()
{
    QVERIFY(RememberedUser::write(RememberedUser::filePath(), "li", "pw123", true));
    Login login;
    waitForUpdateCheck();
    QVERIFY(login.findChild<QCheckBox*>("checkBox")->isChecked());
    login.findChild<QCheckBox*>("checkBox")->setChecked(false);
    QTest::mouseClick(login.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QTRY_COMPARE(launchers().size(), 1);
    const RememberedUser::Entry entry = RememberedUser::read(RememberedUser::filePath());
    QCOMPARE(entry.userName, QStringLiteral("li"));
    QVERIFY(entry.encodedPassword.isEmpty());
    QVERIFY(!(QFileInfo(RememberedUser::filePath()).permissions() & QFileDevice::ReadOther));
}

void TestLogin::signInRefused()
{
    Login login;
    waitForUpdateCheck();
    login.findChild<QLineEdit*>("username")->setText("li");
    login.findChild<QLineEdit*>("password")->setText("wrong");
    login.findChild<QCheckBox*>("checkBox")->setChecked(true);
    m_prompts->setNextAnswer(Prompts::Yes);
    QTest::mouseClick(login.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("用户名或密码错误"));
    QVERIFY(m_prompts->last().hasParent);
    QTRY_VERIFY(login.findChild<QPushButton*>("okButton")->isEnabled());
    QCOMPARE(login.windowTitle(), QStringLiteral("登录"));
    QCOMPARE(login.findChild<QLineEdit*>("password")->text(), QString());
    QCOMPARE(login.findChild<QLineEdit*>("username")->text(), QStringLiteral("li"));
    QVERIFY(login.findChild<QCheckBox*>("checkBox")->isChecked());
    QVERIFY(launchers().isEmpty());
    QVERIFY(!QFile::exists(RememberedUser::filePath()));
}

void TestLogin::signInTransportError()
{
    Login login;
    waitForUpdateCheck();
    m_service->failHttp("public", "dologin", 500);
    login.findChild<QLineEdit*>("username")->setText("li");
    login.findChild<QLineEdit*>("password")->setText("pw123");
    m_prompts->setNextAnswer(Prompts::Yes);
    QTest::mouseClick(login.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("网络请求错误\n500"));
    QVERIFY(!m_prompts->last().hasParent);
    QTRY_VERIFY(login.findChild<QPushButton*>("okButton")->isEnabled());
    QCOMPARE(login.windowTitle(), QStringLiteral("登录"));
    QCOMPARE(login.findChild<QLineEdit*>("password")->text(), QStringLiteral("pw123")); // kept for a retry
    QVERIFY(launchers().isEmpty());
}

void TestLogin::signInBrokenReply_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("box"); // empty: no box
    QTest::newRow("not json") << QByteArray("<html>维护中</html>") << "";
    QTest::newRow("json array") << QByteArray(R"([{"code":"1"}])") << "";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("number code is a refusal") << QByteArray(R"({"code":1,"message":"请升级"})") << "请升级";
}

void TestLogin::signInBrokenReply()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, box);
    Login login;
    waitForUpdateCheck();
    m_service->sendRaw("public", "dologin", body);
    login.findChild<QLineEdit*>("username")->setText("li");
    login.findChild<QLineEdit*>("password")->setText("pw123");
    if (!box.isEmpty())
        m_prompts->setNextAnswer(Prompts::Yes);
    QTest::mouseClick(login.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QTRY_COMPARE(m_service->requests("public", "dologin").size(), 1);
    QTRY_VERIFY(login.findChild<QPushButton*>("okButton")->isEnabled());
    QCOMPARE(login.windowTitle(), QStringLiteral("登录"));
    QCOMPARE(m_prompts->messages().size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty())
        QCOMPARE(m_prompts->last().text, box);
    QVERIFY(launchers().isEmpty());
}

void TestLogin::enterPressesSignIn()
{
    Login login;
    login.show();
    QVERIFY(QTest::qWaitForWindowExposed(&login));
    waitForUpdateCheck();
    auto* password = login.findChild<QLineEdit*>("password");
    login.findChild<QLineEdit*>("username")->setText("li");
    password->setText("pw123");
    password->setFocus();
    QTest::keyClick(password, Qt::Key_Return);
    QTRY_COMPARE(launchers().size(), 1);
}

void TestLogin::updateCheckOpensTheDownloadPage_data()
{
    QTest::addColumn<bool>("offer");
    QTest::addColumn<QString>("path"); // sent as the offer's "path" in place of the fixture's
    QTest::addColumn<bool>("opens");
    QTest::newRow("newer version") << true << "" << true;
    QTest::newRow("up to date") << false << "" << false;
    QTest::newRow("https address") << true << "https://dl.example.com/Dravin-9.9.9.dmg" << true;
    QTest::newRow("file address of a script") << true << "file:///tmp/update.command" << false;
    QTest::newRow("bare application path") << true << "/Applications/Terminal.app" << false;
    QTest::newRow("smb share") << true << "smb://studio-nas/share/Dravin.pkg" << false;
    QTest::newRow("http without a host") << true << "http:///download/Dravin.dmg" << false;
}

void TestLogin::updateCheckOpensTheDownloadPage()
{
    QFETCH(bool, offer);
    QFETCH(QString, path);
    QFETCH(bool, opens);
    startService(offer);
    if (!path.isEmpty()) {
        const QJsonObject reply{{"code", "1"}, {"data", QJsonObject{{"path", path}}}};
        m_service->sendRaw("Version", "check_update", QJsonDocument(reply).toJson());
    }
    Login login;
    waitForUpdateCheck();
    const auto checks = m_service->requests("Version", "check_update");
    QCOMPARE(checks.first().keys, QStringList({"type", "systemtype", "number", "token"}));
    QCOMPARE(checks.first().values.value("type"), QStringLiteral("vmrKorvaDravin"));
    QCOMPARE(checks.first().values.value("systemtype"), QStringLiteral("mac"));
    QCOMPARE(checks.first().values.value("number"), Config::version);
    const QUrl page(path.isEmpty() ? QStringLiteral("http://127.0.0.1:1/download/Dravin-9.9.9.dmg") : path);
    QCOMPARE(m_desktop->urls, opens ? QList<QUrl>{page} : QList<QUrl>());
    // The dialog stays usable.
    QVERIFY(login.findChild<QPushButton*>("okButton")->isEnabled());
    QCOMPARE(login.windowTitle(), QStringLiteral("登录"));
}

void TestLogin::userWithoutShopsGetsAnEmptyLauncher()
{
    Login login;
    waitForUpdateCheck();
    login.findChild<QLineEdit*>("username")->setText("solo");
    login.findChild<QLineEdit*>("password")->setText("pw");
    QTest::mouseClick(login.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QTRY_COMPARE(launchers().size(), 1);
    QCOMPARE(launchers().first()->findChild<QComboBox*>("comboBox")->count(), 0);
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
