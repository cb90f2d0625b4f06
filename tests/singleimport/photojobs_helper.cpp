// Runs the single-order import's photo jobs for one order the way one
// window's run does in photos mode, so a test can start several at once
// into one order folder:
//
//   singleimport_photojobs [--no-links [--die-in-claim]] <order folder> <backup folder> <prefix>
//                          <order number> <photo>...
//
// The photos are numbered on from the order's "照片/" as it is now, each job
// claims its name as it writes, and the run's records are appended to the
// order's "ImageTime.txt". With --no-links the share acts as one without a
// no-replace rename and without hard links (through the fault hook), so the
// names are claimed the way such shares allow; with --die-in-claim as well,
// the process ends at once (exit code 3) right after a claim's exclusive
// create, as a killed run would. Exit code 0 when every photo arrived and
// the records were written.

#include "fileoperation.h"
#include "imagetime.h"
#include "jobrunner.h"
#include "singleorder.h"
#include "thumbnailthread1.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <ctime>
#include <unistd.h>

class RunReports : public QObject
{
    Q_OBJECT

public:
    QString records;
    int finished = 0;
    int failed = 0;

public slots:
    void onFinishImportImage(QString imageTime)
    {
        records += imageTime;
        ++finished;
    }
    void onImportImageFailed(QString picPath, bool)
    {
        QTextStream(stderr) << "failed: " << picPath << '\n';
        ++failed;
    }
    void onImportImagePartlyWritten(QString picPath, QString, bool) { onImportImageFailed(picPath, false); }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool dieInClaim = args.removeOne(QStringLiteral("--die-in-claim"));
    if (args.value(0) == QLatin1String("--no-links")) {
        args.removeFirst();
        FileOperation::setFaultHook([dieInClaim](FileOperation::Fault fault, const QString&) {
            if (dieInClaim && fault == FileOperation::Fault::Claimed)
                ::_exit(3);
            // Each claim waits for the next 20 ms tick of the clock, so the
            // claims of all four processes on one name meet.
            timespec tick;
            ::clock_gettime(CLOCK_REALTIME, &tick);
            const long long next =
                (tick.tv_sec * 1000000000LL + tick.tv_nsec) / 20000000 * 20000000 + 20000000;
            tick = {time_t(next / 1000000000), long(next % 1000000000)};
            if (fault == FileOperation::Fault::NoLinks)
                ::clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &tick, nullptr);
            return fault == FileOperation::Fault::NoLinks;
        });
    }
    if (args.size() < 5) {
        QTextStream(stderr)
            << "usage: singleimport_photojobs [--no-links] <order> <backup> <prefix> <number> <photo>...\n";
        return 2;
    }
    const QString order = args.at(0);
    const QString backup = args.at(1);
    const QStringList photos = args.mid(4);
    const QStringList names = SingleOrder::photoNamesIn(
        order, SingleOrder::NamePieces::clean(args.at(2), args.at(3), QString(), QString()), photos.size());

    RunReports reports;
    {
        JobRunner runner(&reports);
        const auto swept = std::make_shared<FileOperation::SweptFolders>();
        for (int i = 0; i < photos.size(); ++i)
            runner.start(new ThumbnailThread1(photos.at(i), names.at(i), order, backup, runner.owner(), 1000,
                                              0, nullptr, swept));
        runner.waitForDone();
        QCoreApplication::processEvents();
    }
    const bool recorded = ImageTime::append(order, reports.records);
    return reports.finished == photos.size() && reports.failed == 0 && recorded ? 0 : 1;
}

#include "photojobs_helper.moc"
