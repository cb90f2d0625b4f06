#include "dialogprompts.h"
#include "labelprinter.h"
#include "login.h"
#include "pendingrecords.h"
#include "prompts.h"
#include "startup.h"

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
    prepareApplication(&app);

    DialogPrompts prompts;
    Prompts::install(&prompts);

    // Barcode labels go to PDF files when DRAVIN_LABEL_PDF_DIR names a
    // folder (the demo), else to the default printer.
    const std::unique_ptr<LabelPrinter> labelPrinter = LabelPrinter::fromEnvironment();
    LabelPrinter::install(labelPrinter.get());

    Login login(nullptr);
    login.show();
    const int code = app.exec();
    // Staff may close the last window while an import's records are on their way.
    PendingRecords::settleBeforeQuit();
    return code;
}
