#include "n8thread.h"

#include "config.h"

#include <QDebug>
#include <QFileInfo>
#include <QJsonObject>
#include <QMetaObject>
#include <QWidget>

N8thread::N8thread(QWidget* receiver, QObject* parent) : QThread(parent), receiver(receiver) {}

N8thread::~N8thread()
{
    wait();
}

void N8thread::stopThread()
{
    isStop = true;
}

void N8thread::run()
{
    isStop = false;
    if (mode == QLatin1String("stores"))
        judgeStorePath();
}

QString N8thread::localN8Path(const QString& n8path)
{
    return Config::localPath(n8path);
}

void N8thread::judgeStorePath()
{
    QJsonArray reachable;
    QString names;
    for (const QJsonValue& element : qAsConst(stores)) {
        const QJsonObject store = element.toObject();
        const QString path = localN8Path(store.value(QStringLiteral("n8path")).toString());
        qDebug().noquote() << "n8path" << QStringLiteral("\"%1\"").arg(path);
        if (!path.isEmpty() && QFileInfo(path).isDir()) {
            reachable.append(store);
            continue;
        }
        const QString name = store.value(QStringLiteral("name")).toString();
        if (names.isEmpty())
            names = name;
        else
            names += QLatin1Char(',') + name;
    }
    QMetaObject::invokeMethod(receiver, "slt_n8stores", Qt::QueuedConnection, Q_ARG(QJsonArray, reachable),
                              Q_ARG(QString, names));
}
