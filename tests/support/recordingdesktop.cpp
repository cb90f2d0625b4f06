#include "recordingdesktop.h"

RecordingDesktop::RecordingDesktop()
{
    Desktop::install(this);
}

RecordingDesktop::~RecordingDesktop()
{
    Desktop::install(nullptr);
}

bool RecordingDesktop::openUrl(const QUrl& url)
{
    urls.append(url);
    return true;
}

bool RecordingDesktop::startDetached(const QString& program, const QStringList& arguments)
{
    programs.append({program, arguments});
    return true;
}
