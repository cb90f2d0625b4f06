#include "thumbnailthread1.h"

#include "imageoperation.h"
#include "imagetime.h"
#include "fileoperation.h"
#include "photoimport.h"
#include "picturework.h"
#include "shottime.h"
#include "singleorder.h"

#include <QDebug>
#include <QImage>

ThumbnailThread1::ThumbnailThread1(QString picPath, QString newName, QString orderPath,
                                   QString orderBackupPath, JobOwnerHandle owner, int size, int mode,
                                   std::shared_ptr<const FoldersInUse::Claim> claim,
                                   std::shared_ptr<FileOperation::SweptFolders> sweptFolders,
                                   std::shared_ptr<const std::atomic<bool>> stop)
    : orderPath(std::move(orderPath)), orderBackupPath(std::move(orderBackupPath)),
      newName(std::move(newName)), picPath(std::move(picPath)), owner(std::move(owner)), size(size), type(1),
      m_mode(mode), m_claim(std::move(claim)), m_sweptFolders(std::move(sweptFolders)),
      m_stop(std::move(stop))
{
    setAutoDelete(true);
}

ThumbnailThread1::ThumbnailThread1(QString imagePath, int index, JobOwnerHandle owner, int size, int generation)
    : imagePath(std::move(imagePath)), index(index), owner(std::move(owner)), size(size), type(2),
      m_generation(generation)
{
    setAutoDelete(true);
}

ThumbnailThread1::ThumbnailThread1(QString dirPath, JobOwnerHandle owner)
    : owner(std::move(owner)), type(3), dirPath(std::move(dirPath))
{
    setAutoDelete(true);
}

ThumbnailThread1::~ThumbnailThread1() = default;

void ThumbnailThread1::run()
{
    switch (type) {
    case 1: {
        if (m_stop && m_stop->load()) {
            owner.post("onImportImageNotBegun", picPath);
            break;
        }
        bool failed = false;
        const QString imageTime = importImage(&failed);
        if (failed)
            owner.post("onImportImageFailed", picPath, m_diskFull);
        else if (m_partlyWritten)
            owner.post("onImportImagePartlyWritten", picPath, m_targetName, m_diskFull);
        owner.post("onImportImageCommitted", m_committed.order, m_committed.backup);
        owner.post("onFinishImportImage", imageTime);
        break;
    }
    case 2:
        scaleImage();
        break;
    case 3:
        isDirExist();
        break;
    default:
        break;
    }
}

QString ThumbnailThread1::importImage(bool* failed)
{
    auto fail = [failed](bool value) {
        if (failed)
            *failed = value;
    };
    // The window never makes a job without its folders; one that gets here
    // anyway is counted as a photo that did not arrive, so the run ends.
    if (orderPath.isEmpty() || orderBackupPath.isEmpty() || picPath.isEmpty()) {
        fail(true);
        return QString();
    }

    const bool photos = m_mode == 0;
    PhotoImport::Request request{
        SingleOrder::importType(m_mode), orderPath, orderBackupPath, picPath, newName, false, {}};
    if (photos)
        request.nextName = &SingleOrder::nextPhotoName;
    request.sweptFolders = m_sweptFolders.get();
    const PhotoImport::Result result = PhotoImport::importPhoto(request);
    if (!result.decoded)
        qDebug() << "空照片：" << picPath;
    // The photo has arrived where its main copy holds its name, whatever
    // it took to make it; a file of it not written leaves it in the order.
    const bool hasMain = result.mainCopy;
    fail(!hasMain);
    m_partlyWritten = hasMain && result.isFailure();
    m_diskFull = result.diskFull;
    m_targetName = result.targetName;
    m_committed = SingleOrder::committedCounts(m_mode, result);
    // Without its main copy the photo holds no name its record could give.
    // The shot time is the one the photo's bytes carry: the file on the
    // card is not read again.
    if (!photos || !hasMain)
        return QString();
    return ImageTime::record(result.targetName, result.shotTime);
}

void ThumbnailThread1::scaleImage()
{
    QImage image = ImageOperation::loadImageWithin(imagePath, QSize(size, size));
    if (!image.isNull())
        image = PictureWork::smoothScaled(image, QSize(size, size), Qt::KeepAspectRatio);
    image = ImageOperation::getSquareImage(image);
    owner.post("setThumbIcon", m_generation, index, image);
}

void ThumbnailThread1::isDirExist()
{
    // The same answer as CheckDirThread's, for the same choice.
    owner.post("onIsPathExist", FileOperation::isDirExist(dirPath));
}

bool ThumbnailThread1::getPicShotTime(QString path, QString& shotTime)
{
    return ShotTime::read(path, shotTime);
}
