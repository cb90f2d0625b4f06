#include "startup.h"

#include "appresources.h"
#include "config.h"
#include "qttranslation.h"
#include "windowclose.h"

#include <QApplication>

void prepareApplication(QApplication* app)
{
    QApplication::setApplicationName(QStringLiteral("Velmor软件-Dravin"));
    installQtTranslation(app);
    Config::initialize();
    initAppResources();
    keepNativeWindowsUntilDeleted(app);
}
