#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// One file of an N8 folder import: where it is and where it goes.
class N8FileInfo
{
public:
    N8FileInfo() = default;
    N8FileInfo(const QString& fromPath, const QString& toPath) : m_fromPath(fromPath), m_toPath(toPath) {}

    QString getFromPath() const { return m_fromPath; }
    void setFromPath(const QString& path) { m_fromPath = path; }
    QString getToPath() const { return m_toPath; }
    void setToPath(const QString& path) { m_toPath = path; }

    bool operator==(const N8FileInfo& other) const
    {
        return m_fromPath == other.m_fromPath && m_toPath == other.m_toPath;
    }
    bool operator!=(const N8FileInfo& other) const { return !(*this == other); }

    // Lists of it travel in queued signals as "QList<N8FileInfo>"; called
    // before anything can emit one (any number of times).
    static void registerMetaTypes();

private:
    QString m_fromPath;
    QString m_toPath;
};

Q_DECLARE_METATYPE(N8FileInfo)

inline void N8FileInfo::registerMetaTypes()
{
    qRegisterMetaType<N8FileInfo>("N8FileInfo");
    qRegisterMetaType<QList<N8FileInfo>>("QList<N8FileInfo>");
}
