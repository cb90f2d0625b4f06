#pragma once

#include "expresshtml.h"
#include "orderrecords.h"
#include "separationhost.h"
#include "separationlayout.h"
#include "separationrun.h"
#include "webservice.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// The separation of the checked orders, for every separation window: the
// order list, the search, the goods query with its product plan, the run's
// state and the one SeparationRunGuard. It has no widgets; it reaches its
// window only through SeparationHost, and the window's rows of
// SeparationLayout say where the windows differ.
//
// The window's slots and methods keep their names and call in here. A
// closed window's controller posts nothing more and drops every reply.
class SeparationController : public QObject
{
    Q_OBJECT
public:
    SeparationController(SeparationHost* host, SeparationLayout layout, QObject* parent = nullptr);
    ~SeparationController() override;

    const SeparationLayout& layout() const { return m_layout; }

    // The window has been closed: nothing is posted or handled any more.
    void close();
    bool isClosed() const { return m_closed; }

    // --- Search ----------------------------------------------------------
    // The criterion's text, the keyword typed and the calendar's day.
    void clickSearch(const QString& criterion, const QString& typed, const QDate& day);
    void search(int searchType, const QString& keyword);
    void queryOrderByOrderId(QString keyword) { search(1, keyword); }
    void queryOrderByName(QString keyword) { search(2, keyword); }
    void queryOrderByPhotoNumber(QString keyword) { search(3, keyword); }
    void queryOrderByPhotoDate(QString keyword) { search(4, keyword); }
    void queryOrderBySelectPhotoDate(QString keyword) { search(5, keyword); }
    void queryOrderByAppointmentDate(QString keyword) { search(6, keyword); }
    void queryOrderByFetchPhotoDate(QString keyword) { search(7, keyword); }
    void queryOrderSelFinishDate(QString keyword) { search(8, keyword); }
    void queryOrderSjDate(QString keyword) { search(9, keyword); }
    void queryOrderPickupDate(QString keyword) { search(10, keyword); }
    void queryOrderPinGuanDate(QString keyword) { search(11, keyword); }
    void queryOrderRetrunDesigDate(QString keyword) { search(12, keyword); }
    void queryOrderTurnSmDate(QString keyword) { search(13, keyword); }
    // Appends the checked stores and posts the search.
    void postDataFunc(QByteArray& body);
    void queryCallBack(const WebService::Reply& reply);

    // --- Start of a run ----------------------------------------------------
    // The start button in the separation mode, with the output-folder field.
    void startRequested(const QString& pathText);

    // --- Goods query -------------------------------------------------------
    void postQueryProducts(QString orderId);
    void queryProductsCallBack(const WebService::Reply& reply);
    void setProducts(QList<Product> products);
    // Makes the order's output folders and starts its copies.
    void startSeparatePhotos();

    // A run that cannot go on: the busy flag is cleared, the run given back
    // and its order untaken, so the next start begins with it. No report.
    void stopRun();

    // --- State (the windows' names) ----------------------------------------
    QList<order> orderList;
    QList<finishMessage> m_messageList;
    QList<ProductMessage> productMessageList;
    QString saveFilepath;      // the output folder; during an order its folder
    QString expressHtmlString; // express sheet of the current order
    QList<Product> orderProducts;
    int productPhotoNum = 0;
    int productsUrgentState = 0;
    int checkOrdersNum = 0;
    int finishOrdersNum = 0;
    bool isSeparating = false;

    SeparationRunGuard& runGuard() { return m_guard; }

private:
    void post(const char* replySlot, const QString& route, const QByteArray& body);
    void busyBox();
    void showRun(const SeparationHost::RunDisplay& display);
    // The output folder of the order: the field, else the chooser.
    QString settleOutputFolder();

    SeparationHost* m_host;
    SeparationLayout m_layout;
    SeparationRunGuard m_guard;
    ExpressHtml m_expressHtml;
    bool m_closed = false;
    QString m_currentOrderId;
    SeparationHost::RunDisplay m_display;
};
