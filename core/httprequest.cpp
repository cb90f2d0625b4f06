#include "httprequest.h"

#include "formbody.h"
#include "webservice.h"

#include <QDebug>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

HttpRequest::HttpRequest(QObject* parent) : QObject(parent), manager(new QNetworkAccessManager(this)) {}

HttpRequest* HttpRequest::startNetRequest(QString url, QByteArray body, bool logFlag)
{
    auto* request = new HttpRequest(nullptr);
    connect(request->manager, &QNetworkAccessManager::finished, request, &HttpRequest::netReply);
    QNetworkRequest netRequest = WebService::formRequest(url, body.size());
    netRequest.setAttribute(QNetworkRequest::User, logFlag);
    qDebug().noquote() << "Url:" << url;
    qDebug().noquote() << "Paras:" << FormBody::logText(body);
    request->manager->post(netRequest, body);
    return request;
}

HttpRequest* HttpRequest::startNetRecord(QString url, QByteArray body, bool logFlag)
{
    HttpRequest* request = startNetRequest(url, body, logFlag);
    request->m_record = true;
    return request;
}

HttpRequest* HttpRequest::httpNetPixmap(QString url, QObject* label)
{
    auto* request = new HttpRequest(nullptr);
    request->label = label;
    connect(request->manager, &QNetworkAccessManager::finished, request, &HttpRequest::netPixmapReply);
    QNetworkRequest netRequest(QUrl(url, QUrl::TolerantMode));
    netRequest.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    netRequest.setTransferTimeout(WebService::transferTimeoutMs());
    request->manager->get(netRequest);
    return request;
}

void HttpRequest::netReply(QNetworkReply* reply)
{
    reply->deleteLater();
    deleteLater();

    const WebService::Reply r = WebService::read(reply);
    if (r.kind == WebService::Reply::Kind::TransportError ||
        (m_record && r.kind == WebService::Reply::Kind::NotJsonObject)) {
        WebService::showTransportError(nullptr, r);
        qDebug() << "http error:" << r.errorString;
        emit netErrorInfo(r.errorString);
        return;
    }
    if (r.kind == WebService::Reply::Kind::NotJsonObject) {
        QJsonParseError error;
        QJsonDocument::fromJson(r.body, &error);
        qDebug() << "Error:" << error.errorString() << error.error;
        return;
    }
    if (reply->request().attribute(QNetworkRequest::User).toBool())
        qDebug().noquote() << "JsonObj:" << QJsonDocument(r.object).toJson(QJsonDocument::Indented);
    emit netSuccessInfo(r.object);
}

void HttpRequest::netPixmapReply(QNetworkReply* reply)
{
    reply->deleteLater();
    deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        qDebug() << reply->errorString();
        return;
    }
    QPixmap pixmap;
    if (pixmap.loadFromData(reply->readAll()) && label)
        label->setProperty("pixmap", pixmap);
}
