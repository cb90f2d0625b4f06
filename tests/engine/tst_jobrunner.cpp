#include "jobrunner.h"
#include "jobtestowner.h"
#include "separationrun.h"

#include <QRunnable>
#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <functional>

namespace {

// A pooled job made of a function, deleted by the pool like the real jobs.
class FunctionJob : public QRunnable
{
public:
    explicit FunctionJob(std::function<void()> work, std::atomic<int>* deleted = nullptr)
        : m_work(std::move(work)), m_deleted(deleted)
    {
    }
    ~FunctionJob() override
    {
        if (m_deleted)
            ++*m_deleted;
    }
    void run() override { m_work(); }

private:
    std::function<void()> m_work;
    std::atomic<int>* m_deleted;
};

// A window that owns its runner the way the separation windows do.
class RunnerWindow : public JobTestOwner
{
public:
    RunnerWindow() : jobs(this) {}
    JobRunner jobs;
};

} // namespace

class TestJobRunner : public QObject
{
    Q_OBJECT

private slots:
    void poolIsTheWindowsOwn();
    void postsRunQueuedInOrderOnTheOwnersThread();
    void closedOwnerReceivesNothing();
    void destroyedOwnerReceivesNothing();
    void clearDropsQueuedJobsOnly();
    void destructorWaitsForRunningJobs();

    void singleRunGuard();
    void guardGivesTheRunBackWhenDestroyed();
};

void TestJobRunner::poolIsTheWindowsOwn()
{
    JobTestOwner owner;
    JobRunner runner(&owner);
    QCOMPARE(runner.pool()->maxThreadCount(), 10);
    QCOMPARE(runner.pool()->expiryTimeout(), -1);
    QVERIFY(runner.pool() != QThreadPool::globalInstance());
    QVERIFY(runner.owner().isShown());
    QVERIFY(!runner.isClosed());
}

void TestJobRunner::postsRunQueuedInOrderOnTheOwnersThread()
{
    std::atomic<int> accepted{0}; // outlives the runner, which waits for its job
    JobTestOwner owner;
    JobRunner runner(&owner);
    const JobOwnerHandle handle = runner.owner();
    runner.start(new FunctionJob([handle, &accepted] {
        accepted += handle.post("fenjian_photoIsFileSlot_1", 1);
        accepted += handle.post("fenjian_productPhotoSlot_4", QStringLiteral("相册:IMG_7.JPG"));
        accepted += handle.post("onFinishSaveThumb");
    }));
    QVERIFY(runner.waitForDone(5000));
    QCOMPARE(accepted.load(), 3);
    QVERIFY(owner.calls.isEmpty()); // nothing runs before the owner's event loop does
    QTRY_COMPARE(owner.calls.size(), 3);
    QCOMPARE(owner.calls, QStringList({"fenjian_photoIsFileSlot_1(1)",
                                       "fenjian_productPhotoSlot_4(相册:IMG_7.JPG)", "onFinishSaveThumb"}));
    QVERIFY(!owner.calledOffThread);
}

void TestJobRunner::closedOwnerReceivesNothing()
{
    JobTestOwner owner;
    JobRunner runner(&owner);
    const JobOwnerHandle handle = runner.owner();
    // Posted while shown, but the window closes before the call's turn.
    QVERIFY(handle.post("fenjian_finalPhotoSlot_2"));
    runner.close();
    QVERIFY(runner.isClosed());
    QVERIFY(!handle.isShown());
    QVERIFY(!handle.post("fenjian_finalPhotoSlot_2"));
    // The call queued before the close has had its turn; then a moment in
    // which nothing may reach the window.
    QCoreApplication::processEvents();
    QTest::qWait(20);
    QVERIFY(owner.calls.isEmpty());
}

void TestJobRunner::destroyedOwnerReceivesNothing()
{
    auto* window = new RunnerWindow;
    const JobOwnerHandle handle = window->jobs.owner();
    QSemaphore entered;
    QSemaphore release;
    std::atomic<bool> postedAfter{true};
    window->jobs.start(new FunctionJob([&] {
        handle.post("fenjian_delPhotoSlot_3");
        entered.release();
        // The window is being destroyed now and waits for this job.
        release.tryAcquire(1, 200);
        postedAfter = handle.post("fenjian_delPhotoSlot_3");
    }));
    entered.acquire();
    delete window; // waits for the running job
    QVERIFY(!postedAfter);
    QVERIFY(!handle.isShown());
    QVERIFY(!handle.post("fenjian_delPhotoSlot_3"));
    QCoreApplication::processEvents(); // the call queued earlier went with the window
}

void TestJobRunner::clearDropsQueuedJobsOnly()
{
    // What the jobs use outlives the runners, which wait for their jobs.
    QSemaphore entered;
    QSemaphore release;
    std::atomic<int> ran{0};
    std::atomic<int> deleted{0};
    std::atomic<int> otherRan{0};
    JobTestOwner owner;
    JobRunner runner(&owner);
    JobRunner otherWindow(&owner);
    // A check that ends the row early does not leave the first job waiting.
    const auto letGo = qScopeGuard([&release] { release.release(); });
    runner.pool()->setMaxThreadCount(1);
    otherWindow.pool()->setMaxThreadCount(1);

    runner.start(new FunctionJob([&] {
        entered.release();
        release.acquire();
        ++ran;
    }));
    entered.acquire();
    for (int i = 0; i < 3; ++i)
        runner.start(new FunctionJob([&] { ++ran; }, &deleted));
    otherWindow.start(new FunctionJob([&] { ++otherRan; }));

    runner.close();
    QCOMPARE(deleted.load(), 3); // dropped without running
    release.release();
    QVERIFY(runner.waitForDone(5000));
    QVERIFY(otherWindow.waitForDone(5000));
    QCOMPARE(ran.load(), 1); // the started job finished its work
    QCOMPARE(otherRan.load(), 1);
}

void TestJobRunner::destructorWaitsForRunningJobs()
{
    std::atomic<bool> finished{false};
    {
        QSemaphore entered; // outlives the runner, which waits for its job
        JobTestOwner owner;
        JobRunner runner(&owner);
        runner.start(new FunctionJob([&] {
            entered.release();
            QThread::msleep(100);
            finished = true;
        }));
        entered.acquire();
    }
    QVERIFY(finished);
}

void TestJobRunner::singleRunGuard()
{
    SeparationRunGuard first;
    SeparationRunGuard second;
    QVERIFY(!SeparationRunGuard::isBusy());
    QVERIFY(first.begin());
    QVERIFY(first.isHeld());
    QVERIFY(SeparationRunGuard::isBusy());
    QVERIFY(!first.begin()); // a second start of the same window is refused too
    QVERIFY(!second.begin());
    QVERIFY(!second.isHeld());
    second.end(); // does not give back a run it does not hold
    QVERIFY(first.isHeld());
    first.end();
    QVERIFY(!SeparationRunGuard::isBusy());
    QVERIFY(second.begin());
    second.end();
}

void TestJobRunner::guardGivesTheRunBackWhenDestroyed()
{
    {
        SeparationRunGuard window;
        QVERIFY(window.begin());
    }
    QVERIFY(!SeparationRunGuard::isBusy());
}

QTEST_MAIN(TestJobRunner)
#include "tst_jobrunner.moc"
