#include "qttranslation.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibraryInfo>
#include <QTranslator>

bool installQtTranslation(QCoreApplication* app)
{
    auto* translator = new QTranslator(app);
    const QString folder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
        qDebug() << "no qtbase_zh_CN in" << folder;
        delete translator;
        return false;
    }
    return app->installTranslator(translator);
}
