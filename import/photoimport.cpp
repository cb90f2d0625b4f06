#include "photoimport.h"

#include "fileoperation.h"
#include "imageoperation.h"

#include <QBuffer>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <QSemaphore>

#include <memory>

namespace {

const int kBox2250 = 2250;
const int kBox1000 = 1000;
const int kBox200 = 200;
const int kFullDecodeSlots = 4;
// How many taken names a claiming copy moves past before it gives up.
const int kMaxClaims = 100000;

// Full-size decodes in flight in the process: each holds the photo at full
// size, turned, and its encoded main copy, a few hundred megabytes for a
// camera photo; without a bound a batch's peak grows with the thread count.
QSemaphore& fullDecodes()
{
    static QSemaphore bound(kFullDecodeSlots);
    return bound;
}

// Decodes the bytes as they are stored (the orientation tag not applied).
// A valid box makes the decoder deliver the image already fitted into it,
// which for a JPEG skips most of the full-size work.
QImage decode(const QByteArray& data, int box)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    QSize wanted;
    if (box > 0) {
        const QSize stored = reader.size();
        if (stored.isValid() && !stored.isEmpty()) {
            wanted = PhotoImport::fitInBox(stored, box);
            reader.setScaledSize(wanted);
        }
    }
    QImage image = reader.read();
    if (!image.isNull() && wanted.isValid() && image.size() != wanted)
        image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage fitted(const QImage& image, int box)
{
    const QSize size = PhotoImport::fitInBox(image.size(), box);
    if (size == image.size())
        return image;
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Encodes in the format the name's suffix gives; false when no writer
// handles it.
bool encode(const QImage& image, const QString& name, int quality, QByteArray* out)
{
    QBuffer buffer(out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QFileInfo(name).suffix().toLower().toLatin1());
    writer.setQuality(quality);
    return writer.write(image);
}

class Writer
{
public:
    explicit Writer(PhotoImport::Result& result) : m_result(result) {}

    // A failed write leaves any file already at the target as it was.
    bool put(const QByteArray& bytes, const QString& target, bool replace)
    {
        FileOperation::WriteError error = FileOperation::WriteError::None;
        if (FileOperation::writeFile(bytes, target, replace, nullptr, &error))
            return true;
        qDebug() << "写入失败" << target;
        m_result.failed.append(target);
        if (error == FileOperation::WriteError::DiskFull)
            m_result.diskFull = true;
        return false;
    }

    // The main copies under result.targetName. Where the request claims
    // its name, the first is written without replacing and moves on to
    // the next name while its name is taken; the name it lands under is
    // the photo's name from then on. The others replace.
    void putMains(const QByteArray& bytes, const PhotoImport::Request& request,
                  const QStringList& mainFolders)
    {
        QString& name = m_result.targetName;
        int first = 0;
        if (request.nextName && !mainFolders.isEmpty()) {
            first = 1;
            for (int attempt = 0; attempt < kMaxClaims; ++attempt) {
                const QString target = request.orderPath + mainFolders.first() + name;
                bool taken = false;
                FileOperation::WriteError error = FileOperation::WriteError::None;
                if (FileOperation::writeNewFile(bytes, target, &taken, &error))
                    break;
                const QString next = taken ? request.nextName(name) : QString();
                if (next.isEmpty() || next == name) {
                    qDebug() << "写入失败" << target;
                    m_result.failed.append(target);
                    m_result.diskFull = m_result.diskFull || error == FileOperation::WriteError::DiskFull;
                    break;
                }
                qDebug() << "名称已被占用" << name << "改为" << next;
                name = next;
            }
        }
        for (int i = first; i < mainFolders.size(); ++i)
            put(bytes, request.orderPath + mainFolders.at(i) + name, true);
    }

    // An image the suffix has no writer for is skipped, as saving it would
    // be; only a failed write counts as a failure.
    bool save(const QImage& image, const QString& target, int quality)
    {
        QByteArray bytes;
        if (!encode(image, target, quality, &bytes)) {
            qDebug() << "无法保存为此格式" << target;
            return false;
        }
        return put(bytes, target, true);
    }

private:
    PhotoImport::Result& m_result;
};

} // namespace

PhotoImport::Folders PhotoImport::foldersFor(ImportTypeEnum type, bool syncToFinal)
{
    Folders folders;
    switch (type) {
    case ImportOriginal:
        folders.main = QStringList{QStringLiteral("照片/")};
        if (syncToFinal)
            folders.main.append(QStringLiteral("成品/"));
        folders.thumb2250 = QStringLiteral("thumbnail2250/");
        folders.thumb1000 = QStringLiteral("thumbnail/");
        folders.thumb200 = QStringLiteral("thumbnail100/");
        return folders;
    case ImportFinished:
        folders.main = QStringList{QStringLiteral("成品/")};
        folders.thumb2250 = QStringLiteral("成品缩略图2250/");
        folders.thumb1000 = QStringLiteral("成品缩略图/");
        folders.thumb200 = QStringLiteral("成品缩略图100/");
        return folders;
    case ImportTrialVideo:
        folders.main = QStringList{QStringLiteral("试拍视频/")};
        return folders;
    case ImportRetouchedVideo:
        folders.main = QStringList{QStringLiteral("精修视频/")};
        return folders;
    default:
        folders.main = QStringList{QStringLiteral("设计/")};
        folders.thumb2250 = QStringLiteral("设计缩略图2250/");
        folders.thumb1000 = QStringLiteral("设计缩略图/");
        folders.thumb200 = QStringLiteral("设计缩略图100/");
        return folders;
    }
}

QSize PhotoImport::fitInBox(const QSize& size, int box)
{
    if (size.isEmpty() || box <= 0)
        return QSize();
    const qint64 w = size.width();
    const qint64 h = size.height();
    if (w >= h)
        return QSize(box, int(qMax<qint64>(1, h * box / w)));
    return QSize(int(qMax<qint64>(1, w * box / h)), box);
}

PhotoImport::Result PhotoImport::importPhoto(const Request& request)
{
    Result result;
    result.targetName = request.targetName;
    const bool needsBackup = request.type == ImportOriginal;
    if (request.orderPath.isEmpty() || request.source.isEmpty() ||
        (needsBackup && request.backupPath.isEmpty())) {
        result.skipped = true;
        return result;
    }

    const Folders folders = foldersFor(request.type, request.syncToFinal);
    Writer writer(result);

    QByteArray data;
    if (!FileOperation::readFile(request.source, &data)) {
        qDebug() << "无法读取照片" << request.source;
        result.unreadable = true;
        return result;
    }
    qDebug() << "导入照片" << request.source << "->" << request.orderPath << request.targetName << "大小"
             << data.size();

    result.orientation = ImageOperation::getDirection(request.source);
    const bool upright = result.orientation == 1;
    // An upright photo needs no more than the 2250 box; a turned one is
    // decoded whole for its main copy, and its thumbnails come from that.
    std::unique_ptr<QSemaphoreReleaser> fullSize;
    if (!upright) {
        fullDecodes().acquire();
        fullSize = std::make_unique<QSemaphoreReleaser>(fullDecodes());
    }
    QImage image = decode(data, upright ? kBox2250 : 0);
    result.decoded = !image.isNull();

    // The main copy: an upright photo's (or one that cannot be decoded) is
    // the file itself, a turned one's the photo turned upright.
    QByteArray turned;
    bool hasMain = upright;
    if (!upright && result.decoded) {
        // The thumbnails come from the photo fitted first and turned small.
        QImage thumbnail = ImageOperation::rotateImage(fitted(image, kBox2250), result.orientation);
        // The full-size photo is held at three bytes a pixel, converted where
        // it lies, and half a turn is made in place: less memory for every
        // photo in work, and no slower.
        if (image.format() == QImage::Format_RGB32)
            image = std::move(image).convertToFormat(QImage::Format_RGB888);
        if (result.orientation == 3)
            image = std::move(image).mirrored(true, true);
        else
            image = ImageOperation::rotateImage(std::move(image), result.orientation);
        hasMain = encode(image, request.targetName, 100, &turned);
        if (!hasMain)
            qDebug() << "无法保存为此格式" << request.targetName;
        image = std::move(thumbnail);
    }
    fullSize.reset(); // the full-size photo is gone before its copies are written
    if (hasMain)
        writer.putMains(upright ? data : turned, request, folders.main);
    turned.clear();

    const QString& name = result.targetName;
    if (needsBackup)
        writer.put(data, request.backupPath + QStringLiteral("照片/") + name, false);

    const QString thumb2250 = request.orderPath + folders.thumb2250 + name;
    const QString thumb1000 = request.orderPath + folders.thumb1000 + name;
    const QString thumb200 = request.orderPath + folders.thumb200 + name;
    if (!result.decoded) {
        qDebug() << "图片无法解码" << request.source;
        writer.put(data, thumb1000, true);
        writer.put(data, thumb2250, true);
        return result;
    }
    data.clear();

    writer.save(image, thumb2250, -1);
    image = fitted(image, kBox1000);
    writer.save(image, thumb1000, -1);
    image = fitted(image, kBox200);
    const bool small = writer.save(image, thumb200, -1);
    if (request.type == ImportFinished)
        qDebug() << "成品小缩略图" << (small ? "保存成功" : "保存失败") << thumb200;
    return result;
}

PhotoImport::Result PhotoImport::copyVideo(const Request& request)
{
    Result result;
    if (request.orderPath.isEmpty() || request.source.isEmpty()) {
        result.skipped = true;
        return result;
    }
    const QString folder =
        request.type == ImportTrialVideo ? QStringLiteral("试拍视频/") : QStringLiteral("精修视频/");
    const QString target = request.orderPath + folder + request.targetName;
    qDebug() << "复制到" << target;
    bool taken = false;
    FileOperation::WriteError error = FileOperation::WriteError::None;
    if (FileOperation::copyNewFile(request.source, target, &taken, &error) || taken)
        return result; // an existing video stays as it is
    if (error == FileOperation::WriteError::None) {
        result.unreadable = true;
    } else {
        result.failed.append(target);
        result.diskFull = error == FileOperation::WriteError::DiskFull;
    }
    return result;
}

QString PhotoImport::orderingKey(const QString& targetName)
{
    static const QRegularExpression numbered(QStringLiteral("\\(\\d+\\)$"));
    QString key = targetName.toLower();
    const int dot = key.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        key.truncate(dot);
    while (true) {
        const QRegularExpressionMatch match = numbered.match(key);
        if (!match.hasMatch())
            break;
        key.truncate(match.capturedStart());
    }
    return key;
}
