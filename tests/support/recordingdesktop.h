#pragma once

#include "desktop.h"

#include <QList>
#include <QPair>

// A Desktop backend for tests: records what would have been opened or
// started, and does nothing.
class RecordingDesktop : public Desktop
{
public:
    RecordingDesktop();  // installs itself
    ~RecordingDesktop() override;

    bool openUrl(const QUrl& url) override;
    bool startDetached(const QString& program, const QStringList& arguments) override;

    QList<QUrl> urls;
    QList<QPair<QString, QStringList>> programs;
};
