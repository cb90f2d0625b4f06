#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

// A small HTTP server on a free loopback port, answering every request with
// the test's handler. For tests of the request layer itself; the tools are
// tested against the stand-in web service.
class TestHttpServer
{
public:
    struct Request
    {
        QString method;
        QString path;
        QString query;
        QByteArray body;
        QByteArray contentType;
    };
    struct Response
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        int delayMs = 0; // answer late (cut short when the server stops)
    };
    using Handler = std::function<Response(const Request&)>;

    TestHttpServer();
    ~TestHttpServer();

    void setHandler(Handler handler);
    // "http://127.0.0.1:<port>"
    QString baseUrl() const;
    QList<Request> requests() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
