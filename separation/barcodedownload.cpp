#include "barcodedownload.h"

#include "fileoperation.h"
#include "webservice.h"

#include <QDebug>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QUrl>

namespace {
const char kProperty[] = "barcodeDownload";
}

BarcodeDownload::BarcodeDownload(QNetworkAccessManager* barManager, const QString& url,
                                 const QString& filePath, QObject* parent)
    : QObject(parent), m_filePath(filePath)
{
    barRequest.setUrl(QUrl(url, QUrl::TolerantMode));
    // A hung download ends as a failed one, so a report waiting for it comes.
    barRequest.setTransferTimeout(WebService::transferTimeoutMs());
    barReply = barManager->get(barRequest);
    barReply->setProperty(kProperty, QVariant::fromValue(QPointer<QObject>(this)));
}

BarcodeDownload::~BarcodeDownload()
{
    if (barReply) {
        barReply->setProperty(kProperty, QVariant());
        if (!m_ended)
            barReply->abort();
        barReply->deleteLater();
    }
}

BarcodeDownload* BarcodeDownload::of(QObject* reply)
{
    if (!reply)
        return nullptr;
    return qobject_cast<BarcodeDownload*>(reply->property(kProperty).value<QPointer<QObject>>().data());
}

void BarcodeDownload::onReadyRead()
{
    if (!barReply || m_tooLarge)
        return;
    const QByteArray bytes = barReply->readAll();
    if (m_bytes.size() + bytes.size() > maxBytes) {
        m_tooLarge = true;
        m_bytes.clear();
        barReply->abort();
        return;
    }
    m_bytes += bytes;
}

void BarcodeDownload::onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    qDebug() << bytesReceived << bytesTotal;
}

void BarcodeDownload::replyFinished()
{
    if (m_ended)
        return;
    m_ended = true;
    onReadyRead();
    bool complete = barReply && barReply->error() == QNetworkReply::NoError && !m_tooLarge;
    if (complete) {
        const int status = barReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QVariant length = barReply->header(QNetworkRequest::ContentLengthHeader);
        complete =
            status >= 200 && status < 300 && (!length.isValid() || length.toLongLong() == m_bytes.size());
    }
    // The service refuses with a JSON text under a 200 as well: only a body
    // that reads as a picture, of any format, is the barcode.
    complete = complete && !QImage::fromData(m_bytes).isNull();
    // Only a whole picture takes the file's place; a failed write keeps the old one.
    const bool written = complete && FileOperation::writeFile(m_bytes, m_filePath, true);
    qDebug() << (written ? "success" : "failed") << "barPath" << m_filePath;
    m_bytes.clear();
    emit ended(m_filePath, written);
    deleteLater();
}
