#pragma once

#include "expresshtml.h"
#include "orderrecords.h"
#include "separationhost.h"
#include "separationlayout.h"
#include "separationrun.h"
#include "webservice.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

class BarcodeDownload;

// The separation of the checked orders, for every separation window: the
// order list, the search, the goods query with its product plan, the run's
// state and the one SeparationRunGuard. It has no widgets; it reaches its
// window only through SeparationHost, and the window's rows of
// SeparationLayout say where the windows differ.
//
// The window's slots and methods keep their names and call in here. A
// closed window's controller posts nothing more and drops every reply.
class SeparationController : public QObject
{
    Q_OBJECT
public:
    SeparationController(SeparationHost* host, SeparationLayout layout, QObject* parent = nullptr);
    ~SeparationController() override;

    const SeparationLayout& layout() const { return m_layout; }

    // The window has been closed: nothing is posted or handled any more.
    void close();
    bool isClosed() const { return m_closed; }

    // --- Search ----------------------------------------------------------
    // The criterion's text, the keyword typed and the calendar's day.
    void clickSearch(const QString& criterion, const QString& typed, const QDate& day);
    void search(int searchType, const QString& keyword);
    void queryOrderByOrderId(QString keyword) { search(1, keyword); }
    void queryOrderByName(QString keyword) { search(2, keyword); }
    void queryOrderByPhotoNumber(QString keyword) { search(3, keyword); }
    void queryOrderByPhotoDate(QString keyword) { search(4, keyword); }
    void queryOrderBySelectPhotoDate(QString keyword) { search(5, keyword); }
    void queryOrderByAppointmentDate(QString keyword) { search(6, keyword); }
    void queryOrderByFetchPhotoDate(QString keyword) { search(7, keyword); }
    void queryOrderSelFinishDate(QString keyword) { search(8, keyword); }
    void queryOrderSjDate(QString keyword) { search(9, keyword); }
    void queryOrderPickupDate(QString keyword) { search(10, keyword); }
    void queryOrderPinGuanDate(QString keyword) { search(11, keyword); }
    void queryOrderRetrunDesigDate(QString keyword) { search(12, keyword); }
    void queryOrderTurnSmDate(QString keyword) { search(13, keyword); }
    // Appends the checked stores and posts the search.
    void postDataFunc(QByteArray& body);
    // An answer that arrives while this window's run is under way is
    // dropped: the run goes on over the list it was started on.
    void queryCallBack(const WebService::Reply& reply);

    // --- Start of a run ----------------------------------------------------
    // The start button in the separation mode, with the output-folder field.
    void startRequested(const QString& pathText);

    // --- Goods query -------------------------------------------------------
    void postQueryProducts(QString orderId);
    void queryProductsCallBack(const WebService::Reply& reply);
    void setProducts(QList<Product> products);

    // --- The run -------------------------------------------------------------
    // Takes the first checked order not yet taken up (into Config's current
    // order and takenOrder) and posts its goods query; true when none is
    // left.
    bool readyToSeparate();
    // Makes the order's output folders and starts its existence checks.
    void startSeparatePhotos();
    // The stage slots the jobs call back.
    void fenjian_photoIsFileSlot_1(int num);
    void fenjian_finalPhotoSlot_2();
    void fenjian_delPhotoSlot_3();
    void fenjian_shejiPhotoSlot_3_2();
    void fenjian_markPhoto_3_1();
    void fenjian_productPhotoSlot_4(QString fullPicName);
    void fenjian_analysisPhotoInfo();
    void onFinishSeparateImage();
    void onFinishSaveThumb();
    // The sheet stage of the order.
    void iniHTMLData();
    void startDownloadBar();
    void getPicInfo();
    void queryPicInfoCallBack(const WebService::Reply& reply);
    void postQueryOrderInfo();
    void queryOrderInfoCallBack(const WebService::Reply& reply);
    void savePDF();
    void saveHTML();
    // Counts the order as done; the next order, or the report once the
    // run's barcode downloads have ended (at most one transfer timeout).
    void separateNextOrder();
    // The window's own production sheet of the current order; keeps its
    // total in productPhotoNum when a table was written.
    QString getHTMLString();
    // A job could not write a target or read a source: folder (ending in
    // "/") and name of that file. It joins the order's report as a file not
    // written.
    void copyFailed(const QString& folder, const QString& name);
    // A folder of the order that could not be looked at or listed: the
    // order's report names it once, at the top of its block.
    void folderUnreadable(const QString& folder);

    // A run that cannot go on: the busy flag is cleared, the run given back
    // and its order untaken, so the next start begins with it. Barcode
    // downloads still under way are cancelled.
    void stopRun();
    // Why a run ends before its last order.
    enum class EarlyEnd
    {
        Failed,    // a failed request or a folder that cannot be made, told in a box
        Cancelled, // the folder chooser was cancelled
        Closed,    // the window was closed
    };
    // Ends the run at the order in work: its findings so far are dropped
    // and its product folders get "（未完成）" appended; the run is given
    // back. The finished orders' barcode downloads still under way are
    // cancelled and named under their orders. The finished orders' findings
    // are shown as the run's report, headed by the unfinished order: when
    // any order finished, and always after a close. A run whose orders have
    // all ended and that only waits for barcode downloads ends as finished.
    void endRunEarly(EarlyEnd why);
    // The window is closing: a run under way ends early, then close().
    void windowClosing();
    // "未完成分件的订单：<key>" for the order in work.
    QString unfinishedOrderText() const;

    // --- State (the windows' names) ----------------------------------------
    QList<order> orderList;
    QList<finishMessage> m_messageList;
    QList<ProductMessage> productMessageList;
    QString saveFilepath;      // the output folder; during an order its folder
    QString expressHtmlString; // express sheet of the current order
    QList<Product> orderProducts;
    QString orderFolderPath; // the order's folder, without its "其它/" level
    QString barUrl;
    QString barPath;
    QString sheetHtml;
    QStringList finalPhotoList;
    QStringList delPhotoList;
    QStringList shejiPhotoList;
    QStringList markPhotoList;
    finishMessage message; // the product jobs' report entry of the order
    int readyNum = 0;
    int photoCheckNum = 0;
    int photoExistNum = 0;
    int photoCheckedNum = 0;
    int finalCopiedNum = 0;
    int delCopiedNum = 0;
    int shejiPhotoOkNum = 0;
    int markCopiedNum = 0;
    int productPhotoJobNum = 0;
    int fenjian_productOkNum = 0;
    int productStartReadyNum = 0;
    // The order-detail values of the current order, and the few that only
    // the post-sample window keeps (no sheet prints them).
    SheetInput sheet;
    QString qqText;
    QString wxText;
    QString twosalesTotal;
    QString sale_payfor;
    QString twosalesDebt;
    QString pickuptype;
    QString consumetypeid;
    bool isHtmlSaved = false;
    bool isProductsDone = false;
    int productPhotoNum = 0;
    int productsUrgentState = 0;
    int checkOrdersNum = 0;
    int finishOrdersNum = 0;
    int deletenum = 0;
    bool isSeparating = false;
    // The order in work as the run took it up, its folder ending in "/".
    // Every stage and request of the order reads it, never Config's current
    // order, which another window (the single-order import) may take up
    // while the run goes on.
    order takenOrder;

    SeparationRunGuard& runGuard() { return m_guard; }

private:
    // Names files the sheet did not write, each as copyFailed does.
    void nameNotWritten(const QStringList& paths);
    // Posts a body of the run (logged under logName) unless the window
    // has closed.
    void post(const char* replySlot, const char* logName, const QString& route, const QByteArray& body);
    // A reply the run cannot use: dropped once the window has closed,
    // otherwise told the way the run's boxes tell it, and the run stops.
    // True when the reply's handler goes no further.
    bool replyEndsRun(const WebService::Reply& reply, const QString& refusalText);
    void busyBox();
    void showRun(const SeparationHost::RunDisplay& display);
    // The output folder of the order: the field, else the chooser.
    QString settleOutputFolder();
    // A folder of the order's output tree; false (the user told, the run
    // ended early) when it cannot be made.
    bool makeOutputFolder(const QString& folder);
    // "分件文件夹创建失败" with the folder and the order, and the early end.
    void folderFailed(const QString& folder);
    // A copy stage's check behind its jobs: targets missing or short that
    // no job has told.
    void backstop(const QString& sourceFolder, const QString& targetFolder, const QStringList& names);
    // One step of the progress bar.
    void step(int steps = 1);
    // The copy stages after the finished photos: the stage's list and
    // counter, its source and target folders and its job type.
    struct CopyStage
    {
        QStringList* list;
        int* done;
        QString source;
        QString target;
        int jobType;
    };
    CopyStage copyStage(SeparationLayout::Stage stage);
    void startStage(int index);
    void stageDone(SeparationLayout::Stage stage);
    void startProductStage();
    // The window's own sheet of the order, printed with the express sheet.
    void printLocalSheet();
    // The order folder the sheet lists and marks from: empty once the
    // order's folder could not be looked at.
    QString sheetOrderFolder() const;
    // Every finding of the order goes into its first report entry, with the
    // folders it could not read and the files it failed to write; a barcode
    // download still under way gets that entry.
    void closeOrderReport();
    // The report of a run whose orders have all ended.
    void showReport();

    // Barcode downloads run beside the run, one per order: the order goes
    // on without waiting, and a download that fails is named under its
    // order, in the order's entry once the order has ended. After the last
    // order the report waits for those still under way, at most one
    // transfer timeout, then cancels and names them.
    struct PendingBarcode
    {
        QPointer<BarcodeDownload> download;
        int entry = -1; // the order's report entry; -1 while the order is in work
    };
    void barcodeEnded(BarcodeDownload* download, bool succeeded);
    void nameBarcode(const PendingBarcode& pending);
    // Cancels the downloads still under way; named: each under its ended
    // order (an order in work keeps no findings).
    void cancelBarcodes(bool named);
    // The deadline of the report's wait has passed.
    void barcodeDeadline();

    SeparationHost* m_host;
    SeparationLayout m_layout;
    SeparationRunGuard m_guard;
    ExpressHtml m_expressHtml;
    bool m_closed = false;
    QString m_currentOrderId;
    QString m_chosenRoot;             // the run's output folder as chosen
    QStringList m_orderFailures;      // files of the order that were not written
    QStringList m_orderNotes;         // lines about the order as a whole
    QStringList m_unreadableFolders;  // folders of the order not listed
    QSet<QString> m_reportedFailures; // paths the order's jobs told
    QStringList m_productFolders;     // product folders this order made
    int m_entriesAtOrderStart = 0;
    int m_finishedThisRun = 0;
    // The window's own sheet shows the barcode: it waits for the order's
    // download.
    bool m_awaitingBarcode = false;
    bool m_barcodeEnded = false;
    QList<PendingBarcode> m_barcodes;
    // Every order has ended; the report waits for m_barcodes.
    bool m_waitingForBarcodes = false;
    QTimer m_barcodeDeadline;
    SeparationHost::RunDisplay m_display;
};
