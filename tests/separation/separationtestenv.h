#pragma once

#include "config.h"
#include "demotree.h"
#include "searchorder.h"
#include "splitaftersample.h"
#include "standin.h"
#include "windowtestenv.h"

#include <QtTest>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

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

    // The Tovaro shop (77) with its one store and its own separation layout.
    static void useTovaroShop()
    {
        Config::shop_id = QStringLiteral("77");
        Config::storenames = QStringList{QStringLiteral("Tovaro一馆")};
        Config::storeids = QStringList{QStringLiteral("7701")};
        Config::fjtype = QStringLiteral("Tovaro分件");
        Config::fj_cpname = QStringLiteral("02底片");
        Config::fj_bzname = QStringLiteral("01标注");
        Config::isshow_subproduct = QStringLiteral("0");
    }
};

// A window's widget by object name; a missing one ends the test run.
template <typename T> T* child(QObject* window, const char* name)
{
    T* found = window->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// The separation window of a kind: "design" or "post-sample".
inline std::unique_ptr<SeparationWindowBase> makeWindow(const QString& kind)
{
    if (kind == QLatin1String("post-sample"))
        return std::make_unique<SplitAfterSample>();
    return std::make_unique<SearchOrder>();
}

// Searches by order number and waits until the search button is back.
inline void search(SeparationWindowBase& w, const QString& key)
{
    child<QComboBox>(&w, "comboBox")->setCurrentText(QStringLiteral("预约单号"));
    child<QLineEdit>(&w, "orderNumber")->setText(key);
    child<QPushButton>(&w, "searchButton")->click();
    QTRY_VERIFY(child<QPushButton>(&w, "searchButton")->isEnabled());
}
