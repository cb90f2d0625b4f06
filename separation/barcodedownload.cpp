#include "barcodedownload.h"

#include "webservice.h"

#include <QDebug>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QUrl>

namespace {
const char kProperty[] = "barcodeDownload";
}

BarcodeDownload::BarcodeDownload(QNetworkAccessManager* barManager, const QString& url, const QString& filePath,
                                 QObject* parent)
    : QObject(parent), barFile(new QFile(filePath)), m_filePath(filePath)
{
    if (!barFile->open(QIODevice::WriteOnly | QIODevice::Truncate))
        qDebug() << "barcode file not opened:" << filePath << barFile->errorString();
    barRequest.setUrl(QUrl(url, QUrl::TolerantMode));
    // A hung download ends as a failed one, so a run waiting for it goes on.
    barRequest.setTransferTimeout(WebService::transferTimeoutMs());
    barReply = barManager->get(barRequest);
    barReply->setProperty(kProperty, QVariant::fromValue(QPointer<QObject>(this)));
}

BarcodeDownload::~BarcodeDownload()
{
    closeFile();
    delete barFile;
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
    if (!barReply)
        return;
    const QByteArray bytes = barReply->readAll();
    if (barFile->isOpen())
        barFile->write(bytes);
}

void BarcodeDownload::onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    qDebug() << bytesReceived << bytesTotal;
    if (bytesReceived == bytesTotal) {
        closeFile();
        qDebug() << "barPath" << m_filePath;
    }
}

void BarcodeDownload::replyFinished()
{
    if (m_ended)
        return;
    m_ended = true;
    onReadyRead();
    const bool ok = barReply && barReply->error() == QNetworkReply::NoError;
    qDebug() << (ok ? "success" : "failed");
    closeFile();
    emit ended(m_filePath, ok);
    deleteLater();
}

void BarcodeDownload::closeFile()
{
    if (barFile && barFile->isOpen())
        barFile->close();
}
