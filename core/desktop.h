#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Opening web pages and folders and starting outside programs go through
// one replaceable object, so tests can record them instead.
class Desktop
{
public:
    virtual ~Desktop() = default;

    virtual bool openUrl(const QUrl& url) = 0;
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;

    // Opens a local folder in the desktop's file browser.
    bool openFolder(const QString& path);

    static Desktop& instance();
    // Installs a backend (not owned); nullptr goes back to the system one.
    static void install(Desktop* desktop);
};

// The system backend: QDesktopServices and QProcess.
class SystemDesktop : public Desktop
{
public:
    bool openUrl(const QUrl& url) override;
    bool startDetached(const QString& program, const QStringList& arguments) override;
};
