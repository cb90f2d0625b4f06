#include "config.h"
#include "dialogprompts.h"
#include "prompts.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    qSetMessagePattern(QStringLiteral("%{file}:%{line} %{function}: %{message}"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmor软件-Dravin"));
    Config::initialize();

    DialogPrompts prompts;
    Prompts::install(&prompts);

    // Placeholder until the sign-in dialog exists.
    QLabel window(QStringLiteral("Velmor软件-Dravin ") + Config::version);
    window.setWindowTitle(QApplication::applicationName());
    window.resize(360, 120);
    window.show();
    return app.exec();
}
