#include "n8syncbaseinfodialog.h"

#include "config.h"
#include "n8sync.h"
#include "n8thread.h"
#include "prompts.h"
#include "webservice.h"

#include "ui_n8syncbaseinfodialog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {

const QString kNetworkError = QStringLiteral("网络请求错误");

} // namespace

N8SyncBaseInfoDialog::N8SyncBaseInfoDialog(QWidget* parent)
    : QDialog(parent), manager(new QNetworkAccessManager(this)), worker(new N8thread(this, this)),
      ui(new Ui_N8SyncBaseInfoDialog)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("同步员工/产品信息到N8系统"));
    ui->pb_retry->hide();
    ui->pb_cancel->hide();
    ui->progressBar->setMaximum(10);
    connect(manager, &QNetworkAccessManager::finished, this, &N8SyncBaseInfoDialog::query_shopdatas);
}

N8SyncBaseInfoDialog::~N8SyncBaseInfoDialog()
{
    stopWorker();
    // A list reply still under way goes with the manager, unhandled.
    manager->disconnect(this);
    delete manager;
    delete ui;
}

void N8SyncBaseInfoDialog::on_pb_syncpeo_clicked()
{
    type = 0;
    req_datas();
}

void N8SyncBaseInfoDialog::on_pb_syncpro_clicked()
{
    type = 1;
    req_datas();
}

void N8SyncBaseInfoDialog::req_datas()
{
    if (isBusy)
        return;
    isBusy = true;
    ui->progressBar->setValue(0);
    ui->progressBar->setMaximum(stores.size() + 2);
    const bool staff = type == 0;
    const QString route = staff ? Config::url_shopallpeo : Config::url_shopallpro;
    ui->lb_message->setText(staff ? QStringLiteral("正在获取员工信息...")
                                  : QStringLiteral("正在获取产品信息..."));
    ui->pb_syncpeo->hide();
    ui->pb_syncpro->hide();
    ui->pb_cancel->show();
    ui->pb_retry->hide();

    const QByteArray body = N8Sync::listBody(Config::token, shopId, Config::uid);
    qDebug() << "可以使用的分店数量" << stores.size();
    qDebug() << "进度条的最大值" << ui->progressBar->maximum();
    qDebug().noquote() << "获取需要导入N8的分店员工和产品 url==" << QStringLiteral("\"%1\"").arg(route);
    qDebug().noquote() << "postData==" << QStringLiteral("\"%1\"").arg(QString::fromUtf8(body));
    m_pending = WebService::post(manager, route, body);
}

void N8SyncBaseInfoDialog::query_shopdatas(QNetworkReply* reply)
{
    reply->deleteLater();
    // An aborted request (取消) or one the dialog no longer waits for.
    if (reply != m_pending)
        return;
    m_pending = nullptr;

    const WebService::Reply r = WebService::read(reply);
    switch (r.kind) {
    case WebService::Reply::Kind::TransportError:
        fail(QStringLiteral("网络请求错误！"));
        WebService::showTransportError(nullptr, r, Prompts::Yes);
        return;
    case WebService::Reply::Kind::NotJsonObject:
        fail(N8Sync::malformedReplyLabel(r.body));
        return;
    case WebService::Reply::Kind::Refusal:
        fail(r.message);
        Prompts::information(nullptr, QStringLiteral("警告"), r.message, Prompts::Yes);
        return;
    case WebService::Reply::Kind::Success:
        break;
    }
    // A reply without its list would empty every store's file: it is as
    // broken as a reply that never came.
    QJsonArray list;
    if (!N8Sync::listOf(r.object, type, &list)) {
        fail(QStringLiteral("网络请求错误！"));
        WebService::showTransportError(nullptr, r, Prompts::Yes);
        return;
    }

    ui->progressBar->setValue(ui->progressBar->value() + 1);
    stopWorker();
    worker = new N8thread(this, this);
    worker->mode = QStringLiteral("xml");
    worker->datas = list;
    worker->type = type;
    worker->stores = stores;
    m_storeMessages = 0;
    m_errorLength = 0;
    m_written.clear();
    worker->start(QThread::InheritPriority);
}

void N8SyncBaseInfoDialog::fail(const QString& label)
{
    ui->pb_retry->show();
    ui->lb_message->setText(label);
    lastError = kNetworkError;
    isBusy = false;
}

void N8SyncBaseInfoDialog::slt_threademit(QJsonObject objc)
{
    // Messages of a worker that was stopped change nothing.
    if (!isBusy)
        return;
    const QString kind = objc.value(QStringLiteral("type")).toString();
    const bool last = kind == QStringLiteral("全部导入成功");
    if (kind == QStringLiteral("数据配置完成")) {
        ui->progressBar->setValue(ui->progressBar->value() + 1);
        return;
    }
    if (kind != QStringLiteral("门店数据导入成功") && !last)
        return;

    const QString errors = objc.value(QStringLiteral("errormsg")).toString();
    if (m_storeMessages < stores.size() && errors.size() <= m_errorLength)
        m_written.append(stores.at(m_storeMessages).toObject().value(QStringLiteral("name")).toString());
    m_errorLength = qMax(m_errorLength, errors.size());
    ++m_storeMessages;

    const QString msg = objc.value(QStringLiteral("msg")).toString();
    if (!last) {
        ui->progressBar->setValue(ui->progressBar->value() + 1);
        ui->lb_message->setText(msg);
        return;
    }
    ui->progressBar->setValue(ui->progressBar->maximum());
    ui->lb_message->setText(msg);
    if (!errors.isEmpty())
        Prompts::information(nullptr, QStringLiteral("温馨提示"), errors, Prompts::Yes);
    stopWorker();
    worker = new N8thread(this, this);
    isBusy = false;
    ui->lb_message->setText(N8Sync::closingText(m_written, type));
    showIdleButtons();
}

void N8SyncBaseInfoDialog::on_pb_retry_clicked()
{
    if (lastError == kNetworkError)
        req_datas();
}

void N8SyncBaseInfoDialog::on_pb_cancel_clicked()
{
    if (QNetworkReply* pending = m_pending) {
        m_pending = nullptr;
        pending->abort();
    }
    stopWorker();
    worker = new N8thread(this, this);
    isBusy = false;
    ui->progressBar->setValue(0);
    ui->lb_message->setText(QStringLiteral("请点击需要同步的数据类型"));
    showIdleButtons();
}

void N8SyncBaseInfoDialog::stopWorker()
{
    if (!worker)
        return;
    worker->stopThread();
    worker->quit();
    worker->wait();
    delete worker;
    worker = nullptr;
    // The only calls queued to this dialog are the worker's messages; those
    // of a stopped worker must not reach the next run.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

void N8SyncBaseInfoDialog::showIdleButtons()
{
    ui->pb_cancel->hide();
    ui->pb_retry->hide();
    ui->pb_syncpeo->show();
    ui->pb_syncpro->show();
}
