#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>

// The stand-in web service running in-process on a free loopback port, for
// tests. While the object lives, Config's base address and routes point at
// it; the destructor stops it and restores them.
class StandIn
{
public:
    struct LoggedRequest
    {
        QString method;        // "POST" or "GET"
        QString g, m, a;       // route parts from the query
        QByteArray rawBody;    // exactly as received
        QStringList keys;      // body keys in the order received
        QMap<QString, QString> values; // decoded values (last of a repeated key wins)
        QString path;          // "/index.php", or the web sign-in page's path
        QByteArray contentType;
    };

    // fixturePath empty: the demo fixture service/fixtures/demo.json.
    explicit StandIn(const QString& fixturePath = QString());
    ~StandIn();

    QString baseUrl() const; // "http://127.0.0.1:<port>"

    QList<LoggedRequest> log() const;
    // The logged requests of one route, by module and action ("order", "order_list").
    QList<LoggedRequest> requests(const QString& module, const QString& action) const;
    void clearLog();

    // Scripted faults for one route (module, action), until clearFaults().
    void refuse(const QString& module, const QString& action, const QString& code, const QString& message);
    void failHttp(const QString& module, const QString& action, int status = 500);
    void sendRaw(const QString& module, const QString& action, const QByteArray& body); // e.g. not JSON, a JSON array
    void delay(const QString& module, const QString& action, int ms);
    void drop(const QString& module, const QString& action); // close the connection without a reply
    void sendChunked(const QString& module, const QString& action); // the answer without a length
    // The answer in pieces of a few bytes, pauseMs between two pieces.
    void trickle(const QString& module, const QString& action, int pauseMs);
    // The route's work done, its answer then sent with the status and the
    // bytes before it given: a 504 after the work, a notice before the JSON.
    void answerAfterWork(const QString& module, const QString& action, int status, const QByteArray& before);
    // The route's work done, its connection then closed without an answer,
    // once: the next request of the route is answered.
    void dropAfterWork(const QString& module, const QString& action);
    // The route's answers are made when their requests come and held back
    // until release(), which sends those that came so far; clearFaults()
    // holds no later one, and lets none go.
    void hold(const QString& module, const QString& action);
    void release(const QString& module, const QString& action);
    void clearFaults();

    // Config's identity as the demo user signed in to the flagship shop
    // (shop 12) of the demo fixture; needs no running service.
    static void useDemoIdentity();

    // The store as JSON, for checking what the client's writes changed.
    QJsonObject storeSnapshot() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
