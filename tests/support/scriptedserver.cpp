#include "scriptedserver.h"

#include <QTcpSocket>

ScriptedServer::ScriptedServer(Script script) : m_script(std::move(script))
{
    m_server.listen(QHostAddress::LocalHost);
    m_port = m_server.serverPort();
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedServer::take);
}

QString ScriptedServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

bool ScriptedServer::listenAgain()
{
    return m_server.listen(QHostAddress::LocalHost, quint16(m_port));
}

void ScriptedServer::handOn(const QByteArray& raw, quint16 port)
{
    QTcpSocket service;
    service.connectToHost(QHostAddress::LocalHost, port);
    if (service.waitForConnected() && service.write(raw) == raw.size() && service.waitForBytesWritten()) {
        while (service.state() == QAbstractSocket::ConnectedState && service.waitForReadyRead())
            service.readAll();
    }
}

void ScriptedServer::take()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        m_open.insert(socket, {m_connections++, 0, {}});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_open.remove(socket);
            socket->deleteLater();
        });
    }
}

void ScriptedServer::read(QTcpSocket* socket)
{
    auto open = m_open.find(socket);
    if (open == m_open.end())
        return;
    open->pending += socket->readAll();
    for (;;) {
        const int headEnd = open->pending.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        int length = 0;
        for (const QByteArray& line : open->pending.left(headEnd).split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toInt();
        }
        const int whole = headEnd + 4 + length;
        if (open->pending.size() < whole)
            return;
        const Request request{open->index, open->requests++, open->pending.left(whole)};
        open->pending.remove(0, whole);
        m_requests.append(request);
        const Act act = m_script ? m_script(request) : Act::Answer;
        open = m_open.find(socket); // the script may have taken other connections meanwhile
        if (act != Act::Answer) {
            if (act == Act::CloseAndStopListening)
                m_server.close();
            m_open.remove(socket);
            socket->disconnectFromHost();
            return;
        }
        const QByteArray body = R"({"code":"1","message":"ok"})";
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        ++m_answered;
    }
}
