#include "toolwindows.h"

#include "batchdeleteorder.h"
#include "exportn8result.h"
#include "fajiandialog.h"
#include "importordersphotodlg.h"
#include "n8syncbaseinfodialog.h"
#include "searchorder.h"
#include "searchorderwindow.h"
#include "searchrowactions.h"
#include "selecttool.h"
#include "shangjiandialog.h"
#include "splitaftersample.h"

#include <QJsonArray>
#include <QMap>
#include <QPointer>
#include <QString>

// Each tool window is plugged in here by writing its opener and returning it
// from builtInOpener(). What each opener does:
//
//   0  SearchOrderWindow in its stand-alone mode: no parent, deleted when
//      closed, shown maximised; its closeSignal() goes to launcher's
//      closeSearch(); its row menu offers the one-order tools, whose
//      windows the launcher keeps as it keeps the tool windows.
//   1  SearchOrder: showMaximizedTool, then setType("分件管理").
//   2  ShangJianDialog: showMaximizedTool.
//   3  FaJianDialog: showMaximizedTool.
//   4  importOrdersPhotoDlg: new with no parent, window flags replaced by
//      exactly Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
//      Qt::WindowCloseButtonHint, showMaximized(); no attribute (the dialog
//      deletes itself on close).
//   5  BatchDeleteOrder: showMaximizedTool.
//   6  SplitAfterSample: showMaximizedTool, then setType("样后分件管理").
//   7  ExportN8Result: showMaximizedTool, then setType("N8分件").
//
//   N8 sync: N8SyncBaseInfoDialog with no parent, its stores and shop id
//   set, modal, Qt::WA_DeleteOnClose, show().

namespace {

ToolWindows::Opener builtInOpener(int toolId)
{
    switch (toolId) {
    case SelectTool::ToolImportSearch:
        return [](SelectTool* launcher) -> QWidget* {
            // Nothing receives the orders of the launcher's search.
            auto* window = new SearchOrderWindow(nullptr);
            window->setStandAlone(true);
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->showMaximized();
            QObject::connect(window, &SearchOrderWindow::closeSignal, launcher, &SelectTool::closeSearch);
            // The row menu's windows hold the shop as the search does, and
            // may outlive it.
            const QPointer<SelectTool> guard = launcher;
            SearchRowActions::install(window, [guard](QWidget* opened) {
                if (guard)
                    guard->keepShopWindow(opened);
            });
            return window;
        };
    case SelectTool::ToolDesignSeparation:
        return [](SelectTool*) -> QWidget* {
            auto* window = ToolWindows::showMaximizedTool<SearchOrder>();
            window->setType(QStringLiteral("分件管理"));
            return window;
        };
    case SelectTool::ToolPostSampleSeparation:
        return [](SelectTool*) -> QWidget* {
            auto* window = ToolWindows::showMaximizedTool<SplitAfterSample>();
            window->setType(QStringLiteral("样后分件管理"));
            return window;
        };
    case SelectTool::ToolUploadDesk:
        return [](SelectTool*) -> QWidget* { return ToolWindows::showMaximizedTool<ShangJianDialog>(); };
    case SelectTool::ToolDispatchDesk:
        return [](SelectTool*) -> QWidget* { return ToolWindows::showMaximizedTool<FaJianDialog>(); };
    case SelectTool::ToolBatchDeletion:
        return [](SelectTool*) -> QWidget* { return ToolWindows::showMaximizedTool<BatchDeleteOrder>(); };
    case SelectTool::ToolN8Separation:
        return [](SelectTool*) -> QWidget* {
            auto* window = ToolWindows::showMaximizedTool<ExportN8Result>();
            window->setType(QStringLiteral("N8分件"));
            return window;
        };
    case SelectTool::ToolBatchImport:
        return [](SelectTool*) -> QWidget* {
            auto* dialog = new importOrdersPhotoDlg(nullptr);
            dialog->setWindowFlags(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                   Qt::WindowCloseButtonHint);
            dialog->showMaximized();
            return dialog;
        };
    default:
        return {};
    }
}

ToolWindows::SyncOpener builtInSyncOpener()
{
    return [](const QJsonArray& stores, const QString& shopId) -> QWidget* {
        auto* dialog = new N8SyncBaseInfoDialog(nullptr);
        dialog->stores = stores;
        dialog->shopId = shopId;
        dialog->setModal(true);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        return dialog;
    };
}

struct Openers
{
    QMap<int, ToolWindows::Opener> replaced;
    bool syncReplaced = false;
    ToolWindows::SyncOpener sync;
};

Openers& openers()
{
    static Openers instance;
    return instance;
}

} // namespace

ToolWindows::Opener ToolWindows::opener(int toolId)
{
    const auto it = openers().replaced.constFind(toolId);
    if (it != openers().replaced.constEnd())
        return it.value();
    return builtInOpener(toolId);
}

ToolWindows::SyncOpener ToolWindows::syncOpener()
{
    return openers().syncReplaced ? openers().sync : builtInSyncOpener();
}

void ToolWindows::setOpener(int toolId, Opener opener)
{
    openers().replaced.insert(toolId, std::move(opener));
}

void ToolWindows::setSyncOpener(SyncOpener opener)
{
    openers().syncReplaced = true;
    openers().sync = std::move(opener);
}

void ToolWindows::resetOpeners()
{
    openers() = Openers();
}
