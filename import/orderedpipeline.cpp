#include "orderedpipeline.h"

#include <QMutex>
#include <QQueue>
#include <QSet>
#include <QThreadPool>
#include <QVector>
#include <QWaitCondition>

int OrderedPipeline::run(const Steps& steps)
{
    const int count = qMax(0, steps.count);
    if (count == 0)
        return 0;
    const int threads = qBound(1, steps.threads, count);

    QVector<QString> keys(count);
    for (int i = 0; i < count; ++i)
        keys[i] = steps.key ? steps.key(i) : QString::number(i);

    QMutex mutex;
    QWaitCondition finishedOne;
    QQueue<int> finished;

    QThreadPool pool;
    pool.setMaxThreadCount(threads);
    pool.setExpiryTimeout(-1);

    // Only this thread touches the bookkeeping below; the pool threads only
    // hand back their index through the queue.
    QVector<bool> started(count, false);
    QSet<QString> busy;
    int firstWaiting = 0;
    int running = 0;
    int startedCount = 0;
    bool stopped = false;

    auto startWhatCan = [&] {
        for (int i = firstWaiting; i < count && running < threads; ++i) {
            if (started.at(i) || busy.contains(keys.at(i)))
                continue;
            if (steps.stop && steps.stop()) {
                stopped = true;
                return;
            }
            started[i] = true;
            busy.insert(keys.at(i));
            ++running;
            ++startedCount;
            pool.start([&, i] {
                if (steps.work)
                    steps.work(i);
                QMutexLocker lock(&mutex);
                finished.enqueue(i);
                finishedOne.wakeOne();
            });
        }
        while (firstWaiting < count && started.at(firstWaiting))
            ++firstWaiting;
    };

    startWhatCan();
    while (running > 0) {
        int index;
        {
            QMutexLocker lock(&mutex);
            while (finished.isEmpty())
                finishedOne.wait(&mutex);
            index = finished.dequeue();
        }
        --running;
        busy.remove(keys.at(index));
        if (steps.done)
            steps.done(index);
        if (!stopped)
            startWhatCan();
    }
    pool.waitForDone();
    return startedCount;
}
