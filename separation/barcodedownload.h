#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;

// One barcode image download: a GET whose body is gathered in memory as it
// arrives and written to its file only when the reply is complete (no
// error, a 2xx status, every byte of a given length, a body that reads as
// a picture), through FileOperation::writeFile, so a refused or cut
// download never leaves a short "条形码.jpg" and never replaces a good one.
// Each download owns its request, reply and bytes, so an older download
// still arriving never touches a newer one's file. When the reply ends the
// download says ended() and goes. Nothing is shown to the user.
class BarcodeDownload : public QObject
{
    Q_OBJECT
public:
    // More than this is no barcode picture: the download fails.
    static constexpr qint64 maxBytes = 16 * 1024 * 1024;

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
    // succeeded: the picture was written to filePath.
    void ended(QString filePath, bool succeeded);

private:
    QNetworkRequest barRequest;
    // The manager owns the reply; it may go first when the window closes.
    QPointer<QNetworkReply> barReply;
    QString m_filePath;
    QByteArray m_bytes;
    bool m_tooLarge = false;
    bool m_ended = false;
};
