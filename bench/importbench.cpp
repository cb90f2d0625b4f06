// Runs the import worker headless on a folder of photos, the way the batch
// import dialog runs it for unedited camera photos, and checks what it left.
//
//   bench_import generate <folder> <count> <orientations, e.g. 1 or 1,3,6,8>
//   bench_import run <photos> <work folder>
//   bench_import memory <photos> <work folder>   the run, then its peak RSS and
//                                                its RSS 5 s after the batch
//   bench_import dialog <photos>                 the real batch import dialog
//                                                on the photos, against the
//                                                in-process stand-in; prints the
//                                                longest stall of its event loop
//   bench_import check <photos> <work folder>
//   bench_import check-baseline <photos> <baseline folder>
//   bench_import run-single <photos> <work folder>
//   bench_import check-single <photos> <work folder>
//
// run-single imports the photos the way the single-order import window
// does: one photo job per photo on a pool of its own, named by the order,
// with the shot-time records appended to the order's "ImageTime.txt".

#include "config.h"
#include "imageoperation.h"
#include "imagetime.h"
#include "importordermodel.h"
#include "importordersphotodlg.h"
#include "importorderthread.h"
#include "jobrunner.h"
#include "jpegfixture.h"
#include "ordertree.h"
#include "photoimport.h"
#include "scriptedprompts.h"
#include "singleorder.h"
#include "standin.h"
#include "tempvolumes.h"
#include "thumbnailthread1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonObject>
#include <QTextStream>
#include <QThread>
#include <QThreadPool>

#include <atomic>

#include <malloc.h>

namespace {

const QSize kCameraSize(6000, 4000);
const QString kOrderNumber = QStringLiteral("BENCH");
const QString kShotDate = QStringLiteral("2024-05-01");

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

QStringList photosIn(const QString& folder)
{
    QStringList paths;
    const QFileInfoList entries = QDir(folder).entryInfoList(
        {QStringLiteral("*.JPG"), QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    for (const QFileInfo& entry : entries)
        paths.append(entry.absoluteFilePath());
    return paths;
}

int generate(const QString& folder, int count, const QList<int>& orientations)
{
    QDir().mkpath(folder);
    std::atomic<int> failed{0};
    QThreadPool pool;
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QStringLiteral("/IMG_%1.JPG").arg(i + 1, 4, 10, QLatin1Char('0'));
        if (QFileInfo::exists(path))
            continue;
        JpegFixture::Options options;
        options.size = kCameraSize;
        options.orientation = orientations.at(i % orientations.size());
        options.quality = 92;
        options.seed = quint32(i + 1);
        options.dateTimeOriginal = QStringLiteral("2024:05:01 10:%1:00").arg(i % 60, 2, 10, QLatin1Char('0'));
        pool.start([path, options, &failed] {
            const QString partial = path + QStringLiteral(".part.jpg");
            if (!JpegFixture::write(partial, options) || !QFile::rename(partial, path))
                ++failed;
        });
    }
    pool.waitForDone();
    if (failed) {
        err() << "could not write " << failed << " photos into " << folder << "\n";
        return 1;
    }
    return 0;
}

QString relativeOrderFolder()
{
    return OrderTree::locate(kOrderNumber + QStringLiteral("-1"), QString(), kShotDate).relative +
           QLatin1Char('/');
}

// A value of /proc/self/status in megabytes ("VmHWM": peak, "VmRSS": now).
double statusMegabytes(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

int run(const QString& photos, const QString& work)
{
    const QStringList sources = photosIn(photos);
    if (sources.isEmpty()) {
        err() << "no photos in " << photos << "\n";
        return 1;
    }
    QDir().mkpath(work + QStringLiteral("/server"));
    QDir().mkpath(work + QStringLiteral("/backup"));
    // The work folder stands for the mount root: the import refuses roots
    // outside it.
    Config::setVolumesRoot(work);
    Config::importServPath = work + QStringLiteral("/server");
    Config::importServBackupPath = work + QStringLiteral("/backup/");
    Config::isSyncPhotoToFinal = QStringLiteral("0");
    Config::disk_space.reset();

    QJsonObject item;
    item.insert(QStringLiteral("orderpayforkey"), kOrderNumber);
    item.insert(QStringLiteral("servicetimes"), QStringLiteral("1"));
    item.insert(QStringLiteral("shotdate"), kShotDate);
    ImportOrderModel model(item, nullptr);
    model.setOriImgLst(sources);

    ImportOrderThread worker(&model, ImportOriginal);
    std::atomic<int> finished{0};
    std::atomic<int> problems{0};
    QObject::connect(
        &worker, &ImportOrderThread::hasFinishedImportSigl, &worker, [&](ushort) { ++finished; },
        Qt::DirectConnection);
    QObject::connect(
        &worker, &ImportOrderThread::importImageThreadError, &worker, [&](uchar) { ++problems; },
        Qt::DirectConnection);
    QObject::connect(
        &worker, &ImportOrderThread::checkDiskSizeSigl, &worker, [&](const QString&) { ++problems; },
        Qt::DirectConnection);
    QObject::connect(
        &worker, &ImportOrderThread::checkOrderPicPathSigl, &worker, [&] { ++problems; },
        Qt::DirectConnection);
    worker.createOrderDir(Config::importServPath, Config::importServBackupPath);
    worker.start();
    worker.wait();
    if (finished != 1 || problems != 0) {
        err() << "the import did not finish cleanly\n";
        return 1;
    }
    return 0;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QSize storedSize(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    return reader.size();
}

// The main copy of a photo: the photo itself when upright, else turned
// upright (dimensions swapped for 6 and 8) and without an orientation tag.
template <typename Expect> void expectUpright(const QString& source, const QString& main, Expect expect)
{
    const int orientation = ImageOperation::getDirection(source);
    const QSize stored = storedSize(source);
    expect(storedSize(main) == (orientation >= 5 ? stored.transposed() : stored),
           main + QStringLiteral(" is not upright"));
    if (orientation == 1)
        expect(bytesOf(main) == bytesOf(source), main + QStringLiteral(" differs from the photo"));
    else
        expect(ImageOperation::getDirection(main) == 1,
               main + QStringLiteral(" still carries an orientation"));
}

// The order's files of each source photo, imported under names.
int checkOrder(const QStringList& sources, const QStringList& names, const QString& order, const QString& backup)
{
    int faults = 0;
    auto expect = [&](bool ok, const QString& what) {
        if (!ok) {
            err() << "check failed: " << what << "\n";
            ++faults;
        }
    };
    for (int i = 0; i < sources.size(); ++i) {
        const QString& source = sources.at(i);
        const QString& name = names.at(i);
        const int orientation = ImageOperation::getDirection(source);
        const bool turned = orientation >= 5;
        const QSize stored = storedSize(source);
        const QSize upright = turned ? stored.transposed() : stored;

        expectUpright(source, order + QStringLiteral("照片/") + name, expect);
        expect(bytesOf(backup + QStringLiteral("照片/") + name) == bytesOf(source),
               name + QStringLiteral(" backup differs"));

        QSize box = upright;
        const QList<QPair<QString, int>> thumbs{{QStringLiteral("thumbnail2250/"), 2250},
                                                {QStringLiteral("thumbnail/"), 1000},
                                                {QStringLiteral("thumbnail100/"), 200}};
        for (const auto& thumb : thumbs) {
            box = PhotoImport::fitInBox(box, thumb.second);
            const QString path = order + thumb.first + name;
            const QSize size = storedSize(path);
            expect(size == box, QStringLiteral("%1 is %2x%3").arg(path).arg(size.width()).arg(size.height()));
            if (orientation == 6 || orientation == 8)
                expect(size.height() > size.width(), path + QStringLiteral(" is not portrait"));
        }
    }
    return faults;
}

int check(const QString& photos, const QString& work)
{
    const QString order = work + QStringLiteral("/server/") + relativeOrderFolder();
    const QString backup = work + QStringLiteral("/backup/") + relativeOrderFolder();
    const QStringList sources = photosIn(photos);
    QStringList names;
    for (const QString& source : sources)
        names.append(QFileInfo(source).fileName());
    if (checkOrder(sources, names, order, backup))
        return 1;
    QTextStream(stdout) << "worker output checked: " << sources.size() << " photos\n";
    return 0;
}

int checkBaseline(const QString& photos, const QString& out)
{
    const QStringList sources = photosIn(photos);
    int faults = 0;
    for (const QString& source : sources) {
        const QString name = QFileInfo(source).fileName();
        auto expect = [&faults](bool ok, const QString& what) {
            if (!ok) {
                err() << "baseline check failed: " << what << "\n";
                ++faults;
            }
        };
        expectUpright(source, out + QStringLiteral("/photos/") + name, expect);
        expect(bytesOf(out + QStringLiteral("/backup/") + name) == bytesOf(source),
               QStringLiteral("backup of ") + name + QStringLiteral(" differs"));
        for (int box : {2250, 1000, 200}) {
            const QString path = out + QStringLiteral("/t%1/").arg(box) + name;
            const QSize size = storedSize(path);
            if (qMax(size.width(), size.height()) != box) {
                err() << "baseline thumbnail " << path << " does not fit its box\n";
                ++faults;
            }
        }
    }
    if (faults)
        return 1;
    QTextStream(stdout) << "baseline output checked: " << sources.size() << " photos\n";
    return 0;
}

// The batch import dialog importing the photos as unedited camera photos of
// one order, with a 10 ms timer on its event loop; the longest gap between
// two ticks is the longest the window stood still.
int dialog(const QString& photos)
{
    const QStringList sources = photosIn(photos);
    if (sources.isEmpty()) {
        err() << "no photos in " << photos << "\n";
        return 1;
    }
    TempVolumes volumes;
    for (const char* root : {"photos", "backup"})
        volumes.mkdir(QString::fromLatin1(root));
    StandIn service;
    StandIn::useDemoIdentity();
    ScriptedPrompts prompts;
    prompts.setLenient(true);
    Config::isSyncPhotoToFinal = QStringLiteral("0");

    QJsonObject item{{"order_photo_id", "100105"},
                     {"orderpayforkey", kOrderNumber},
                     {"servicetimes", "1"},
                     {"shotdate", kShotDate},
                     {"picpathnew", QJsonObject{{"picpath", "\\\\studio-nas\\photos\\"},
                                                {"bakpicpath", "\\\\studio-nas\\backup\\"}}}};
    auto* model = new ImportOrderModel(item, nullptr);
    importOrdersPhotoDlg dlg;
    dlg.getNewOrderSlot({model});
    dlg.resize(1600, 900);
    dlg.show();
    dlg.findChild<QRadioButton*>(QStringLiteral("importTypeRadio0"))->click();
    model->setOriImgLst(sources);
    dlg.ordersTableWgtClickedSlot(0);

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = qMax(longest, now - last);
        last = now;
    });
    auto* start = dlg.findChild<QPushButton*>(QStringLiteral("importAllOrdersBtn"));
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (start->isEnabled())
            loop.quit();
    });
    clock.start();
    ticks.start(10);
    QTimer::singleShot(0, start, &QPushButton::click);
    QTimer::singleShot(20, [&] { watch.start(5); });
    loop.exec();
    ticks.stop();
    const qint64 batch = clock.elapsed();

    const QString messages = prompts.messages().isEmpty() ? QString() : prompts.messages().last().text;
    if (!messages.contains(QStringLiteral("全部导完"))) {
        err() << "the batch did not end well: " << messages << "\n";
        return 1;
    }
    QTextStream(stdout) << QStringLiteral("dialog: %1 photos in %2 s, longest stall of its event loop: %3 ms\n")
                               .arg(sources.size())
                               .arg(batch / 1000.0, 0, 'f', 1)
                               .arg(longest);
    return 0;
}

// The single-order import's order: its folder below the roots and the
// names its photos get.
const SingleOrder::NamePieces kSinglePieces = SingleOrder::NamePieces::clean(
    SingleOrder::orderPrefix(kShotDate), kOrderNumber, QString(), QStringLiteral("1"));

QString singleOrderFolder()
{
    return OrderTree::locate(SingleOrder::orderFolderName(kSinglePieces), QString(), kShotDate).relative +
           QStringLiteral("/");
}

// Stands in for the window: collects the photo jobs' reports.
class SingleRunReports : public QObject
{
    Q_OBJECT
public:
    int finished = 0;
    int failed = 0;
    int committed = 0; // main copies the run added to the order
    QString records;
    QEventLoop loop;
    int total = 0;

public slots:
    void onImportImageFailed(QString, bool) { ++failed; }
    void onImportImagePartlyWritten(QString, QString, bool) { ++failed; }
    void onImportImageCommitted(int photos, int) { committed += photos; }
    void onFinishImportImage(QString imageTime)
    {
        records += imageTime;
        if (++finished == total)
            loop.quit();
    }
};

int runSingle(const QString& photos, const QString& work)
{
    const QStringList sources = photosIn(photos);
    if (sources.isEmpty()) {
        err() << "no photos in " << photos << "\n";
        return 1;
    }
    const QString order = work + QStringLiteral("/server/") + singleOrderFolder();
    const QString backup = work + QStringLiteral("/backup/") + singleOrderFolder();
    const SingleOrder::ModeFolders folders = SingleOrder::modeFolders(0);
    for (const QString& folder : {folders.main, folders.thumb2250, folders.thumb1000, folders.thumb200})
        QDir().mkpath(order + folder);
    QDir().mkpath(backup + folders.main);
    const QStringList names = SingleOrder::photoNames(kSinglePieces, sources.size(), {});

    SingleRunReports reports;
    reports.total = sources.size();
    {
        JobRunner jobs(&reports);
        jobs.pool()->setMaxThreadCount(QThread::idealThreadCount());
        for (int i = 0; i < sources.size(); ++i)
            jobs.start(new ThumbnailThread1(sources.at(i), names.at(i), order, backup, jobs.owner(), 1000, 0));
        reports.loop.exec();
    }
    if (reports.failed != 0 || reports.committed != sources.size() ||
        !ImageTime::append(order, reports.records)) {
        err() << "the single-order import did not finish cleanly\n";
        return 1;
    }
    return 0;
}

int checkSingle(const QString& photos, const QString& work)
{
    const QString order = work + QStringLiteral("/server/") + singleOrderFolder();
    const QString backup = work + QStringLiteral("/backup/") + singleOrderFolder();
    const QStringList sources = photosIn(photos);
    const QStringList names = SingleOrder::photoNames(kSinglePieces, sources.size(), {});
    int faults = checkOrder(sources, names, order, backup);
    // Every corpus photo carries a shot time, so each has its record.
    const QList<ImageTime::MatchInfo> records =
        ImageTime::parse(ImageTime::readFile(ImageTime::filePath(order)));
    QStringList recorded;
    for (const ImageTime::MatchInfo& record : records)
        recorded.append(record.name);
    recorded.sort();
    QStringList expected;
    for (const QString& name : names)
        expected.append(QFileInfo(name).completeBaseName());
    if (recorded != expected) {
        err() << "check failed: ImageTime.txt holds " << records.size() << " records\n";
        ++faults;
    }
    if (faults)
        return 1;
    QTextStream(stdout) << "single-order output checked: " << sources.size() << " photos\n";
    return 0;
}

int usage()
{
    err() << "usage: bench_import generate <folder> <count> <orientations>\n"
             "       bench_import run <photos> <work folder>\n"
             "       bench_import memory <photos> <work folder>\n"
             "       bench_import dialog <photos>\n"
             "       bench_import check <photos> <work folder>\n"
             "       bench_import check-baseline <photos> <baseline folder>\n"
             "       bench_import run-single <photos> <work folder>\n"
             "       bench_import check-single <photos> <work folder>\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024); // as the client does
    // The dialog run needs widgets; headless unless a display is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 4 && args.at(0) == QLatin1String("generate")) {
        QList<int> orientations;
        for (const QString& text : args.at(3).split(QLatin1Char(','), Qt::SkipEmptyParts))
            orientations.append(text.toInt());
        const int count = args.at(2).toInt();
        if (orientations.isEmpty() || count <= 0)
            return usage();
        return generate(args.at(1), count, orientations);
    }
    if (args.size() == 3 && args.at(0) == QLatin1String("run"))
        return run(args.at(1), args.at(2));
    if (args.size() == 3 && args.at(0) == QLatin1String("memory")) {
        const int result = run(args.at(1), args.at(2));
        const double peak = statusMegabytes("VmHWM:");
        QThread::sleep(5);
        QTextStream(stdout) << QStringLiteral("worker peak RSS: %1 MB, RSS 5 s after the batch: %2 MB\n")
                                   .arg(peak, 0, 'f', 0)
                                   .arg(statusMegabytes("VmRSS:"), 0, 'f', 0);
        return result;
    }
    if (args.size() == 2 && args.at(0) == QLatin1String("dialog"))
        return dialog(args.at(1));
    if (args.size() == 3 && args.at(0) == QLatin1String("check"))
        return check(args.at(1), args.at(2));
    if (args.size() == 3 && args.at(0) == QLatin1String("check-baseline"))
        return checkBaseline(args.at(1), args.at(2));
    if (args.size() == 3 && args.at(0) == QLatin1String("run-single"))
        return runSingle(args.at(1), args.at(2));
    if (args.size() == 3 && args.at(0) == QLatin1String("check-single"))
        return checkSingle(args.at(1), args.at(2));
    return usage();
}

#include "importbench.moc"
