// Runs the single-order import's photo jobs for one order the way one
// window's run does in photos mode, so a test can start several at once
// into one order folder:
//
//   singleimport_photojobs <order folder> <backup folder> <prefix> <order number> <photo>...
//
// The photos are numbered on from the order's "照片/" as it is now, each job
// claims its name as it writes, and the run's records are appended to the
// order's "ImageTime.txt". Exit code 0 when every photo arrived and the
// records were written.

#include "imagetime.h"
#include "jobrunner.h"
#include "singleorder.h"
#include "thumbnailthread1.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

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
    void onImportImageFailed(QString picPath)
    {
        QTextStream(stderr) << "failed: " << picPath << '\n';
        ++failed;
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 5) {
        QTextStream(stderr)
            << "usage: singleimport_photojobs <order> <backup> <prefix> <number> <photo>...\n";
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
        for (int i = 0; i < photos.size(); ++i)
            runner.start(
                new ThumbnailThread1(photos.at(i), names.at(i), order, backup, runner.owner(), 1000, 0));
        runner.waitForDone();
        QCoreApplication::processEvents();
    }
    const bool recorded = ImageTime::append(order, reports.records);
    return reports.finished == photos.size() && reports.failed == 0 && recorded ? 0 : 1;
}

#include "photojobs_helper.moc"
