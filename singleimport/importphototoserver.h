#pragma once

#include "foldersinuse.h"
#include "importbookkeeping.h"
#include "jobrunner.h"
#include "reportstore.h"
#include "singleorder.h"

#include <QFileInfo>
#include <QImage>
#include <QList>
#include <QMainWindow>
#include <QModelIndex>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class QAction;
class QButtonGroup;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QNetworkAccessManager;
class QNetworkReply;
class QStandardItemModel;
class Ui_ImportPhotoToServer;
namespace WebService {
struct Reply;
}

// The single-order import: imports one order's photos, finished photos or
// designs into the order's folder tree on the file server, with backup
// copies and thumbnails, records the photos' shot times in the order's
// "ImageTime.txt" and reports paths and counts to the web service.
//
// The window works on the order whose values stand in Config's current
// order when it is built, and keeps its own copy of them: its opener sets
// them, shows the window and deletes it after showSearch(). Photo, icon and
// folder jobs run on the window's own pool and report through its owner
// handle, so nothing reaches the window once it has closed.
//
// A run's photos claim their names as they are written (photos mode), and
// once the run is over they leave the window's choice: a second click
// imports nothing again. While a run writes, its order folder is registered
// as in use, so no deletion of this process takes it from under the jobs;
// a run does not start in a folder that one is deleting.
// A path or count report the web service did not receive is named in one
// box after the run and kept by the process (ReportStore); this window or a
// later one sends it again before its next run or lookup. A count report
// the service may have added is named to be checked instead, never sent
// again.
//
// Closing the window during a run asks first. A run stopped so lets the
// photos under way arrive and begins no other; it then ends as any run
// does (records, the one box, the count report of what it committed), and
// the window, its controls disabled meanwhile, closes once that report is
// answered. A run stopped before its jobs began writes and posts nothing.
class ImportPhotoToServer : public QMainWindow
{
    Q_OBJECT
public:
    explicit ImportPhotoToServer(QWidget* parent = nullptr);
    ~ImportPhotoToServer() override;

    // True from start-up, set by every new window and cleared when one
    // closes. The jobs no longer look at it: each window's owner handle
    // stops their reports.
    static bool isRunning;

    void refreshBtn(bool wait);
    // The orders the search that opened the window lists, as the order
    // table names them ("<预约单号>-<服务次数>"): the window's boxes name its
    // order by its service time where another of its booking is among them.
    void setListedOrders(const QStringList& orderNames);

signals:
    void showSearch();
    void refreshSearchTable();

public slots:
    void updateThumbIcon(int index, QPixmap pic);
    void onIsPathExist(bool exist);
    // The icon job's report: dropped when the list has been refilled since
    // the job was made.
    void setThumbIcon(int generation, int index, QImage image);

private slots:
    void importBtnAction();
    void clickImportPhoto();
    void clickSelectPhoto();
    void clickClearPhoto();
    void selectRow(QModelIndex index);
    void selectItem(QListWidgetItem* item);
    // A photo job's report of a photo whose main copy is not in the order:
    // it could not be read or written (diskFull: for want of space). It
    // comes before that job's onFinishImportImage.
    void onImportImageFailed(QString picPath, bool diskFull);
    // A photo job's report of a photo whose main copy holds its name in the
    // order (name) while another of its files or syncs failed (diskFull:
    // for want of space). It comes before that job's onFinishImportImage.
    void onImportImagePartlyWritten(QString picPath, QString name, bool diskFull);
    // A photo job's main copy and backup that count, each 0 or 1; it comes
    // before that job's onFinishImportImage.
    void onImportImageCommitted(int photos, int backups);
    // A photo job of a stopped run that did not begin: its photo is not
    // imported. It stands for that job's onFinishImportImage.
    void onImportImageNotBegun(QString picPath);
    void onFinishImportImage(QString imageTime);
    void submitPicPath(QNetworkReply* reply);
    void backServerPath(QNetworkReply* reply);
    void backOrderPath(QNetworkReply* reply);
    void openSelfPhotoDir();
    void openOrderPhotoDir();
    void delListPhotoAction();
    void delListFiles(const QStringList* files);
    void tableShowMouseRightButton(QPoint pos);
    void listShowMouseRightButton(QPoint pos);
    void on_reimportButton_clicked();
    void on_refreshPushButton_clicked();
    void on_pushButton_photodate_clicked();
    void on_newPhotoDateDate(QString date);
    void queryPostPhotoDate(QNetworkReply* reply);
    void on_lineEdit_folderAppendName_textChanged(QString arg1);
    void on_lineEdit_folderAppendName_editingFinished();
    void on_lineEdit_picAppendName_editingFinished();
    void submitPicPath_2(QNetworkReply* reply);

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void iniThumbList();
    void iniImageNameTable();
    void initImportBtn();

    void queryOrderPath();
    void showExistImages(QString path);
    void updateThumb(QList<QString> paths);
    void showDefaultThumb(QList<QString> paths);
    void writeOrderAppendPath();

    // False when the records could not be written.
    bool writeImageTime(QString text);

    void updateTable();
    int getFileNumber(QFileInfo info);

    void postPhotoDate();

    void queryServerPath();
    bool createOrderDir(QString server, QString backup);
    QString getCurrentTime();
    int getFolderPhotoCount(QString folder);

    void import();
    void postOrderPath_2(QString path);
    void postOrderPath(QString path, int photoCount, int backupCount);

    // The run's lock on the controls that would change what it works on.
    void setImporting(bool importing);
    // Whether a close may go on: during a run it asks, and a yes stops the
    // run (the window closes once the run has reported) or, before its
    // jobs began, ends it at once.
    bool confirmClose();
    // Shows a box of the run, or holds it while the close question is open.
    void showBox(std::function<void()> box);
    // Ends a run that could not start: the box was shown, nothing posted.
    void abandonRun(const QString& text);
    // Registers the run's order folder; a folder that a deletion of this
    // process is removing ends the run before it starts, the choice kept.
    bool claimRunFolder(const QString& folder);
    using ReplySlot = void (ImportPhotoToServer::*)(QNetworkReply*);
    QNetworkReply* post(const QString& route, const QByteArray& body, ReplySlot slot);
    // The order path lookup itself, once the kept reports are answered.
    void postOrderPathQuery();

    // A report of the window's order, as a box names it.
    ReportStore::Report orderReport(ReportStore::Kind kind, const QByteArray& body = {}) const;
    // Sends one of the window's reports through the process's store.
    void postReport(const ReportStore::Report& report, ReplySlot slot);
    // What a report's reply means, for a first post and a resend alike.
    void reportAnswered(const ReportStore::Report& report, const WebService::Reply& reply,
                        ReportStore::Fate fate, bool resent);
    // Sends the kept reports again, one after another, and then goes on
    // with next (also when one fails again: it stays kept).
    void sendKeptReports(std::function<void()> next);
    void goOnAfterResend();
    // A report not received, kept or given up (fate).
    void reportNotReceived(const ReportStore::Report& report, const QString& httpStatus,
                           ReportStore::Fate fate);
    // Ends the reports of a run: its failed ones are named in one box. A
    // stopped run has reported then, and its window closes.
    void closeRunReports();
    // One of the order's folders in the web service's own form.
    QString serviceForm(const QString& local) const;
    SingleOrder::NamePieces namePieces(const QString& append) const;

    QButtonGroup* importBtnGroup = nullptr;
    bool picAppendNameEdited = false;
    int existPhotoCount = 0;
    QAction* openSelfPhotoDirAction = nullptr;
    QAction* openOrderPhotoDirAction = nullptr;
    QAction* deletePhotoAction = nullptr;
    QMenu* tableMenu = nullptr;
    QMenu* listMenu = nullptr;
    Ui_ImportPhotoToServer* ui = nullptr;
    QStandardItemModel* imageNameModel = nullptr;
    QStringList* photoNames = nullptr;
    QStringList selectedPhotos;
    QListWidget* thumbList = nullptr;
    QLabel* loadingLabel = nullptr;
    QString orderPath;
    QString orderBakPath;
    QString serverPath;
    QString bakServerPath;
    QString selfPhotoDir;
    int finishedCount = 0;
    int oriOrderPicCount = 0;
    int oriBackPicCount = 0;
    QNetworkAccessManager* netManager = nullptr;
    QString imageTimeText;

    SingleOrder::OrderValues m_order;
    QStringList m_listedOrders;
    int m_mode = 1;       // the mode of the window's steps
    int m_runMode = 1;    // the mode of the run under way
    bool m_importing = false;
    QStringList m_failedPhotos;             // the run's photos that did not arrive, by file name
    QStringList m_partlyWritten;            // arrived with a file not written: "<card name> → <name>"
    bool m_runDiskFull = false;             // a write of the run met a full share
    QStringList m_notBegun;                 // the stopped run's photos never begun, by file name
    SingleOrder::Counts m_runCommitted;     // what the run's photo jobs committed
    SingleOrder::NamePieces m_choicePieces; // the photo names' pieces at choice time
    std::shared_ptr<const FoldersInUse::Claim> m_runClaim;
    // The run's stop, which its photo jobs look at before they begin.
    std::shared_ptr<std::atomic<bool>> m_runStop;
    bool m_jobsStarted = false;
    // Closing was confirmed while the run's jobs wrote: the window closes
    // once the run has reported.
    bool m_stopping = false;
    bool m_closeQuestionOpen = false;
    QList<std::function<void()>> m_heldBoxes;
    bool m_resending = false;
    QList<std::function<void()>> m_afterResend;
    // From the click of "导入" to the count report's answer, failed reports
    // are gathered for the one box after the run, each with what becomes of
    // it: kept, or given up.
    bool m_runReporting = false;
    QList<ImportBookkeeping::ReportFailure> m_runReportFailures;
    int m_listGeneration = 0;
    // Moves on when a run begins or ends: the order lookups asked before are
    // dropped.
    int m_lookupGeneration = 0;
    // orderPath and orderBakPath in the web service's own form, and the
    // shop's roots as it sent them, for the reports.
    QString m_serviceOrderPath;
    QString m_serviceBackupPath;
    QString m_serviceServerPath;
    QString m_serviceBackupServerPath;
    JobRunner m_jobs{this};
};
