#include "expresshtml.h"

#include "clock.h"
#include "fileoperation.h"
#include "picturework.h"
#include "webservice.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QPdfWriter>
#include <QPrinter>
#include <QTextDocument>
#include <QThread>
#include <QUrl>

namespace {

using WebService::text;

QString esc(const QString& value)
{
    return value.toHtmlEscaped();
}

const QLatin1String kOne("1");

// A sheet's document, whose pictures reach Qt's PDF engine in a format the
// engine draws as it is: RGB32, or ARGB32 where the picture has alpha. Any
// other (a grey photo, a palette, 16 bits a channel) Qt converts on the
// calling thread, where it hands a large picture to its global pool: into
// the pixmap it draws on the user-interface thread, whose alpha is
// premultiplied and converted back by the engine, or in the engine on any
// other thread. Here the picture work converts it. A picture that is not a
// local file, or does not decode, is left to Qt.
class SheetDocument : public QTextDocument
{
protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    // Each picture once, though layout and drawing ask for it again (the
    // printed copy of the document asks this one).
    QHash<QUrl, QVariant> m_pictures;
};

QVariant SheetDocument::loadResource(int type, const QUrl& name)
{
    if (type != QTextDocument::ImageResource || !name.isLocalFile())
        return QTextDocument::loadResource(type, name);
    const auto known = m_pictures.constFind(name);
    if (known != m_pictures.cend())
        return *known;
    QFile file(name.toLocalFile());
    const QImage picture = file.open(QIODevice::ReadOnly) ? QImage::fromData(file.readAll()) : QImage();
    if (picture.isNull())
        return QTextDocument::loadResource(type, name);
    const QImage::Format format = picture.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    // Qt draws a document's pictures as pixmaps on the user-interface
    // thread and as images on any other.
    const QCoreApplication* app = QCoreApplication::instance();
    const QVariant resource = app && QThread::currentThread() == app->thread()
                                  ? QVariant(PictureWork::toPixmap(picture, format))
                                  : QVariant(PictureWork::converted(picture, format));
    m_pictures.insert(name, resource);
    return resource;
}

} // namespace

ExpressHtml::ExpressHtml(QObject* parent) : QObject(parent) {}

ExpressHtml::~ExpressHtml() = default;

void ExpressHtml::setProMapData(QJsonObject goods, QString parentName)
{
    if (text(goods, "isems") != kOne)
        return;
    const QString addressId = text(goods.value(QLatin1String("orderaddress")).toObject(), "id");

    QList<Product> products;
    if (!addressIds.contains(addressId))
        addressIds.append(addressId);
    else
        products = addressGroups.value(addressId);

    Product product;
    product.analysis_goods_paras(goods);
    product.parentName = parentName;
    products.append(product);

    if (product.isurgent == kOne && !urgentAddressIds.contains(addressId))
        urgentAddressIds.append(addressId);
    addressGroups.insert(addressId, products);
}

QString ExpressHtml::getHtmlString(QJsonObject reply)
{
    const QJsonObject orderObject = reply.value(QLatin1String("order")).toObject();
    const QJsonObject info = reply.value(QLatin1String("order_info")).toObject();
    const QString urgentTime = text(orderObject, "isurgenttime");
    const QString pickupTime = text(orderObject, "pickuptime");

    addressGroups.clear();
    addressIds.clear();
    urgentAddressIds.clear();

    for (const char* arrayKey : {"ordergoods0", "ordergoods2"}) {
        const QJsonArray goodsList = orderObject.value(QLatin1String(arrayKey)).toArray();
        for (const QJsonValue& value : goodsList) {
            const QJsonObject goods = value.toObject();
            const QString parentId = text(goods, "parentid");
            if (!parentId.isEmpty() && parentId != QLatin1String("0"))
                continue;
            const QString goodName = text(goods, "goodname");
            if (text(goods, "isexist") != kOne) {
                setProMapData(goods, QString());
                continue;
            }
            // A parent line: its real products are its sub-goods.
            const QJsonArray sons = goods.value(QLatin1String("son_good")).toArray();
            for (const QJsonValue& son : sons)
                setProMapData(son.toObject(), goodName);
        }
    }

    QString h;
    // Head and style.
    h += QStringLiteral("<HTML>") + QStringLiteral("<head>");
    h += QStringLiteral(R"(<meta http-equiv="Content-Language" content="zh-cn">)");
    h += QStringLiteral(R"(<meta http-equiv="Content-Type" content="text/html; charset=UTF-8">)");
    h += QStringLiteral("<title></title>") + QStringLiteral("</head>");
    h += QStringLiteral(R"(<body leftmargin="0">)") + QStringLiteral(R"(<div align="center">)");
    h += QStringLiteral(R"(<style type="text/css">)") + QStringLiteral(".style1 {");
    h += QStringLiteral("\tfont-size: 24px;") + QStringLiteral("\tfont-weight: bold;");
    h += QStringLiteral("\tfont-family: \"微软雅黑\",\"Tahoma\";") + QStringLiteral("}");
    h += QStringLiteral(".thinborder{border-collapse:collapse;border-spacing:0;border-left:1px solid "
                        "#888;border-top:1px solid #000;}");
    h += QStringLiteral(
        ".td_thin{border-right:1px solid #000;border-bottom:1px solid #000;padding:5px 15px;}");
    h += QStringLiteral("</style>");

    // Title bar.
    h += QStringLiteral("<p><table width=100%  border=0 cellspacing=0 cellpadding=1;>");
    h += QStringLiteral(R"(<tr bgcolor="#FFFFFF"><td width=27%><div align="center"></div></td>)");
    h += QStringLiteral(R"(<td width=46%><div align="center">)");
    h += QStringLiteral(R"(<span align="center" class="style1">快递产品信息</span>)");
    h += QStringLiteral(R"(</div></td><td width=27%><div align="right">)");
    h += QStringLiteral(R"(<table width="100%"   cellspacing="0" cellpadding="1" border="1">)");
    h += QStringLiteral("  <tr>");
    h += QStringLiteral(R"(    <td align="left" class="style2">选片师姓名：)") +
         esc(text(orderObject, "role12name")) + QStringLiteral("</td>");
    h += QStringLiteral("  </tr>") + QStringLiteral("</table>");
    h += QStringLiteral("</div></td></tr></table></p>") + QStringLiteral("<BR>");

    // Order table.
    const QString valueCell = QStringLiteral(R"(    <td><div align="left" >)");
    const QString valueEnd = QStringLiteral("</div></td>");
    h += QStringLiteral(R"(<table width="100%" border="0" cellspacing="0" cellpadding="0">)");
    h += QStringLiteral(R"(<tr><td align="center">)");
    h += QStringLiteral(R"(<table width="100%" border="1" align="center" cellpadding="0" cellspacing="0">)");
    h += QStringLiteral("  <tr>");
    h += QStringLiteral(R"(    <td><div align="left" >订单号</div></td>)") + valueCell +
         esc(text(info, "orderpayforkey") + QLatin1Char('-') + text(orderObject, "servicetimes")) + valueEnd;
    h += QStringLiteral(R"(    <td><div align="left" >客人姓名</div></td>)") + valueCell +
         esc(text(info, "wname") + QLatin1Char('/') + text(info, "mname")) + valueEnd;
    h += QStringLiteral(R"(    <td><div align="left" >客人电话</div></td>)") + valueCell +
         esc(text(info, "wphone") + QLatin1Char('/') + text(info, "mphone")) + valueEnd;
    h += QStringLiteral("  </tr>") + QStringLiteral("</table></td></tr></table>") + QStringLiteral("<BR>");

    // One block per delivery address.
    const QString blue = QStringLiteral(R"(<span style="color: #0000FF">)");
    const QString cell = QStringLiteral(R"(    <td align="center">)");
    for (int b = 0; b < addressIds.size(); ++b) {
        const QList<Product> products = addressGroups.value(addressIds.at(b));
        h += QStringLiteral(R"(<table width="100%"  border="0" cellspacing="0" cellpadding="0">)");
        h += QStringLiteral(R"(<tr><td align="center">)");
        h += QStringLiteral(
            R"(<table width="100%" border="1" align="center" cellpadding="0" cellspacing="0">)");

        QString contact;
        if (!products.isEmpty()) {
            const Product& first = products.first();
            contact = QStringLiteral("联系人: ") + blue + esc(first.contactName) +
                      QStringLiteral("</span>    联系电话:  ") + blue + esc(first.contactPhone) +
                      QStringLiteral("</span>     邮编: ") + blue + esc(first.postcode) +
                      QStringLiteral("</span>    地址： ") + blue +
                      esc(first.province + first.city + first.county + first.address) +
                      QStringLiteral("</span>");
        }
        h +=
            QStringLiteral(R"(<tr><td colspan="6"><span class="style2"><font color="#000000"> 快递信息： )") +
            contact + QStringLiteral("</font></td></tr>");

        h += QStringLiteral(R"(<tr><td colspan="6"><span class="style2"><font color="#000000">普通件：)");
        if (!pickupTime.isEmpty() && pickupTime != QLatin1String("1970-01-01"))
            h += esc(pickupTime) + QStringLiteral("取件");
        h += QStringLiteral("</font>");
        if (urgentAddressIds.contains(addressIds.at(b)) && !urgentTime.isEmpty())
            h += QStringLiteral(R"(     <font color="#DC143C">加急件：)") + esc(urgentTime) +
                 QStringLiteral("取件</font>");
        h += QStringLiteral("</span>&nbsp;</td></tr>");

        h += QStringLiteral(R"(  <tr bgcolor="#CCCCCC">)");
        h += QStringLiteral(R"(    <td width="10%"><div align="center">序号</div></td>)");
        h += QStringLiteral(R"(    <td width="40%"><div align="center">产品名称</div></td>)");
        h += QStringLiteral(R"(    <td width="10%"><div align="center">类别</div></td>)");
        h += QStringLiteral(R"(    <td width="10%"><div align="center">数量</div></td>)");
        h += QStringLiteral(R"(    <td width="10%"><div align="center">P数</div></td>)");
        h += QStringLiteral(R"(    <td width="20%"><div align="center">发货日期</div></td>)");
        h += QStringLiteral("  </tr>");

        int row = 0;
        for (const Product& p : products) {
            if (!p.isems || p.isexist)
                continue;
            ++row;
            h += QStringLiteral("  <tr>");
            h += cell + QString::number(row) + QStringLiteral("</td>");
            QString name = p.goodname;
            if (p.hasParent)
                name = p.parentName + QLatin1Char('-') + p.goodname;
            h += QStringLiteral(R"(    <td align="left">)") + esc(name) + QStringLiteral("</td>");
            h += cell + esc(p.goodtypename) + QStringLiteral("</td>");
            h += cell + esc(p.goodamount) + QStringLiteral("</td>");
            if (p.goodtypeid == QLatin1String("33"))
                h += cell + esc(p.goodpnumber) + QStringLiteral("</td>");
            else
                h += QStringLiteral(R"(    <td align="center"></td>)");
            if (p.isurgent == kOne)
                h += QStringLiteral(R"(    <td align="center"><span class="style2"><font color="#DC143C">)") +
                     esc(urgentTime) + QStringLiteral("</font></span></td>");
            else
                h += cell + esc(pickupTime) + QStringLiteral("</td>");
        }

        h += QStringLiteral("<tr>") + QStringLiteral(R"(<td><div align="center">总计</div></td>)");
        h += QStringLiteral(R"(<td colspan="5"><div align="center">产品总数:)") +
             QString::number(products.size()) + QStringLiteral("件</div>") + QStringLiteral("</td></tr>");
        h += QStringLiteral("</table></td></tr></table>");
        if (b + 1 < addressIds.size())
            h += QStringLiteral("<BR>");
    }

    // Foot and print time.
    h += QStringLiteral("<BR>") + QStringLiteral("<BR>");
    h += QStringLiteral(R"(<table width="100%"  border="0" cellspacing="0" cellpadding="1">)");
    h += QStringLiteral("  <tr>");
    h += QStringLiteral(R"(    <td align="left" class="style2" width="50%">费用合计：________________</td>)");
    h += QStringLiteral(R"(    <td align="left" class="style2" width="50%">客户签字：________________</td>)");
    h += QStringLiteral("  </tr>") + QStringLiteral("</table>");
    h += QStringLiteral(R"(<div style="font-size:12px" align="center"><p align="right">)") +
         Clock::now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral("</p></div>");
    h += QStringLiteral("</body>") + QStringLiteral("</HTML>");
    return h;
}

QByteArray ExpressHtml::renderPdf(const QString& html)
{
    // The page as the sheets have always been printed: a screen-resolution
    // PDF printer's resolution, page size and margins. The printer only
    // lends its settings; the pages are drawn into memory.
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);

    QByteArray pdf;
    QBuffer buffer(&pdf);
    if (!buffer.open(QIODevice::WriteOnly))
        return QByteArray();
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(printer.resolution());
        writer.setPageLayout(printer.pageLayout());
        SheetDocument document;
        document.setHtml(html);
        document.print(&writer);
    }
    buffer.close();
    return pdf;
}

bool ExpressHtml::savePdf(const QString& html, const QString& pdfPath)
{
    if (pdfPath.isEmpty())
        return false;
    const QByteArray pdf = renderPdf(html);
    if (pdf.isEmpty())
        return false;
    // An old sheet is replaced only by a complete new one (synced, closed).
    return FileOperation::writeFile(pdf, pdfPath, true);
}
