#include "productionsheet.h"

#include "clock.h"
#include "filenames.h"
#include "fileoperation.h"
#include "imageoperation.h"
#include "webservice.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>

#include <initializer_list>

namespace {

using WebService::text;

// Names and counts. The rich-text reader takes a raw "<name>" or "<!--" for
// markup, and the value vanishes from the printed sheet or swallows the rest.
// "&" and quotes stay: ordinary text is unchanged, and text the service has
// already escaped is not escaped twice.
QString esc(QString value)
{
    value.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    value.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return value;
}

// A file path as it follows "file:///". The reader takes the source for a
// URL, so a "#" or "?" in a folder would cut the path and a "%" be decoded;
// a '"' would end the attribute. Blanks, Chinese and the slashes resolve as
// they are.
QString picturePath(QString path)
{
    path.replace(QLatin1Char('%'), QLatin1String("%25")); // first: the escapes below carry "%"
    path.replace(QLatin1Char('#'), QLatin1String("%23"));
    path.replace(QLatin1Char('?'), QLatin1String("%3F"));
    path.replace(QLatin1Char('"'), QLatin1String("%22"));
    return path;
}

int wholeNumber(const QString& value)
{
    bool ok = false;
    const int n = value.toInt(&ok, 10);
    return ok ? n : 0;
}

// Only the header is read: the strips need a thumbnail's width alone.
int thumbnailWidth(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return 0;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    return size.isValid() ? size.width() : 0;
}

// "%1. %2" of one mark text "a-b-number-d-text"; a short text gives 0 or
// the empty text for the fields it lacks.
QString markLine(const QString& mark)
{
    const QStringList fields = mark.split(QLatin1Char('-'), Qt::KeepEmptyParts);
    return QStringLiteral("%1. %2").arg(QString::number(wholeNumber(fields.value(2))), fields.value(4));
}

bool isType33(const Product& product)
{
    return product.goodtypeid == QLatin1String("33");
}

// The pieces of one kind of photo strip.
struct StripForm
{
    const char* rowOpen;
    const char* widthCell;  // an 88-pixel-wide thumbnail
    const char* heightCell; // any other width, or none
    const char* rowClose;
};

const StripForm kPlainStrip{
    R"(<tr bgcolor="#FFFFFF">)",
    R"(<td width=5%><div align="center"><span class="style3"><img width="83" src="file:///)",
    R"(<td width=5%><div align="center"><span class="style3"><img height="83" src="file:///)",
    "</tr>",
};
const StripForm kIndentedStrip{
    R"(  <tr bgcolor="#FFFFFF">)",
    R"(    <td width=5%><div align="center"><span class="style3"><img width="83" src="file:///)",
    R"(    <td width=5%><div align="center"><span class="style3"><img height="83" src="file:///)",
    "  </tr>",
};
const StripForm kNormalSubStrip{
    R"(  <tr bgcolor="#FFFFFF">)",
    R"(    <td  width=5%><div align="center"><span class="style3"><img width="83" src="file:///)",
    R"(    <td width=5%><div align="center"><span class="style3"><img height="83" src="file:///)",
    "  </tr>",
};

// Where the three windows' sheets differ; every other piece is shared.
struct Layout
{
    bool babyCells;              // buildSort "1" gives the four-cell order row
    bool recipientInOneCell;     // name, phone and address in one wide cell
    bool blankBeforeRequirement; // "&nbsp;" before the requirement text, not after it
    bool normalDateIsUrgent;     // the normal heading shows isurgenttime
    const char* urgentRequirementWidth;
    const char* urgentRemarkWidth;
    bool normalSkipsSubProducts; // a product that belongs to another is not listed
    bool blankAfterStripOpening; // sub-product and normal product strips
    bool indentedStrips;         // all but the urgent product strip
    int galleryPerRow;
    const char* galleryImage;
};

Layout layoutOf(SheetVariant variant)
{
    switch (variant) {
    case SheetVariant::Design:
        return {true, true, true, true, "15%", "15%", false, false, false, 1, R"(<img src="file:///)"};
    case SheetVariant::PostSample:
        return {true, true, false, false, "20%", "10%", true, true, true, 6, R"(<img  src="file:///)"};
    case SheetVariant::N8:
        break;
    }
    return {false, false, false, false, "15%", "15%", true, true, true, 6, R"(<img src="file:///)"};
}

enum class Table
{
    Urgent,
    Normal
};

class Builder
{
public:
    Builder(const SheetInput& input, SheetVariant variant) : in(input), layout(layoutOf(variant)) {}

    SheetResult run()
    {
        head();
        grid();
        requirements();
        productTables();
        gallery();
        foot();
        return result;
    }

private:
    void head();
    void grid();
    void gridCell(const char* label, const QString& value);
    void requirement(const char* heading, const QString& text);
    void requirements();
    void markBlock();
    void productTables();
    void table(Table kind, const QJsonObject& visit, int position);
    void productCells(const Product& product, bool indented);
    void productTail(Product product, Table kind, const QJsonArray& urgentgoods);
    void strip(const QStringList& photos, const StripForm& form);
    void gallery();
    void foot();

    const SheetInput& in;
    const Layout layout;
    SheetResult result;
    QString& h = result.html;
    QHash<QString, Product> lookup;
    int tableTotal = 0;
};

void Builder::head()
{
    h += "<HTML><head>";
    h += R"(<meta http-equiv="Content-Language" content="zh-cn">)";
    h += R"(<meta http-equiv="Content-Type" content="text/html; charset=gb232">)";
    h += "<title></title></head>";
    h += R"(<body leftmargin="0"><div align="center">)";
    h += R"(<style type="text/css"><!--)";
    const char* yahei = "\tfont-family: \"微软雅黑\",\"Tahoma\";";
    h += ".style1 {\tfont-size: 24px;\tfont-weight: bold;";
    h += yahei;
    h += "}.style2 {\tfont-size: 16px;\tfont-weight: bold;";
    h += yahei;
    h += "}.style4 {\tfont-size: 16px;\tfont-weight: bold;\tfont-family: \"黑体\",\"Tahoma\";}";
    h += ".style3 {\tfont-size: 12px;";
    h += yahei;
    h += "}.justify1 {\tdisplay:inline-block;\twidth:100%;;   overflow:hidden;}";
    h += "body,td,th {\tfont-size: 14px;";
    h += yahei;
    h += "}p { margin: 0px; padding: 0px;}--></style>";

    h += R"(<p><table width=100%  border=0 cellspacing=0 cellpadding=1;><tr bgcolor="#FFFFFF">)"
         R"(<td width=33%><div align="center"></div></td><td width=33%><div align="center">)";
    h += R"(<span align="center" class="style1">)" + esc(in.shopname) + "</span>";
    h += R"(</div></td><td width=33%><div align="center">)";
    h += R"(<img  align="center" src="file:///)" + picturePath(in.barcodeImagePath) + R"(" />)";
    h += "</div></td></tr></table></p><br>";
}

void Builder::gridCell(const char* label, const QString& value)
{
    h += R"(    <td class="td_thin" width="25%"><div align="left">)";
    h += label;
    h += value + "</div></td>";
}

void Builder::grid()
{
    const auto pair = [](const QString& first, const QString& second) {
        return esc(first) + QLatin1Char(' ') + esc(second);
    };
    struct Cell
    {
        const char* label;
        QString value;
    };
    const auto row = [this](std::initializer_list<Cell> cells) {
        h += "  <tr>";
        for (const Cell& cell : cells)
            gridCell(cell.label, cell.value);
        h += "  </tr>";
    };

    h += R"(<table width="100%" border="0" cellspacing="0" cellpadding="0"><tr><td align="center">)";
    h += R"(<table width="100%"  border="1" cellspacing="0" cellpadding="1">)";

    // One pass, so a "%2" in the service number is not filled again.
    const QString order = esc(in.orderNumber) +
                          "(服务次:" + QStringLiteral("%1/%2").arg(esc(in.serviceNumber), esc(in.count)) +
                          ")";
    if (layout.babyCells && in.buildSort == QLatin1String("1")) {
        row({{"订单号:   ", order},
             {"宝宝姓名:   ", esc(in.bname)},
             {"宝宝性别:   ", esc(in.bsex)},
             {"宝宝生日:   ", esc(in.birthdate)}});
    } else {
        h += "  <tr>";
        h += R"(    <td class="td_thin" colspan="4"><div align="center">订单号:   )" + order + "</div></td>";
        h += "  </tr>";
    }
    row({{"男士:   ", esc(in.mname)},
         {"手机:   ", esc(in.mphone)},
         {"女士:   ", esc(in.wname)},
         {"手机:   ", esc(in.wphone)}});
    row({{"套系:   ", esc(in.s2_name)},
         {"预约店:   ", esc(in.mssid)},
         {"服务店:   ", esc(in.servershopid)},
         {"预约日期:   ", esc(in.booktime)}});
    row({{"拍照日期:   ", esc(in.photodate)},
         {"选片日期:   ", pair(in.selectphotodate, in.selectionTime)},
         {"看精修日期:   ", pair(in.checktruing, in.retouchViewingTime)},
         {"看版日期:   ", pair(in.comparedate, in.layoutViewingTime)}});
    row({{"门市:   ", esc(in.booksuccess)},
         {"网约:   ", esc(in.wxname)},
         {"推广:   ", esc(in.tuiguangname)},
         {"选片师:   ", esc(in.selectphoto)}});
    row({{"对比片选中张数:   ", esc(in.yqnumber)},
         {"相册P数:   ", esc(in.goodpnumber)},
         {"套系约定精修:   ", esc(in.vipphotonumber)},
         {"已选张数:   ", esc(in.yx_number)}});
    row({{"摄影师:   ", esc(in.role1)},
         {"摄像师:   ", esc(in.role17)},
         {"化妆师:   ", esc(in.role2)},
         {"男士邮箱:   ", esc(in.mmail)}});
    row({{"摄助:   ", esc(in.role3)},
         {"剪辑师:   ", esc(in.role16)},
         {"化助:   ", esc(in.role4)},
         {"女士邮箱:   ", esc(in.wmail)}});

    const char* emptyCell = R"(    <td class="td_thin" width="25%"><div align="left"></div></td>)";
    h += "  <tr>";
    gridCell("精修师:   ", esc(in.role9name));
    gridCell("转档师:   ", esc(in.role6name));
    h += emptyCell;
    h += emptyCell;
    h += "  </tr>";

    row({{"预约金额:   ", esc(in.order_price)},
         {"二销总额:   ", esc(in.twosales)},
         {"二销欠款:   ", esc(in.dept)},
         {"支付方式:   ", esc(in.pay_type)}});
    row({{"样前对比片:   ", esc(in.tiaose)},
         {"样后修片师:   ", esc(in.tiaoxiu)},
         {"设计师:   ", esc(in.sheji)},
         {"发货日期:   ", in.getphotodate_html + QLatin1Char(' ') + esc(in.dispatchTime)}});

    h += "  <tr>";
    gridCell("购买毛底张数:   ", esc(in.buynumber));
    gridCell("赠送精修张数:   ", esc(in.activenumber));
    gridCell("购买精修张数:   ", esc(in.morephotonumber));
    h += R"(    <td class="td_thin" width="25%" style="color: #FF3300;"><div align="left">质检日期:   )" +
         esc(in.qualitytime) + "</div></td>";
    h += "  </tr>";

    h += "  <tr>";
    if (layout.recipientInOneCell) {
        h += R"(    <td class="td_thin" colspan="4"><div align="left">收件人姓名:   )" + esc(in.recipients) +
             "     电话：" + esc(in.sj_tel) + "    地址：" + esc(in.deliveryAddress) + "</div></td>";
    } else {
        gridCell("收件人姓名:   ", esc(in.recipients));
        gridCell("收件人电话:   ", esc(in.sj_tel));
        h += R"(    <td class="td_thin" colspan="50%"><div align="left">收件地址：  )" +
             esc(in.deliveryAddress) + "</div></td>";
    }
    h += "  </tr>";
    h += "</table></td></tr></table>";
}

void Builder::requirement(const char* heading, const QString& text)
{
    if (text.isEmpty())
        return;
    h += R"(<table width="100%"  border="0">  <tr>    <td align="left"><span class="style2">)";
    h += heading;
    h += "</span></td>  </tr></table>";
    h += R"(<table width="100%" cellspacing="0" border="1">  <tr>  <td align="left"><span>)";
    h += layout.blankBeforeRequirement ? "&nbsp;" + text : text + "&nbsp;";
    h += "</span></td></tr></table><BR>";
}

void Builder::requirements()
{
    h += "<BR>";
    requirement("总体要求", in.orderdescr);
    requirement("消费要求", in.consumption_statement);
    markBlock();
}

void Builder::markBlock()
{
    if (in.picsMarkArr.isEmpty())
        return;
    const QList<QSize> sizes =
        ProductionSheet::copyMarkedPhotos(in.picsMarkArr, in.markFolder, in.thumbFolder, &result.notWritten);
    h +=
        R"(<table width="100%"  border="0">  <tr>    <td align="left"><span class="style2">调修要求</span></td>)"
        R"(  </tr></table>)";
    h += R"(<table cellspacing="0" cellspacing="10" cellpadding="10" width="100%" frame="box">)";
    for (int i = 0; i < in.picsMarkArr.size(); ++i) {
        const QStringList& entry = in.picsMarkArr.at(i);
        const QSize size = sizes.value(i);
        if (i % 2 == 0)
            h += "<tr>";
        h += R"(<td><img style="margin-right: 10;" src="file:///)" +
             picturePath(in.thumbFolder + "marks/" + entry.value(0)) + '"';
        h += size.width() > size.height() ? R"(width="120")" : R"(height="120")";
        h += R"(align="left">)";
        h += R"(<ui style="list-style-type: none;">)";
        for (int m = 1; m < entry.size(); ++m)
            h += "<li>" + markLine(entry.at(m)) + "</li>";
        h += "</ui></td>";
        if (i % 2 == 1)
            h += "</tr>";
    }
    h += "</table><BR>";
}

void Builder::productTables()
{
    h += R"(<p><span class="style2">指定制作</span></p>)";
    for (const Product& product : in.products)
        lookup.insert(product.id, product);
    for (int i = 0; i < in.servicetime.size(); ++i) {
        const QJsonObject visit = in.servicetime.at(i).toObject();
        if (!visit.value(QLatin1String("urgentgoods")).toArray().isEmpty())
            table(Table::Urgent, visit, i);
        if (!visit.value(QLatin1String("goods")).toArray().isEmpty())
            table(Table::Normal, visit, i);
    }
}

void Builder::table(Table kind, const QJsonObject& visit, int position)
{
    const bool urgent = kind == Table::Urgent;
    const QJsonArray urgentgoods = visit.value(QLatin1String("urgentgoods")).toArray();
    const QJsonArray goods = urgent ? urgentgoods : visit.value(QLatin1String("goods")).toArray();

    if (urgent) {
        h += R"(<table class="thinborder" width="100%" border="1" cellspacing="0" cellpadding="1">)";
        h +=
            R"(  <tr>  <td colspan="11"><span class="style4"><font font-weight: bold; color="#FF0000">加急件：)";
    } else {
        h += R"(<table class="thinborder" width="100%"  border="1" cellspacing="0" cellpadding="1">)";
        h += R"(  <tr>  <td colspan="11"><span class="style2"><font color="#000000">普通件：)";
    }
    if (text(visit, "order_sample_infoservicetimes") == QLatin1String("0")) {
        h += "未操作产品";
    } else {
        h += "选片次:" + QString::number(position + 1) + "/" + esc(in.count_order_sample_infoservicetimes);
        const QString consultant = esc(text(visit, "role12name"));
        if (urgent)
            h += R"(  选片师: <span style="color: 000000">)" + consultant + "</span>  ";
        else
            h += "  选片师:" + consultant + "  ";
    }
    h += urgent || layout.normalDateIsUrgent ? esc(in.isurgenttime) : in.getphotodate_html;
    h += "取件</font></span>&nbsp;</td></tr>";

    const auto header = [this](const char* width, const char* label) {
        h += R"(    <td width=")";
        h += width;
        h += R"("><div align="center">)";
        h += label;
        h += "</div></td>";
    };
    h += R"(  <tr bgcolor="#CCCCCC">)";
    header("5%", "序号");
    header("10%", "名称");
    header("5%", "类别");
    header("5%", "P数");
    header("5%", "加P数");
    header("5%", "张数");
    header("5%", "数量");
    header(urgent ? layout.urgentRequirementWidth : "20%", "制作要求");
    header(urgent ? layout.urgentRemarkWidth : "10%", "备注");
    header("15%", "产品说明(对内)");
    header("15%", "授权备注(对外)");
    h += "  </tr>";

    int rows = 0;
    tableTotal = 0;
    for (const QJsonValue& element : goods) {
        const Product product = lookup.value(text(element.toObject(), "id"));
        const bool listed = urgent ? product.isurgent == QLatin1String("1")
                                   : product.isurgent == QLatin1String("0") &&
                                         !(layout.normalSkipsSubProducts && product.hasParent);
        if (!listed)
            continue;
        ++rows;
        h += urgent ? "<tr>" : "  <tr>";
        h += urgent ? R"(<td align="center">)" : R"(    <td align="center">)";
        h += QString::number(rows) + "</td>";
        productCells(product, !urgent);
        h += "</tr>";
        productTail(product, kind, urgentgoods);
    }

    h += R"(<tr><td><div align="center">总计</div></td><td colspan="11"><div align="center">产品总数:)";
    h += QString::number(rows) + "件, 选中总张数共" + QString::number(tableTotal) + "张</div></td></tr>";
    h += "</table><BR>";
    result.tableWritten = true;
    result.selectedPhotoTotal = tableTotal;
}

// Columns 名称 to 授权备注(对外) of a product or sub-product row.
void Builder::productCells(const Product& product, bool indented)
{
    const QString pad = indented ? QStringLiteral("    ") : QString();
    const auto cell = [&](const char* opening, const QString& value) {
        h += pad;
        h += opening;
        h += value + "</td>";
    };
    const char* left = R"(<td align="left">)";
    const char* centre = R"(<td align="center">)";
    const char* centreBold = R"(<td align="center" class="style2">)";
    cell(R"(<td align="left" class="style2">)", esc(product.goodname));
    cell(left, esc(product.goodtypename));
    if (isType33(product)) {
        tableTotal += wholeNumber(product.goodpagenumber);
        cell(centre, esc(product.goodpnumber));
        cell(centre, esc(product.p_num));
        cell(centreBold, esc(product.goodpagenumber));
    } else {
        cell(centre, QString());
        cell(centre, QString());
        cell(indented ? centreBold : centre, QString());
    }
    cell(centreBold, esc(product.goodamount));
    cell(left, product.descr);
    cell(left, product.remarks);
    cell(left, product.goodremark);
    cell(left, product.auth_remark);
}

// The sub-product rows with their strips, then the product's own strip.
void Builder::productTail(Product product, Table kind, const QJsonArray& urgentgoods)
{
    const bool urgent = kind == Table::Urgent;
    QList<Product>& subs = product.subProducts;

    // A sub-product takes the fields of the order's product with its id; the
    // last match wins.
    int matchedWithPhotos = 0;
    for (Product& sub : subs) {
        const QString id = sub.id;
        if (urgent) {
            for (const QJsonValue& element : urgentgoods) {
                const Product match = lookup.value(text(element.toObject(), "id"));
                if (match.id == id)
                    sub = match;
            }
        } else {
            for (const Product& match : in.products) {
                if (match.id != id)
                    continue;
                sub = match;
                if (!match.photos.isEmpty())
                    ++matchedWithPhotos;
            }
        }
    }
    const int span = urgent ? 2 * subs.size() : subs.size() + matchedWithPhotos;

    const bool plain = !layout.indentedStrips;
    const char* subOpening =
        layout.blankAfterStripOpening ? R"(<tr><td colspan="10"> )" : R"(<tr><td colspan="10">)";
    const StripForm& subForm = plain ? kPlainStrip : urgent ? kIndentedStrip : kNormalSubStrip;
    for (int i = 0; i < subs.size(); ++i) {
        const Product& sub = subs.at(i);
        h += " <tr>";
        if (i == 0)
            h += R"(    <td rowspan=")" + QString::number(span) + R"(" style="height: 0px "  /td>)";
        productCells(sub, true);
        h += " </tr>";
        if (urgent || !sub.photos.isEmpty()) {
            h += subOpening;
            strip(sub.photos, subForm);
        }
    }

    if (urgent) {
        h += R"(<tr><td colspan="11">)";
        strip(product.photos, kPlainStrip);
    } else {
        h += layout.blankAfterStripOpening ? R"(<tr><td colspan="11"> )" : R"(<tr><td colspan="11">)";
        strip(product.photos, plain ? kPlainStrip : kIndentedStrip);
    }
}

void Builder::strip(const QStringList& photos, const StripForm& form)
{
    h += "<table width=100%  border=0 cellspacing=0 cellpadding=1;>";
    for (int j = 0; j < photos.size(); ++j) {
        if (j % 6 == 0)
            h += form.rowOpen;
        const QString name = FileOperation::getFileName(photos.at(j));
        const QString path = in.thumbFolder + name;
        h += thumbnailWidth(path) == 88 ? form.widthCell : form.heightCell;
        h += picturePath(path) + R"("><br>)" + esc(name) + "</div></td>";
        if (j % 6 == 5)
            h += form.rowClose;
    }
    h += "</table></td> &nbsp; </tr>";
}

void Builder::gallery()
{
    const int perRow = layout.galleryPerRow;
    h += "<BR>";
    h += R"(<p align="center"><span class="style2">已选张数 （)" + QString::number(in.selectedPhotos.size()) +
         "张）&nbsp;</span></p>";
    h += R"(<table style="margin-right:auto; margin-left: -20px;" width="100%"  border="0" cellspacing="0" )"
         R"(cellpadding="1">)";
    for (int i = 0; i < in.selectedPhotos.size(); ++i) {
        const Image& photo = in.selectedPhotos.at(i);
        const QString name = photo.GetImageName();
        if (i % perRow == 0)
            h += R"(  <tr bgcolor="#FFFFFF">)";
        h += R"(    <td><div align="center">)";
        h += layout.galleryImage;
        h += picturePath(in.thumbFolder + name) + R"("><br>)" + esc(name) + "<BR>" + photo.description() +
             "&nbsp;</div></td>";
        if (i % perRow == perRow - 1)
            h += "  </tr>";
    }
    h += "</table><BR>";
}

void Builder::foot()
{
    h += R"(<table width="100%"  border="0">  <tr>    <td align="left"><span>)" + in.shopdisclaimer +
         "<BR></span></td>  </tr></table><BR>";
    h += R"(<table width="100%"  border="0" cellspacing="0" cellpadding="1">  <tr>)";
    h += R"(    <td align="left" class="style2" width="18%">选片人：)" + esc(in.selectphotoname) + "</td>";
    h += R"(    <td align="left" class="style2" width="25%">核单员：___________&nbsp;</td>)";
    h += R"(    <td align="left" class="style2" width="25%">收发人：___________&nbsp;</td>)";
    h += R"(    <td align="left" class="style2" width="32%">客人确认签名：___________&nbsp;</td>)";
    h += "  </tr></table>";
    const QDateTime printed = in.printTime.isValid() ? in.printTime : Clock::now();
    h += "</div><BR>";
    h += R"(<div style="font-size:12px" align="center"><p align="right">)" +
         printed.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + "</p></div>";
    h += "</body></HTML>";
}

} // namespace

SheetInput SheetInput::fromOrderDetail(const QJsonObject& reply, const QString& orderNumber,
                                       const QString& serviceNumber, const QString& selectphotoname)
{
    const QJsonObject o = reply.value(QLatin1String("order")).toObject();
    const auto timeText = [&o](const char* key) {
        return text(o.value(QLatin1String(key)).toObject(), "timeTxt");
    };
    const auto viewingTime = [&timeText](const char* key) {
        const QString time = timeText(key);
        return time == QLatin1String(":00") ? QString() : time;
    };
    const auto areaName = [&o](const char* key) {
        return text(o.value(QLatin1String(key)).toObject(), "areaname");
    };

    SheetInput in;
    in.orderNumber = orderNumber;
    in.serviceNumber = serviceNumber;
    in.selectphotoname = selectphotoname;

    in.servicetime = reply.value(QLatin1String("servicetime")).toArray();
    in.count_order_sample_infoservicetimes = text(reply, "count_order_sample_infoservicetimes");
    for (const QJsonValue& item : reply.value(QLatin1String("orderpicdescr")).toArray()) {
        const QJsonObject photo = item.toObject();
        const QJsonArray marks = photo.value(QLatin1String("mark")).toArray();
        if (marks.isEmpty())
            continue;
        QStringList entry{text(photo, "picname")};
        for (const QJsonValue& mark : marks)
            entry << mark.toString();
        in.picsMarkArr << entry;
    }

    in.shopname = text(o, "shopname");
    in.count = text(o, "count");
    in.bname = text(o, "bname");
    in.bsex = text(o, "bsex");
    in.birthdate = text(o, "birthdate");
    in.mname = text(o, "mname");
    in.mphone = text(o, "mphone");
    in.wname = text(o, "wname");
    in.wphone = text(o, "wphone");
    in.s2_name = text(o, "s2_name");
    in.mssid = text(o, "mssid");
    in.servershopid = text(o, "servershopid");
    in.booktime = text(o, "booktime");
    in.photodate = text(o, "photodate");
    in.selectphotodate = text(o, "selectphotodate");
    in.checktruing = text(o, "checktruing");
    in.comparedate = text(o, "comparedate");
    const QString startHour = text(o, "samplestarttime");
    const QString startMinute = text(o, "samplestartmin");
    // Without both parts the time is unknown; never an earlier order's.
    if (!startHour.isEmpty() && !startMinute.isEmpty())
        in.selectionTime = startHour + QLatin1Char(':') + startMinute;
    in.retouchViewingTime = viewingTime("kanjinxiuarea");
    in.layoutViewingTime = viewingTime("kanbanarea");
    in.booksuccess = text(o, "booksuccess");
    in.wxname = text(o, "wxname");
    in.tuiguangname = text(o, "tuiguangname");
    in.selectphoto = text(o, "selectphoto");
    in.yqnumber = text(o, "yqnumber");
    in.goodpnumber = text(o, "goodpnumber");
    in.vipphotonumber = text(o, "vipphotonumber");
    in.yx_number = text(o, "yx_number");
    in.role1 = text(o, "role1");
    in.role17 = text(o, "role17");
    in.role2 = text(o, "role2");
    in.mmail = text(o, "mmail");
    in.role3 = text(o, "role3");
    in.role16 = text(o, "role16");
    in.role4 = text(o, "role4");
    in.wmail = text(o, "wmail");
    in.role9name = text(o, "role9name");
    in.role6name = text(o, "role6name");
    in.order_price = text(o, "order_price");
    in.twosales = text(o, "twosales");
    in.dept = text(o, "dept");
    in.pay_type = text(o, "pay_type");
    in.tiaose = text(o, "tiaose");
    in.tiaoxiu = text(o, "tiaoxiu");
    in.sheji = text(o, "sheji");
    in.getphotodate_html = text(o, "getphotodate_html");
    in.dispatchTime = timeText("getphotoarea");
    in.buynumber = text(o, "buynumber");
    in.activenumber = text(o, "activenumber");
    in.morephotonumber = text(o, "morephotonumber");
    in.qualitytime = text(o, "qualitytime");
    in.recipients = text(o, "recipients");
    in.sj_tel = text(o, "sj_tel");
    in.deliveryAddress =
        areaName("provinceid") + areaName("cityid") + areaName("countyid") + text(o, "address");
    in.orderdescr = text(o, "orderdescr").replace(QLatin1Char('\n'), QLatin1String("<BR>"));
    // Every window reads the statement under this key of the same route.
    in.consumption_statement = text(o, "consumption_statement");
    in.isurgenttime = text(o, "isurgenttime");
    in.shopdisclaimer = text(o, "shopdisclaimer");
    return in;
}

namespace ProductionSheet {

SheetResult build(const SheetInput& input, SheetVariant variant)
{
    return Builder(input, variant).run();
}

QList<QSize> copyMarkedPhotos(const QList<QStringList>& picsMarkArr, const QString& markFolder,
                              const QString& thumbFolder, QStringList* notWritten)
{
    // An empty thumbnail folder would put the copies in the working folder,
    // and a mark folder without its order folder would read from there.
    const QString target = thumbFolder.isEmpty() ? QString() : thumbFolder + QStringLiteral("marks/");
    const bool readable = !QDir::isRelativePath(markFolder);
    QList<QSize> sizes;
    sizes.reserve(picsMarkArr.size());
    for (const QStringList& entry : picsMarkArr) {
        if (!target.isEmpty())
            FileOperation::makeDir(target);
        const QString name = entry.value(0);
        if (!FileNames::isPlainFileName(name)) {
            sizes << QSize(0, 0);
            continue;
        }
        const QImage image = readable ? ImageOperation::loadImage(markFolder + name) : QImage();
        sizes << image.size();
        if (target.isEmpty() || !readable)
            continue;
        // A marked photo that is not there has no copy to make; one there
        // that could not be read, or a copy not saved, is a file not written.
        const bool written =
            image.isNull() ? FileOperation::lookUp(markFolder + name) == FileOperation::Presence::Missing
                           : ImageOperation::saveImage(image, target + name, "JPG");
        if (!written && notWritten)
            notWritten->append(target + name);
    }
    return sizes;
}

} // namespace ProductionSheet
