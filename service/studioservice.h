#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <memory>

// The local stand-in of the studio-management web service: an HTTP server on
// 127.0.0.1 answering the client's routes from an in-memory store seeded from
// a JSON fixture. Every request is logged (in memory, and as JSON lines when
// a log file is set); faults can be scripted per route for tests.
class StudioService
{
public:
    struct LoggedRequest
    {
        QString method;
        QString path;
        QString g, m, a;
        QByteArray rawBody;
        QStringList keys;              // query pairs other than g, m and a, then the body's, in order
        QMap<QString, QString> values; // decoded, the last of a repeated key wins
        QByteArray contentType;
    };

    // A scripted fault of one route. A delay holds the answer back and
    // combines with any kind.
    struct Fault
    {
        enum class Kind
        {
            None,
            Refuse,
            HttpError,
            Raw,
            Drop,
            Chunked,      // the route's own answer, sent without a length
            Trickle,      // the route's own answer, a few bytes at a time with pauseMs between them
            AfterWork,    // the route's work done, its answer sent with status, body put before it
            DropAfterWork // the route's work done, the connection closed without an answer; once
        };
        Kind kind = Kind::None;
        QString code;     // Refuse
        QString message;  // Refuse
        int status = 500; // HttpError, AfterWork
        QByteArray body;  // Raw, AfterWork
        int delayMs = 0;
        int pauseMs = 0; // Trickle
        // The answer, made when the request comes, waits until the route
        // is released: an answer still on its way through the network.
        bool held = false;
    };

    // The largest request body taken; a larger one is answered 413.
    static constexpr size_t maxBodyBytes = 64 * 1024 * 1024;

    StudioService();
    ~StudioService();
    StudioService(const StudioService&) = delete;
    StudioService& operator=(const StudioService&) = delete;

    // The fixture in the source tree (service/fixtures/demo.json).
    static QString demoFixturePath();

    // Replaces the store with the fixture's content; false with a reason.
    bool loadFixture(const QString& path, QString* error);
    // Appends one JSON line per request to the file; false when it cannot be opened.
    bool setLogFile(const QString& path);

    // Listens on 127.0.0.1 (port 0: a free port) on a thread of its own;
    // false when the port cannot be bound.
    bool start(int port);
    void stop();
    int port() const;
    QString baseUrl() const; // "http://127.0.0.1:<port>"

    QList<LoggedRequest> log() const;
    void clearLog();

    Fault fault(const QString& module, const QString& action) const;
    void setFault(const QString& module, const QString& action, const Fault& fault);
    void clearFaults();
    // Sends the held answers of the route that came so far.
    void release(const QString& module, const QString& action);

    QJsonObject storeSnapshot() const;

    // Server-form paths of the fixture (picture roots and order folders) that
    // map to no existing folder under the mount root.
    static QStringList missingPaths(const QJsonObject& store, const QString& volumesRoot);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
