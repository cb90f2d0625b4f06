#include "deletionrun.h"

#include "config.h"
#include "deletionguard.h"
#include "fileoperation.h"
#include "foldersinuse.h"
#include "formbody.h"
#include "importorderthread.h"
#include "pendingrecords.h"
#include "prompts.h"
#include "webservice.h"

#include <QDebug>
#include <QDir>
#include <QLabel>
#include <QNetworkReply>
#include <QProgressBar>
#include <QStringList>
#include <QWidget>

DeletionRun::DeletionRun(QObject* parent) : QObject(parent) {}

DeletionRun::~DeletionRun()
{
    m_pending.clear();
    for (ImportOrderThread* worker : qAsConst(m_running)) {
        worker->disconnect(this);
        worker->wait();
        delete worker;
    }
}

void DeletionRun::setDisplay(QWidget* group, QProgressBar* bar, QLabel* label)
{
    m_group = group;
    m_bar = bar;
    m_label = label;
}

int DeletionRun::start(const QList<order>& orders)
{
    if (isRunning())
        return -1;

    QList<Entry> checked;
    for (const order& record : orders) {
        // An empty path would name the working folder: it is passed over.
        if (record.isChecked && !record.orderpath.isEmpty())
            checked.append({record.order_photo_id, record.orderpayforkey, record.orderpath});
    }

    if (m_bar)
        m_bar->show();
    if (m_group)
        m_group->show();
    if (m_label)
        m_label->show();

    QList<QPair<Entry, QString>> refused;
    QList<Entry> inUse;
    QList<Entry> allowed;
    for (int i = 0; i < checked.size(); ++i) {
        QStringList others;
        for (int j = 0; j < checked.size(); ++j) {
            if (j != i)
                others.append(checked.at(j).path);
        }
        // What needs the folder's whole content read is left to the worker,
        // off this thread.
        const DeletionGuard::Result verdict = DeletionGuard::check(checked.at(i).path, others, false);
        if (!verdict.allowed()) {
            refused.append({checked.at(i), verdict.reason()});
            continue;
        }
        if (FoldersInUse::contains(checked.at(i).path)) {
            inUse.append(checked.at(i));
            continue;
        }
        // A folder that is not there is passed over; one that cannot be
        // looked at is no missing one, and is named with the refused.
        switch (FileOperation::lookUp(checked.at(i).path)) {
        case FileOperation::Presence::Folder:
            allowed.append(checked.at(i));
            break;
        case FileOperation::Presence::Unreadable:
            refused.append(
                {checked.at(i), FileOperation::unreadableFolderText(QDir::cleanPath(checked.at(i).path))});
            break;
        default:
            break;
        }
    }

    // Whatever is told now stands over this run's progress, never over the
    // last run's end: a run with nothing to delete has none to show.
    if (m_label)
        m_label->setText(QStringLiteral("正在删除订单路径下的照片"));
    if (m_bar)
        m_bar->setValue(0);
    if (allowed.isEmpty() && m_group)
        m_group->hide();
    const QString told = problemsText(refused, {}, inUse);
    if (!told.isEmpty())
        Prompts::notice(QStringLiteral("警告"), told);

    m_failed.clear();
    m_inUse.clear();
    m_refused.clear();
    m_finished = 0;
    m_total = allowed.size();
    if (m_total == 0) {
        if (told.isEmpty())
            Prompts::notice(QStringLiteral("警告"), QStringLiteral("订单路径不存在"));
        return 0;
    }

    qDebug() << "checkOrdersNum==" << m_total;
    if (m_bar)
        m_bar->setMaximum(m_total);
    m_started = allowed;
    m_pending = allowed;
    startNextWorkers();
    return m_total;
}

void DeletionRun::startNextWorkers()
{
    while (m_running.size() < maxWorkers && !m_pending.isEmpty()) {
        const Entry entry = m_pending.takeFirst();
        order record;
        record.order_photo_id = entry.orderId;
        record.orderpayforkey = entry.orderKey;
        record.orderpath = entry.path;
        auto* worker = new ImportOrderThread(record, nullptr);
        // The worker says deleteSucceed before it finishes; both arrive here
        // queued, in that order.
        auto succeeded = QSharedPointer<bool>::create(false);
        connect(worker, &ImportOrderThread::deleteSucceed, this, [succeeded] { *succeeded = true; });
        connect(worker, &QThread::finished, this,
                [this, worker, entry, succeeded] { workerDone(worker, entry, *succeeded); });
        m_running.append(worker);
        worker->start(QThread::InheritPriority);
    }
}

void DeletionRun::workerDone(ImportOrderThread* worker, const Entry& entry, bool succeeded)
{
    m_running.removeOne(worker);
    worker->deleteLater();
    ++m_finished;
    qDebug() << "deletenum==" << m_finished;
    if (succeeded) {
        qDebug() << "mOrderid==" << entry.orderId;
        qDebug() << "deleteDir==" << entry.path;
        emit deleted(entry.orderId, entry.path);
    } else if (worker->refusedInUse()) {
        m_inUse.append(entry);
    } else if (!worker->guardRefusal().isEmpty()) {
        m_refused.append({entry, worker->guardRefusal()});
    } else {
        m_failed.append(entry);
    }
    if (m_bar)
        m_bar->setValue(m_finished);
    emit progressed(m_finished, m_total);

    if (m_finished == m_total)
        finishRun();
    else
        startNextWorkers();
}

void DeletionRun::finishRun()
{
    const QString told = problemsText(m_refused, m_failed, m_inUse);
    const bool allSucceeded = told.isEmpty();
    Prompts::notice(QStringLiteral("警告"), allSucceeded ? QStringLiteral("订单照片删除成功") : told);
    if (m_label && allSucceeded)
        m_label->setText(QStringLiteral("删除成功"));
    if (m_group)
        m_group->hide();
    if (m_bar)
        m_bar->hide();
    m_total = 0;
    m_finished = 0;
    emit ended(allSucceeded);
}

QString DeletionRun::refusalText(const QList<QPair<Entry, QString>>& refused)
{
    QStringList lines{QStringLiteral("以下订单目录不能删除：")};
    for (const auto& item : refused)
        lines.append(QStringLiteral("%1：%2（%3）").arg(item.first.orderKey, item.first.path, item.second));
    return lines.join('\n');
}

QString DeletionRun::failureText(const QList<Entry>& failed)
{
    QStringList lines{QStringLiteral("以下订单照片删除失败：")};
    for (const Entry& entry : failed)
        lines.append(QStringLiteral("%1：%2").arg(entry.orderKey, entry.path));
    return lines.join('\n');
}

QString DeletionRun::problemsText(const QList<QPair<Entry, QString>>& refused, const QList<Entry>& failed,
                                  const QList<Entry>& inUse)
{
    QStringList sections;
    if (!refused.isEmpty())
        sections.append(refusalText(refused));
    if (!failed.isEmpty())
        sections.append(failureText(failed));
    if (!inUse.isEmpty())
        sections.append(inUseText(inUse));
    return sections.join(QLatin1Char('\n'));
}

QString DeletionRun::inUseText(const QList<Entry>& inUse)
{
    QStringList lines;
    for (const Entry& entry : inUse)
        lines.append(QStringLiteral("订单正在导片，未删除：%1").arg(entry.orderKey));
    return lines.join('\n');
}

QByteArray DeletionRun::deleteLogBody(const QString& orderId, const QString& path)
{
    return FormBody()
        .add("token", Config::token)
        .add("shopid", Config::shop_id)
        .add("superid", Config::super_id)
        .add("orderphotoid", orderId)
        .add("path", path)
        .add("MANAGER_ID", Config::manager_id);
}

namespace {

const char kLogOrderKey[] = "deletionOrderKey";
const char kLogFolder[] = "deletionFolder";

} // namespace

QNetworkReply* DeletionRun::postLog(QWidget* window, const QString& orderId, const QString& path,
                                    std::function<void(QNetworkReply*)> answered) const
{
    QString orderKey;
    for (const Entry& entry : m_started) {
        if (entry.orderId == orderId && entry.path == path) {
            orderKey = entry.orderKey;
            break;
        }
    }
    qDebug() << "url_submit_delete_log" << Config::url_submit_delete_log;
    QNetworkReply* reply = PendingRecords::instance().postRecord(
        window, Config::url_submit_delete_log, deleteLogBody(orderId, path), std::move(answered),
        [orderKey, path](const WebService::Reply& r) { return logFailureText(r, orderKey, path); });
    reply->setProperty(kLogOrderKey, orderKey);
    reply->setProperty(kLogFolder, path);
    return reply;
}

void DeletionRun::reportLogReply(QNetworkReply* reply)
{
    reportLogReply(WebService::read(reply), reply->property(kLogOrderKey).toString(),
                   reply->property(kLogFolder).toString());
}

void DeletionRun::reportLogReply(const WebService::Reply& reply, const QString& orderKey, const QString& path)
{
    const QString text = logFailureText(reply, orderKey, path);
    if (!text.isEmpty())
        Prompts::notice(QStringLiteral("警告"), text);
}

QString DeletionRun::logFailureText(const WebService::Reply& reply, const QString& orderKey,
                                    const QString& path)
{
    // Which order the service was not told of, before why.
    const QString order = QStringLiteral("删除记录上报失败：%1：%2\n").arg(orderKey, path);
    switch (reply.kind) {
    case WebService::Reply::Kind::TransportError:
    case WebService::Reply::Kind::NotJsonObject: // the service may not have kept the log
        return order + QStringLiteral("请检查网络连接\n") + reply.statusText;
    case WebService::Reply::Kind::Refusal:
        return order + reply.message + '\t' + reply.code;
    case WebService::Reply::Kind::Success:
        break;
    }
    return QString();
}
