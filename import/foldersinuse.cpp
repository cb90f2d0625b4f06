#include "foldersinuse.h"

#include <QDir>
#include <QHash>
#include <QMutex>

namespace FoldersInUse {

namespace {

struct Entry
{
    QString folder; // clean, absolute, ending in "/"
    QString orderKey;
    Use use;
};

QMutex s_mutex;
QHash<quint64, Entry> s_entries;
quint64 s_nextId = 1;

QString normalized(const QString& path)
{
    QString clean = QDir::cleanPath(QDir(path).absolutePath());
    if (!clean.endsWith(QLatin1Char('/')))
        clean += QLatin1Char('/');
    return clean;
}

// The first entry of use whose folder is folder, lies in it or holds it.
// Called with s_mutex held.
const Entry* overlapping(const QString& folder, Use use)
{
    for (const Entry& entry : qAsConst(s_entries)) {
        if (entry.use == use && (entry.folder.startsWith(folder) || folder.startsWith(entry.folder)))
            return &entry;
    }
    return nullptr;
}

} // namespace

Claim::Claim(const QString& folder, const QString& orderKey, Use use)
{
    if (folder.isEmpty())
        return;
    const QString clean = normalized(folder);
    QMutexLocker lock(&s_mutex);
    if (overlapping(clean, use == Use::Import ? Use::Deletion : Use::Import)) {
        m_refused = true;
        return;
    }
    m_id = s_nextId++;
    s_entries.insert(m_id, Entry{clean, orderKey, use});
}

Claim::~Claim()
{
    release();
}

Claim::Claim(Claim&& other) noexcept : m_id(other.m_id), m_refused(other.m_refused)
{
    other.m_id = 0;
    other.m_refused = false;
}

Claim& Claim::operator=(Claim&& other) noexcept
{
    if (this != &other) {
        release();
        m_id = other.m_id;
        m_refused = other.m_refused;
        other.m_id = 0;
        other.m_refused = false;
    }
    return *this;
}

void Claim::release()
{
    if (!m_id)
        return;
    QMutexLocker lock(&s_mutex);
    s_entries.remove(m_id);
    m_id = 0;
}

bool contains(const QString& path, QString* orderKey)
{
    if (path.isEmpty())
        return false;
    const QString wanted = normalized(path);
    QMutexLocker lock(&s_mutex);
    const Entry* importing = overlapping(wanted, Use::Import);
    if (importing && orderKey)
        *orderKey = importing->orderKey;
    return importing != nullptr;
}

QString importRefusedText(const QString& orderKey)
{
    return QStringLiteral("订单正在删除，未导片：%1").arg(orderKey);
}

} // namespace FoldersInUse
