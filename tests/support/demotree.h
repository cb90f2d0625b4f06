#pragma once

#include <QDebug>
#include <QProcess>
#include <QString>

// The small demo file tree (the fixture's orders with their photos, raw
// files and N8 selections) made under a mount root by the demo-data maker.
// Tests that use it define DRAVIN_MAKE_DEMO_DATA as the maker's path.
#ifdef DRAVIN_MAKE_DEMO_DATA
inline bool makeDemoTree(const QString& root)
{
    QProcess maker;
    maker.start(QStringLiteral(DRAVIN_MAKE_DEMO_DATA), {"--root", root, "--small"});
    if (!maker.waitForFinished(120000))
        return false;
    if (maker.exitCode() != 0)
        qWarning().noquote() << maker.readAllStandardError();
    return maker.exitStatus() == QProcess::NormalExit && maker.exitCode() == 0;
}
#endif
