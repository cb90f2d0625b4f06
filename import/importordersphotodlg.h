#pragma once

#include "importbookkeeping.h"
#include "importtypeenum.h"
#include "jobrunner.h"
#include "n8fileinfo.h"

#include <QDialog>
#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class ElidedLabel;
class ImportOrderModel;
class ImportOrderThread;
class QAction;
class QButtonGroup;
class QCloseEvent;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QNetworkAccessManager;
class QNetworkReply;
class QPushButton;
class QResizeEvent;
class QSplitter;
class QTableWidget;
class QVBoxLayout;
class SearchOrderWindow;

// The batch photo import: the user collects orders found on the web
// service, chooses for each the files of one import type (camera photos,
// finished photos, designs, trial or retouched videos, an N8 folder) and
// imports them into the orders' folders on the file server, one order after
// another, while the orders' folders, counts and video lists are recorded on
// the web service.
//
// Orders arrive from the search windows (getNewOrderSlot); the dialog adopts
// the models it keeps. An order taken off the list is kept as it was left
// while one of the dialog's search windows lists it, and comes back so when
// it is added again, whatever model of it a search hands over, unless that
// search lists it with another folder (another window or station imported
// it since): then it comes as the search has it, and the kept one is
// deleted. Otherwise it is deleted, as every model is when the dialog is
// destroyed. The search windows close with the dialog.
//
// One import worker runs at a time; it works on a copy of its order taken
// when it is made, and the row commands, select buttons and suffix fields
// stay disabled (and orders handed over are refused) until the batch is
// over.
//
// A batch ends once every order is done and every report it sent has been
// answered; its last box tells the orders with files not imported, the
// orders whose report did not reach the web service, or a full disk, and
// otherwise that all went well. An order whose completion report failed
// before any of it reached the service (or was refused, or whose folders
// could not be counted) keeps the counts it carried and is "上报失败": the
// next batch sends that report again and copies nothing. The service adds
// the counts, so one that may have reached it is named to be checked and
// never sent again. The records still owed when the dialog goes, or when
// their order leaves the list, are named.
//
// Closing during a batch asks first; a yes stops the worker (or the N8
// copies) after the files in work, reports the order with what is on disk
// (an N8 order whose pages did not all arrive is not recorded, and named),
// and then closes; once its records have answered, the batch's last box
// names what failed. The dialog is released once its worker has ended and
// its reports are answered. A close or release the dialog makes by itself
// (the stopped batch's end) waits until no box is open, so neither the
// dialog nor its search windows go while code waits under a box of theirs.
// The N8 copy jobs run on the dialog's own pool: a closed dialog hears from
// none of them, and it is not deleted before the running ones have
// finished their file.
class importOrdersPhotoDlg : public QDialog
{
    Q_OBJECT
public:
    using ImportTypeEnum = ::ImportTypeEnum;

    explicit importOrdersPhotoDlg(QWidget* parent = nullptr);
    ~importOrdersPhotoDlg() override;

    void iniUI();
    void iniOrdersTableWgt(QVBoxLayout* layout);
    void iniOrderInfoBox(QGridLayout* layout);
    void iniOrderSelectTableWgt(QVBoxLayout* layout);
    void iniOrderImportedTableWgt(QVBoxLayout* layout);

    // Rebuilds every row of the order table from the order list.
    void refreshOrderTable();
    // Recount the files the order's folder already holds of the current
    // type into the order.
    void getExistImagesCount(ImportOrderModel* model);
    void getExistVideoCount(ImportOrderModel* model);
    int getFolderPhotoCount(QString folder);
    int getFolderVideoCount(QString folder);

    // Enables or disables the controls that must not change under a batch.
    void setBtnsState(bool enabled);
    // Empties the right-hand side.
    void iniData();

    // The order path record: stage "0" when the order's folder is made
    // ready, "1" with the new files' counts when its import has finished,
    // and for videos the ones the order's folder holds with their own bytes.
    void updateFinishInfo(ImportOrderModel* model, QString stage, int serverCount, int backupCount,
                          const QStringList& videos = QStringList());
    // The video list record; names and paths joined by "|".
    void updataVideoList(ImportOrderModel* model, QString names, QString paths);
    // The order's N8 folder on the web service.
    void updateN8Info(ImportOrderModel* model, QString n8path);
    // Forgets the order's folders and its image choices before a re-import.
    void clearImportMdlInfo(ImportOrderModel* model);

    // The finished-selection check before finished photos are chosen.
    void isCanSelImg(int row, ImportOrderModel* model);
    // The file or folder choice of the current type for one order.
    void selImg(int row, ImportOrderModel* model);

    // The imported-images list of an order folder.
    void showExistImages(QString orderPath);
    void updateThumb(QList<QString> paths);
    void showDefaultThumb(QList<QString> paths);
    void showThumbnail(QList<QString> paths);
    void delListFiles(const QStringList* names);

public slots:
    void importTypeSlot(int id);
    void selectAllSlot();
    void cancelAllSlot();
    void delAllOrdersSlot();
    void upDataVideoUrlsBtnSlot();
    void addNewOrderBtnSlot();
    void importAllOrdersBtnSlot();
    void ordersTableWgtClickedSlot(int row);
    void showTableMouseRightButton(QPoint pos);
    void tbOpenOrderPathAction();
    void prefieFolderChangedSlot(const QString& text);
    void prefieImageChangedSlot(const QString& text);
    void prefieOrderChangedSlot(const QString& text);
    void reImportBtnSlot();
    void openOrderPhotoPathBtnSlot();
    void openOrderOriginPathBtnSlot();

    void getNewOrderSlot(QList<ImportOrderModel*> list);
    void selectImgBtnSlot();
    void isCanSelImgSlot(QNetworkReply* reply);

    void importProgressSlot(ushort done, ushort total);
    void importFailuresSlot(QString orderName, ushort failed, QString unwritableFolder,
                            QStringList takenVideos, ushort notStarted);
    void finishedImportOrderSlot(ushort total);
    void handleImportImageError(uchar code);
    void lookDiskSizeSlot(QString picPath);
    void lookPicPathSlot();

    // The N8 folder import (type 5): the worker hands over its file list,
    // one pooled job per file copies it and reports by name, and the order
    // completes when every file has reported.
    void startImportCopyN8ProgressSlot(QList<N8FileInfo> list, QString toDir);
    void importCopyN8ProgressSlot(int row, int currentCount, int totalCount, QString toDir);
    void slt_n8threadmsg(QString str);
    void finishedImportOrderN8Slot(int row, QString picPath);

    void httpUploadOrderInfoJson(QJsonObject reply);
    void httpUploadN8InfoJson(QJsonObject reply);
    void httpUploadVideoListJson(QJsonObject reply);

    void showLstWgtContextMenuSlot(QPoint pos);
    void openImportedImgSlot();
    void deleteImportedImgSlot();

    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    // One icon of the imported-images list, loaded off this thread.
    void setThumbIcon(int generation, int index, QImage icon);
    // An N8 copy job could not copy its file (diskFull: the share is
    // full); its progress report follows.
    void n8CopyFailedSlot(int row, QString target, bool diskFull);
    // A copy job found the batch stopped by the close and did not begin its
    // file; its progress report follows.
    void n8CopyNotStartedSlot(int row);
    // The web service's answer to an order path record.
    void orderInfoReplySlot(QNetworkReply* reply);

private:
    // Stores a counted number of files as the order's found count of the type.
    void recordFoundCount(ImportOrderModel* model, int count);
    // Starts the import worker of one order for the current type.
    void startOrderImport(int row);
    // Goes on with the first order from the row on that still needs the
    // current type (sending the report of one that only owes it), or marks
    // the batch as having no order left.
    void startFollowingOrder(int fromRow);
    bool needsImport(const ImportOrderModel* model) const;
    // The types other than the current one whose completion report the
    // order still owes: the next batch sends them, whatever its type.
    QList<ImportTypeEnum> owedOtherTypes(const ImportOrderModel* model) const;
    // Sends the completion report an order still owes of a type, reading its
    // folders again when its run could not count them.
    void sendOwedReport(ImportOrderModel* model, ImportTypeEnum type);
    // The order path record of a type (updateFinishInfo's, of the current
    // type): an owed report goes with its own type.
    void postFinishInfo(ImportOrderModel* model, ImportTypeEnum type, const QString& stage, int serverCount,
                        int backupCount, const QStringList& videos);
    // One order's run is over (whole or stopped): its counts on disk go to
    // the web service and its row and model say what was imported.
    void completeOrder(int row, int imported);
    // No order is started any more; the batch ends once its reports are in.
    void stopStartingOrders();
    void finishBatchIfDone();
    // A worker ended; a batch still waiting for its order's end goes on.
    void workerEnded(ImportOrderThread* worker);
    // Asks before a batch is broken off; true when the dialog may close now.
    bool confirmClose();
    // Closing during an N8 batch or when destroyed: stop the worker after its
    // current file and release the dialog once the worker is gone.
    void releaseAfterWorker();
    // A closed dialog stays until its reports are answered.
    void holdForReports();
    void releaseWhenIdle();
    // Back to idle after a batch: the batch button and every control the
    // batch disabled.
    void endBatch();
    // A box of the batch (its end, an order it could not import); held
    // while the close question is open.
    void showBatchBox(const ImportBookkeeping::Box& box);
    // The last box of the batch that has ended; the window closed, it names
    // every record still owed with the close, once.
    ImportBookkeeping::Box lastBatchBox(bool windowClosed);
    // The current order's folders and imported images as they are now.
    void showCurrentOrderFolders();
    // Until staff move the splitter themselves, the information box gets the
    // room its short values ask for, as far as the order table can still
    // show the select buttons.
    void giveValuesRoom();
    // The import-state text of a row for the current type.
    QString rowState(const ImportOrderModel* model) const;
    // The state and operations columns fit what they show.
    void fitStateColumn();
    // The order of a table row, or nullptr out of range.
    ImportOrderModel* modelAt(int row) const;
    // The orders listed, as the order table names them.
    QStringList listedOrderNames() const;
    bool isImportedFor(const ImportOrderModel* model) const;
    // The order's chosen files of the current type (types 0 to 4).
    QStringList chosenFiles(const ImportOrderModel* model) const;
    // Folder-suffix and re-import states for the current order when idle.
    void applyOrderControlStates();
    QLabel* progressLabel(int row) const;
    ElidedLabel* selectionLabel(int row) const;
    // The orders no longer listed: the records they still owe are named,
    // and those the dialog adopted are kept as they are while one of its
    // search windows lists them, or deleted.
    void letGoOfUnlisted(const QList<ImportOrderModel*>& models);
    // Deletes the orders let go of that none of the dialog's open search
    // windows lists any more.
    void dropUnlistedLetGo();
    // The search windows 添加订单 opened go with the dialog.
    void closeSearchWindows();
    // Why an order's N8 import cannot start; empty when it can.
    QString n8Refusal(const ImportOrderModel* model) const;
    // The N8 worker could not make or use the order's destination, or could
    // not read the chosen folder.
    void n8WorkerFailed(ImportOrderThread* worker);
    // An N8 order ends without being imported: the row says so, the box
    // tells why, and the batch goes on with the following order.
    void failN8Order(int row, const QString& text);
    // Starts the first order of the list that is neither N8-imported nor
    // ended in this batch, or ends the batch.
    void startNextN8Order();
    void setRowState(int row, const QString& text);
    void setN8Progress(int row, int done, int total);

    // Dialog state.
    int selRow = -1;
    QPointer<ImportOrderModel> selOrderMdl;
    int servPicCountBefore = 0;
    int backPicCountBefore = 0;
    QNetworkAccessManager* netManager = nullptr;
    ImportTypeEnum importType = ImportFinished;
    QPointer<ImportOrderModel> curOrderMdl;
    int curRow = -1;
    QList<ImportOrderModel*> orderMdlLst;
    // The search windows 添加订单 opened, while they are open.
    QList<QPointer<SearchOrderWindow>> m_searchWindows;
    // The orders taken off the list, by order name, as the dialog left
    // them: added again from any of its search windows, one comes back so.
    QHash<QString, ImportOrderModel*> m_letGo;
    quint16 finishedOrderCount = 0;
    quint16 toImportOrderCount = 0;
    QString lastSelDir;
    int n8CopiedCount = 0;

    // Widgets.
    QSplitter* m_splitter = nullptr;
    QGridLayout* m_infoGrid = nullptr;
    bool m_splitterMoved = false;
    QButtonGroup* importTypeGroup = nullptr;
    QTableWidget* ordersTableWgt = nullptr;
    QPushButton* upDataVideoUrlsBtn = nullptr;
    QPushButton* addNewOrderBtn = nullptr;
    QPushButton* importAllOrdersBtn = nullptr;
    QPushButton* selectAllBtn = nullptr;
    QPushButton* cancelAllBtn = nullptr;
    QPushButton* delAllOrdersBtn = nullptr;
    QLabel* rightTitleLbl = nullptr;
    ElidedLabel* orderNumLbl = nullptr;
    ElidedLabel* orderTypeLbl = nullptr;
    ElidedLabel* servNumLbl = nullptr;
    ElidedLabel* momNameLbl = nullptr;
    ElidedLabel* dadNameLbl = nullptr;
    QLabel* babyNameTitleLbl = nullptr;
    ElidedLabel* babyNameLbl = nullptr;
    ElidedLabel* taoxiNameLbl = nullptr;
    ElidedLabel* bookedShopLbl = nullptr;
    ElidedLabel* bespeakDateLbl = nullptr;
    ElidedLabel* photoerLbl = nullptr;
    ElidedLabel* dresserLbl = nullptr;
    ElidedLabel* yindouerLbl = nullptr;
    ElidedLabel* orderPathLbl = nullptr;
    ElidedLabel* orderBackupPathLbl = nullptr;
    ElidedLabel* orderN8PathLbl = nullptr;
    QPushButton* reImportBtn = nullptr;
    QPushButton* openOrderPhotoPathBtn = nullptr;
    QPushButton* openOrderOriginPathBtn = nullptr;
    QLineEdit* prefieFolderEdit = nullptr;
    QLineEdit* prefieImageEdit = nullptr;
    QLineEdit* prefieOrderEdit = nullptr;
    QTableWidget* orderSelectTableWgt = nullptr;
    QListWidget* orderImportedLstWgt = nullptr;
    QMenu* tableMenu = nullptr;
    QAction* openOrderPathAction = nullptr;
    QMenu* importedMenu = nullptr;
    QAction* openImportedAction = nullptr;
    QAction* deleteImportedAction = nullptr;

    // The batch.
    bool m_batchRunning = false;
    QPointer<ImportOrderThread> m_worker;
    bool m_workerFinishedOrder = false;
    bool m_releaseDeferred = false;
    // The N8 copy of the current order: its row (-1 when none is copying),
    // the number of files and the copies that failed.
    int m_n8Row = -1;
    int m_n8Total = 0;
    int m_n8Failed = 0;
    int m_n8NotStarted = 0;
    // Set when the batch is stopped by the close: the copy jobs not begun
    // copy nothing.
    std::shared_ptr<std::atomic<bool>> m_n8Stop = std::make_shared<std::atomic<bool>>(false);
    // Orders this batch ended without importing them; not started again.
    QSet<const ImportOrderModel*> m_n8Ended;
    // The destinations this batch's orders have copied into (clean paths).
    QSet<QString> m_n8Written;
    // What the running order's worker told at the end of its run.
    bool m_runTold = false;
    int m_runFailed = 0;
    QString m_runFolder;
    QStringList m_runTakenVideos; // left out: their names hold other files
    int m_runDone = 0;
    int m_runNotStarted = 0;                        // of those not imported: left unstarted by a stop
    ImportBookkeeping::FolderCounts m_runCommitted; // what it added to the folders' counts
    QStringList m_runVideos;                        // the videos the order's folder holds as chosen
    // What the batch's last box tells.
    QList<ImportBookkeeping::OrderFailure> m_batchFailures;
    QList<ImportBookkeeping::ReportFailure> m_reportFailures;
    QList<ImportBookkeeping::PagesArrived> m_n8Unfinished; // N8 orders the close stopped
    QList<ImportBookkeeping::SkippedOrder> m_beingDeleted; // skipped: their folders were being deleted
    QList<ImportBookkeeping::SkippedOrder> m_unreadable;   // skipped: their folders could not be counted
    bool m_diskFull = false;
    // No further order is started: the last one is done, a full disk, a
    // folder error or the user's stop.
    bool m_stopping = false;
    bool m_ordersDone = false;
    bool m_closeRequested = false;
    bool m_closeQuestionOpen = false;
    QList<ImportBookkeeping::Box> m_heldBoxes;
    // The batch ended while the close question was open: its last box
    // waits for the answer.
    bool m_batchBoxHeld = false;
    bool m_closeConfirmed = false;
    bool m_lockSuffix = false;
    bool m_releaseWhenIdle = false;
    // Order path and N8 path records on their way, and what each one reports.
    struct ReportPost
    {
        QPointer<ImportOrderModel> model;
        QString stage;
        ImportTypeEnum type = ImportFinished;
        bool inBatch = false;
        bool n8Record = false;  // the order's N8 folder, not its paths and counts
        bool addsCount = false; // a completion record with counts: sent once only
    };
    QNetworkAccessManager* m_reportManager = nullptr;
    QHash<QNetworkReply*, ReportPost> m_reports;
    void postRecord(QNetworkReply* reply, const ReportPost& post);
    // A record the service did not take: named in the batch's last box with
    // what becomes of it, or, while the client quits, in the last box before
    // it exits.
    void recordNotTaken(const ReportPost& post, const WebService::Reply& reply,
                        ImportBookkeeping::Afterwards afterwards);
    // The completion records the orders still owe, of any type, to be named
    // as the dialog or the orders go: no longer owed afterwards.
    QList<ImportBookkeeping::ReportFailure> takeOwedRecords(const QList<ImportOrderModel*>& models,
                                                            ImportBookkeeping::Afterwards afterwards);
    // The finished-selection check of the last select press.
    QPointer<QNetworkReply> m_pendingCheck;
    // Icons of the imported-images list: a refill stops the loading of the
    // previous one.
    int m_thumbGeneration = 0;
    QSharedPointer<std::atomic<int>> m_liveThumbGeneration;
    JobRunner m_jobs{this};
};
