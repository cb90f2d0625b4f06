#pragma once

#include <QList>
#include <QString>

// One shop the signed-in user may work in.
struct Shop
{
    QString name;
    QString id;
};
