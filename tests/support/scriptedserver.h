#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

// An HTTP server on a free loopback port, run on the test's own thread, for
// what a connection does around a request: each whole request read is
// answered with the service's success (the connection kept alive) or left
// unanswered, its connection closed, as the test's script says.
class ScriptedServer : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        int connection = 0;   // connections counted from 0 as they are accepted
        int onConnection = 0; // requests counted from 0 on their connection
        QByteArray raw;       // the whole request as read
    };
    enum class Act
    {
        Answer,
        Close,                // the connection closed, the request unanswered
        CloseAndStopListening // the same, and no connection taken any more
    };
    using Script = std::function<Act(const Request&)>;

    explicit ScriptedServer(Script script = {});

    QString baseUrl() const; // "http://127.0.0.1:<port>"
    int port() const { return m_port; }
    // Every whole request read, and those answered.
    QList<Request> requests() const { return m_requests; }
    int answered() const { return m_answered; }
    // Listens again on the same port after CloseAndStopListening.
    bool listenAgain();
    // Hands a request read to the server on the loopback port and reads its
    // answer until that server closes the connection (a script's way of
    // letting the service do the work before it acts).
    static void handOn(const QByteArray& raw, quint16 port);

private:
    void take();
    void read(QTcpSocket* socket);

    Script m_script;
    QTcpServer m_server;
    int m_port = 0;
    int m_connections = 0;
    int m_answered = 0;
    QList<Request> m_requests;
    struct Connection
    {
        int index = 0;
        int requests = 0;
        QByteArray pending;
    };
    QHash<QTcpSocket*, Connection> m_open;
};
