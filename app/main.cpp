#include "appresources.h"
#include "config.h"
#include "dialogprompts.h"
#include "labelprinter.h"
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

    // Barcode labels go to PDF files when DRAVIN_LABEL_PDF_DIR names a
    // folder (the demo), else to the default printer.
    const std::unique_ptr<LabelPrinter> labelPrinter = LabelPrinter::fromEnvironment();
    LabelPrinter::install(labelPrinter.get());

    Login login(nullptr);
    login.show();
    return app.exec();
}
