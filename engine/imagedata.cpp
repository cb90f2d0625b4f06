#include "imagedata.h"

#include "deletionguard.h"
#include "dirserver.h"
#include "fileoperation.h"
#include "prompts.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <mutex>

ImageData* ImageData::m_pimages = nullptr;
QList<Image> ImageData::changedImages;

namespace {

const QString kWarning = QStringLiteral("警告");

// The folder's "*.jpg" files; false when it could not be looked at or listed.
bool jpegEntries(const QString& folder, QFileInfoList* entries)
{
    entries->clear();
    // Without an order folder the path would be relative to wherever the
    // process runs.
    if (QDir::isRelativePath(folder))
        return true;
    // Name filters match without regard to case, so ".JPG" photos are in.
    return FileOperation::listMatching(folder, {QStringLiteral("*.jpg")}, QDir::Files | QDir::NoDotAndDotDot,
                                       entries);
}

void copyMark(Image& image, const QString& name)
{
    for (const Image& marked : qAsConst(ImageData::changedImages)) {
        if (marked.GetImageName() == name) {
            image.setDescription(marked.description());
            image.setClipRect(marked.clipRect(), marked.isEllipse());
        }
    }
}

// A finished photo of the order folder as the lists hold it: a ".JPG" name
// is taken as ".jpg".
Image finePhoto(const QString& orderFolder, QString name)
{
    const QLatin1String upper(".JPG");
    if (name.endsWith(upper))
        name.replace(upper, QLatin1String(".jpg"));
    Image image;
    image.Setpath(name);
    image.setKind(FinePhoto);
    image.setOrderFolder(orderFolder);
    return image;
}

QString folderOf(PHOTOTYPE kind)
{
    switch (kind) {
    case FinePhoto:
        return DirServer::fineFolder();
    case DeletedPhoto:
        return DirServer::deletedFolder();
    case RawPhoto:
        break;
    }
    return DirServer::originalFolder();
}

// Copies the photo to its new folder and removes the source only once the
// copy is complete and is a file of its own; a source that cannot be
// removed takes the copy back out. A source that cannot be looked at after
// its removal may be gone or still there: the move fails and the copy stays.
bool movePhoto(const QString& source, const QString& target)
{
    if (!FileOperation::isFileExist(source) || FileOperation::isSameFile(source, target))
        return false;
    if (!FileOperation::copyFile(source, target, true) || !FileOperation::isFileExist(target) ||
        FileOperation::isSameFile(source, target))
        return false;
    FileOperation::removeFile(source);
    switch (FileOperation::lookUpNoFollow(source)) {
    case FileOperation::Presence::Missing:
        return true;
    case FileOperation::Presence::Unreadable:
        return false;
    default:
        FileOperation::removeFile(target);
        return false;
    }
}

} // namespace

ImageData* ImageData::getInstance()
{
    static std::once_flag once;
    std::call_once(once, [] { m_pimages = new ImageData; });
    return m_pimages;
}

bool ImageData::importImage(PHOTOTYPE kind)
{
    const QString orderFolder = DirServer::getOrderPath();
    const QString folder = DirServer::getFineImagePath();
    QFileInfoList entries;
    if (!jpegEntries(folder, &entries)) {
        qDebug() << FileOperation::unreadableText() << folder;
        return false;
    }
    m_allImages.clear();
    m_selectedImages.clear();
    m_leftImages.clear();

    for (const QFileInfo& entry : qAsConst(entries)) {
        Image image = finePhoto(orderFolder, FileOperation::getFileName(entry.filePath()));
        copyMark(image, image.GetImageName());
        m_selectedImages.append(image);
    }

    m_type = kind;
    setIterator(0);
    qDebug() << "成品" << m_selectedImages.size();
    return true;
}

QString ImageData::fineSmallThumbnail(const QString& orderFolder, const QString& fileName)
{
    if (!fileName.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive) || QDir::isRelativePath(orderFolder))
        return QString();
    return finePhoto(orderFolder, fileName).GetImagePath();
}

void ImageData::setType(PHOTOTYPE kind)
{
    m_type = kind;
    m_position = hasPositions() ? 0 : -1;
}

void ImageData::clearImages()
{
    m_allImages.clear();
    m_selectedImages.clear();
    m_leftImages.clear();
    m_type = RawPhoto;
    m_position = -1;
}

QList<Image>& ImageData::getImagelist()
{
    if (m_type == RawPhoto)
        return m_allImages;
    if (m_type == DeletedPhoto)
        return m_leftImages;
    return m_selectedImages;
}

const QList<Image>& ImageData::currentList() const
{
    return const_cast<ImageData*>(this)->getImagelist();
}

bool ImageData::hasPositions() const
{
    return m_type == RawPhoto || m_type == FinePhoto || m_type == DeletedPhoto;
}

Image ImageData::getFineImage(QString name) const
{
    for (const Image& image : m_selectedImages) {
        if (image.GetImageName() == name)
            return image;
    }
    return Image();
}

void ImageData::setIterator(int i)
{
    if (!hasPositions() || i < 0)
        return;
    m_position = qMin(i, currentList().size());
}

void ImageData::setIterator(QString name)
{
    for (int i = 0; i < m_selectedImages.size(); ++i) {
        if (m_selectedImages.at(i).GetImageName() == name) {
            qDebug() << "设置迭代器" << i;
            m_type = FinePhoto;
            m_position = i;
        }
    }
}

QList<Image>::iterator ImageData::getIterator()
{
    QList<Image>& list = getImagelist();
    if (!hasPositions() || m_position < 0 || m_position >= list.size())
        return list.end();
    return list.begin() + m_position;
}

QList<Image>::iterator ImageData::getSeleIterator(int i)
{
    if (i < 0 || i >= m_selectedImages.size())
        return m_selectedImages.end();
    return m_selectedImages.begin() + i;
}

int ImageData::getCurrentIndex() const
{
    if (!hasPositions() || m_position < 0 || m_position >= currentList().size())
        return -1;
    return m_position;
}

void ImageData::iteratorMoveNext()
{
    const int size = currentList().size();
    if (!hasPositions() || size == 0)
        return;
    m_position = (m_position < 0 || m_position >= size - 1) ? 0 : m_position + 1;
}

void ImageData::iteratorMovePre()
{
    const int size = currentList().size();
    if (!hasPositions() || size == 0)
        return;
    m_position = (m_position <= 0 || m_position > size - 1) ? size - 1 : m_position - 1;
}

void ImageData::iteratorMoveFirst()
{
    if (hasPositions() && !currentList().isEmpty())
        m_position = 0;
}

void ImageData::iteratorMoveEnd()
{
    if (hasPositions() && !currentList().isEmpty())
        m_position = currentList().size() - 1;
}

QStringList ImageData::moveImages(QList<Image>& list, const QStringList& names, PHOTOTYPE from, PHOTOTYPE to,
                                  const QString& fromText, const QString& failureText)
{
    QStringList moved;
    for (const QString& name : names) {
        for (int i = 0; i < list.size();) {
            if (list.at(i).GetImageName() != name) {
                ++i;
                continue;
            }
            Image photo = list.at(i);
            photo.setKind(from);
            const QString source = photo.GetBigImagePath();
            const QString fileName = FileOperation::getFileName(source);
            const QString target = photo.orderFolder() + folderOf(to) + fileName;
            if (!movePhoto(source, target)) {
                Prompts::information(nullptr, kWarning, fromText + fileName + failureText, Prompts::Yes);
                ++i;
                continue;
            }
            list.removeAt(i);
            moved << name;
        }
    }
    // The lists changed under the position; keep it inside them.
    if (m_position > currentList().size())
        m_position = currentList().size();
    return moved;
}

QStringList ImageData::fineImageToDeleted(QStringList names)
{
    return moveImages(m_selectedImages, names, FinePhoto, DeletedPhoto, QStringLiteral("成品"),
                      QStringLiteral("移至汰片失败"));
}

QStringList ImageData::deletedImageToFine(QStringList names)
{
    return moveImages(m_leftImages, names, DeletedPhoto, FinePhoto, QStringLiteral("汰片"),
                      QStringLiteral("移至成品失败"));
}

void ImageData::deleteRawImage(QStringList names)
{
    for (const QString& name : qAsConst(names)) {
        for (int i = 0; i < m_allImages.size();) {
            if (m_allImages.at(i).GetImageName() != name) {
                ++i;
                continue;
            }
            Image photo = m_allImages.at(i);
            photo.setKind(RawPhoto);
            const QString path = photo.GetBigImagePath();
            FileOperation::removeFile(path);
            // Gone only when the look-up finds it not there.
            if (FileOperation::lookUpNoFollow(path) != FileOperation::Presence::Missing) {
                Prompts::information(nullptr, kWarning,
                                     QStringLiteral("照片") + photo.GetImageName() +
                                         QStringLiteral("删除失败，请重试"),
                                     Prompts::Yes);
                ++i;
                continue;
            }
            m_allImages.removeAt(i);
        }
    }
    if (m_position > currentList().size())
        m_position = currentList().size();
}

bool ImageData::removeDeletedImage()
{
    QString folder = DirServer::getDeletedImagePath();
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (!DeletionGuard::check(folder).allowed())
        return false;
    if (FileOperation::isDirExist(folder) && !FileOperation::removeFolderContent(folder))
        return false;
    if (!FileOperation::makeDir(folder))
        return false;
    m_leftImages.clear();
    if (m_type == DeletedPhoto)
        m_position = 0;
    return true;
}

QList<Image> ImageData::getFineAndDeletedImage()
{
    const QString orderFolder = DirServer::getOrderPath();
    QList<Image> images;
    QFileInfoList fine;
    QFileInfoList deleted;
    jpegEntries(DirServer::getFineImagePath(), &fine);
    jpegEntries(DirServer::getDeletedImagePath(), &deleted);
    for (const QFileInfo& entry : qAsConst(fine)) {
        const QString name = FileOperation::getFileName(entry.filePath());
        Image image;
        copyMark(image, name);
        image.setFileName(name);
        image.setKind(FinePhoto);
        image.setOrderFolder(orderFolder);
        images.append(image);
    }
    for (const QFileInfo& entry : qAsConst(deleted)) {
        Image image;
        image.setFileName(FileOperation::getFileName(entry.filePath()));
        image.setKind(DeletedPhoto);
        image.setOrderFolder(orderFolder);
        images.append(image);
    }
    qDebug() << "导入成品和汰片" << images.size();
    return images;
}
