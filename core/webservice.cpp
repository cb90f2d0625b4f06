#include "webservice.h"

#include "formbody.h"
#include "prompts.h"

#include <QDebug>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

#include <atomic>
#include <cstring>

namespace {

std::atomic<int> s_timeoutMs{60000};

const char* const kWritten = "webservicewritten";

// A request body that can be read once only: Qt, which would send a post
// again by itself, finds that it cannot start it over.
class BodyReadOnce : public QIODevice
{
public:
    BodyReadOnce(const QByteArray& bytes, QObject* parent) : QIODevice(parent), m_bytes(bytes)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    bool atEnd() const override { return m_read >= m_bytes.size(); }
    qint64 bytesAvailable() const override { return m_bytes.size() - m_read + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (atEnd())
            return -1; // the end of a sequential device
        const qint64 n = qMin(maxSize, qint64(m_bytes.size()) - m_read);
        memcpy(data, m_bytes.constData() + m_read, size_t(n));
        m_read += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const QByteArray m_bytes;
    qint64 m_read = 0;
};

// Qt tells the body's bytes as they are written to the connection, which it
// opens first; a request none of which was written ends with (0, 0).
QNetworkReply* noteWrites(QNetworkReply* reply)
{
    QObject::connect(reply, &QNetworkReply::uploadProgress, reply, [reply](qint64 sent, qint64) {
        if (sent > 0)
            reply->setProperty(kWritten, true);
    });
    return reply;
}

void logPost(const QString& route, const QByteArray& body)
{
    qDebug().noquote() << "Url:" << route;
    qDebug().noquote() << "Paras:" << FormBody::logText(body);
}

} // namespace

int WebService::transferTimeoutMs()
{
    return s_timeoutMs.load();
}

void WebService::setTransferTimeoutMs(int ms)
{
    s_timeoutMs.store(ms);
}

QNetworkRequest WebService::formRequest(const QString& route, int bodyLength)
{
    QNetworkRequest request(QUrl(route, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    request.setHeader(QNetworkRequest::ContentLengthHeader, bodyLength);
    request.setTransferTimeout(transferTimeoutMs());
    return request;
}

QNetworkReply* WebService::post(QNetworkAccessManager* manager, const QString& route, const QByteArray& body)
{
    logPost(route, body);
    return noteWrites(manager->post(formRequest(route, body.size()), body));
}

QNetworkReply* WebService::postOnce(QNetworkAccessManager* manager, const QString& route,
                                    const QByteArray& body)
{
    logPost(route, body);
    auto* own = new QNetworkAccessManager(manager);
    QNetworkRequest request = formRequest(route, body.size());
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    auto* device = new BodyReadOnce(body, own);
    QNetworkReply* reply = own->post(request, device);
    device->setParent(reply);
    QObject::connect(reply, &QObject::destroyed, own, &QObject::deleteLater);
    return noteWrites(reply);
}

bool WebService::reachedNothing(const QNetworkReply* reply)
{
    // An HTTP status, or a break or timeout once the body went out, may
    // follow work the service has done.
    return !reply->property(kWritten).toBool() && reply->error() != QNetworkReply::NoError &&
           !reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

WebService::Reply WebService::classify(const QByteArray& body)
{
    Reply r;
    r.body = body;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        r.kind = Reply::Kind::NotJsonObject;
        return r;
    }
    r.object = doc.object();
    r.code = r.object.value(QStringLiteral("code")).toString();
    r.message = r.object.value(QStringLiteral("message")).toString();
    r.kind = r.code == QLatin1String("1") ? Reply::Kind::Success : Reply::Kind::Refusal;
    return r;
}

namespace {

WebService::Reply readReply(QNetworkReply* reply, bool take)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    WebService::Reply r;
    if (reply->error() != QNetworkReply::NoError) {
        r.kind = WebService::Reply::Kind::TransportError;
        r.errorString = reply->errorString();
    } else {
        r = WebService::classify(take ? reply->readAll() : reply->peek(reply->bytesAvailable()));
    }
    r.statusText = status.isValid() ? status.toString() : QString();
    return r;
}

} // namespace

WebService::Reply WebService::read(QNetworkReply* reply)
{
    return readReply(reply, true);
}

WebService::Reply WebService::peek(QNetworkReply* reply)
{
    return readReply(reply, false);
}

QString WebService::text(const QJsonObject& object, const char* key)
{
    return object.value(QLatin1String(key)).toString();
}

QString WebService::transportErrorText(const Reply& reply)
{
    return QStringLiteral("网络请求错误\n") + reply.statusText;
}

QString WebService::recordFailureText(const Reply& reply, const QString& refusalText)
{
    switch (reply.kind) {
    case Reply::Kind::TransportError:
    case Reply::Kind::NotJsonObject:
        return transportErrorText(reply);
    case Reply::Kind::Refusal:
        return refusalText;
    case Reply::Kind::Success:
        break;
    }
    return QString();
}

void WebService::showTransportError(QWidget* parent, const Reply& reply, Prompts::StandardButton button)
{
    Prompts::information(parent, QStringLiteral("警告"), transportErrorText(reply), button);
}

namespace {

enum class BrokenReply
{
    Quiet,
    Told
};

bool report(const WebService::Reply& reply, const QString& refusalText, Prompts::StandardButton button,
            QWidget* refusalParent, BrokenReply broken)
{
    using Kind = WebService::Reply::Kind;
    switch (reply.kind) {
    case Kind::TransportError:
        WebService::showTransportError(nullptr, reply, button);
        return true;
    case Kind::NotJsonObject:
        if (broken == BrokenReply::Told)
            WebService::showTransportError(nullptr, reply, button);
        else
            qDebug() << "the reply is not a JSON object";
        return true;
    case Kind::Refusal:
        Prompts::information(refusalParent, QStringLiteral("警告"), refusalText, button);
        return true;
    case Kind::Success:
        break;
    }
    return false;
}

} // namespace

bool WebService::reportFailure(const Reply& reply, const QString& refusalText, Prompts::StandardButton button,
                               QWidget* refusalParent)
{
    return report(reply, refusalText, button, refusalParent, BrokenReply::Quiet);
}

bool WebService::reportRecordFailure(const Reply& reply, const QString& refusalText,
                                     Prompts::StandardButton button, QWidget* refusalParent)
{
    return report(reply, refusalText, button, refusalParent, BrokenReply::Told);
}

void WebService::showWarning(QWidget* parent, const QString& text)
{
    Prompts::information(parent, QStringLiteral("警告"), text, Prompts::Ok);
}
