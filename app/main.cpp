#include "appresources.h"
#include "config.h"
#include "dialogprompts.h"
#include "login.h"
#include "prompts.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    qSetMessagePattern(QStringLiteral("%{file}:%{line} %{function}: %{message}"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmor软件-Dravin"));
    Config::initialize();
    initAppResources();

    DialogPrompts prompts;
    Prompts::install(&prompts);

    Login login(nullptr);
    login.show();
    return app.exec();
}
