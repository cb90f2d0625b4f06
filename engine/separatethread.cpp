#include "separatethread.h"

#include "dirserver.h"
#include "filenames.h"
#include "fileoperation.h"
#include "imagedata.h"
#include "imageoperation.h"

#include <QDebug>
#include <QFileInfo>
#include <QJsonObject>
#include <QJsonValue>
#include <QRect>

namespace {

const char* slotName(int type)
{
    switch (type) {
    case 1:
        return "fenjian_finalPhotoSlot_2";
    case 2:
        return "fenjian_photoIsFileSlot_1";
    case 3:
        return "fenjian_delPhotoSlot_3";
    case 4:
        return "fenjian_markPhoto_3_1";
    case 5:
        return "fenjian_productPhotoSlot_4";
    case 6:
        return "fenjian_analysisPhotoInfo";
    case 7:
        return "fenjian_shejiPhotoSlot_3_2";
    default:
        return nullptr;
    }
}

const char kCopyFailed[] = "copyFailed";
const char kListFailed[] = "listFailed";

const char* const kRawExtensions[] = {".CR2", ".CR3", ".ARW", ".NEF", ".RAF"};

bool hasJpgSuffix(const QString& path)
{
    return path.endsWith(QLatin1String(".jpg")) || path.endsWith(QLatin1String(".JPG"));
}

// Both paths name one file: a raw file already sitting where its twin goes.
bool sameFile(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// A mark coordinate or size of the service, held to what a photo can
// have, so the rectangle it makes (and every scaling of it) stays in range.
int decimal(const QJsonObject& entry, const char* key)
{
    bool ok = false;
    const qlonglong value = entry.value(QLatin1String(key)).toString().toLongLong(&ok, 10);
    if (!ok)
        return 0;
    return int(qBound<qlonglong>(-SeparateThread::markLimit, value, SeparateThread::markLimit));
}

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

SeparateThread::SeparateThread(QString path, int type, JobOwnerHandle owner)
    : m_owner(std::move(owner)), m_type(type), m_srcPath(std::move(path))
{
}

SeparateThread::SeparateThread(QString source, QString target, bool overwrite, int type, JobOwnerHandle owner,
                               QString sjfjxz)
    : m_owner(std::move(owner)), m_type(type), m_srcPath(std::move(source)), m_dstPath(std::move(target)),
      m_overwrite(overwrite), m_sjfjxz(std::move(sjfjxz))
{
}

SeparateThread::SeparateThread(QString fileName, QString target, QString productName, bool overwrite,
                               int type, JobOwnerHandle owner, QString finishedFolder)
    : m_owner(std::move(owner)), m_type(type), m_productName(std::move(productName)),
      m_srcPath(std::move(fileName)), m_dstPath(std::move(target)), m_overwrite(overwrite),
      m_finishedFolder(std::move(finishedFolder))
{
}

SeparateThread::SeparateThread(QJsonArray picInfoList, int type, JobOwnerHandle owner, QString orderPath)
    : m_owner(std::move(owner)), m_type(type), m_picInfoList(std::move(picInfoList)),
      m_orderPath(std::move(orderPath))
{
}

SeparateThread::~SeparateThread() = default;

QByteArray SeparateThread::callbackSignature(int type)
{
    const char* name = slotName(type);
    if (!name)
        return QByteArray();
    const QByteArray argument = type == 2 ? "int" : type == 5 ? "QString" : "";
    return QByteArray(name) + '(' + argument + ')';
}

QList<QByteArray> SeparateThread::callbackSignatures()
{
    QList<QByteArray> signatures;
    for (int type = 1; type <= 7; ++type)
        signatures.append(callbackSignature(type));
    signatures.append(QByteArray(kCopyFailed) + "(QString,QString)");
    signatures.append(QByteArray(kListFailed) + "(QString)");
    return signatures;
}

QList<QPair<QString, QString>> SeparateThread::rawFilePairs(const QString& source, const QString& target)
{
    QList<QPair<QString, QString>> pairs;
    if (!hasJpgSuffix(source) || !hasJpgSuffix(target))
        return pairs;
    const int slash = source.lastIndexOf(QLatin1Char('/'));
    QString folder = source.left(slash + 1);
    const QString base = source.mid(slash + 1).chopped(4);
    // Raw camera files sit in the order's "照片/新建文件夹/"; only the
    // photo's own folder is renamed, never a folder of the same name higher up.
    const QString fine = DirServer::fineFolder();
    if (folder == fine || folder.endsWith(QLatin1Char('/') + fine))
        folder = folder.left(folder.size() - fine.size()) + DirServer::originalFolder() +
                 QStringLiteral("新建文件夹/");
    const QString targetBase = target.chopped(4);
    for (const char* extension : kRawExtensions)
        pairs.append({folder + base + QLatin1String(extension), targetBase + QLatin1String(extension)});
    return pairs;
}

QString SeparateThread::missingPhotoReport(const QString& productName, const QString& fileName)
{
    QString second = fileName;
    second.replace(QLatin1String(".jpg"), QLatin1String(".JPG"));
    return productName + QLatin1Char(':') + second;
}

void SeparateThread::run()
{
    qDebug() << "isWindowShow :" << m_owner.isShown() << "-" << m_type;
    if (!m_owner.isShown())
        return;
    switch (m_type) {
    case 1:
        separateImage();
        break;
    case 2:
        photoisFile();
        break;
    case 3:
        delPhotoCopy();
        break;
    case 4:
        markPhotoCopy();
        break;
    case 5:
        productPhotoCopy();
        break;
    case 6:
        analysisPicInfoList();
        break;
    case 7:
        shejiimgCopy();
        break;
    default:
        break;
    }
}

void SeparateThread::callBack()
{
    m_owner.post(slotName(m_type));
}

void SeparateThread::copyReporting(const QString& source, const QString& target)
{
    // "." and ".." of a listing are never copied nor named, whatever their
    // look-up says on a share that dropped; another folder of the listing
    // has nothing to copy.
    const QString name = nameOf(source);
    if (name == QLatin1String(".") || name == QLatin1String("..") || QFileInfo(source).isDir())
        return;
    FileOperation::WriteError error = FileOperation::WriteError::None;
    if (FileOperation::copyFile(source, target, m_overwrite, &error))
        return;
    // No write error: the source was gone or broke off while being read.
    const QString& failed = error == FileOperation::WriteError::None ? source : target;
    qDebug() << "copy failed:" << source << "->" << target;
    m_owner.post(kCopyFailed, folderOf(failed), nameOf(failed));
}

void SeparateThread::separateImage()
{
    copyReporting(m_srcPath, m_dstPath);
    if (m_sjfjxz == QLatin1String("1")) {
        for (const auto& raw : rawFilePairs(m_srcPath, m_dstPath)) {
            // A raw file that cannot be looked at may well be there: it is
            // named as not written, never passed over as one not made.
            const FileOperation::Presence presence = FileOperation::lookUp(raw.first);
            if (presence == FileOperation::Presence::Unreadable)
                m_owner.post(kCopyFailed, folderOf(raw.first), nameOf(raw.first));
            else if (presence != FileOperation::Presence::Missing && !sameFile(raw.first, raw.second))
                copyReporting(raw.first, raw.second);
        }
    }
    if (!m_smallThumbnail.isEmpty() && !QFileInfo::exists(m_smallThumbnail) &&
        QFileInfo(QFileInfo(m_smallThumbnail).path()).isDir() && QFileInfo(m_srcPath).isFile())
        ImageOperation::makeSmallThumbnail(m_srcPath, m_smallThumbnail);
    callBack();
}

void SeparateThread::photoisFile()
{
    qDebug() << "---20--2" << m_srcPath;
    m_owner.post(slotName(m_type), FileOperation::isFileExist(m_srcPath) ? 1 : 0);
}

void SeparateThread::delPhotoCopy()
{
    copyReporting(m_srcPath, m_dstPath);
    qDebug() << "isWindowShow4 :" << m_owner.isShown();
    callBack();
}

void SeparateThread::markPhotoCopy()
{
    qDebug() << "拷贝标注相册：";
    qDebug() << "from: " << m_srcPath;
    qDebug() << "to: " << m_dstPath;
    copyReporting(m_srcPath, m_dstPath);
    qDebug() << "isWindowShow4 :" << m_owner.isShown();
    callBack();
}

void SeparateThread::productPhotoCopy()
{
    QString second = m_srcPath;
    second.replace(QLatin1String(".jpg"), QLatin1String(".JPG"));
    bool copied = false;
    if (FileNames::isPlainFileName(m_srcPath)) {
        // The upper-case name only stands in for one that is not there,
        // never for one that cannot be looked at.
        const FileOperation::Presence asNamed = FileOperation::lookUp(m_finishedFolder + m_srcPath);
        if (asNamed == FileOperation::Presence::File)
            copied = FileOperation::copyFile(m_finishedFolder + m_srcPath, m_dstPath, m_overwrite);
        else if (asNamed != FileOperation::Presence::Unreadable &&
                 FileOperation::lookUp(m_finishedFolder + second) == FileOperation::Presence::File)
            copied = FileOperation::copyFile(m_finishedFolder + second, m_dstPath, m_overwrite);
    }
    // A photo that did not reach its product folder is reported like a
    // missing one, so the order's report names it.
    m_owner.post(slotName(m_type), copied ? QString() : missingPhotoReport(m_productName, m_srcPath));
}

void SeparateThread::analysisPicInfoList()
{
    // ImageData and DirServer are process-wide and written here on a pool
    // thread. That is safe only because the process runs one separation at
    // a time (SeparationRunGuard) and the window touches neither until this
    // job's call-back arrives.
    ImageData::changedImages.clear();
    for (const QJsonValue& value : qAsConst(m_picInfoList)) {
        if (!m_owner.isShown())
            return;
        const QJsonObject entry = value.toObject();
        QString name = entry.value(QLatin1String("picname")).toString();
        if (!FileNames::isPlainFileName(name))
            continue;
        Image image;
        image.Setpath(name);
        image.setDescription(entry.value(QLatin1String("descr")).toString());
        const bool ellipse = entry.value(QLatin1String("pictype")).toString() != QLatin1String("0");
        image.setClipRect(QRect(decimal(entry, "picx"), decimal(entry, "picy"), decimal(entry, "picwidth"),
                                decimal(entry, "picheight")),
                          ellipse);
        ImageData::changedImages.append(image);
    }
    if (!m_owner.isShown())
        return;
    DirServer::setOrderPath(m_orderPath);
    if (!ImageData::getInstance()->importImage(FinePhoto))
        m_owner.post(kListFailed, DirServer::getFineImagePath());
    callBack();
}

void SeparateThread::shejiimgCopy()
{
    copyReporting(m_srcPath, m_dstPath);
    qDebug() << "isWindowShow4 :" << m_owner.isShown();
    callBack();
}
