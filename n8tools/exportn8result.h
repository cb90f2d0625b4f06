#pragma once

#include "separationwindowbase.h"

#include <QJsonObject>

class N8thread;
class Ui_ExportN8Result;

// The N8 window ("N8分件"): finds orders with their N8 folders and exports
// the finished N8 layout selections of the checked ones into a dated output
// folder. The export is the worker's (N8thread, mode "exportN8result"); the
// window hands it a copy of the order list and shows its progress line and,
// at the end, its HTML report.
//
// Search, table, deletion type and the per-order separation run are the
// separation base's, on the N8 row of SeparationLayout. No control of this
// window starts that run: its main button starts the export. The export is
// not a separation run; it uses only the run flag isSeparating (one export
// or run at a time in this window) and never the process-wide run guard, so
// a search while it runs stays allowed.
//
// Closing during an export asks as the separation windows ask; 是 stops the
// export, and the window stays, asking nothing more, until the worker has
// sent its report and ended. The report is shown then, titled
// "提示:   分件未完成" when the stop left an order not exported, and the
// window closes.
class ExportN8Result : public SeparationWindowBase
{
    Q_OBJECT
public:
    explicit ExportN8Result(QWidget* parent = nullptr);
    // Stops the worker and waits for it: it must not outlive the window.
    ~ExportN8Result() override;

public slots:
    // The worker's messages: "update_msg" into the status line, the one
    // "all_finish" as the report box (after a close only once the close
    // has stopped the export).
    void slt_exportN8Result(QJsonObject msgObjc);

protected:
    // The main button in the "N8分件" type: the export of the checked orders.
    void startSeparation() override;
    void closeEvent(QCloseEvent* event) override;

private:
    Ui_ExportN8Result* ui;
    N8thread* n8Thread = nullptr;
    // From the export's start until its report has come.
    bool m_exporting = false;
    // A close has stopped the export: the window closes after its report.
    bool m_closeWhenStopped = false;
};
