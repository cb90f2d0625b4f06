#pragma once

#include <QJsonArray>
#include <QString>
#include <QThread>

#include <atomic>

class QWidget;

// The worker thread of the N8 tools. Its owner writes the members a job
// needs, then calls start(); run() picks the job from mode. The job reports
// only by queued calls of the receiver's slots, named by their text, and
// never touches a widget or Config.
//
// Mode "stores": splits the stores into those whose N8 folder is reachable
// from this machine and the names of the others, and calls the receiver's
// slt_n8stores(QJsonArray, QString).
class N8thread : public QThread
{
    Q_OBJECT
public:
    N8thread(QWidget* receiver, QObject* parent);
    // Waits for a running job: a thread object must not die before its job.
    ~N8thread() override;

    void stopThread();
    void judgeStorePath();

    // The local path the file system is asked about for a store's N8
    // folder: paths in Windows form (backslashes, a drive letter, a host
    // share) are mapped under the mount root like the server paths; other
    // paths are taken as they are.
    static QString localN8Path(const QString& n8path);

    QString mode;
    QJsonArray stores;
    std::atomic<bool> isStop{false};

protected:
    void run() override;

private:
    QWidget* receiver;
};
