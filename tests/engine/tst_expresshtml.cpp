#include "clock.h"
#include "expresshtml.h"
#include "replydata.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>

namespace {

QJsonObject goods(const QString& id, const QString& name, const QString& addressId,
                  const QString& isems = "1", const QString& isurgent = "0")
{
    return QJsonObject{{"id", id},
                       {"goodname", name},
                       {"goodtypename", "相册"},
                       {"goodamount", "1"},
                       {"isems", isems},
                       {"isurgent", isurgent},
                       {"parentid", "0"},
                       {"orderaddress", QJsonObject{{"id", addressId}, {"name", "客人" + addressId}}}};
}

QJsonObject reply(const QJsonArray& goods0, const QJsonArray& goods2 = {},
                  const QString& pickuptime = "2024-05-10", const QString& urgenttime = "2024-05-03")
{
    return QJsonObject{{"order", QJsonObject{{"ordergoods0", goods0},
                                             {"ordergoods2", goods2},
                                             {"pickuptime", pickuptime},
                                             {"isurgenttime", urgenttime}}}};
}

const QString kPrintTime = QStringLiteral("2024-05-01 09:08:07");

} // namespace

class TestExpressHtml : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void groupsExpressGoodsByAddress();
    void sheetOfAnOrder();
    void textsAreEscaped();
    void blankPickupDate();
    void urgentPartNeedsAnUrgentDate();
    void replyWithoutExpressGoods();
    void eachBuildStartsAfresh();
    void setProMapDataAppendsPerAddress();
    void printsToPdf();
    void pdfFailures();

private:
    QTemporaryDir m_dir;
};

void TestExpressHtml::initTestCase()
{
    Clock::setFixed(QDateTime::fromString(kPrintTime, "yyyy-MM-dd hh:mm:ss"));
}

void TestExpressHtml::cleanupTestCase()
{
    Clock::setFixed(QDateTime());
}

void TestExpressHtml::groupsExpressGoodsByAddress()
{
    ExpressHtml sheet;
    sheet.getHtmlString(loadReply("order_goods.json"));

    // Address 13 has only self-pick-up goods, 14 only a line that is no
    // top-level goods.
    QCOMPARE(sheet.addressIds, QStringList({"11", "12"}));
    QCOMPARE(sheet.urgentAddressIds, QStringList({"11"}));
    const QList<Product> first = sheet.addressGroups.value("11");
    QCOMPARE(first.size(), 2);
    QCOMPARE(first.at(0).goodname, QString("成长相册"));
    QCOMPARE(first.at(0).parentName, QString());
    QCOMPARE(first.at(1).goodname, QString("水晶摆台"));
    QCOMPARE(first.at(1).parentName, QString("全家福<套装>&"));
    const QList<Product> second = sheet.addressGroups.value("12");
    QCOMPARE(second.size(), 2);
    QCOMPARE(second.at(0).goodname, QString("实木画框"));
    QCOMPARE(second.at(1).goodname, QString("加洗照片"));
}

void TestExpressHtml::sheetOfAnOrder()
{
    ExpressHtml sheet;
    const QString html = sheet.getHtmlString(loadReply("order_goods.json"));

    QVERIFY(html.startsWith(
        R"(<HTML><head><meta http-equiv="Content-Language" content="zh-cn"><meta http-equiv="Content-Type" )"
        R"(content="text/html; charset=UTF-8"><title></title></head><body leftmargin="0"><div align="center">)"
        R"(<style type="text/css">.style1 {)"
        "\tfont-size: 24px;\tfont-weight: bold;\tfont-family: \"微软雅黑\",\"Tahoma\";}"));
    QVERIFY(html.contains(R"(<span align="center" class="style1">快递产品信息</span>)"));
    QVERIFY(html.endsWith(R"(<div style="font-size:12px" align="center"><p align="right">)" + kPrintTime +
                          "</p></div></body></HTML>"));
    QVERIFY(!html.contains('\n'));
    QCOMPARE(html.count("<BR>"), 5); // title, order table, between the two blocks, two in the foot

    QVERIFY(html.contains(
        R"(    <td><div align="left" >订单号</div></td>    <td><div align="left" >A001-2</div></td>)"));
    QVERIFY(html.contains(R"(    <td><div align="left" >客人电话</div></td>)"
                          R"(    <td><div align="left" >13900000002/13800000001</div></td>)"));

    // The first block: address 11, with the urgent date.
    const int second = html.indexOf("张伟</span>");
    QVERIFY(second > 0);
    const QString block1 = html.left(second);
    const QString block2 = html.mid(second);
    QVERIFY(block1.contains(
        R"(<tr><td colspan="6"><span class="style2"><font color="#000000"> 快递信息： 联系人: )"
        R"(<span style="color: #0000FF">李丽</span>    联系电话:  <span style="color: #0000FF">13900000002</span>)"
        R"(     邮编: <span style="color: #0000FF">310000</span>    地址： )"
        R"(<span style="color: #0000FF">浙江省杭州市西湖区文三路1号</span></font></td></tr>)"));
    QVERIFY(block1.contains(R"(<tr><td colspan="6"><span class="style2"><font color="#000000">普通件：)"
                            R"(2024-05-10取件</font>     <font color="#DC143C">加急件：2024-05-03取件</font>)"
                            R"(</span>&nbsp;</td></tr>)"));
    QVERIFY(block1.contains(R"(  <tr>    <td align="center">1</td>    <td align="left">成长相册</td>)"
                            R"(    <td align="center">相册</td>    <td align="center">1</td>)"
                            R"(    <td align="center">30</td>    <td align="center">2024-05-10</td>)"));
    QVERIFY(block1.contains(
        R"(  <tr>    <td align="center">2</td>    <td align="left">全家福&lt;套装&gt;&amp;-水晶摆台</td>)"
        R"(    <td align="center">摆台</td>    <td align="center">2</td>    <td align="center"></td>)"
        R"(    <td align="center"><span class="style2"><font color="#DC143C">2024-05-03</font></span></td>)"));
    QVERIFY(block1.contains(R"(<tr><td><div align="center">总计</div></td>)"
                            R"(<td colspan="5"><div align="center">产品总数:2件</div></td></tr>)"
                            "</table></td></tr></table><BR>"));

    // The second block: address 12, no urgent goods, numbering from 1.
    QVERIFY(!block2.contains("加急件"));
    QVERIFY(block2.contains(R"(普通件：2024-05-10取件</font></span>&nbsp;</td></tr>)"));
    QVERIFY(block2.contains(
        R"(<td align="center">1</td>    <td align="left">全家福&lt;套装&gt;&amp;-实木画框</td>)"));
    // A type other than 33 leaves the pages cell empty; a number reads as
    // no quantity and no urgency.
    QVERIFY(block2.contains(
        R"(<td align="center">2</td>    <td align="left">加洗照片</td>)"
        R"(    <td align="center">冲印</td>    <td align="center"></td>    <td align="center"></td>)"
        R"(    <td align="center">2024-05-10</td>)"));
    QVERIFY(block2.contains(
        R"(产品总数:2件</div></td></tr></table></td></tr></table><BR><BR><table width="100%"  border="0")"));
    QVERIFY(block2.contains(
        R"(    <td align="left" class="style2" width="50%">费用合计：________________</td>)"
        R"(    <td align="left" class="style2" width="50%">客户签字：________________</td>)"));

    QVERIFY(!html.contains("油画布"));
    QVERIFY(!html.contains("门店自取相框"));
    QVERIFY(!html.contains("挂在别处的子产品"));
}

void TestExpressHtml::textsAreEscaped()
{
    ExpressHtml sheet;
    const QString html = sheet.getHtmlString(loadReply("order_goods.json"));
    QVERIFY(html.contains("选片师姓名：选片&lt;丙&gt;</td>"));
    QVERIFY(html.contains(R"(<div align="left" >李&amp;丽/张&lt;伟&gt;</div>)"));
    QVERIFY(html.contains("上海市上海市徐汇区漕溪路&lt;8&gt;号"));
    QVERIFY(!html.contains("<套装>"));
    QVERIFY(!html.contains("<8>"));
    QVERIFY(!html.contains("<伟>"));
}

void TestExpressHtml::blankPickupDate()
{
    ExpressHtml sheet;
    const QString html = sheet.getHtmlString(reply({goods("1", "相册", "a")}, {}, "1970-01-01"));
    QVERIFY(html.contains(R"(<font color="#000000">普通件：</font></span>&nbsp;</td></tr>)"));
    QVERIFY(html.contains(R"(    <td align="center">1970-01-01</td>)"));

    const QString empty = sheet.getHtmlString(reply({goods("1", "相册", "a")}, {}, ""));
    QVERIFY(empty.contains(R"(<font color="#000000">普通件：</font></span>&nbsp;</td></tr>)"));
}

void TestExpressHtml::urgentPartNeedsAnUrgentDate()
{
    ExpressHtml sheet;
    const QJsonArray urgent{goods("1", "相册", "a", "1", "1")};
    QVERIFY(sheet.getHtmlString(reply(urgent)).contains("加急件：2024-05-03取件"));
    const QString html = sheet.getHtmlString(reply(urgent, {}, "2024-05-10", ""));
    QVERIFY(!html.contains("加急件"));
    QVERIFY(html.contains(R"(<font color="#DC143C"></font>)"));
}

void TestExpressHtml::replyWithoutExpressGoods()
{
    ExpressHtml sheet;
    const QString html = sheet.getHtmlString(QJsonObject());
    const QString expected = QStringLiteral(
        R"(<HTML><head><meta http-equiv="Content-Language" content="zh-cn">)"
        R"(<meta http-equiv="Content-Type" content="text/html; charset=UTF-8"><title></title></head>)"
        R"(<body leftmargin="0"><div align="center"><style type="text/css">.style1 {)"
        "\tfont-size: 24px;\tfont-weight: bold;\tfont-family: \"微软雅黑\",\"Tahoma\";}"
        R"(.thinborder{border-collapse:collapse;border-spacing:0;border-left:1px solid #888;border-top:1px solid #000;})"
        R"(.td_thin{border-right:1px solid #000;border-bottom:1px solid #000;padding:5px 15px;}</style>)"
        R"(<p><table width=100%  border=0 cellspacing=0 cellpadding=1;>)"
        R"(<tr bgcolor="#FFFFFF"><td width=27%><div align="center"></div></td>)"
        R"(<td width=46%><div align="center"><span align="center" class="style1">快递产品信息</span>)"
        R"(</div></td><td width=27%><div align="right">)"
        R"(<table width="100%"   cellspacing="0" cellpadding="1" border="1">  <tr>)"
        R"(    <td align="left" class="style2">选片师姓名：</td>  </tr></table></div></td></tr></table></p><BR>)"
        R"(<table width="100%" border="0" cellspacing="0" cellpadding="0"><tr><td align="center">)"
        R"(<table width="100%" border="1" align="center" cellpadding="0" cellspacing="0">  <tr>)"
        R"(    <td><div align="left" >订单号</div></td>    <td><div align="left" >-</div></td>)"
        R"(    <td><div align="left" >客人姓名</div></td>    <td><div align="left" >/</div></td>)"
        R"(    <td><div align="left" >客人电话</div></td>    <td><div align="left" >/</div></td>)"
        R"(  </tr></table></td></tr></table><BR><BR><BR>)"
        R"(<table width="100%"  border="0" cellspacing="0" cellpadding="1">  <tr>)"
        R"(    <td align="left" class="style2" width="50%">费用合计：________________</td>)"
        R"(    <td align="left" class="style2" width="50%">客户签字：________________</td>  </tr></table>)"
        R"(<div style="font-size:12px" align="center"><p align="right">2024-05-01 09:08:07</p></div>)"
        R"(</body></HTML>)");
    QCOMPARE(html, expected);

    // Self-pick-up goods only: the same page.
    QCOMPARE(sheet.getHtmlString(reply({goods("1", "相册", "a", "0")})).count("快递信息"), 0);
}

void TestExpressHtml::eachBuildStartsAfresh()
{
    ExpressHtml sheet;
    sheet.getHtmlString(reply({goods("1", "相册", "a", "1", "1")}));
    QCOMPARE(sheet.addressIds, QStringList({"a"}));
    sheet.getHtmlString(reply({goods("2", "画框", "b")}));
    QCOMPARE(sheet.addressIds, QStringList({"b"}));
    QVERIFY(sheet.urgentAddressIds.isEmpty());
    QCOMPARE(sheet.addressGroups.keys(), QStringList({"b"}));
}

void TestExpressHtml::setProMapDataAppendsPerAddress()
{
    ExpressHtml sheet;
    sheet.setProMapData(goods("1", "相册", "x"), QString());
    sheet.setProMapData(goods("2", "画框", "y", "1", "1"), "套装");
    sheet.setProMapData(goods("3", "摆台", "x"), QString());
    sheet.setProMapData(goods("4", "自取", "z", "0"), QString());
    sheet.setProMapData(goods("5", "数字", "z", "true"), QString());
    QCOMPARE(sheet.addressIds, QStringList({"x", "y"}));
    QCOMPARE(sheet.urgentAddressIds, QStringList({"y"}));
    QCOMPARE(sheet.addressGroups.value("x").size(), 2);
    QCOMPARE(sheet.addressGroups.value("x").at(1).goodname, QString("摆台"));
    QCOMPARE(sheet.addressGroups.value("y").at(0).parentName, QString("套装"));
}

void TestExpressHtml::printsToPdf()
{
    ExpressHtml sheet;
    const QString html = sheet.getHtmlString(loadReply("order_goods.json"));
    const QString path = m_dir.filePath("快递产品信息.pdf");
    QVERIFY(ExpressHtml::savePdf(html, path));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    QVERIFY(pdf.startsWith("%PDF-"));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    QVERIFY(pdf.size() > 2000);
    QVERIFY(pdf.contains("/Type /Page"));
    QVERIFY(file.permissions() & QFile::ReadOther);

    // Printing again replaces the file and leaves nothing else beside it.
    file.close();
    const QString second = sheet.getHtmlString(QJsonObject());
    QVERIFY(ExpressHtml::savePdf(second, path));
    QVERIFY(QFileInfo(path).size() < pdf.size());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"快递产品信息.pdf"}));
}

void TestExpressHtml::pdfFailures()
{
    QVERIFY(!ExpressHtml::savePdf("<p>x</p>", m_dir.filePath("no-such-folder/快递产品信息.pdf")));
    QVERIFY(!QFileInfo::exists(m_dir.filePath("no-such-folder")));
    QVERIFY(QDir().mkpath(m_dir.filePath("taken/快递产品信息.pdf")));
    QVERIFY(!ExpressHtml::savePdf("<p>x</p>", m_dir.filePath("taken/快递产品信息.pdf")));
    QVERIFY(QFileInfo(m_dir.filePath("taken/快递产品信息.pdf")).isDir());
    QVERIFY(!ExpressHtml::savePdf("<p>x</p>", QString()));
}

QTEST_MAIN(TestExpressHtml)
#include "tst_expresshtml.moc"
