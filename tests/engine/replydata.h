#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

// A web-service reply kept in tests/engine/data; empty when missing.
inline QJsonObject loadReply(const QString& name)
{
    QFile file(QStringLiteral(ENGINE_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}
