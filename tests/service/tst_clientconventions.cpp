// The client's request layer (FormBody, HttpRequest, the reply checker)
// against the stand-in web service instead of a bare test server.

#include "config.h"
#include "formbody.h"
#include "httprequest.h"
#include "scriptedprompts.h"
#include "standin.h"
#include "webservice.h"

#include <QtTest>

#include <QNetworkAccessManager>
#include <QNetworkReply>

class TestClientConventions : public QObject
{
    Q_OBJECT

private slots:
    void httpRequestPostsTheConvention();
    void httpRequestHandsOnEveryObject_data();
    void httpRequestHandsOnEveryObject();
    void httpRequestTransportErrors_data();
    void httpRequestTransportErrors();
    void httpRequestBrokenReplies_data();
    void httpRequestBrokenReplies();
    void httpRequestTimesOut();
    void windowPostClassifies_data();
    void windowPostClassifies();
};

namespace {

QByteArray signInBody(const QString& password)
{
    return FormBody()
        .add("username", "demo")
        .add("password", password)
        .add("token", Config::token)
        .add("version", Config::version);
}

} // namespace

void TestClientConventions::httpRequestPostsTheConvention()
{
    StandIn standIn;
    const QByteArray body = FormBody(true)
                                .add("timestamp", qint64(1715760000000))
                                .add("videopaths", "/Volumes/photos/A 1/试拍视频/a&b.mp4")
                                .add("videofiles", "a&b.mp4")
                                .add("shopid", "12")
                                .add("order_photo_id", "100101")
                                .add("superid", "8")
                                .add("eid", "1024")
                                .add("token", Config::token)
                                .add("typeid", "3");
    HttpRequest* request = HttpRequest::startNetRequest(Config::url_video_updata, body, true);
    QSignalSpy success(request, &HttpRequest::netSuccessInfo);
    QVERIFY(success.wait(5000));
    QCOMPARE(success.first().first().toJsonObject().value("code").toString(), QStringLiteral("1"));

    const auto logged = standIn.requests("order", "updatevideo");
    QCOMPARE(logged.size(), 1);
    QCOMPARE(logged.first().method, QStringLiteral("POST"));
    QCOMPARE(logged.first().contentType, QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(logged.first().rawBody, body);
    QCOMPARE(logged.first().keys, QStringList({"timestamp", "videopaths", "videofiles", "shopid",
                                               "order_photo_id", "superid", "eid", "token", "typeid"}));
    // Encoded once by the client, decoded once by the service: the "&" stays in the value.
    QCOMPARE(logged.first().values.value("videofiles"), QStringLiteral("a&b.mp4"));
    QCOMPARE(logged.first().values.value("videopaths"),
             QStringLiteral("/Volumes/photos/A 1/试拍视频/a&b.mp4"));
}

void TestClientConventions::httpRequestHandsOnEveryObject_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("code");
    QTest::newRow("success") << "demo123"
                             << "1";
    QTest::newRow("refusal") << "wrong"
                             << "0";
}

void TestClientConventions::httpRequestHandsOnEveryObject()
{
    QFETCH(QString, password);
    QFETCH(QString, code);
    ScriptedPrompts prompts;
    StandIn standIn;
    QPointer<HttpRequest> request =
        HttpRequest::startNetRequest(Config::url_login, signInBody(password), true);
    QSignalSpy success(request.data(), &HttpRequest::netSuccessInfo);
    QSignalSpy error(request.data(), &HttpRequest::netErrorInfo);
    QVERIFY(success.wait(5000));
    // The object is handed on whatever its code says; the receiver judges it.
    QCOMPARE(success.first().first().toJsonObject().value("code").toString(), code);
    QCOMPARE(error.size(), 0);
    QVERIFY(prompts.calls().isEmpty());
    QTRY_VERIFY(request.isNull());
}

void TestClientConventions::httpRequestTransportErrors_data()
{
    QTest::addColumn<int>("status"); // 0: connection dropped
    QTest::addColumn<QString>("text");
    QTest::newRow("http 500 with a success body") << 500 << "网络请求错误\n500";
    QTest::newRow("http 404") << 404 << "网络请求错误\n404";
    QTest::newRow("dropped connection") << 0 << "网络请求错误\n";
}

void TestClientConventions::httpRequestTransportErrors()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    ScriptedPrompts prompts;
    prompts.setNextAnswer(Prompts::Ok);
    StandIn standIn;
    if (status)
        standIn.failHttp("public", "dologin", status);
    else
        standIn.drop("public", "dologin");
    HttpRequest* request = HttpRequest::startNetRequest(Config::url_login, signInBody("demo123"), true);
    QSignalSpy success(request, &HttpRequest::netSuccessInfo);
    QSignalSpy error(request, &HttpRequest::netErrorInfo);
    QVERIFY(error.wait(10000));
    QCOMPARE(success.size(), 0);
    QCOMPARE(prompts.messages().size(), 1);
    QCOMPARE(prompts.last().title, QStringLiteral("警告"));
    QCOMPARE(prompts.last().text, text);
    QVERIFY(!prompts.last().hasParent);
    QVERIFY(prompts.unexpected().isEmpty());
}

void TestClientConventions::httpRequestBrokenReplies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("array") << QByteArray(R"([{"code":"1"}])");
    QTest::newRow("not json") << QByteArray("<b>Fatal error</b>: Uncaught exception");
}

void TestClientConventions::httpRequestBrokenReplies()
{
    QFETCH(QByteArray, body);
    ScriptedPrompts prompts;
    StandIn standIn;
    standIn.sendRaw("Version", "check_update", body);
    QPointer<HttpRequest> request = HttpRequest::startNetRequest(
        Config::url_check_update, FormBody().add("type", "vmrKorvaDravin").add("token", Config::token), true);
    QSignalSpy success(request.data(), &HttpRequest::netSuccessInfo);
    QSignalSpy error(request.data(), &HttpRequest::netErrorInfo);
    QTRY_VERIFY_WITH_TIMEOUT(request.isNull(), 5000);
    QCOMPARE(success.size(), 0);
    QCOMPARE(error.size(), 0);
    QVERIFY(prompts.calls().isEmpty());
    QCOMPARE(standIn.requests("Version", "check_update").size(), 1);
}

void TestClientConventions::httpRequestTimesOut()
{
    ScriptedPrompts prompts;
    prompts.setNextAnswer(Prompts::Ok);
    StandIn standIn;
    standIn.delay("order", "saven8path", 10000);
    WebService::setTransferTimeoutMs(300);
    QElapsedTimer timer;
    timer.start();
    HttpRequest* request = HttpRequest::startNetRequest(Config::url_n8updatapath, "&token=t", true);
    QSignalSpy success(request, &HttpRequest::netSuccessInfo);
    QSignalSpy error(request, &HttpRequest::netErrorInfo);
    const bool failed = error.wait(5000);
    WebService::setTransferTimeoutMs(60000);
    QVERIFY(failed);
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(success.size(), 0);
    QCOMPARE(prompts.last().title, QStringLiteral("警告"));
}

void TestClientConventions::windowPostClassifies_data()
{
    using K = WebService::Reply::Kind;
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("success") << "" << int(K::Success) << "1"
                             << "切换成功";
    QTest::newRow("scripted refusal") << "refuse" << int(K::Refusal) << "-3"
                                      << "无权限";
    QTest::newRow("number one") << "number" << int(K::Refusal) << ""
                                << "";
}

void TestClientConventions::windowPostClassifies()
{
    QFETCH(QString, fault);
    QFETCH(int, kind);
    QFETCH(QString, code);
    QFETCH(QString, message);
    StandIn standIn;
    if (fault == "refuse")
        standIn.refuse("public", "switch_shop", "-3", "无权限");
    else if (fault == "number")
        standIn.sendRaw("public", "switch_shop", R"({"code":1})");
    QNetworkAccessManager manager;
    QNetworkReply* reply =
        WebService::post(&manager, Config::url_query_user_data,
                         FormBody().add("token", Config::token).add("shopid", "12").add("uid", "2048"));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(5000));
    const WebService::Reply r = WebService::read(reply);
    reply->deleteLater();
    QCOMPARE(int(r.kind), kind);
    QCOMPARE(r.code, code);
    QCOMPARE(r.message, message);
    QCOMPARE(r.statusText, QStringLiteral("200"));
}

QTEST_MAIN(TestClientConventions)
#include "tst_clientconventions.moc"
