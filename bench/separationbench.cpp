// Runs the finished-photo copies and the sheet thumbnails of one order
// through the design separation window, headless, the way a run does them,
// and checks what it left. The service is answered in-process: the picture
// information brings no marks, and the run is ended where it would ask for
// the order detail (the sheets after it are not timed).
//
//   bench_separation run <order folder> <output folder>
//   bench_separation check <order folder> <output folder>
//   bench_separation check-baseline <order folder> <baseline folder>
//
// The order folder holds the photos in "成品/" and, when imported, their
// small thumbnails in "成品缩略图/"; the baseline folder holds
// "copies/" and "thumbs/" as scripts/bench-separation.sh makes them.

#include "config.h"
#include "dirserver.h"
#include "orderrecords.h"
#include "searchorder.h"
#include "separationcontroller.h"
#include "testfiles.h"
#include "webservice.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>
#include <QTextStream>
#include <QTimer>

namespace {

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

// The design window with the service's two replies of the timed stages
// answered here; no barcode is fetched.
class BenchWindow : public SearchOrder
{
public:
    bool reachedDetail = false;

    void post(const char* replySlot, const QString& route, const QByteArray& body) override
    {
        Q_UNUSED(route)
        Q_UNUSED(body)
        if (qstrcmp(replySlot, "queryPicInfoCallBack") == 0) {
            QTimer::singleShot(0, this, [this] {
                controller()->queryPicInfoCallBack(
                    WebService::classify(R"({"code":"1","html":"","orderpicdescr":[]})"));
            });
            return;
        }
        // The order detail comes after the thumbnails: the timed part is over.
        reachedDetail = true;
        QCoreApplication::quit();
    }
    BarcodeDownload* download(const QString& url, const QString& filePath) override
    {
        Q_UNUSED(url)
        Q_UNUSED(filePath)
        return nullptr;
    }
};

QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

QSize sizeOf(const QString& path)
{
    return QImageReader(path).size();
}

int run(const QString& orderFolder, const QString& out)
{
    if (namesIn(orderFolder + QStringLiteral("/成品")).isEmpty()) {
        err() << "no photos in " << orderFolder << "/成品\n";
        return 1;
    }
    QDir().mkpath(out);
    Config::fjtype.clear();
    Config::fj_cpname = QStringLiteral("成品");
    Config::fj_bzname = QStringLiteral("标注");
    Config::sjfjxz = QStringLiteral("0");
    Config::isFjDownloadDeletePhoto = QStringLiteral("0");
    ProductData::m_products.clear();

    BenchWindow window;
    SeparationController* separation = window.controller();
    order& taken = separation->takenOrder;
    taken.orderpath = QDir(orderFolder).absolutePath() + QLatin1Char('/');
    taken.orderpayforkey = QStringLiteral("BENCH");
    taken.servicetimes = QStringLiteral("1");
    taken.customer = QStringLiteral("bench");
    taken.pickuptype = QStringLiteral("快递");
    separation->saveFilepath = QDir(out).absolutePath() + QLatin1Char('/');
    ProductData::localSavePath = separation->saveFilepath;
    separation->isSeparating = true;
    QTimer::singleShot(0, &window, [separation] { separation->startSeparatePhotos(); });
    // A stop (a folder that cannot be made) ends the run without the detail.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &window, [separation] {
        if (!separation->isSeparating)
            QCoreApplication::quit();
    });
    watch.start(100);
    QCoreApplication::exec();
    if (!window.reachedDetail) {
        err() << "the run stopped before the sheet thumbnails were done\n";
        return 1;
    }
    return 0;
}

// The order's output folder of the run: <out>/<day>/<order>/其它/.
QString outputFolderOf(const QString& out)
{
    QDirIterator it(out, {QStringLiteral("其它")}, QDir::Dirs, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() + QLatin1Char('/') : QString();
}

int check(const QString& orderFolder, const QString& out)
{
    const QString photos = orderFolder + QStringLiteral("/成品/");
    const QString folder = outputFolderOf(out);
    int faults = 0;
    auto expect = [&faults](bool ok, const QString& what) {
        if (!ok) {
            err() << "check failed: " << what << "\n";
            ++faults;
        }
    };
    expect(!folder.isEmpty(), QStringLiteral("no order folder in ") + out);
    const QStringList names = namesIn(photos);
    for (const QString& name : names) {
        expect(TestFiles::readAll(folder + QStringLiteral("成品/") + name) == TestFiles::readAll(photos + name),
               name + QStringLiteral(" copy differs"));
        const QString thumb = folder + QStringLiteral("制作单缩略图/") + name;
        expect(sizeOf(thumb) == QSize(88, 88), thumb + QStringLiteral(" is not 88x88"));
    }
    if (faults)
        return 1;
    QTextStream(stdout) << "worker output checked: " << names.size() << " photos\n";
    return 0;
}

int checkBaseline(const QString& orderFolder, const QString& out)
{
    const QString photos = orderFolder + QStringLiteral("/成品/");
    const QStringList names = namesIn(photos);
    int faults = 0;
    for (const QString& name : names) {
        if (TestFiles::readAll(out + QStringLiteral("/copies/") + name) != TestFiles::readAll(photos + name)) {
            err() << "baseline copy differs: " << name << "\n";
            ++faults;
        }
        const QSize size = sizeOf(out + QStringLiteral("/thumbs/") + name);
        if (qMax(size.width(), size.height()) != 88) {
            err() << "baseline thumbnail of " << name << " does not fit 88\n";
            ++faults;
        }
    }
    if (faults)
        return 1;
    QTextStream(stdout) << "baseline output checked: " << names.size() << " photos\n";
    return 0;
}

int usage()
{
    err() << "usage: bench_separation run <order folder> <output folder>\n"
             "       bench_separation check <order folder> <output folder>\n"
             "       bench_separation check-baseline <order folder> <baseline folder>\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 3)
        return usage();
    if (args.at(0) == QLatin1String("run"))
        return run(args.at(1), args.at(2));
    if (args.at(0) == QLatin1String("check"))
        return check(args.at(1), args.at(2));
    if (args.at(0) == QLatin1String("check-baseline"))
        return checkBaseline(args.at(1), args.at(2));
    return usage();
}
