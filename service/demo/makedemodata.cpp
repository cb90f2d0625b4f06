// make-demo-data: builds, under a local mount root, the file-server tree that
// the stand-in service's fixture points at: the shops' picture roots and N8
// folders, every imported order's folder tree (with camera photos, finished
// photos, designs, thumbnails and marks where the fixture asks for them, and
// camera raw files where "demo_raws" asks for them) and its backup tree, N8's
// layout selections of some orders, and a "card" of camera JPEGs to import from.

#include "clock.h"
#include "config.h"
#include "exiffiles.h"
#include "exifreader.h"
#include "jpegfixture.h"
#include "picturework.h"
#include "studioservice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QMutex>
#include <QPainter>
#include <QRunnable>
#include <QThreadPool>
#include <QTransform>

#include <cstdio>
#include <functional>

namespace {

struct Sizes
{
    QSize card{3000, 2000};
    QSize photo{2400, 1600};
    QSize design{2400, 1200};
    QSize mark{1500, 1000};
    QSize page{1600, 800};
};

Sizes smallSizes()
{
    return {{300, 200}, {240, 160}, {240, 120}, {150, 100}, {160, 80}};
}

// The thumbnail families of the order tree: the picture folder, then the
// folders of the 2250, 1000 and 200 pixel boxes; and whether its pictures
// carry the camera's shot time (design pages carry none).
struct Family
{
    const char* folder;
    const char* thumbs[3];
    bool dated;
};
const Family kPhotos{"照片/", {"thumbnail2250/", "thumbnail/", "thumbnail100/"}, true};
const Family kFinished{"成品/", {"成品缩略图2250/", "成品缩略图/", "成品缩略图100/"}, true};
const Family kDesigns{"设计/", {"设计缩略图2250/", "设计缩略图/", "设计缩略图100/"}, false};
const int kThumbBoxes[3] = {2250, 1000, 200};

class Maker
{
public:
    Maker(const QString& root, const Sizes& sizes) : m_root(root), m_sizes(sizes) {}

    bool build(const QJsonObject& fixture);

private:
    void fail(const QString& what);
    void expectShotTime(const QString& path, const QString& shotTime);
    void checkShotTimes();
    void job(std::function<void()> work);
    bool mkpath(const QString& path);

    void makeOrder(const QJsonObject& order, const QJsonObject& store, const QJsonObject& content);
    void makeSelection(const QJsonObject& order, const QJsonObject& store, const QJsonObject& selection);
    void writeFile(const QString& path, const QByteArray& content);
    void makeRaws(const QString& orderPath, const QString& day, int count);
    void writePicture(const QImage& image, const QString& orderPath, const Family& family,
                      const QString& name, const QString& shotTime, const QString& backupPath);
    void makeCard();

    QString m_root;
    Sizes m_sizes;
    QThreadPool m_pool;
    QMutex m_mutex;
    QStringList m_failures;
    // The written files that must carry a shot time, with that time.
    QMap<QString, QString> m_shotTimes;
};

void Maker::fail(const QString& what)
{
    QMutexLocker lock(&m_mutex);
    m_failures.append(what);
}

void Maker::expectShotTime(const QString& path, const QString& shotTime)
{
    QMutexLocker lock(&m_mutex);
    m_shotTimes.insert(path, shotTime);
}

// The client matches a raw file to its photo by the shot time, so a photo or
// raw written without its own would leave a raw file matching nothing. Read
// back, once every file is written, with the client's own reader.
void Maker::checkShotTimes()
{
    for (auto it = m_shotTimes.cbegin(); it != m_shotTimes.cend(); ++it) {
        const QString stored = ExifReader::shotTime(it.key());
        if (stored.isEmpty())
            fail(QStringLiteral("%1 was written without a shot time").arg(it.key()));
        else if (stored != ExifReader::shotTimeText(it.value()))
            fail(QStringLiteral("%1 was written with the shot time %2, not %3")
                     .arg(it.key(), stored, it.value()));
    }
}

void Maker::job(std::function<void()> work)
{
    m_pool.start(QRunnable::create(std::move(work)));
}

bool Maker::mkpath(const QString& path)
{
    if (QDir().mkpath(path))
        return true;
    fail(QStringLiteral("cannot make %1").arg(path));
    return false;
}

QImage scaledInto(const QImage& image, int box)
{
    if (image.width() <= box && image.height() <= box)
        return image;
    return PictureWork::smoothScaled(image, QSize(box, box), Qt::KeepAspectRatio);
}

// A warmer, brighter copy, as a retoucher's finished photo.
QImage retouched(QImage image)
{
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(255, 190, 120, 45));
    return image;
}

// The finished photo with a retoucher's red marks on it.
QImage marked(const QImage& image, const QSize& size)
{
    QImage m = PictureWork::smoothScaled(image, size, Qt::KeepAspectRatio);
    QPainter painter(&m);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::red, qMax(2, m.width() / 150)));
    painter.drawEllipse(QPoint(m.width() / 3, m.height() / 3), m.width() / 8, m.height() / 8);
    painter.drawLine(m.width() / 2, m.height() * 2 / 3, m.width() * 3 / 4, m.height() / 2);
    return m;
}

// Exif date of the n-th photo of a shooting day: from 10:00, one photo every
// 47 seconds. Put together from the date's numbers: it is made on the pool's
// threads, and Qt's date formatting sets up the system locale on first use,
// which several threads doing at once can leave with an empty text (or abort).
QString shotTime(const QString& day, int n)
{
    const QDate parsed = Clock::parseDay(day);
    const int seconds = 10 * 3600 + n * 47;
    const QDate date = (parsed.isValid() ? parsed : QDate(2024, 5, 15)).addDays(seconds / 86400);
    const int time = seconds % 86400;
    char text[32];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", date.year(), date.month(), date.day(),
                  time / 3600, time / 60 % 60, time % 60);
    return QString::fromLatin1(text);
}

void Maker::writePicture(const QImage& image, const QString& orderPath, const Family& family,
                         const QString& name, const QString& shotTime, const QString& backupPath)
{
    const QString path = orderPath + QString::fromUtf8(family.folder) + name;
    if (!JpegFixture::write(path, image, 90, family.dated ? 1 : 0, shotTime, shotTime)) {
        fail(QStringLiteral("cannot write %1").arg(path));
        return;
    }
    if (family.dated)
        expectShotTime(path, shotTime);
    for (int i = 0; i < 3; ++i) {
        const QString thumb = orderPath + QString::fromUtf8(family.thumbs[i]) + name;
        if (!scaledInto(image, kThumbBoxes[i]).save(thumb, "JPG", 85))
            fail(QStringLiteral("cannot write %1").arg(thumb));
    }
    if (backupPath.isEmpty())
        return;
    const QString backup = backupPath + QString::fromUtf8(family.folder) + name;
    QFile::remove(backup);
    if (!QFile::copy(path, backup))
        fail(QStringLiteral("cannot copy %1 to the backup").arg(path));
}

// The local folder of a server path below one of the store's roots, mapped
// the way the client maps the root.
QString localPath(const QString& serverPath, const QString& serverRoot)
{
    if (serverPath.isEmpty() || !serverPath.startsWith(serverRoot))
        return QString();
    QString relative = serverPath.mid(serverRoot.size());
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return Config::returnPicPath(serverRoot) + relative;
}

void Maker::makeOrder(const QJsonObject& order, const QJsonObject& store, const QJsonObject& content)
{
    const QString key = order.value("orderpayforkey").toString();
    const QString orderPath =
        localPath(order.value("orderpath").toString(), store.value("picpath").toString());
    const QString backupPath =
        localPath(order.value("orderbakpicpath").toString(), store.value("bakpicpath").toString());
    if (orderPath.isEmpty() || backupPath.isEmpty()) {
        fail(QStringLiteral("order %1: its folders are not below its store's roots").arg(key));
        return;
    }
    // The tree the import creates, plus "marks/" where the fixture has marks.
    QStringList folders = {"照片/新建文件夹", "成品/", "汰片/", "设计/", "试拍视频/", "精修视频/"};
    for (const Family* f : {&kPhotos, &kFinished, &kDesigns}) {
        for (const char* thumb : f->thumbs)
            folders.append(QString::fromUtf8(thumb));
    }
    if (content.value("marks").toInt() > 0)
        folders.append(QStringLiteral("marks/"));
    for (const QString& folder : folders)
        mkpath(orderPath + folder);
    mkpath(backupPath + QStringLiteral("照片/"));

    const quint32 seedBase = order.value("order_photo_id").toString().toUInt();
    const QString day = order.value("shotdate").toString();
    const int photos = content.value("photos").toInt();
    const int finished = content.value("finished").toInt();
    const int marks = content.value("marks").toInt();
    for (int i = 1; i <= content.value("raws").toInt(); ++i) {
        for (const char* extension : {".CR2", ".NEF"}) {
            const QString raw = orderPath + QStringLiteral("照片/新建文件夹/IMG_%1").arg(i, 4, 10, QLatin1Char('0')) +
                                QLatin1String(extension);
            QFile file(raw);
            if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(4096, char(i))) != 4096)
                fail(QStringLiteral("cannot write %1").arg(raw));
        }
    }
    for (int i = 1; i <= qMax(photos, finished); ++i) {
        job([=] {
            const QString name = QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
            const QImage photo = JpegFixture::cameraLikeImage(m_sizes.photo, seedBase * 100 + quint32(i));
            if (i <= photos)
                writePicture(photo, orderPath, kPhotos, name, shotTime(day, i), backupPath);
            if (i <= finished) {
                const QImage fine = retouched(photo);
                writePicture(fine, orderPath, kFinished, name, shotTime(day, i), QString());
                if (i <= marks && !marked(fine, m_sizes.mark).save(orderPath + "marks/" + name, "JPG", 90))
                    fail(QStringLiteral("cannot write the mark %1 of %2").arg(name, key));
            }
        });
    }
    for (int i = 1; i <= content.value("designs").toInt(); ++i) {
        job([=] {
            const QImage page =
                JpegFixture::cameraLikeImage(m_sizes.design, seedBase * 100 + 50 + quint32(i));
            writePicture(page, orderPath, kDesigns, QStringLiteral("P%1.jpg").arg(i, 2, 10, QLatin1Char('0')),
                         QString(), QString());
        });
    }
}

void Maker::writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        fail(QStringLiteral("cannot write %1").arg(path));
}

// N8's finished layout selection of an order: the client reads it from the
// store's "[已选]" folder below the selection server, at the order's N8 path
// below that server. "done" writes the marker N8 leaves when the selection is
// finished; "extras" adds files and a folder the restricted export leaves out;
// "finishedNames" names the pages like the order's finished photos;
// "designData" fills the folder kept for N8's design sync.
void Maker::makeSelection(const QJsonObject& order, const QJsonObject& store, const QJsonObject& selection)
{
    const QString key = order.value("orderpayforkey").toString();
    const QString base = store.value("n8path").toString() + QStringLiteral("\\选版服务器\\");
    const QString n8path = order.value("n8path").toString();
    if (!n8path.startsWith(base)) {
        fail(QStringLiteral("order %1: its N8 path is not below its store's selection server").arg(key));
        return;
    }
    const QString relative = n8path.mid(base.size());
    const QString selected = base + QStringLiteral("[已选]") + relative;
    // Mapped through the selection server's folder, which exists already.
    const QString result = localPath(selected + QStringLiteral("\\选版结果\\"), base);
    if (!mkpath(result))
        return;
    const quint32 seedBase = order.value("order_photo_id").toString().toUInt();
    const bool finishedNames = selection.value("finishedNames").toBool();
    for (int i = 1; i <= selection.value("pages").toInt(); ++i) {
        job([=] {
            const QString name = finishedNames ? QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'))
                                               : QStringLiteral("P%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
            if (!JpegFixture::cameraLikeImage(m_sizes.page, seedBase * 100 + 70 + quint32(i))
                     .save(result + name, "JPG", 90))
                fail(QStringLiteral("cannot write %1").arg(result + name));
        });
    }
    if (selection.value("done").toBool())
        writeFile(result + QStringLiteral("done.ok"), QByteArray());
    if (selection.value("extras").toBool()) {
        writeFile(result + QStringLiteral("album.psd"), QByteArray("8BPS") + QByteArray(2048, '\0'));
        writeFile(result + QStringLiteral("readme.txt"), QStringLiteral("N8 选版说明\n").toUtf8());
        if (mkpath(result + QStringLiteral("未入册照片")))
            writeFile(result + QStringLiteral("未入册照片/IMG_0009.jpg"), QByteArray(512, 'j'));
    }
    const int designFiles = selection.value("designData").toInt();
    if (designFiles > 0) {
        const QString design =
            localPath(selected + QLatin1Char('/') + relative + QStringLiteral("_待N8设计同步用数据/"), base);
        if (!mkpath(design))
            return;
        for (int i = 1; i <= designFiles; ++i)
            writeFile(design + QStringLiteral("layout%1.xml").arg(i, 2, 10, QLatin1Char('0')),
                      QStringLiteral("<layout page=\"%1\"/>").arg(i).toUtf8());
    }
}

// Camera raw files (TIFF-based CR2) of the first photos, named the way the
// camera names them, unlike the imported photos, with the photos' shot
// times, in the folder where the import keeps raw files.
void Maker::makeRaws(const QString& orderPath, const QString& day, int count)
{
    for (int i = 1; i <= count; ++i) {
        ExifFiles::Tags tags;
        tags.dateTime = shotTime(day, i);
        tags.dateTimeOriginal = tags.dateTime;
        const QString path = orderPath + QStringLiteral("照片/新建文件夹/_MG_%1.CR2").arg(7000 + i);
        if (!ExifFiles::writeFile(path, ExifFiles::tiff(tags, false, true)))
            fail(QStringLiteral("cannot write %1").arg(path));
        else
            expectShotTime(path, tags.dateTime);
    }
}

// An arrow pointing at the picture's top edge, so a thumbnail shows at a
// glance whether the orientation was applied.
void drawUpArrow(QImage& image)
{
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const int w = image.width();
    const int h = image.height();
    const int s = qMin(w, h) / 6;
    const QPolygon arrow({QPoint(w / 2, h / 12), QPoint(w / 2 + s, h / 12 + s),
                          QPoint(w / 2 + s / 3, h / 12 + s), QPoint(w / 2 + s / 3, h / 12 + 3 * s),
                          QPoint(w / 2 - s / 3, h / 12 + 3 * s), QPoint(w / 2 - s / 3, h / 12 + s),
                          QPoint(w / 2 - s, h / 12 + s)});
    painter.setPen(QPen(Qt::black, qMax(1, s / 15)));
    painter.setBrush(Qt::white);
    painter.drawPolygon(arrow);
}

void Maker::makeCard()
{
    const QString dcim = m_root + QStringLiteral("card/DCIM/100DRAVN/");
    const QString video = m_root + QStringLiteral("card/VIDEO/");
    const QString n8 = m_root + QStringLiteral("card/N8/A24051201/");
    if (!mkpath(dcim) || !mkpath(video) || !mkpath(n8))
        return;

    // The sensor's picture, stored so that the Exif orientation turns it upright.
    const int orientations[] = {1, 3, 6, 8, 1, 3, 6, 8};
    for (int i = 0; i < 8; ++i) {
        job([=] {
            const int orientation = orientations[i];
            const bool portrait = orientation == 6 || orientation == 8;
            QImage upright = JpegFixture::cameraLikeImage(portrait ? m_sizes.card.transposed() : m_sizes.card,
                                                          quint32(900 + i));
            drawUpArrow(upright);
            const int storedTurn = orientation == 3   ? 180
                                   : orientation == 6 ? 270
                                   : orientation == 8 ? 90
                                                      : 0;
            const QImage stored = upright.transformed(QTransform().rotate(storedTurn));
            const QString path = dcim + QStringLiteral("IMG_%1.JPG").arg(i + 1, 4, 10, QLatin1Char('0'));
            const QString time = shotTime(QStringLiteral("2024-05-15"), i + 1);
            if (!JpegFixture::write(path, stored, 92, orientation, time, time))
                fail(QStringLiteral("cannot write %1").arg(path));
            else
                expectShotTime(path, time);
        });
    }
    for (int i = 1; i <= 2; ++i) {
        job([=] {
            const QString path = n8 + QStringLiteral("page%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
            if (!JpegFixture::cameraLikeImage(m_sizes.page, quint32(950 + i)).save(path, "JPG", 90))
                fail(QStringLiteral("cannot write %1").arg(path));
        });
    }
    // Stand-ins for video clips: the client only copies them and lists their names.
    for (int i = 1; i <= 2; ++i) {
        QFile clip(video + QStringLiteral("MVI_%1.mp4").arg(i, 4, 10, QLatin1Char('0')));
        if (!clip.open(QIODevice::WriteOnly) || clip.write(QByteArray("\0\0\0\x18"
                                                                      "ftypmp42",
                                                                      12) +
                                                           QByteArray(4096, '\0')) < 0)
            fail(QStringLiteral("cannot write %1").arg(clip.fileName()));
    }
}

bool Maker::build(const QJsonObject& fixture)
{
    const QJsonObject demo = fixture.value("demo").toObject();
    for (const QJsonValue& folder : demo.value("folders").toArray())
        mkpath(m_root + folder.toString());

    const QJsonObject contents = demo.value("orders").toObject();
    const QJsonObject raws = fixture.value("demo_raws").toObject();
    for (const QJsonValue& v : fixture.value("orders").toArray()) {
        const QJsonObject order = v.toObject();
        if (order.value("orderpath").toString().isEmpty())
            continue;
        QJsonObject store;
        for (const QJsonValue& shop : fixture.value("shops").toArray()) {
            if (shop.toObject().value("id") != order.value("shopid"))
                continue;
            for (const QJsonValue& s : shop.toObject().value("stores").toArray()) {
                if (s.toObject().value("id") == order.value("storesid"))
                    store = s.toObject();
            }
        }
        const QString id = order.value("order_photo_id").toString();
        QJsonObject content = contents.value(id).toObject();
        // The raw camera files beside the first photos ("raws": {order id: count}).
        content.insert("raws", fixture.value("raws").toObject().value(id).toInt());
        makeOrder(order, store, content);
        const QJsonObject selection = demo.value("n8selections").toObject().value(id).toObject();
        if (!selection.isEmpty())
            makeSelection(order, store, selection);
        const int rawCount = raws.value(id).toInt();
        if (rawCount > 0)
            makeRaws(localPath(order.value("orderpath").toString(), store.value("picpath").toString()),
                     order.value("shotdate").toString(), rawCount);
    }
    makeCard();
    m_pool.waitForDone();
    checkShotTimes();

    for (const QString& path : StudioService::missingPaths(fixture, m_root))
        fail(QStringLiteral("%1 does not map to a folder under %2").arg(path, m_root));
    for (const QString& f : m_failures)
        std::fprintf(stderr, "make-demo-data: %s\n", qPrintable(f));
    return m_failures.isEmpty();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Builds the demo file-server tree of the stand-in's fixture."));
    parser.addHelpOption();
    const QCommandLineOption fixtureOption("fixture", "The stand-in's fixture.", "file",
                                           StudioService::demoFixturePath());
    const QCommandLineOption rootOption("root", "Mount root to build the tree under.", "dir");
    const QCommandLineOption smallOption("small", "Tiny pictures (for tests).");
    parser.addOptions({fixtureOption, rootOption, smallOption});
    parser.process(app);
    if (!parser.isSet(rootOption)) {
        std::fprintf(stderr, "make-demo-data: --root is required\n");
        return 2;
    }

    QFile file(parser.value(fixtureOption));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make-demo-data: cannot read %s\n", qPrintable(file.fileName()));
        return 1;
    }
    const QJsonObject fixture = QJsonDocument::fromJson(file.readAll()).object();

    QElapsedTimer timer;
    timer.start();
    const QString root = QDir(parser.value(rootOption)).absolutePath() + QLatin1Char('/');
    Config::setVolumesRoot(root);
    Maker maker(root, parser.isSet(smallOption) ? smallSizes() : Sizes());
    if (!maker.build(fixture))
        return 1;
    std::printf("make-demo-data: demo tree ready under %s (%.1f s)\n", qPrintable(root),
                timer.elapsed() / 1000.0);
    return 0;
}
