#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary mount root for a test: Config's volumes root points into it
// for the object's lifetime.
class TempVolumes
{
public:
    TempVolumes();
    ~TempVolumes();

    bool isValid() const { return m_dir.isValid(); }
    // The mount root, ending in "/".
    QString root() const;
    // root() + relative; folders are made with mkpath.
    QString path(const QString& relative) const;
    QString mkdir(const QString& relative) const;
    // Writes a file (parents made) and returns its path.
    QString writeFile(const QString& relative, const QByteArray& content) const;

private:
    QTemporaryDir m_dir;
    QString m_previousRoot;
};
