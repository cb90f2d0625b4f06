#pragma once

#include <QRunnable>
#include <QString>

// A pooled job that moves one file (copy, then removal of the source) or
// removes one file, off the user-interface thread. It reports nothing.
class CopyFileThread : public QRunnable
{
public:
    // Move: an existing target is replaced.
    CopyFileThread(QString source, QString target);
    // Removal.
    explicit CopyFileThread(QString path);
    ~CopyFileThread() override;

    void run() override;

private:
    QString m_srcPath;
    QString m_dstPath;
    int m_mode = 0;
};
