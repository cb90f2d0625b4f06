#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

// Stands where the worker's owners stand: the slots its jobs call by name.
class N8Receiver : public QWidget
{
    Q_OBJECT
public:
    QList<QPair<QJsonArray, QString>> stores;
    QList<QJsonObject> messages;

    // The "type" of every message, in order.
    QStringList types() const
    {
        QStringList t;
        for (const QJsonObject& m : messages)
            t.append(m.value("type").toString());
        return t;
    }

public slots:
    void slt_n8stores(QJsonArray s, QString msg) { stores.append({s, msg}); }
    void slt_threademit(QJsonObject m) { messages.append(m); }
    void slt_exportN8Result(QJsonObject m) { messages.append(m); }
};
