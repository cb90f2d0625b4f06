#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

// The value records the separation, deletion and N8 windows share. All of
// them copy by value, sub-product lists included.

// One order of an order-list reply: one row of a window's order table.
struct order
{
    bool isChecked = false; // ticked in the window's table
    bool isDone = false;    // taken by the current separation run

    QString order_photo_id;
    QString servicetimes;
    QString customer;
    QString phone;
    QString phototype;
    QString comboname;
    QString order_price;
    QString role1;
    QString role2;
    QString shotdate;
    QString photodate2;
    QString orderpayforkey;
    QString orderpath; // mapped to the local mount root
    QString n8OrderPath;
    QString n8SelectedPath;
    QString n8RelativePath;
    QString pickuptime;
    QString twosales;
    QString selectphotoname;
    QString role10;
    QString isurgenttime;
    QString pickuptype; // "快递", "部分" or "自取"
    QString orderbaseprice;
    QString tiaosename;
    QString tiaoxiname;
    QString storesname;
    QString gotodigitaltime;
    QString bakpicpath;
    QString homepicpath;
    QString picpath;
    QString n8StorePath;
};

// How a window fills its orders from the order-list reply. The windows
// differ only in these three respects.
struct OrderListFill
{
    enum class Customer
    {
        // The non-empty names among "bname", "wname" and "mname", joined by
        // "-": the design separation, batch deletion and N8 windows.
        NonEmptyJoined,
        // The post-sample window's form: a "-" always follows "bname" when
        // it is set, whether or not "mname" is.
        PostSample,
    };

    Customer customer = Customer::NonEmptyJoined;
    // The batch deletion window leaves gotodigitaltime empty.
    bool gotoDigitalTime = true;
    // Only the N8 separation window fills n8OrderPath, n8SelectedPath,
    // n8RelativePath and n8StorePath.
    bool n8Paths = false;

    static OrderListFill separation() { return {}; }
    static OrderListFill postSample() { return {Customer::PostSample, true, false}; }
    static OrderListFill batchDeletion() { return {Customer::NonEmptyJoined, false, false}; }
    static OrderListFill n8Separation() { return {Customer::NonEmptyJoined, true, true}; }
};

// One order from one element of the reply's "data" array. Every value is
// read as a JSON string (a number, null or a missing key reads as empty);
// an element that is not an object gives an order of empty texts.
order orderFromListItem(const QJsonValue& item, const OrderListFill& fill = OrderListFill());
// Every element of the reply's "data" array, in reply order ("data" that is
// missing or not an array reads as empty).
QList<order> ordersFromListReply(const QJsonObject& reply, const OrderListFill& fill = OrderListFill());

// The texts that are not empty, in order, joined by the separator.
QString joinNonEmpty(const QStringList& texts, const QString& separator);

// Makes the order the one Config's current-order values describe (order_id,
// orderpayforkey, order_path ...), as a separation run or a one-order tool
// takes it up; a non-empty folder gets its trailing "/".
void takeUpOrder(const order& record);

// The customer text of an order-list element.
QString composeCustomer(const QString& bname, const QString& wname, const QString& mname,
                        OrderListFill::Customer form);
// "mphone", "/" and "wphone"; either alone when the other is empty.
QString composePhone(const QString& mphone, const QString& wphone);

// One goods line of an order, with its photos, delivery address and
// sub-products.
struct Product
{
    QString isurgent;
    QString goodid;
    QString goodname;
    QString folderName;
    QString goodtypename;
    QString goodtypeid;
    QString goodsizename;
    QString costing;
    QString weight;
    QString id;
    QString getgooddate;
    QString descr;
    QString goodpnumber;
    QString p_num;
    QString goodpagenumber;
    QString goodamount;
    QString factory;
    QStringList photos;
    QString deliveryMode;
    bool sentToFactory = false;
    bool typeIsFour = false;
    QString type;
    QString remarks;
    QString servicetime;
    QString auth_remark;
    QString goodremark;
    bool isexist = false;
    bool hasParent = false;
    QList<Product> subProducts;
    QString parentName;
    QString number;
    QString parentid;
    QString stock;
    QString factoryname;
    QString factorykeyx;
    bool isems = false;
    QString source_remarks;
    QString addressId;
    QString province;
    QString provinceid;
    QString city;
    QString cityid;
    QString county;
    QString countyid;
    QString address;
    QString contactName;
    QString contactPhone;
    QString postcode;

    // Fills this product from one goods object of the product reply.
    void analysis_goods_paras(QJsonObject goods);
};

// One product's copy job: its photo names and the folder levels they go to.
struct ProductMessage
{
    QString orderFolder;
    QString goodtypename;
    QString goodtypeid;
    QString goodname;
    QString folderName;
    QString goodamount;
    QStringList photos;
    QString factoryFolder;
    QString productFolder;
    QString subProductFolder;
    QString homemade; // "1" or "0"
};

// One order's entry in the report at the end of a separation run.
struct finishMessage
{
    QString orderKey;
    QStringList missingPhotos; // named by the order, not on the share
    QStringList emptyProducts;
    // Lines about the order as a whole ("订单目录不存在：<folder>").
    QStringList notes = {};
    // Files the run did not write, in the form their stage names them.
    QStringList unwrittenFiles = {};
    // Folders of the order that could not be looked at or listed.
    QStringList unreadableFolders = {};
};

// The report text of a run: per entry "订单", the key, ":", a line
// "目录读取失败：<folder>" for each unreadable folder, each note on a line
// of its own, "\n不存在的照片:" and the missing photos, "\n未写入的文件:"
// and the files not written, "\n空产品:" and the empty products, "\n\n";
// a part with an empty list is left out, an entry without findings adds
// nothing.
QString finishReportText(const QList<finishMessage>& messages);
// The report names a folder that could not be read or a file not written:
// the run did not finish its work, whatever the order's own findings.
bool reportNamesFailures(const QList<finishMessage>& messages);

// The products and the output folder of the order being separated.
class ProductData
{
public:
    ProductData() = delete;

    static QList<Product> m_products;
    static QString localSavePath; // ends in "/"
};
