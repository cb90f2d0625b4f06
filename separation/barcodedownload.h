#pragma once

#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>

class QFile;
class QNetworkAccessManager;
#include <QNetworkReply>

// One barcode image download: a GET whose body is written into a file as
// it arrives. Each download owns its file, request and reply, so an older
// download still arriving never writes into a newer one's file. The file
// is closed when all bytes are in or, at the latest, when the reply ends
// (with or without a length); then the download says ended() and goes.
// Nothing is shown to the user; the run does not wait for it.
class BarcodeDownload : public QObject
{
    Q_OBJECT
public:
    BarcodeDownload(QNetworkAccessManager* barManager, const QString& url, const QString& filePath,
                    QObject* parent = nullptr);
    ~BarcodeDownload() override;

    QNetworkReply* reply() const { return barReply; }
    QString filePath() const { return m_filePath; }
    // The download a reply belongs to, or nullptr.
    static BarcodeDownload* of(QObject* reply);

    void onReadyRead();
    void onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void replyFinished();

signals:
    void ended(QString filePath, bool succeeded);

private:
    void closeFile();

    QFile* barFile = nullptr;
    QNetworkRequest barRequest;
    // The manager owns the reply; it may go first when the window closes.
    QPointer<QNetworkReply> barReply;
    QString m_filePath;
    bool m_ended = false;
};
