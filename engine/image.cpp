#include "image.h"

#include "dirserver.h"

#include <QFileInfo>

namespace {

bool isFineOrDeleted(int kind)
{
    return kind == FinePhoto || kind == DeletedPhoto;
}

bool existsOnDisk(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

QString Image::resolveOnDisk(const QString& folder, const QString& name)
{
    const QString plain = folder + name;
    if (name.isEmpty() || existsOnDisk(plain))
        return plain;
    const QLatin1String lower(".jpg");
    const QLatin1String upper(".JPG");
    if (!name.contains(lower))
        return plain;
    // The listing turns every ".JPG" into ".jpg"; try the spelling with
    // only the suffix turned back first, then every occurrence.
    QStringList candidates;
    if (name.endsWith(lower))
        candidates << name.left(name.size() - lower.size()) + upper;
    candidates << QString(name).replace(lower, upper);
    for (const QString& candidate : qAsConst(candidates)) {
        if (existsOnDisk(folder + candidate))
            return folder + candidate;
    }
    return plain;
}

QString Image::orderFolder() const
{
    return m_orderFolder.isNull() ? DirServer::getOrderPath() : m_orderFolder;
}

QString Image::GetImagePath() const
{
    const QString folder =
        isFineOrDeleted(m_kind) ? DirServer::fineSmallThumbFolder() : DirServer::originalSmallThumbFolder();
    return resolveOnDisk(orderFolder() + folder, m_fileName);
}

QString Image::GetMiddleImagePath() const
{
    const QString folder =
        isFineOrDeleted(m_kind) ? DirServer::fineMidThumbFolder() : DirServer::originalMidThumbFolder();
    return resolveOnDisk(orderFolder() + folder, m_fileName);
}

QString Image::GetBigImagePath() const
{
    QString folder = DirServer::originalFolder();
    if (m_kind == FinePhoto)
        folder = DirServer::fineFolder();
    else if (m_kind == DeletedPhoto)
        folder = DirServer::deletedFolder();
    return resolveOnDisk(orderFolder() + folder, m_fileName);
}

QString Image::GetCompareImagePath() const
{
    if (m_kind == FinePhoto)
        return resolveOnDisk(orderFolder() + DirServer::originalFolder(), m_fileName);
    if (m_kind == RawPhoto)
        return resolveOnDisk(orderFolder() + DirServer::fineFolder(), m_fileName);
    return QLatin1String("");
}

void Image::setClipRect(QRect rect, bool ellipse)
{
    m_rect = rect;
    m_ellipse = ellipse;
}

int Image::getProductNum() const
{
    return m_productId.split(QStringLiteral("用"), Qt::KeepEmptyParts).size() - 1;
}
