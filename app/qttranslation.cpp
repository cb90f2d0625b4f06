#include "qttranslation.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installQtTranslation(QCoreApplication* app)
{
    // Month and day names of the calendars come from the locale, not from
    // the translation: they follow the interface's language too.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto* translator = new QTranslator(app);
    const QString folder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
        qDebug() << "no qtbase_zh_CN in" << folder;
        delete translator;
        return false;
    }
    return app->installTranslator(translator);
}
