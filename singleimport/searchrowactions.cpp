#include "searchrowactions.h"

#include "config.h"
#include "cr2downloadwindow.h"
#include "fileoperation.h"
#include "imagetime.h"
#include "importphototoserver.h"
#include "orderrecords.h"
#include "ordertree.h"
#include "prompts.h"
#include "searchorderwindow.h"

#include <QJsonObject>
#include <QPointer>

namespace {

QWidget* openImport(SearchOrderWindow* search, const QJsonObject& item)
{
    takeUpOrder(orderFromListItem(item));
    auto* window = new ImportPhotoToServer(nullptr);
    window->setListedOrders(search->listedOrderNames());
    const QPointer<SearchOrderWindow> opener = search;
    QObject::connect(window, &ImportPhotoToServer::showSearch, window, [window, opener] {
        if (opener) {
            opener->show();
            opener->raise();
            opener->activateWindow();
        }
        window->deleteLater();
    });
    QObject::connect(window, &ImportPhotoToServer::refreshSearchTable, search, &SearchOrderWindow::clickSearch);
    window->show();
    return window;
}

// The raw files sit below the order's photos, which carry the names and
// shot times the download matches them to.
QWidget* openDownload(SearchOrderWindow* search, const QJsonObject& item)
{
    const order record = orderFromListItem(item);
    const QString folder = OrderTree::withSlash(record.orderpath);
    // A folder that cannot be looked at may well be there: it is not named missing.
    const QString fault = FileOperation::orderFolderFault(folder);
    if (!fault.isEmpty()) {
        Prompts::notice(QStringLiteral("警告"), fault, search);
        return nullptr;
    }
    const QString target =
        Prompts::instance().getExistingDirectory(search, QStringLiteral("选择下载目录"), QString());
    if (target.isEmpty())
        return nullptr;
    auto* window = new CR2DownLoadWindow(nullptr);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->startDownLoad(ImageTime::filePath(folder), folder + QStringLiteral("照片/"), target,
                          record.orderpayforkey);
    return window;
}

} // namespace

void SearchRowActions::install(SearchOrderWindow* search, WindowOpened opened)
{
    auto tell = [opened](QWidget* window) {
        if (window && opened)
            opened(window);
    };
    search->addRowAction(QStringLiteral("导入照片"), nullptr,
                         [search, tell](const QJsonObject& item) { tell(openImport(search, item)); });
    search->addRowAction(
        QStringLiteral("下载原图"),
        [](const QJsonObject& item) { return !orderFromListItem(item).orderpath.isEmpty(); },
        [search, tell](const QJsonObject& item) { tell(openDownload(search, item)); });
}
