#pragma once

#include "config.h"
#include "standin.h"
#include "windowtestenv.h"

#include <QDir>
#include <QTemporaryDir>

// What a separation window test stands on: the window test environment,
// the demo user signed in to the flagship shop with its two stores, and a
// working directory of its own for the path list file.
struct SeparationTestEnv : WindowTestEnv
{
    QTemporaryDir workDir;
    QString previousDir = QDir::currentPath();

    SeparationTestEnv()
    {
        StandIn::useDemoIdentity();
        Config::token = QStringLiteral("5d1f08c6a93e2b74f0c8e61a7b3d9f25");
        Config::storenames = QStringList{QStringLiteral("旗舰店一馆"), QStringLiteral("旗舰店二馆")};
        Config::storeids = QStringList{QStringLiteral("1201"), QStringLiteral("1202")};
        Config::fjtype.clear();
        Config::fj_cpname = QStringLiteral("成品");
        Config::fj_bzname = QStringLiteral("标注");
        Config::isshow_subproduct = QStringLiteral("1");
        Config::isFjDownloadDeletePhoto = QStringLiteral("0");
        Config::sjfjxz = QStringLiteral("0");
        QDir::setCurrent(workDir.path());
    }
    ~SeparationTestEnv() { QDir::setCurrent(previousDir); }
};
