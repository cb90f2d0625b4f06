#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// One file of an N8 folder import: where it is and where it goes.
class N8FileInfo
{
public:
    N8FileInfo() = default;

    QString getFromPath() const { return m_fromPath; }
    void setFromPath(const QString& path) { m_fromPath = path; }
    QString getToPath() const { return m_toPath; }
    void setToPath(const QString& path) { m_toPath = path; }

private:
    QString m_fromPath;
    QString m_toPath;
};

// Lists of it travel in queued signals as "QList<N8FileInfo>".
Q_DECLARE_METATYPE(N8FileInfo)
