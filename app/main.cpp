#include "appresources.h"
#include "config.h"
#include "dialogprompts.h"
#include "login.h"
#include "prompts.h"
#include "qttranslation.h"

#include <QApplication>

#include <malloc.h>

int main(int argc, char* argv[])
{
    // Camera photos pass through buffers of megabytes; served from mappings
    // of their own, they go back to the system when freed instead of
    // swelling the heap for the rest of the session.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
    qSetMessagePattern(QStringLiteral("%{file}:%{line} %{function}: %{message}"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmor软件-Dravin"));
    installQtTranslation(&app);
    Config::initialize();
    initAppResources();

    DialogPrompts prompts;
    Prompts::install(&prompts);

    Login login(nullptr);
    login.show();
    return app.exec();
}
