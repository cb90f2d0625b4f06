#include "thumbnailthread.h"

#include "dirserver.h"
#include "filenames.h"
#include "fileoperation.h"
#include "imageoperation.h"

#include <QSemaphore>
#include <QSet>
#include <QSharedPointer>
#include <QThreadPool>
#include <QVector>

#include <atomic>

namespace {

// The photos of one sheet, drawn by the job and by helpers on free threads
// of its pool; each takes the next photo until none is left.
struct SheetBatch
{
    QList<Image> images;
    QVector<int> order; // indexes to draw; of equal names only the last
    QString folder;
    int size = 0;
    JobOwnerHandle owner;
    std::atomic<int> next{0};
    QSemaphore helpersGone;

    void drawAll()
    {
        for (int k = next++; k < order.size(); k = next++) {
            // A closed window no longer needs its sheet.
            if (!owner.isShown())
                return;
            const Image& photo = images.at(order.at(k));
            const QImage thumb = ImageOperation::getWebViewThumbImage(photo, size);
            // A thumbnail that could not be drawn (its photo could not be
            // read) or not saved is told, as a copy job tells a file it did
            // not write; the sheet goes on without it.
            if (thumb.isNull() || !ImageOperation::saveImage(thumb, folder + photo.GetImageName()))
                owner.post("copyFailed", folder, photo.GetImageName());
        }
    }
};

class SheetHelper : public QRunnable
{
public:
    explicit SheetHelper(QSharedPointer<SheetBatch> batch) : m_batch(std::move(batch)) {}
    // Runs whether the helper ran, was dropped from the queue or never got
    // a thread, so the job never waits for a helper that will not come.
    ~SheetHelper() override { m_batch->helpersGone.release(); }
    void run() override { m_batch->drawAll(); }

private:
    QSharedPointer<SheetBatch> m_batch;
};

} // namespace

ThumbnailThread::ThumbnailThread(QList<Image> images, JobOwnerHandle owner, int size, QString outputFolder,
                                 QThreadPool* pool)
    : m_owner(std::move(owner)), m_size(size), m_mode(2), m_images(std::move(images)),
      m_outputFolder(std::move(outputFolder)), m_sheetFolder(sheetFolder(m_outputFolder)), m_pool(pool)
{
    // Set here, on the window's thread, rather than from the pool: the
    // window reads the sheet folder back when it builds the production sheet.
    DirServer::dir_temp = m_outputFolder;
    DirServer::setWebPageThumbPath(m_sheetFolder);
}

ThumbnailThread::ThumbnailThread(QString source, QString spare, QString target, JobOwnerHandle owner)
    : m_spare(std::move(spare)), m_copySource(std::move(source)), m_copyTarget(std::move(target)),
      m_owner(std::move(owner)), m_mode(1)
{
}

ThumbnailThread::~ThumbnailThread() = default;

QString ThumbnailThread::sheetFolder(const QString& outputFolder)
{
    return outputFolder + QStringLiteral("制作单缩略图") + QLatin1Char('/');
}

QList<QByteArray> ThumbnailThread::callbackSignatures()
{
    return {QByteArrayLiteral("onFinishSaveThumb()"), QByteArrayLiteral("onFinishSeparateImage()"),
            QByteArrayLiteral("copyFailed(QString,QString)")};
}

void ThumbnailThread::run()
{
    if (m_mode == 2)
        saveThumbs();
    else if (m_mode == 1)
        separateImage();
}

void ThumbnailThread::saveThumbs()
{
    FileOperation::makeDir(m_outputFolder);
    FileOperation::makeDir(m_sheetFolder);
    FileOperation::hideOnWin(m_sheetFolder);

    auto batch = QSharedPointer<SheetBatch>::create();
    batch->images = m_images;
    batch->folder = m_sheetFolder;
    batch->size = m_size;
    batch->owner = m_owner;
    // Two photos of one name write one file, and the later one stays.
    QSet<QString> names;
    for (int i = m_images.size() - 1; i >= 0; --i) {
        const QString name = m_images.at(i).GetImageName();
        if (FileNames::isPlainFileName(name) && !names.contains(name)) {
            names.insert(name);
            batch->order.prepend(i);
        }
    }

    int helpers = 0;
    while (m_pool && helpers < batch->order.size() - 1) {
        auto* helper = new SheetHelper(batch);
        ++helpers;
        if (!m_pool->tryStart(helper)) {
            delete helper;
            break;
        }
    }
    batch->drawAll();
    batch->helpersGone.acquire(helpers);

    m_owner.post("onFinishSaveThumb");
}

void ThumbnailThread::separateImage()
{
    if (m_copySource.isEmpty() || m_copyTarget.isEmpty())
        return;
    FileOperation::copyFile(m_copySource, m_copyTarget, true);
    m_owner.post("onFinishSeparateImage");
}
