#include "photoimport.h"

#include "exifreader.h"
#include "fileoperation.h"
#include "imageoperation.h"
#include "jpegcodec.h"
#include "picturework.h"

#include <QBuffer>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMutex>
#include <QRegularExpression>
#include <QSemaphore>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <vector>

namespace {

const int kBox2250 = 2250;
const int kBox1000 = 1000;
const int kBox200 = 200;
// How many taken names a claiming copy moves past before it gives up.
const int kMaxClaims = 100000;

// The memory the big steps of photos in work may hold at once in the
// process, in megabytes: a lossless turn holds a camera photo's
// coefficients (about 72 MB for 24 MP; twice that where TurboJPEG turns
// it), a full-size decode its pixels several times over: three 24 MP turns
// side by side. Without a bound a batch's peak grows with the
// number of files imported side by side; with it, the few big steps in
// flight leave room for the small ones of every other photo.
const int kBigStepMegabytes = 250;

QSemaphore& bigSteps()
{
    static QSemaphore budget(kBigStepMegabytes);
    return budget;
}

QMutex s_memoryHookMutex;
PhotoImport::MemoryHook s_memoryHook;

bool memoryRefused(qint64 bytes)
{
    PhotoImport::MemoryHook hook;
    {
        QMutexLocker lock(&s_memoryHookMutex);
        hook = s_memoryHook;
    }
    return hook && hook(bytes);
}

// Holds a share of the budget for its life; a step larger than the whole
// budget waits until it has the budget to itself.
class BigStep
{
public:
    explicit BigStep(qint64 bytes)
        : m_megabytes(int(qBound<qint64>(1, (bytes + (1 << 20) - 1) >> 20, kBigStepMegabytes))),
          m_refused(memoryRefused(bytes))
    {
        bigSteps().acquire(m_megabytes);
    }
    ~BigStep() { bigSteps().release(m_megabytes); }
    BigStep(const BigStep&) = delete;
    BigStep& operator=(const BigStep&) = delete;

    // The memory hook refused the step's memory: it is not made, as if the
    // system had none to give.
    bool refused() const { return m_refused; }

private:
    int m_megabytes;
    bool m_refused;
};

// Decodes the bytes as they are stored (the orientation tag not applied),
// fitted into the box; clean as ImageOperation::decodeScaled tells it.
QImage decodeFitted(const QByteArray& data, int box, bool* clean = nullptr)
{
    const QSize stored = ImageOperation::storedSize(data);
    if (!stored.isValid() || stored.isEmpty())
        return QImage();
    return ImageOperation::decodeScaled(data, PhotoImport::fitInBox(stored, box), clean);
}

// The thumbnail source of a losslessly turned copy, which is upright
// already. Null when the copy does not decode cleanly: a damaged photo can
// come out of the coefficient move far worse than it went in, so such a copy
// is not used.
QImage decodeTurnedCopy(const QByteArray& copy)
{
    bool clean = false;
    QImage image = decodeFitted(copy, kBox2250, &clean);
    if (clean)
        return image;
    qDebug() << "无损旋转后的照片解码有误，改为解码旋转";
    return QImage();
}

QImage fitted(const QImage& image, int box)
{
    const QSize size = PhotoImport::fitInBox(image.size(), box);
    if (size == image.size())
        return image;
    return PictureWork::smoothScaled(image, size);
}

bool isJpegName(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
}

// The main copy of a photo that is not upright, and its thumbnail source.
struct Turned
{
    QByteArray main;  // empty: the photo could not be turned
    QImage thumbnail; // fitted into the 2250 box and upright; null: not decoded
};

// A transform the camera's coefficients allow is made on them: lossless,
// the camera's own size, no pixels at all; the thumbnails then come from a
// small decode of the copy, which must decode cleanly. Any other photo is
// decoded whole, transformed and saved again at quality 100 (a JPEG with
// the camera's Exif segment made upright, as the lossless copy has it),
// and its thumbnails come from that decode. A photo that cannot be decoded
// whole (or not in the memory there is) is not turned; its thumbnails then
// come from a small decode where one succeeds.
Turned turnUpright(const QByteArray& data, int orientation, const QString& targetName, bool lossless)
{
    Turned turned;
    if (lossless && isJpegName(targetName)) {
        const qint64 footprint = JpegCodec::turnFootprint(data);
        if (footprint > 0) {
            BigStep step(footprint);
            if (!step.refused())
                turned.main = JpegCodec::turnUpright(data, orientation);
        }
        if (!turned.main.isEmpty()) {
            turned.thumbnail = decodeTurnedCopy(turned.main);
            if (!turned.thumbnail.isNull())
                return turned;
            turned.main.clear();
        }
    }

    {
        const QSize stored = ImageOperation::storedSize(data);
        // Decoded at four bytes a pixel, held at three while it is turned,
        // and the encoded copy beside it.
        BigStep step(stored.isValid() ? qint64(stored.width()) * stored.height() * 8 : 0);
        QImage image;
        if (!step.refused()) {
            QBuffer buffer;
            buffer.setData(data);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            reader.setAutoTransform(false);
            image = reader.read();
        }
        if (!image.isNull()) {
            turned.thumbnail = ImageOperation::uprightImage(fitted(image, kBox2250), orientation);
            // The full-size photo is held at three bytes a pixel, converted
            // where it lies, and mirrors are made in place: less memory for
            // every photo in work, and no slower.
            if (image.format() == QImage::Format_RGB32)
                image = PictureWork::converted(std::move(image), QImage::Format_RGB888);
            image = ImageOperation::uprightImage(std::move(image), orientation);
            if (!image.isNull() && ImageOperation::encodeImage(image, targetName, &turned.main, 100)) {
                if (isJpegName(targetName))
                    turned.main = JpegCodec::withUprightExif(turned.main, data, orientation);
                return turned;
            }
            qDebug() << "无法保存为此格式" << targetName;
            turned.main.clear();
        }
    }
    if (turned.thumbnail.isNull())
        turned.thumbnail = ImageOperation::uprightImage(decodeFitted(data, kBox2250), orientation);
    return turned;
}

// The files of one photo, written in two steps: each is staged (written
// and on its way to the device) as soon as its bytes are ready, and all are
// committed (synced, closed, named) at the end, main copies first. So the
// device writes while the photo's next files are made, and the photo is in
// its folders only when every file of it is.
class PhotoFiles
{
public:
    // mainFolder: where the photo's main copy goes (its first, where it
    // has two); a file committed there is the main copy. A file committed
    // in backupFolder is the backup copy.
    PhotoFiles(const PhotoImport::Request& request, PhotoImport::Result& result, const QString& mainFolder,
               const QString& backupFolder)
        : m_request(request), m_result(result), m_mainFolder(mainFolder), m_backupFolder(backupFolder)
    {
    }

    // A file of the photo's name in folder, committed by the rule. With
    // claims, the file is the one that claims the photo's name (claim()).
    // Its staged path; empty when nothing is staged.
    QString stage(const QByteArray& bytes, const QString& folder, FileOperation::NameRule rule,
                  bool claims = false)
    {
        return stageWith(folder, rule, claims, [&bytes](int fd) {
            return FileOperation::writeAll(fd, bytes.constData(), bytes.size());
        });
    }

    // The same with the bytes written by writer into the open file (it
    // returns 0 or an error number). kNotWritten from the writer drops the
    // file with no failure told: its bytes are made another way. The staged
    // file's path, to read it back; empty when nothing is staged.
    static const int kNotWritten = ECANCELED;
    QString stageWith(const QString& folder, FileOperation::NameRule rule, bool claims,
                      const std::function<int(int fd)>& writer)
    {
        Staged staged;
        staged.folder = folder;
        staged.rule = rule;
        staged.claims = claims;
        if (m_request.sweptFolders)
            m_request.sweptFolders->sweepOnce(folder);
        bool notWritten = false;
        const bool started = staged.file.startWith(
            folder + m_result.targetName, FileOperation::StagedFile::defaultPermissions(), [&](int fd) {
                const int error = writer(fd);
                notWritten = error == kNotWritten;
                return error;
            });
        if (!started) {
            if (!notWritten)
                failed(folder + m_result.targetName, staged.file.error());
            return QString();
        }
        const QString path = staged.file.stagedPath();
        m_files.push_back(std::move(staged));
        return path;
    }

    // A thumbnail of the photo, or the photo's own bytes standing in for
    // one: it replaces what is there, but only once the main copy has
    // taken its name. A thumbnail beside a main copy that failed would show
    // staff a photo that is not stored.
    void stageThumbnail(const QByteArray& bytes, const QString& folder)
    {
        if (!stage(bytes, folder, FileOperation::NameRule::Replace).isEmpty())
            m_files.back().thumbnail = true;
    }

    // Drops a staged file (by its staged path): nothing of it is left.
    void drop(const QString& stagedPath)
    {
        m_files.erase(std::remove_if(m_files.begin(), m_files.end(),
                                     [&](const Staged& staged) {
                                         return !staged.committed && staged.file.stagedPath() == stagedPath;
                                     }),
                      m_files.end());
    }

    // Commits the claiming file under the photo's name, never replacing a
    // file: while the name is taken it moves on to the next one, which is
    // the photo's name from then on. False when no name was claimed (the
    // failure is told where the file failed).
    bool claim()
    {
        for (Staged& staged : m_files) {
            if (!staged.claims || staged.committed)
                continue;
            staged.committed = true;
            QString& name = m_result.targetName;
            for (int attempt = 0; attempt < kMaxClaims; ++attempt) {
                const QString target = staged.folder + name;
                bool taken = false;
                if (staged.file.commit(target, FileOperation::NameRule::NewOnly, nullptr, &taken)) {
                    m_result.newName = true;
                    committed(staged, target);
                    return true;
                }
                const QString next = taken ? m_request.nextName(name) : QString();
                if (next.isEmpty() || next == name) {
                    failed(target, staged.file.error());
                    return false;
                }
                qDebug() << "名称已被占用" << name << "改为" << next;
                name = next;
            }
            failed(staged.folder + name, staged.file.error());
            return false;
        }
        return false;
    }

    // Commits every file not yet committed, in the order they were staged
    // (the main copy first). The thumbnails of a photo whose main copy
    // holds no name, whether it failed while it was written or at its
    // commit, are dropped: the old ones stay with the old main copy.
    void commit()
    {
        for (Staged& staged : m_files) {
            if (staged.committed || (staged.thumbnail && !m_result.mainCopy))
                continue;
            staged.committed = true;
            const QString target = staged.folder + m_result.targetName;
            QString used;
            if (commitFile(staged, target, &used))
                committed(staged, used);
            else
                failed(target, staged.file.error());
        }
        if (!m_result.mainCopy) {
            qDebug() << "主副本未写入，缩略图不写" << m_result.targetName;
            m_files.erase(std::remove_if(m_files.begin(), m_files.end(),
                                         [](const Staged& staged) { return staged.thumbnail; }),
                          m_files.end());
        }
        syncNamedFolders();
    }

private:
    struct Staged
    {
        FileOperation::StagedFile file;
        QString folder;
        FileOperation::NameRule rule = FileOperation::NameRule::Replace;
        bool claims = false;
        bool thumbnail = false; // committed only after the main copy
        bool committed = false;
    };

    // Each folder in which a file of the photo took its name is synced once:
    // a name the device has not recorded is a photo that may not be there.
    void syncNamedFolders()
    {
        QStringList synced;
        for (const Staged& staged : m_files) {
            const bool named = staged.committed && !staged.file.isStarted() &&
                               staged.file.error() == FileOperation::WriteError::None;
            if (!named || synced.contains(staged.folder))
                continue;
            synced.append(staged.folder);
            if (!FileOperation::syncFolder(staged.folder))
                failed(staged.folder + m_result.targetName, FileOperation::WriteError::Other);
        }
    }

    // Names a file by its rule. The main copy that replaces takes its name
    // as a new one where it is free, so the photo knows whether it added a
    // file to its folder or replaced one: told by the naming itself, never
    // by a look beforehand that another import could overtake.
    bool commitFile(Staged& staged, const QString& target, QString* used)
    {
        using Rule = FileOperation::NameRule;
        if (staged.folder != m_mainFolder || staged.rule != Rule::Replace)
            return staged.file.commit(target, staged.rule, used);
        bool taken = false;
        if (staged.file.commit(target, Rule::NewOnly, used, &taken)) {
            m_result.newName = true;
            return true;
        }
        return taken && staged.file.commit(target, Rule::Replace, used);
    }

    void committed(const Staged& staged, const QString& used)
    {
        if (staged.folder == m_mainFolder) {
            m_result.mainCopy = true;
        } else if (staged.folder == m_backupFolder) {
            m_result.backupCopy = true;
            m_result.backupName = QFileInfo(used).fileName();
        }
    }

    // A failed write leaves any file already at the target as it was.
    void failed(const QString& target, FileOperation::WriteError error)
    {
        qDebug() << "写入失败" << target;
        m_result.failed.append(target);
        if (error == FileOperation::WriteError::DiskFull)
            m_result.diskFull = true;
    }

    const PhotoImport::Request& m_request;
    PhotoImport::Result& m_result;
    const QString m_mainFolder;
    const QString m_backupFolder;
    std::vector<Staged> m_files;
};

// How the main copy of a turned photo came about when the turn was
// written straight into it.
enum class Streamed
{
    Staged,         // the turned photo is staged as the main copy
    WriteFailed,    // the main copy could not be written (the failure is told)
    InMemory,       // the turn needs the photo's coefficients twice: made in memory
    NoLosslessTurn, // a damaged photo, no memory for it, or an orientation no block move makes: decoded
};

// The lossless turn written straight into the main copy's staged file, so
// the turned photo is never held whole beside the coefficients; its
// thumbnail comes from the staged copy read back, and a copy that does not
// read back and decode cleanly is dropped.
Streamed streamTurned(const QByteArray& data, int orientation, const QString& folder,
                      FileOperation::NameRule rule, bool claims, PhotoFiles& files, Turned* turned)
{
    const qint64 footprint = JpegCodec::turnFootprint(data);
    if (footprint <= 0 || orientation < 2 || orientation > 8)
        return Streamed::NoLosslessTurn;
    JpegCodec::Streamed outcome = JpegCodec::Streamed::Declined;
    QString staged;
    {
        BigStep step(footprint);
        if (step.refused())
            return Streamed::NoLosslessTurn;
        staged = files.stageWith(folder, rule, claims, [&](int fd) {
            int error = 0;
            outcome = JpegCodec::turnUprightInto(data, orientation, [&](const char* bytes, size_t size) {
                error = FileOperation::writeAll(fd, bytes, qint64(size));
                return error == 0;
            });
            if (outcome == JpegCodec::Streamed::SinkFailed)
                return error ? error : EIO;
            return outcome == JpegCodec::Streamed::Done ? 0 : PhotoFiles::kNotWritten;
        });
    }
    switch (outcome) {
    case JpegCodec::Streamed::Declined:
        return Streamed::InMemory;
    case JpegCodec::Streamed::Damaged:
        return Streamed::NoLosslessTurn;
    default:
        break;
    }
    if (staged.isEmpty()) {
        turned->thumbnail = ImageOperation::uprightImage(decodeFitted(data, kBox2250), orientation);
        return Streamed::WriteFailed;
    }
    QByteArray main;
    if (FileOperation::readFile(staged, &main))
        turned->thumbnail = decodeTurnedCopy(main);
    if (turned->thumbnail.isNull()) {
        files.drop(staged);
        return Streamed::NoLosslessTurn;
    }
    return Streamed::Staged;
}

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
    QByteArray data;
    if (!FileOperation::readFile(request.source, &data)) {
        qDebug() << "无法读取照片" << request.source;
        result.unreadable = true;
        return result;
    }
    qDebug() << "导入照片" << request.source << "->" << request.orderPath << request.targetName << "大小"
             << data.size();

    // Judged by the bytes that were read: the file on the card is not
    // opened again, so a look-up that fails now cannot take a turned photo
    // for an upright one, nor drop its shot time.
    const ExifReader::Info exif = ExifReader::fromBytes(data);
    result.orientation = exif.orientation == 0 ? 1 : exif.orientation;
    result.shotTime = exif.shotTime;
    const bool upright = result.orientation == 1;
    using Rule = FileOperation::NameRule;
    const bool claiming = bool(request.nextName);
    const QString backupFolder = request.backupPath + QStringLiteral("照片/");
    PhotoFiles files(request, result, request.orderPath + folders.main.first(),
                     needsBackup ? backupFolder : QString());
    // The main copy: an upright photo's is the file itself, a turned one's
    // the photo turned upright, written straight into its file where it has
    // one main copy. A photo that cannot be turned keeps its own bytes (its
    // tag still turns it for every viewer): no photo is left without one.
    Turned turned;
    Streamed streamed = Streamed::InMemory;
    if (!upright) {
        if (folders.main.size() == 1 && isJpegName(request.targetName)) {
            streamed = streamTurned(data, result.orientation, request.orderPath + folders.main.first(),
                                    claiming ? Rule::NewOnly : Rule::Replace, claiming, files, &turned);
        }
        if (streamed == Streamed::InMemory || streamed == Streamed::NoLosslessTurn)
            turned =
                turnUpright(data, result.orientation, request.targetName, streamed == Streamed::InMemory);
    }
    const bool mainHandled = streamed == Streamed::Staged || streamed == Streamed::WriteFailed;
    if (!mainHandled) {
        if (!upright && turned.main.isEmpty())
            qDebug() << "照片无法旋转，保存原文件" << request.source;
        const QByteArray& main = turned.main.isEmpty() ? data : turned.main;
        for (int i = 0; i < folders.main.size(); ++i)
            files.stage(main, request.orderPath + folders.main.at(i),
                        claiming && i == 0 ? Rule::NewOnly : Rule::Replace, claiming && i == 0);
    }
    turned.main.clear();
    // A claiming photo writes nothing else before its name is claimed.
    if (needsBackup && !claiming)
        files.stage(data, backupFolder, Rule::NumberIfTaken);

    // The thumbnails, while the copies are on their way to the device.
    QImage image = upright ? decodeFitted(data, kBox2250) : std::move(turned.thumbnail);
    result.decoded = !image.isNull();
    // The photo's bytes are written out unless a claim or an undecodable
    // photo still needs them: a batch holds less at its peak.
    if (!claiming && result.decoded)
        data.clear();
    // Each thumbnail from the one before; an image the suffix has no writer
    // for is skipped, as saving it would be: only a failed write counts as a
    // failure.
    QList<QPair<QString, QByteArray>> thumbnails;
    if (result.decoded) {
        for (const auto& thumb :
             {qMakePair(folders.thumb2250, kBox2250), qMakePair(folders.thumb1000, kBox1000),
              qMakePair(folders.thumb200, kBox200)}) {
            image = fitted(image, thumb.second);
            QByteArray bytes;
            if (ImageOperation::encodeImage(image, request.targetName, &bytes))
                thumbnails.append({thumb.first, bytes});
            else
                qDebug() << "无法保存为此格式" << thumb.first + request.targetName;
        }
        image = QImage();
    }

    // The name is claimed before any other file of the photo is written; a
    // photo whose main copy holds no name writes nothing under it.
    if (claiming) {
        if (!files.claim())
            return result;
        if (needsBackup)
            files.stage(data, backupFolder, Rule::NumberIfTaken);
    }
    const QString& name = result.targetName;
    if (!result.decoded) {
        qDebug() << "图片无法解码" << request.source;
        files.stageThumbnail(data, request.orderPath + folders.thumb1000);
        files.stageThumbnail(data, request.orderPath + folders.thumb2250);
    }
    data.clear();
    for (const auto& thumb : qAsConst(thumbnails))
        files.stageThumbnail(thumb.second, request.orderPath + thumb.first);
    files.commit();
    if (result.decoded && request.type == ImportFinished) {
        const QString small = request.orderPath + folders.thumb200 + name;
        const bool saved = result.mainCopy && thumbnails.size() == 3 && !result.failed.contains(small);
        qDebug() << "成品小缩略图" << (saved ? "保存成功" : "保存失败") << small;
    }
    return result;
}

PhotoImport::Result PhotoImport::copyVideo(const Request& request)
{
    Result result;
    result.targetName = request.targetName;
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
    if (FileOperation::copyNewFile(request.source, target, &taken, &error)) {
        result.mainCopy = true;
        result.newName = true;
        return result;
    }
    if (taken) {
        // The existing file stays as it is, whatever it holds.
        bool unreadable = false;
        if (FileOperation::isSameContent(request.source, target, &unreadable))
            result.mainCopy = true;
        else if (unreadable)
            result.unreadable = true;
        else
            result.nameTaken = true;
        return result;
    }
    if (error == FileOperation::WriteError::None) {
        result.unreadable = true;
    } else {
        result.failed.append(target);
        result.diskFull = error == FileOperation::WriteError::DiskFull;
    }
    return result;
}

void PhotoImport::setMemoryHook(MemoryHook hook)
{
    QMutexLocker lock(&s_memoryHookMutex);
    s_memoryHook = std::move(hook);
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
