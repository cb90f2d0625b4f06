#include "pendingrecords.h"

#include "prompts.h"
#include "webservice.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
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
    if (!lost.isEmpty()) {
        const ImportBookkeeping::Box box =
            ImportBookkeeping::notTakenBox(lost, ImportBookkeeping::Afterwards::LostAtQuit, listed);
        Prompts::longNotice(box.title, box.text);
    }
}
