#include "appfixture.h"
#include "config.h"
#include "recordingdesktop.h"
#include "releasedrequests.h"
#include "scriptedprompts.h"
#include "selecttool.h"
#include "standin.h"
#include "toplevelwindows.h"
#include "weblogin.h"

#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QWebFrame>
#include <QWebView>

// The web sign-in page against the stand-in's page.
class TestWebLogin : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensTheSignInPage();
    void versionLabelShowsOnceLoading_data();
    void versionLabelShowsOnceLoading();
    void signInThroughThePage();
    void refusalThroughThePageGoesBack();
    void titleThatIsNoResult_data();
    void titleThatIsNoResult();
    // Last: a found update ends the application's event loop.
    void updateStartsTheUpdater();

private:
    WebLogin* makeWindow(bool offerUpdate = false);
    static QList<SelectTool*> launchers();
    // Fills the page's form and submits it.
    static void submit(WebLogin* window, const QString& userName, const QString& password);

    AppFixture m_fixture;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<RecordingDesktop> m_desktop;
    std::unique_ptr<StandIn> m_service;
    std::unique_ptr<ReleasedRequests> m_released;
    QPointer<WebLogin> m_window;
};

void TestWebLogin::init()
{
    m_released = std::make_unique<ReleasedRequests>();
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_desktop = std::make_unique<RecordingDesktop>();
}

void TestWebLogin::cleanup()
{
    // The update check is answered before the service goes away: its
    // request has released itself after the reply.
    if (m_service) {
        QTRY_COMPARE(m_service->requests("Version", "check_update").size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_released->count(), 1, 10000);
    }
    delete m_window.data();
    for (SelectTool* launcher : launchers())
        delete launcher;
    QVERIFY2(m_prompts->unexpected().isEmpty(), qPrintable(m_prompts->unexpected().join('|')));
    m_service.reset();
    m_desktop.reset();
    m_prompts.reset();
    m_released.reset();
}

WebLogin* TestWebLogin::makeWindow(bool offerUpdate)
{
    m_service = std::make_unique<StandIn>(m_fixture.write(offerUpdate));
    m_window = new WebLogin;
    return m_window;
}

QList<SelectTool*> TestWebLogin::launchers()
{
    return topLevelWindows<SelectTool>();
}

void TestWebLogin::submit(WebLogin* window, const QString& userName, const QString& password)
{
    window->findChild<QWebView*>("webView")->page()->mainFrame()->evaluateJavaScript(
        QStringLiteral("document.querySelector('input[name=username]').value = '%1';"
                       "document.querySelector('input[name=password]').value = '%2';"
                       "document.forms[0].submit();")
            .arg(userName, password));
}

void TestWebLogin::opensTheSignInPage()
{
    WebLogin* window = makeWindow();
    auto* view = window->findChild<QWebView*>("webView");
    QSignalSpy loaded(view, &QWebView::loadFinished);
    QCOMPARE(window->windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
    QVERIFY(loaded.wait(10000));
    QCOMPARE(view->url(), QUrl(m_service->baseUrl() + "/user/public/Dravin_weixin_loginform/"));
    QVERIFY(loaded.first().first().toBool());
    QVERIFY(view->page()->mainFrame()->toHtml().contains("username"));

    QTRY_COMPARE(m_service->requests("Version", "check_update").size(), 1);
    const auto check = m_service->requests("Version", "check_update").first();
    QCOMPARE(check.keys, QStringList({"type", "number", "token"}));
    QCOMPARE(check.values.value("type"), QStringLiteral("vmrNewDravin"));
    QCOMPARE(check.values.value("number"), Config::version);
}

void TestWebLogin::versionLabelShowsOnceLoading_data()
{
    QTest::addColumn<int>("progress");
    QTest::addColumn<bool>("shown");
    QTest::newRow("10") << 10 << false;
    QTest::newRow("11") << 11 << true;
}

void TestWebLogin::versionLabelShowsOnceLoading()
{
    QFETCH(int, progress);
    QFETCH(bool, shown);
    WebLogin* window = makeWindow();
    auto* label = window->findChild<QLabel*>("label");
    QCOMPARE(label->text(), QStringLiteral("当前版本：2.0.0"));
    QVERIFY(label->isHidden());
    window->webloadProgress(progress);
    QCOMPARE(!label->isHidden(), shown);
}

void TestWebLogin::signInThroughThePage()
{
    WebLogin* window = makeWindow();
    window->show();
    QSignalSpy loaded(window->findChild<QWebView*>("webView"), &QWebView::loadFinished);
    QVERIFY(loaded.wait(10000));
    Config::manager_name.clear();
    Config::uid.clear();
    Config::shop_id = QStringLiteral("unchanged");

    submit(window, "li", "pw123");
    QTRY_COMPARE_WITH_TIMEOUT(launchers().size(), 1, 10000);
    QCOMPARE(Config::manager_name, QStringLiteral("李店长"));
    QCOMPARE(Config::uid, QStringLiteral("2048"));
    QCOMPARE(Config::shop_id, QStringLiteral("unchanged")); // only the name and id are taken
    SelectTool* launcher = launchers().first();
    QVERIFY(launcher->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(launcher->isVisible());
    auto* combo = launcher->findChild<QComboBox*>("comboBox");
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(1), QStringLiteral("西店"));
    QVERIFY(!window->isVisible());
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestWebLogin::refusalThroughThePageGoesBack()
{
    WebLogin* window = makeWindow();
    auto* view = window->findChild<QWebView*>("webView");
    QSignalSpy loaded(view, &QWebView::loadFinished);
    QVERIFY(loaded.wait(10000));
    m_prompts->setNextAnswer(Prompts::Ok);
    submit(window, "li", "wrong");
    QTRY_COMPARE_WITH_TIMEOUT(m_prompts->messages().size(), 1, 10000);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("用户名或密码错误"));
    QCOMPARE(m_prompts->last().buttons, Prompts::StandardButtons(Prompts::Ok));
    // Back on the form page, ready for another try.
    QTRY_VERIFY_WITH_TIMEOUT(view->page()->mainFrame()->toHtml().contains("username"), 10000);
    QVERIFY(launchers().isEmpty());
}

void TestWebLogin::titleThatIsNoResult_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("box");
    QTest::addColumn<QString>("text");
    QTest::newRow("page name") << "微信扫码登录" << true << "";
    QTest::newRow("empty title") << "" << false << "";
    QTest::newRow("code 0") << R"({"code":"0","message":"二维码已过期"})" << true << "二维码已过期";
}

void TestWebLogin::titleThatIsNoResult()
{
    QFETCH(QString, title);
    QFETCH(bool, box);
    QFETCH(QString, text);
    WebLogin* window = makeWindow();
    if (box)
        m_prompts->setNextAnswer(Prompts::Ok);
    window->getTile(title);
    QCOMPARE(m_prompts->messages().size(), box ? 1 : 0);
    if (box) {
        QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
        QCOMPARE(m_prompts->last().text, text);
    }
    QVERIFY(launchers().isEmpty());
}

void TestWebLogin::updateStartsTheUpdater()
{
    makeWindow(true);
    QTRY_COMPARE(m_desktop->programs.size(), 1);
    QCOMPARE(m_desktop->programs.first().first, QStringLiteral("checkUpdate.exe"));
    QCOMPARE(m_desktop->programs.first().second,
             QStringList({"Velmor软件-Dravin", "9.9.9", "2024-03-01", "Dravin-9.9.9.zip",
                          "http://127.0.0.1:1/download/Dravin-9.9.9.zip",
                          QDir::currentPath() + "/Dravin-9.9.9.zip", "90314752"}));
    // The application was told to end: a new event loop returns at once.
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, [&loop] { loop.exit(1); });
    QCOMPARE(loop.exec(), -1);
}

QTEST_MAIN(TestWebLogin)
#include "tst_weblogin.moc"
