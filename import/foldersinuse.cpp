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

} // namespace

Claim::Claim(const QString& folder, const QString& orderKey)
{
    if (folder.isEmpty())
        return;
    QMutexLocker lock(&s_mutex);
    m_id = s_nextId++;
    s_entries.insert(m_id, Entry{normalized(folder), orderKey});
}

Claim::~Claim()
{
    release();
}

Claim::Claim(Claim&& other) noexcept : m_id(other.m_id)
{
    other.m_id = 0;
}

Claim& Claim::operator=(Claim&& other) noexcept
{
    if (this != &other) {
        release();
        m_id = other.m_id;
        other.m_id = 0;
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
    for (const Entry& entry : qAsConst(s_entries)) {
        if (entry.folder.startsWith(wanted) || wanted.startsWith(entry.folder)) {
            if (orderKey)
                *orderKey = entry.orderKey;
            return true;
        }
    }
    return false;
}

} // namespace FoldersInUse
