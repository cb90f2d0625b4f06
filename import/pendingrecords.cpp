#include "pendingrecords.h"

#include "prompts.h"
#include "webservice.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <utility>

namespace {

// A child of the application, so it goes while Qt's network layer is still
// there.
QPointer<PendingRecords>& records()
{
    static QPointer<PendingRecords> theRecords;
    return theRecords;
}

// The notice of the wait: not a box, as there is nothing to answer, and it
// stays on the screen until the wait ends, whatever closes it meanwhile
// (its close button, the window manager): gone, it would leave the client
// waiting with no window to show for it.
class WaitNotice : public QWidget
{
public:
    WaitNotice() : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    {
        setAttribute(Qt::WA_QuitOnClose, false);
        setWindowTitle(QStringLiteral("提示"));
        setMinimumWidth(360);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(QStringLiteral("正在上报导片数量，请稍候…"), this));
        auto* busy = new QProgressBar(this);
        busy->setRange(0, 0);
        layout->addWidget(busy);
    }
    void end()
    {
        m_ended = true;
        close();
    }

protected:
    void closeEvent(QCloseEvent* event) override { event->setAccepted(m_ended); }

private:
    bool m_ended = false;
};

} // namespace

PendingRecords& PendingRecords::instance()
{
    if (!records())
        records() = new PendingRecords(QCoreApplication::instance());
    return *records();
}

PendingRecords::PendingRecords(QObject* parent) : QObject(parent) {}

void PendingRecords::watch(QNetworkReply* reply)
{
    m_onTheirWay.append(reply);
    // Done once it has finished, or gone with its window unheard.
    const auto done = [this, reply] {
        if (!m_onTheirWay.removeOne(reply))
            return;
        // Queued: the reply's own handler runs first and may post the next
        // record (a kept report sent after the one answered).
        QMetaObject::invokeMethod(this, &PendingRecords::quitWhenNoneLeft, Qt::QueuedConnection);
    };
    connect(reply, &QNetworkReply::finished, this, done);
    connect(reply, &QObject::destroyed, this, done);
}

QNetworkReply* PendingRecords::postRecord(QWidget* window, const QString& route, const QByteArray& body,
                                          std::function<void(QNetworkReply*)> answered,
                                          std::function<QString(const WebService::Reply&)> notTaken)
{
    if (!m_manager)
        m_manager = new QNetworkAccessManager(this);
    int group = m_openGroups.value(window);
    if (group == 0) {
        group = ++m_lastGroup;
        m_openGroups.insert(window, group);
        m_groups.insert(group, RecordGroup());
        // Its close, or its end (a window shown again after its close has
        // these twice, to no harm).
        window->installEventFilter(this);
        connect(window, &QObject::destroyed, this, [this, window] { windowClosed(window); });
    }
    ++m_groups[group].onTheirWay;
    // A record the service may have kept is never sent again, by Qt either.
    QNetworkReply* reply = WebService::postOnce(m_manager, route, body);
    watch(reply);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, group, answered = std::move(answered), notTaken = std::move(notTaken)] {
                recordAnswered(reply, group, answered, notTaken);
            });
    return reply;
}

bool PendingRecords::eventFilter(QObject* watched, QEvent* event)
{
    // Hidden by its close, not minimised; a window shown again at once
    // (its flags changed) has not closed.
    if (event->type() == QEvent::Hide && !event->spontaneous()) {
        const QPointer<QObject> window = watched;
        QMetaObject::invokeMethod(
            this,
            [this, window] {
                if (window && static_cast<QWidget*>(window.data())->isHidden())
                    windowClosed(window);
            },
            Qt::QueuedConnection);
    }
    return false;
}

void PendingRecords::windowClosed(QObject* window)
{
    const int group = m_openGroups.take(window);
    if (group == 0)
        return;
    if (m_groups.value(group).onTheirWay == 0)
        m_groups.remove(group);
    else
        m_groups[group].closed = true;
}

void PendingRecords::recordAnswered(QNetworkReply* reply, int group,
                                    const std::function<void(QNetworkReply*)>& answered,
                                    const std::function<QString(const WebService::Reply&)>& notTaken)
{
    RecordGroup& records = m_groups[group];
    --records.onTheirWay;
    if (!records.closed && !quitting()) {
        answered(reply);
        return;
    }
    const QString text = notTaken(WebService::read(reply)).trimmed();
    reply->deleteLater();
    if (!text.isEmpty())
        records.notTaken.append(text);
    // The box at quit names those of its window gathered so far too.
    if (quitting())
        m_recordsLostAtQuit += std::exchange(records.notTaken, {});
    if (!records.closed || records.onTheirWay > 0)
        return;
    const QStringList named = m_groups.take(group).notTaken;
    if (!named.isEmpty())
        Prompts::longNotice(QStringLiteral("警告"), named.join(QLatin1Char('\n')));
}

void PendingRecords::quitWhenNoneLeft()
{
    if (m_waiting && m_onTheirWay.isEmpty())
        m_waiting->quit();
}

void PendingRecords::lostAtQuit(const ImportBookkeeping::ReportFailure& failure,
                                const QStringList& listedOrders)
{
    m_lostAtQuit.append(failure);
    for (const QString& order : listedOrders) {
        if (!m_listedAtQuit.contains(order))
            m_listedAtQuit.append(order);
    }
}

void PendingRecords::settleBeforeQuit()
{
    if (records() && !records()->m_onTheirWay.isEmpty())
        records()->waitForAnswers();
}

void PendingRecords::waitForAnswers()
{
    WaitNotice notice;
    notice.show();

    QEventLoop loop;
    m_waiting = &loop;
    QTimer::singleShot(WebService::transferTimeoutMs(), &loop, &QEventLoop::quit);
    loop.exec();
    // Whatever is still on its way is not received: abort() answers it, and
    // its window hands it here.
    for (QNetworkReply* reply : QList<QNetworkReply*>(m_onTheirWay))
        reply->abort();
    m_waiting = nullptr;
    notice.end();

    const QList<ImportBookkeeping::ReportFailure> lost = std::exchange(m_lostAtQuit, {});
    const QStringList listed = std::exchange(m_listedAtQuit, {});
    QStringList sections;
    if (!lost.isEmpty())
        sections.append(
            ImportBookkeeping::notTakenBox(lost, ImportBookkeeping::Afterwards::LostAtQuit, listed).text);
    sections += std::exchange(m_recordsLostAtQuit, {});
    if (!sections.isEmpty())
        Prompts::longNotice(QStringLiteral("警告"), sections.join(QLatin1Char('\n')));
}
