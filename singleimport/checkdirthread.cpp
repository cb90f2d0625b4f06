#include "checkdirthread.h"

#include "fileoperation.h"

#include <QDebug>

CheckDirThread::CheckDirThread(QString path) : dirPath(std::move(path))
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

CheckDirThread::~CheckDirThread()
{
    wait();
}

void CheckDirThread::run()
{
    // The answer only chooses whether the window lists the folder now: a
    // "no" names nothing and counts nothing, and the run looks the folder
    // up itself before it writes, naming one it cannot look at.
    const bool result = FileOperation::isDirExist(dirPath);
    qDebug() << "目录是否存在" << (result ? "true" : "false");
    emit onFinishCheck(result);
}
