#include "separationwindowbase.h"

#include "barcodedownload.h"
#include "calendarpicker.h"
#include "config.h"
#include "fileoperation.h"
#include "messageboxdialog.h"
#include "messagedialog.h"
#include "multiselectcombobox.h"
#include "namecleaning.h"
#include "ordertablecheck.h"
#include "productplan.h"
#include "prompts.h"
#include "separationsearch.h"
#include "webservice.h"
#include "windowreshow.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDebug>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

namespace {

template <typename T> T* widget(QObject* window, const char* name)
{
    T* found = window->findChild<T*>(QLatin1String(name));
    Q_ASSERT_X(found, "SeparationWindowBase", name);
    return found;
}

} // namespace

SeparationWindowBase::SeparationWindowBase(SeparationLayout layout, QWidget* parent)
    : QDialog(parent), m_controller(std::make_unique<SeparationController>(this, std::move(layout)))
{
}

SeparationWindowBase::~SeparationWindowBase()
{
    m_controller->close();
    // Replies still under way end here, before the window is half gone.
    delete manager;
    manager = nullptr;
    delete barManager;
    barManager = nullptr;
    delete popMenu;
    delete openDirAction;
}

void SeparationWindowBase::initWindow()
{
    m_groupBox = widget<QGroupBox>(this, "groupBox");
    m_progressBar = widget<QProgressBar>(this, "progressBar");
    m_finishedLabel = widget<QLabel>(this, "label_finishOrdersNum");
    m_statusLabel = widget<QLabel>(this, "label");
    m_tableView = widget<QTableView>(this, "tableView");
    m_comboBox = widget<QComboBox>(this, "comboBox");
    m_orderNumber = widget<QLineEdit>(this, "orderNumber");
    m_calendar = widget<QCalendarWidget>(this, "calendar");
    CalendarPicker::takeTypedYear(m_calendar);
    m_shops = widget<MultiSelectComboBox>(this, "cb_shops");
    m_searchButton = widget<QPushButton>(this, "searchButton");
    m_cancelButton = widget<QPushButton>(this, "cancelButton");
    m_selectPathButton = widget<QPushButton>(this, "selectPathButton");
    m_pathLineEdit = widget<QLineEdit>(this, "pathLineEdit");
    m_separateButton = widget<QPushButton>(this, "pushButton_separate");

    isWindowShow = true;
    m_orderNumber->setFocus(Qt::OtherFocusReason);
    setWindowFlags(Qt::WindowFlags());

    manager = new QNetworkAccessManager(this);
    barManager = new QNetworkAccessManager(this);

    searchTypeList = SeparationSearch::separationCriteria();
    m_comboBox->addItems(searchTypeList);

    const QStringList headers = SeparationSearch::headers();
    model = new QStandardItemModel(0, headers.size(), this);
    for (int c = 0; c < headers.size(); ++c)
        model->setHorizontalHeaderItem(c, new QStandardItem(QObject::tr(headers.at(c).toUtf8().constData())));
    m_tableView->setModel(model);
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);

    connect(m_searchButton, &QPushButton::clicked, this, &SeparationWindowBase::clickSearch);
    connect(m_cancelButton, &QPushButton::clicked, this, &SeparationWindowBase::clickCancel);
    m_tableView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tableView, &QWidget::customContextMenuRequested, this, &SeparationWindowBase::showMouseRightButton);
    openDirAction = new QAction(QStringLiteral("打开订单目录"), this);
    connect(openDirAction, &QAction::triggered, this, &SeparationWindowBase::openOrderDir);
    popMenu = new QMenu(m_tableView);
    popMenu->addAction(openDirAction);

    m_progressBar->setValue(0);
    m_progressBar->hide();
    m_statusLabel->hide();
    m_finishedLabel->hide();
    m_groupBox->hide();

    m_storeIds = Config::storeids;
    m_shops->addItems(Config::storenames);
    m_shops->setAlertText(QStringLiteral("点击选择店铺"));
    m_shops->allsel();

    writeLocalPath();

    m_deletion = new DeletionRun(this);
    m_deletion->setDisplay(m_groupBox, m_progressBar, m_statusLabel);
    connect(m_deletion, &DeletionRun::deleted, this, &SeparationWindowBase::updatedata);
    connect(m_deletion, &DeletionRun::progressed, this,
            [this](int finished, int) { m_controller->deletenum = finished; });
    connect(m_deletion, &DeletionRun::ended, this, [this] {
        m_controller->deletenum = 0;
        m_controller->checkOrdersNum = 0;
    });
}

void SeparationWindowBase::setType(QString type)
{
    windowType = type;
    if (type != QStringLiteral("批量删除"))
        return;
    searchTypeList = SeparationSearch::deletionCriteria();
    m_comboBox->clear();
    m_comboBox->addItems(searchTypeList);
    m_selectPathButton->hide();
    m_pathLineEdit->hide();
    m_separateButton->setText(QStringLiteral("批量删除"));
}

void SeparationWindowBase::writeLocalPath()
{
    const QStringList paths = FileOperation::readFromDAT(QStringLiteral("path_separatePhotos.dat"), 1);
    if (!paths.isEmpty())
        m_pathLineEdit->setText(paths.first());
}

void SeparationWindowBase::refreshOrderList()
{
    model->removeRows(0, model->rowCount());
    const QList<order>& orders = m_controller->orderList;
    for (int r = 0; r < orders.size(); ++r) {
        const order& o = orders.at(r);
        auto* check = new QStandardItem;
        check->setData(o.isChecked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
        check->setTextAlignment(Qt::AlignCenter);
        model->setItem(r, 0, check);
        const QString cells[] = {o.orderpayforkey, o.storesname,  o.servicetimes,   o.customer,
                                 o.role1,          o.role2,       o.role10,         o.tiaosename,
                                 o.tiaoxiname,     o.comboname,   o.orderbaseprice, o.order_price,
                                 o.gotodigitaltime, o.orderpath};
        for (int c = 1; c <= 14; ++c) {
            auto* item = new QStandardItem(cells[c - 1]);
            if (c <= 13)
                item->setTextAlignment(Qt::AlignCenter);
            model->setItem(r, c, item);
        }
    }
}

bool SeparationWindowBase::isSelectOrder() const
{
    return OrderTableCheck::anyChecked(m_controller->orderList);
}

QString SeparationWindowBase::replaceString(QString name)
{
    return NameCleaning::replaceString(name);
}

QList<Product> SeparationWindowBase::returnSubPro(QJsonObject goods)
{
    return ProductPlan::returnSubPro(goods, m_controller->layout().goodsForm);
}

// --- SeparationHost ------------------------------------------------------------

void SeparationWindowBase::post(const char* replySlot, const QString& route, const QByteArray& body)
{
    QNetworkReply* reply = WebService::post(manager, route, body);
    const QByteArray slot(replySlot);
    connect(reply, &QNetworkReply::finished, this, [this, reply, slot] {
        QMetaObject::invokeMethod(this, slot.constData(), Qt::DirectConnection, Q_ARG(QNetworkReply*, reply));
    });
}

void SeparationWindowBase::startJob(QRunnable* job, int priority)
{
    m_jobs.start(job, priority);
}

void SeparationWindowBase::clearJobs()
{
    m_jobs.clear();
}

JobOwnerHandle SeparationWindowBase::jobOwner() const
{
    return m_jobs.owner();
}

QString SeparationWindowBase::outputFolderText() const
{
    return m_pathLineEdit->text();
}

QString SeparationWindowBase::chooseFolder()
{
    return Prompts::instance().getExistingDirectory(this, tr("选择分件保存路径"), QString());
}

QList<int> SeparationWindowBase::checkedStoreRows() const
{
    return m_shops->currentIndex();
}

BarcodeDownload* SeparationWindowBase::download(const QString& url, const QString& filePath)
{
    if (m_controller->isClosed())
        return nullptr;
    auto* barcode = new BarcodeDownload(barManager, url, filePath, this);
    QNetworkReply* reply = barcode->reply();
    connect(reply, &QNetworkReply::readyRead, this, &SeparationWindowBase::onReadyRead);
    connect(reply, &QNetworkReply::downloadProgress, this, &SeparationWindowBase::onDownloadProgress);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { replyFinished(reply); });
    return barcode;
}

void SeparationWindowBase::showReport(const QString& text, const QString& fileName, bool finished)
{
    auto* box = new MessageBoxDialog(nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setText(text, fileName);
    if (!finished)
        box->setUnfinished();
    box->setModal(true);
    box->show();
}

void SeparationWindowBase::setSearching(bool searching)
{
    m_searchButton->setEnabled(!searching);
    m_searchButton->setText(searching ? QStringLiteral("检索中...") : QStringLiteral("检索"));
}

void SeparationWindowBase::showRun(const RunDisplay& display)
{
    m_groupBox->setVisible(display.boxVisible);
    m_statusLabel->setVisible(display.labelVisible);
    m_progressBar->setMaximum(display.maximum);
    m_progressBar->setValue(display.value);
    m_progressBar->setVisible(display.barVisible);
    m_finishedLabel->setText(display.finishedText.isEmpty() ? m_finishedLabel->text() : display.finishedText);
    m_finishedLabel->setVisible(display.finishedVisible);
}

// --- Slots ---------------------------------------------------------------------

void SeparationWindowBase::clickCancel()
{
    close();
}

void SeparationWindowBase::clickSearch()
{
    // A year still being typed is the year searched.
    CalendarPicker::commitTypedYear(m_calendar);
    m_controller->clickSearch(m_comboBox->currentText(), m_orderNumber->text(), m_calendar->selectedDate());
}

void SeparationWindowBase::queryCallBack(QNetworkReply* reply)
{
    m_controller->queryCallBack(WebService::read(reply));
    reply->deleteLater();
}

void SeparationWindowBase::queryProductsCallBack(QNetworkReply* reply)
{
    m_controller->queryProductsCallBack(WebService::read(reply));
    reply->deleteLater();
}

void SeparationWindowBase::queryOrderInfoCallBack(QNetworkReply* reply)
{
    m_controller->queryOrderInfoCallBack(WebService::read(reply));
    reply->deleteLater();
}

void SeparationWindowBase::queryPicInfoCallBack(QNetworkReply* reply)
{
    m_controller->queryPicInfoCallBack(WebService::read(reply));
    reply->deleteLater();
}

void SeparationWindowBase::on_tableView_doubleClicked(QModelIndex index)
{
    Q_UNUSED(index)
}

int SeparationWindowBase::currentOrderRow() const
{
    const int row = m_tableView->currentIndex().row();
    return row >= 0 && row < m_controller->orderList.size() ? row : -1;
}

void SeparationWindowBase::openOrderDir()
{
    const int row = currentOrderRow();
    if (row >= 0)
        FileOperation::openOrderFolder(m_controller->orderList.at(row).orderpath, this);
}

void SeparationWindowBase::showMouseRightButton(QPoint pos)
{
    Q_UNUSED(pos)
    const int row = currentOrderRow();
    if (row < 0)
        return;
    openDirAction->setEnabled(!m_controller->orderList.at(row).orderpath.isEmpty());
    popMenu->popup(QCursor::pos());
}

void SeparationWindowBase::showWidget()
{
    show();
}

void SeparationWindowBase::onFinishSeparateImage()
{
    m_controller->onFinishSeparateImage();
}

void SeparationWindowBase::on_selectPathButton_clicked()
{
    const QString folder = chooseFolder();
    if (!folder.isEmpty())
        m_pathLineEdit->setText(folder);
}

void SeparationWindowBase::on_tableView_clicked(QModelIndex index)
{
    OrderTableCheck::toggle(m_controller->orderList, model, m_tableView, index);
}

void SeparationWindowBase::on_pushButton_separate_clicked()
{
    if (m_separateButton->text() != QStringLiteral("批量删除")) {
        startSeparation();
        return;
    }
    if (!isSelectOrder()) {
        Prompts::notice(QString(), QStringLiteral("请选择订单"));
        return;
    }
    int checked = 0;
    for (const order& o : qAsConst(m_controller->orderList))
        checked += o.isChecked ? 1 : 0;
    m_controller->checkOrdersNum = checked;
    if (m_controller->layout().singleDeleteConfirmation && m_confirmation) {
        m_confirmation->raise();
        m_confirmation->activateWindow();
        return;
    }
    // The deletion starts only once the phone code has been confirmed.
    auto* confirm = new MessageDialog(nullptr);
    confirm->setAttribute(Qt::WA_DeleteOnClose);
    connect(confirm, &MessageDialog::deleteorderfile, this, &SeparationWindowBase::startDel);
    m_confirmation = confirm;
    confirm->show();
}

void SeparationWindowBase::startSeparation()
{
    m_controller->startRequested(m_pathLineEdit->text());
}

void SeparationWindowBase::replyFinished(QNetworkReply* reply)
{
    if (BarcodeDownload* d = BarcodeDownload::of(reply))
        d->replyFinished();
}

void SeparationWindowBase::onDownloadProgress(qlonglong bytesSent, qlonglong bytesTotal)
{
    if (BarcodeDownload* d = BarcodeDownload::of(sender()))
        d->onDownloadProgress(bytesSent, bytesTotal);
}

void SeparationWindowBase::onReadyRead()
{
    if (BarcodeDownload* d = BarcodeDownload::of(sender()))
        d->onReadyRead();
}

void SeparationWindowBase::on_pushButton_selectAll_clicked()
{
    OrderTableCheck::selectAll(m_controller->orderList, model);
}

void SeparationWindowBase::on_pushButton_selectOpposite_clicked()
{
    OrderTableCheck::invert(m_controller->orderList, model);
}

void SeparationWindowBase::submitDeleteMessageCallBack(QNetworkReply* reply)
{
    DeletionRun::reportLogReply(reply);
    reply->deleteLater();
}

void SeparationWindowBase::startDel()
{
    const int started = m_deletion->start(m_controller->orderList);
    if (started < 0)
        return;
    m_controller->deletenum = 0;
    m_controller->checkOrdersNum = started;
}

void SeparationWindowBase::updatedata(QString orderId, QString deleteDir)
{
    submitDeleteMessage(orderId, deleteDir);
}

void SeparationWindowBase::submitDeleteMessage(QString orderId, QString deleteDir)
{
    // The log runs to its answer though the window closes meanwhile.
    m_deletion->postLog(this, orderId, deleteDir,
                        [this](QNetworkReply* reply) { submitDeleteMessageCallBack(reply); });
}

void SeparationWindowBase::on_comboBox_currentIndexChanged(int index)
{
    Q_UNUSED(index)
    if (windowType != m_controller->layout().reshowType)
        return;
    reshowKeepingState(*this);
}

void SeparationWindowBase::fenjian_photoIsFileSlot_1(int num)
{
    m_controller->fenjian_photoIsFileSlot_1(num);
}

void SeparationWindowBase::fenjian_finalPhotoSlot_2()
{
    m_controller->fenjian_finalPhotoSlot_2();
}

void SeparationWindowBase::fenjian_delPhotoSlot_3()
{
    m_controller->fenjian_delPhotoSlot_3();
}

void SeparationWindowBase::fenjian_markPhoto_3_1()
{
    m_controller->fenjian_markPhoto_3_1();
}

void SeparationWindowBase::fenjian_productPhotoSlot_4(QString fullPicName)
{
    m_controller->fenjian_productPhotoSlot_4(fullPicName);
}

void SeparationWindowBase::fenjian_analysisPhotoInfo()
{
    m_controller->fenjian_analysisPhotoInfo();
}

void SeparationWindowBase::onFinishSaveThumb()
{
    m_controller->onFinishSaveThumb();
}

void SeparationWindowBase::paintEvent(QPaintEvent* event)
{
    const QVector<int> widths = SeparationSearch::columnWidths(m_tableView->width());
    for (int c = 0; c < widths.size(); ++c)
        m_tableView->setColumnWidth(c, widths.at(c));
    QDialog::paintEvent(event);
}

void SeparationWindowBase::copyFailed(QString folder, QString name)
{
    m_controller->copyFailed(folder, name);
}

void SeparationWindowBase::listFailed(QString folder)
{
    m_controller->folderUnreadable(folder);
}

void SeparationWindowBase::reject()
{
    close();
}

void SeparationWindowBase::closeEvent(QCloseEvent* event)
{
    if (m_controller->isSeparating && !m_controller->isClosed() && !confirmStopAndClose()) {
        event->ignore();
        return;
    }
    isWindowShow = false;
    m_jobs.close();
    // The copies under way finish before their folders are marked.
    m_jobs.waitForDone();
    m_controller->windowClosing();
    event->accept();
}

bool SeparationWindowBase::confirmStopAndClose()
{
    Prompts::Message question;
    question.icon = Prompts::Icon::Question;
    question.parent = this;
    question.title = QStringLiteral("提示");
    question.text = QStringLiteral("正在分件，确定停止分件并关闭吗？");
    question.buttons = Prompts::Yes | Prompts::No;
    question.defaultButton = Prompts::No;
    // The run may end while the question is open; it is withdrawn then.
    question.withdrawTag = this;
    return Prompts::instance().message(question).standard == Prompts::Yes;
}

void SeparationWindowBase::withdrawCloseQuestion()
{
    Prompts::instance().withdraw(this);
}
