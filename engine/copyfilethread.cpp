#include "copyfilethread.h"

#include "fileoperation.h"

#include <QFileInfo>

CopyFileThread::CopyFileThread(QString source, QString target)
    : m_srcPath(std::move(source)), m_dstPath(std::move(target)), m_mode(0)
{
}

CopyFileThread::CopyFileThread(QString path) : m_srcPath(std::move(path)), m_mode(1) {}

CopyFileThread::~CopyFileThread() = default;

void CopyFileThread::run()
{
    if (m_mode == 1) {
        FileOperation::removeFile(m_srcPath);
        return;
    }
    if (m_mode != 0)
        return;
    // The source goes only once the copy stands complete under the target's
    // name; a move onto the file itself, or a failed copy, keeps the source.
    // "The file itself" is decided by device and inode, not by the paths: a
    // second mount of the share or a case-insensitive share gives one file
    // two paths, and after the copy the "source" would be the copy.
    const QFileInfo source(m_srcPath);
    if (!source.isFile())
        return;
    const qint64 size = source.size();
    if (m_srcPath == m_dstPath || FileOperation::isSameFile(m_srcPath, m_dstPath))
        return;
    if (!FileOperation::copyFile(m_srcPath, m_dstPath, true))
        return;
    const QFileInfo copied(m_dstPath);
    if (copied.isFile() && copied.size() == size && !FileOperation::isSameFile(m_srcPath, m_dstPath))
        FileOperation::removeFile(m_srcPath);
}
