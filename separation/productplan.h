#pragma once

#include "orderrecords.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// The products of an order and the plan of its product folders, from the
// goods reply, as plain functions. The design form and the post-sample
// form read the same keys; they differ in which lines get a folder, in how
// names are made unique and in the folder texts.
namespace ProductPlan {

enum class Form
{
    // Lines with "parentid" "0" (or every line when the shop hides no
    // sub-products) get a folder, sub-products a folder of their own when
    // the shop shows them; folder names may carry the goods line id.
    Design,
    // Every line of both arrays is a product with one folder; sub-products
    // get none.
    PostSample,
};

// The current order's values the folder texts carry.
struct OrderValues
{
    QString orderKey;   // Config::orderpayforkey
    QString customer;   // Config::order_customer
    QString pickupDate; // Config::order_getphotodate
    QString role11;     // Config::order_role11
};

struct Plan
{
    QList<Product> products;        // "ordergoods0" then "ordergoods2", sub-products inside
    QList<ProductMessage> messages; // one per folder to fill, in reply order
};

// The plan of one goods reply. isshowSubproduct is the shop's setting
// (Design form only); the id form of the folder names comes from the
// reply's "shop_set".
Plan plan(const QJsonObject& reply, Form form, const QString& isshowSubproduct, const OrderValues& order);

// One goods object read into a product: every key as text, the name
// cleaned, the photos split on "|", the delivery mode from "isems". The
// folder name and the sub-products are left to the caller.
Product readGoods(const QJsonObject& goods);
// The sub-products of a goods object ("son_good"), names cleaned; the
// design form makes them unique within the list.
QList<Product> returnSubPro(const QJsonObject& goods, Form form);
// The name, or the first "name(n)" that the list does not hold.
QString uniqueName(const QString& name, const QStringList& taken);

// What setProducts keeps of a product list: the number of photo names of
// the given products, and the urgency of the current order's products
// (1 every product urgent or none at all, 0 none urgent, 2 some).
struct Summary
{
    int productPhotoNum = 0;
    int urgentState = 1;
};
Summary summarize(const QList<Product>& given, const QList<Product>& current);

} // namespace ProductPlan
