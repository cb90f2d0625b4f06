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
    const bool result = FileOperation::isDirExist(dirPath);
    qDebug() << "目录是否存在" << (result ? "true" : "false");
    emit onFinishCheck(result);
}
