#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// A one-shot request object: posts one form body to a route and hands the
// reply object back by signal. It releases itself after its reply.
class HttpRequest : public QObject
{
    Q_OBJECT
public:
    explicit HttpRequest(QObject* parent = nullptr);

    // Posts the body; logFlag asks for the reply's JSON in the debug log.
    static HttpRequest* startNetRequest(QString url, QByteArray body, bool logFlag);
    // The same for a post that records something: a reply that is not the
    // service's JSON object is told as a transport error, since the service
    // may or may not have kept the record.
    static HttpRequest* startNetRecord(QString url, QByteArray body, bool logFlag);
    // GETs an image into the label (not owned; any object with a "pixmap"
    // property, so this library needs no widgets).
    static HttpRequest* httpNetPixmap(QString url, QObject* label);

signals:
    void netSuccessInfo(QJsonObject jsonInfo);
    void netLoadPixmapInfo(QPixmap image);
    void netErrorInfo(QString errStr);

public slots:
    void netReply(QNetworkReply* reply);
    void netPixmapReply(QNetworkReply* reply);

private:
    QNetworkAccessManager* manager;
    QPointer<QObject> label;
    bool m_record = false;
};
