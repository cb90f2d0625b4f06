#pragma once

#include "orderrecords.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>

class QWidget;

// The worker thread of the N8 tools. Its owner writes the members a job
// needs while the worker is not running, then calls start(); run() picks
// the job from mode. A job reports only by queued calls of the receiver's
// slots, named by their text, and never touches a widget or reads Config's
// shop settings: an owner hands over the values it needs. While a job runs
// the owner writes nothing but the stop flag (stopThread()).
//
//   "stores"          judgeStorePath(): the stores whose N8 folder is
//                     reachable, then slt_n8stores(QJsonArray, QString).
//   "xml"             type 0 staff, 1 products: builds the XML text from
//                     datas, reports "数据配置完成", then writeToFile().
//   "write"           writeToFile() alone, with xmlText as it is.
//   "exportN8result"  exportN8Result(): exports the checked orders of
//                     orderList under exportPath, with isN8ResultDownAll
//                     and isN8fjUseBigImg as the shop gave them.
//
// The xml and write jobs call slt_threademit(QJsonObject), the export
// slt_exportN8Result(QJsonObject): {"type": "update_msg", "alert"} for each
// step and file, then exactly one {"type": "all_finish", "message": the
// HTML report}. A store's file is committed only once it is complete, so a
// refused write keeps the store's old file; an exported order whose files
// did not all land ends partial, after a line that names them; a folder
// of the order that cannot be looked at is never taken for a missing one.
//
// Stopping is cooperative: the XML building and writing look at the flag
// before each entry and store, the export before each order and file. An
// export a stop ended before its last checked order still ends with its
// "all_finish", with "unfinished": true. An order the stop cut short within
// its copy heads the report of the orders before it
// (N8Export::unfinishedReport); its own lines go, and its export folders
// made so far get "（未完成）" appended. Orders not begun are not named.
class N8thread : public QThread
{
    Q_OBJECT
public:
    N8thread(QWidget* receiver, QObject* parent);
    // Waits for a running job: a thread object must not die before its job.
    ~N8thread() override;

    void stopThread();
    void judgeStorePath();
    void makepeoplexmltxt();
    void makeproductxmltxt();
    void writeToFile();
    void exportN8Result();
    // Copies the content of source into target (made with its parents).
    // A folder reached twice (through a link) is copied once, the target
    // itself is never entered, and no file is replaced or left partial.
    // notCopied, when given, receives the target path of every file that
    // was not exported (a failed copy, or a taken name that holds other
    // content than the file meant for it, a page whose finished photo
    // could not be looked at where finished photos replace pages) and of
    // every folder or entry that could not be resolved, looked at or read.
    // False when a stop cut the copy short.
    bool copyDirectory(const QString& source, const QString& target, QStringList* notCopied = nullptr);
    void exoprtN8ResultSendAlert(QString alert);
    void exoprtN8ResultSendMsg(QJsonObject message);

    // The local path the file system is asked about for a store's N8
    // folder: paths in Windows form (backslashes, a drive letter, a host
    // share) are mapped under the mount root like the server paths; other
    // paths are taken as they are.
    static QString localN8Path(const QString& n8path);

    QString mode;
    int type = -1; // 0 staff, 1 products; any other value builds nothing
    QJsonArray datas;
    QJsonArray stores;
    QString exportPath;
    QList<order> orderList;
    std::atomic<bool> isStop{false};
    QString orderPath; // the picture folder of the order being exported
    QString xmlText;
    // The shop's settings at the start of an export: "0" narrows the copy
    // and "1" adds the design-sync data; "1" takes the studio's finished
    // photo in place of N8's own.
    QString isN8ResultDownAll;
    QString isN8fjUseBigImg;

protected:
    void run() override;

private:
    void makeXml(int listType);
    bool copyTree(const QString& source, const QString& target, QSet<QString>& entered,
                  const QString& guardedTarget, bool finishedUnreadable, QStringList& notCopied);
    void sendSyncMessage(const QJsonObject& message);

    QWidget* receiver;
};
