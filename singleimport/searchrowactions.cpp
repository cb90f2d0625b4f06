#include "searchrowactions.h"

#include "config.h"
#include "importphototoserver.h"
#include "orderrecords.h"
#include "searchorderwindow.h"

#include <QJsonObject>
#include <QPointer>

void SearchRowActions::takeUpOrder(const order& record)
{
    Config::order_id = record.order_photo_id;
    Config::order_serverNum = record.servicetimes;
    Config::order_cameraman = record.role1;
    Config::order_photodate = record.shotdate;
    Config::order_getphotodate = record.pickuptime;
    Config::order_otherdate = record.photodate2;
    Config::orderpayforkey = record.orderpayforkey;
    Config::order_dresser = record.role2;
    Config::order_customer = record.customer;
    Config::order_path = record.orderpath;
    Config::order_phonenumber = record.phone;
    Config::order_role11 = record.role10;
    Config::order_isurgenttime = record.isurgenttime;
    Config::pickuptype = record.pickuptype;
}

namespace {

void openImport(SearchOrderWindow* search, const QJsonObject& item)
{
    SearchRowActions::takeUpOrder(orderFromListItem(item));
    auto* window = new ImportPhotoToServer(nullptr);
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
}

} // namespace

void SearchRowActions::install(SearchOrderWindow* search)
{
    search->addRowAction(QStringLiteral("导入照片"), nullptr,
                         [search](const QJsonObject& item) { openImport(search, item); });
}
