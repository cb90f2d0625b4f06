#pragma once

#include "deletionrun.h"
#include "jobrunner.h"
#include "separationcontroller.h"
#include "separationhost.h"
#include "separationlayout.h"

#include <QDialog>
#include <QModelIndex>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class MessageDialog;
class MultiSelectComboBox;
class QAction;
class QCalendarWidget;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QNetworkAccessManager;
class QNetworkReply;
class QProgressBar;
class QPushButton;
class QStandardItemModel;
class QTableView;

// The window of a separation tool: the design and post-sample windows (and
// the N8 window) are this window with their own Designer form and their own
// row of SeparationLayout. The window lays out and wires; the run is the
// controller's, and every slot is a short call into it.
//
// A window built on it sets up its form and then calls initWindow(), which
// finds the form's widgets by object name. Jobs report to the window's
// slots by name through its JobRunner; the runner is declared after the
// controller, so the run is given back only after the last job has ended.
class SeparationWindowBase : public QDialog, public SeparationHost
{
    Q_OBJECT
public:
    SeparationWindowBase(SeparationLayout layout, QWidget* parent);
    ~SeparationWindowBase() override;

    SeparationController* controller() const { return m_controller.get(); }

    // The window type from the launcher; "批量删除" switches the form to the
    // deletion criteria and the deletion button.
    void setType(QString type);
    // The last output folder of "path_separatePhotos.dat" into the field.
    void writeLocalPath();
    // The table rows from the order list.
    void refreshOrderList() override;
    // At least one order checked.
    bool isSelectOrder() const;

    void queryOrderByOrderId(QString keyword) { m_controller->queryOrderByOrderId(keyword); }
    void queryOrderByName(QString keyword) { m_controller->queryOrderByName(keyword); }
    void queryOrderByPhotoNumber(QString keyword) { m_controller->queryOrderByPhotoNumber(keyword); }
    void queryOrderByPhotoDate(QString keyword) { m_controller->queryOrderByPhotoDate(keyword); }
    void queryOrderBySelectPhotoDate(QString keyword) { m_controller->queryOrderBySelectPhotoDate(keyword); }
    void queryOrderByAppointmentDate(QString keyword) { m_controller->queryOrderByAppointmentDate(keyword); }
    void queryOrderByFetchPhotoDate(QString keyword) { m_controller->queryOrderByFetchPhotoDate(keyword); }
    void queryOrderSelFinishDate(QString keyword) { m_controller->queryOrderSelFinishDate(keyword); }
    void queryOrderSjDate(QString keyword) { m_controller->queryOrderSjDate(keyword); }
    void queryOrderPickupDate(QString keyword) { m_controller->queryOrderPickupDate(keyword); }
    void queryOrderPinGuanDate(QString keyword) { m_controller->queryOrderPinGuanDate(keyword); }
    void queryOrderRetrunDesigDate(QString keyword) { m_controller->queryOrderRetrunDesigDate(keyword); }
    void queryOrderTurnSmDate(QString keyword) { m_controller->queryOrderTurnSmDate(keyword); }
    void postDataFunc(QByteArray& body) { m_controller->postDataFunc(body); }

    void postQueryProducts(QString orderId) { m_controller->postQueryProducts(orderId); }
    QString replaceString(QString name);
    QList<Product> returnSubPro(QJsonObject goods);
    void setProducts(QList<Product> products) { m_controller->setProducts(products); }
    void startSeparatePhotos() { m_controller->startSeparatePhotos(); }

    // SeparationHost
    void post(const char* replySlot, const QString& route, const QByteArray& body) override;
    void startJob(QRunnable* job, int priority) override;
    void clearJobs() override;
    JobOwnerHandle jobOwner() const override;
    QString outputFolderText() const override;
    QString chooseFolder() override;
    QList<int> checkedStoreRows() const override;
    QStringList storeIds() const override { return m_storeIds; }
    BarcodeDownload* download(const QString& url, const QString& filePath) override;
    QWidget* dialogParent() override { return this; }
    void setSearching(bool searching) override;
    void showRun(const RunDisplay& display) override;
    void showReport(const QString& text, const QString& fileName, bool finished) override;
    void runEnded() override { withdrawCloseQuestion(); }
    QThreadPool* jobPool() override { return m_jobs.pool(); }

    // The run's steps under their names, each a call into the controller.
    bool readyToSeparate() { return m_controller->readyToSeparate(); }
    void iniHTMLData() { m_controller->iniHTMLData(); }
    void startDownloadBar() { m_controller->startDownloadBar(); }
    void getPicInfo() { m_controller->getPicInfo(); }
    void postQueryOrderInfo() { m_controller->postQueryOrderInfo(); }
    void savePDF() { m_controller->savePDF(); }
    void saveHTML() { m_controller->saveHTML(); }
    void separateNextOrder() { m_controller->separateNextOrder(); }
    // The window's own production sheet; no run calls it.
    QString getHTMLString() { return m_controller->getHTMLString(); }
    QString localSheetHtml() override { return getHTMLString(); }

    // The delete mode's log of one deleted folder.
    void updatedata(QString orderId, QString deleteDir);
    void submitDeleteMessage(QString orderId, QString deleteDir);

    // A job's file not written (SeparateThread, ThumbnailThread), and the
    // order's folder a job could not list, before its stage call-back.
    Q_INVOKABLE void copyFailed(QString folder, QString name);
    Q_INVOKABLE void listFailed(QString folder);

    // Esc closes the window as its close button does, asking first during
    // a run.
    void reject() override;

public slots:
    void clickCancel();
    void clickSearch();
    void queryCallBack(QNetworkReply* reply);
    void queryProductsCallBack(QNetworkReply* reply);
    void queryOrderInfoCallBack(QNetworkReply* reply);
    void queryPicInfoCallBack(QNetworkReply* reply);
    void on_tableView_doubleClicked(QModelIndex index);
    void openOrderDir();
    void showMouseRightButton(QPoint pos);
    void showWidget();
    void onFinishSeparateImage();
    void on_selectPathButton_clicked();
    void on_tableView_clicked(QModelIndex index);
    void on_pushButton_separate_clicked();
    void replyFinished(QNetworkReply* reply);
    void onDownloadProgress(qlonglong bytesSent, qlonglong bytesTotal);
    void onReadyRead();
    void on_pushButton_selectAll_clicked();
    void on_pushButton_selectOpposite_clicked();
    void submitDeleteMessageCallBack(QNetworkReply* reply);
    void startDel();
    void on_comboBox_currentIndexChanged(int index);
    void fenjian_photoIsFileSlot_1(int num);
    void fenjian_finalPhotoSlot_2();
    void fenjian_delPhotoSlot_3();
    void fenjian_markPhoto_3_1();
    void fenjian_productPhotoSlot_4(QString fullPicName);
    void fenjian_analysisPhotoInfo();
    void onFinishSaveThumb();

protected:
    // The start button's action once its checks have passed; the N8
    // window puts its export here.
    virtual void startSeparation();

    // Finds the form's widgets and builds the window around them; the
    // window calls it right after its form's setupUi.
    void initWindow();
    void paintEvent(QPaintEvent* event) override;
    // During a run (or the N8 window's export) the window asks "提示" /
    // "正在分件，确定停止分件并关闭吗？" first; No keeps it open and running.
    // A run that ends while the question is open takes the question away
    // (runEnded()), as if answered No.
    // A run it closes ends early (SeparationController::endRunEarly).
    void closeEvent(QCloseEvent* event) override;
    // That question; true when answered Yes.
    bool confirmStopAndClose();
    // The close question, when open, goes as if answered No: what it asked
    // to stop has ended.
    void withdrawCloseQuestion();

    QStandardItemModel* model = nullptr;
    QAction* openDirAction = nullptr;
    QMenu* popMenu = nullptr;
    QNetworkAccessManager* manager = nullptr;
    // The barcode downloads' own manager: a hung picture never holds a
    // connection the run's requests wait for.
    QNetworkAccessManager* barManager = nullptr;
    QString windowType;
    QStringList searchTypeList;
    bool isWindowShow = false;

private:
    // The order of the table's current row, or -1.
    int currentOrderRow() const;

    QGroupBox* m_groupBox = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_finishedLabel = nullptr;
    QLabel* m_statusLabel = nullptr;
    QTableView* m_tableView = nullptr;
    QComboBox* m_comboBox = nullptr;
    QLineEdit* m_orderNumber = nullptr;
    QCalendarWidget* m_calendar = nullptr;
    MultiSelectComboBox* m_shops = nullptr;
    QPushButton* m_searchButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_selectPathButton = nullptr;
    QLineEdit* m_pathLineEdit = nullptr;
    QPushButton* m_separateButton = nullptr;
    // The store ids as they were when the store box was filled, row for row.
    QStringList m_storeIds;
    DeletionRun* m_deletion = nullptr;
    // The phone-code confirmation shown last, while it is open.
    QPointer<MessageDialog> m_confirmation;

    std::unique_ptr<SeparationController> m_controller;
    JobRunner m_jobs{this};
};
