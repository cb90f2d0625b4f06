#include "clock.h"
#include "expresshtml.h"
#include "fileoperation.h"
#include "productionsheet.h"
#include "replydata.h"
#include "testfiles.h"

#include <QtTest>

#include <QPrinter>
#include <QTextDocument>

#include <QImageReader>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>

Q_DECLARE_METATYPE(SheetVariant)

namespace {

const QDateTime kPrintTime(QDate(2024, 3, 7), QTime(15, 15, 0));

bool writeImage(const QString& path, const QSize& size, const char* format = "JPG")
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(90, 120, 150));
    return QDir().mkpath(QFileInfo(path).absolutePath()) && image.save(path, format);
}

// The products of a product reply as the separation windows keep them: the
// goods of "ordergoods0", then of "ordergoods2", each with its "son_good".
QList<Product> productsOf(const QJsonArray& goodsList)
{
    QList<Product> products;
    for (const QJsonValue& goods : goodsList) {
        Product product;
        product.analysis_goods_paras(goods.toObject());
        for (const QJsonValue& son : goods.toObject().value("son_good").toArray()) {
            Product sub;
            sub.analysis_goods_paras(son.toObject());
            product.subProducts << sub;
        }
        products << product;
    }
    return products;
}

// The fixture order, with its thumbnails and marked photos under root.
SheetInput fixtureSheet(const QString& root)
{
    const QString thumbs = root + "/out/制作单缩略图/";
    for (const char* name : {"p1", "p2", "p3", "p5", "p6", "p7", "u1", "u2", "s1"})
        writeImage(thumbs + name + ".jpg", QSize(88, 88));
    writeImage(thumbs + "p4.jpg", QSize(87, 88));
    writeImage(root + "/order/marks/p1.jpg", QSize(200, 100));
    writeImage(root + "/order/marks/p3.jpg", QSize(100, 100));

    SheetInput in = SheetInput::fromOrderDetail(loadReply("sheet_orderdetail.json"), "A2024001", "2", "赵六");
    const QJsonObject order = loadReply("sheet_goods.json").value("order").toObject();
    in.products =
        productsOf(order.value("ordergoods0").toArray()) + productsOf(order.value("ordergoods2").toArray());
    in.barcodeImagePath = root + "/out/条形码.jpg";
    in.thumbFolder = thumbs;
    in.markFolder = root + "/order/marks/";
    in.printTime = kPrintTime;
    const QStringList marks{"美白<BR>去眼袋", "", "", "", "背景", "", ""};
    for (int i = 0; i < marks.size(); ++i) {
        Image photo;
        photo.setFileName(QString("p%1.jpg").arg(i + 1));
        photo.setDescription(marks.at(i));
        in.selectedPhotos << photo;
    }
    return in;
}

// A golden sheet of tests/engine/data: one piece a line, each closed by "|"
// so its trailing blanks show; "#" lines are notes, "<TAB>" stands for a tab
// and "@TMP@" for the test's folder.
QString goldenSheet(const QString& name, const QString& folder)
{
    QFile file(QStringLiteral(ENGINE_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return "missing " + name;
    QString html;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (!line.endsWith('|'))
            return "no end mark: " + line;
        html += line.chopped(1);
    }
    return html.replace("<TAB>", "\t").replace("@TMP@", folder);
}

// Where two sheets part, with some text around it; empty when equal.
QString firstDifference(const QString& actual, const QString& expected)
{
    int i = 0;
    while (i < actual.size() && i < expected.size() && actual.at(i) == expected.at(i))
        ++i;
    if (i == actual.size() && i == expected.size())
        return QString();
    const int from = qMax(0, i - 60);
    return QString("at %1:\n  actual   ...%2\n  expected ...%3")
        .arg(i)
        .arg(actual.mid(from, 140), expected.mid(from, 140));
}

QJsonObject goods(const QString& id, const QString& isurgent, const QString& type, const QString& pages,
                  const QJsonArray& sons = {})
{
    return {{"id", id},
            {"goodname", "品" + id},
            {"goodtypeid", type},
            {"goodpagenumber", pages},
            {"isurgent", isurgent},
            {"parentid", "0"},
            {"son_good", sons}};
}

QJsonArray ids(const QStringList& list)
{
    QJsonArray array;
    for (const QString& id : list)
        array << QJsonObject{{"id", id}};
    return array;
}

// A small order for the data rows; its pick-up dates are "U" (urgent) and "G".
SheetInput smallSheet(const QJsonObject& order = {})
{
    QJsonObject o{{"isurgenttime", "U"}, {"getphotodate_html", "G"}, {"count", "3"}, {"bname", "小宝"}};
    for (auto it = order.begin(); it != order.end(); ++it)
        o.insert(it.key(), it.value());
    SheetInput in = SheetInput::fromOrderDetail(QJsonObject{{"order", o}}, "A1", "2", "");
    in.printTime = kPrintTime;
    return in;
}

QString runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return "failed: " + program + " " + QString::fromLocal8Bit(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestProductionSheet : public QObject
{
    Q_OBJECT

private slots:
    void goldenSheets_data();
    void goldenSheets();
    void orderRow_data();
    void orderRow();
    void productTables_data();
    void productTables();
    void escaping_data();
    void escaping();
    void picturePathsAreEncoded();
    void markCopies_data();
    void markCopies();
    void markCopyNeedsAFolderAndKeepsTheOldOne();
    void printTimeFallsBackToTheClock();
    void fromOrderDetail();
    void printsTheN8SheetToPdf();

private:
    QTemporaryDir m_dir;
};

void TestProductionSheet::goldenSheets_data()
{
    QTest::addColumn<SheetVariant>("variant");
    QTest::addColumn<QString>("golden");
    QTest::addColumn<int>("total");
    // clang-format off
    QTest::newRow("design") << SheetVariant::Design << "sheet_design.golden" << 50;
    QTest::newRow("post-sample") << SheetVariant::PostSample << "sheet_postsample.golden" << 30;
    QTest::newRow("n8") << SheetVariant::N8 << "sheet_n8.golden" << 30;
    // clang-format on
}

void TestProductionSheet::goldenSheets()
{
    QFETCH(SheetVariant, variant);
    QFETCH(QString, golden);
    QFETCH(int, total);
    QTemporaryDir dir;
    const SheetResult result = ProductionSheet::build(fixtureSheet(dir.path()), variant);

    const QString difference = firstDifference(result.html, goldenSheet(golden, dir.path()));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QVERIFY(result.tableWritten);
    QCOMPARE(result.selectedPhotoTotal, total);
    // The marked photos that could be read were copied for the sheet.
    QCOMPARE(TestFiles::entries(dir.path() + "/out/制作单缩略图/marks"), QStringList({"p1.jpg", "p3.jpg"}));
}

void TestProductionSheet::orderRow_data()
{
    const QString oneCell =
        R"(  <tr>    <td class="td_thin" colspan="4"><div align="center">订单号:   A1(服务次:2/3)</div></td>  </tr>)";
    const QString fourCells =
        R"(  <tr>    <td class="td_thin" width="25%"><div align="left">订单号:   A1(服务次:2/3)</div></td>)"
        R"(    <td class="td_thin" width="25%"><div align="left">宝宝姓名:   小宝</div></td>)";
    QTest::addColumn<SheetVariant>("variant");
    QTest::addColumn<QString>("buildSort");
    QTest::addColumn<QString>("serviceNumber");
    QTest::addColumn<QString>("row");
    // clang-format off
    QTest::newRow("design, baby cells") << SheetVariant::Design << "1" << "2" << fourCells;
    QTest::newRow("post-sample, baby cells") << SheetVariant::PostSample << "1" << "2" << fourCells;
    QTest::newRow("n8 never shows them") << SheetVariant::N8 << "1" << "2" << oneCell;
    QTest::newRow("design, no sort") << SheetVariant::Design << "" << "2" << oneCell;
    QTest::newRow("service number %2") << SheetVariant::N8 << "" << "%2" << QString(oneCell).replace("2/3", "%2/3");
    // clang-format on
}

void TestProductionSheet::orderRow()
{
    QFETCH(SheetVariant, variant);
    QFETCH(QString, buildSort);
    QFETCH(QString, serviceNumber);
    QFETCH(QString, row);
    SheetInput in = smallSheet();
    in.buildSort = buildSort;
    in.serviceNumber = serviceNumber;
    const SheetResult result = ProductionSheet::build(in, variant);
    QVERIFY2(result.html.contains(row), qPrintable(result.html.left(2000)));
    QVERIFY(!result.tableWritten);
}

void TestProductionSheet::productTables_data()
{
    QTest::addColumn<SheetVariant>("variant");
    QTest::addColumn<QJsonObject>("visit");
    QTest::addColumn<QJsonArray>("goods");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    const QJsonArray twoSons{goods("21", "0", "34", ""), goods("22", "0", "34", "")};
    // clang-format off
    QTest::newRow("visit not operated")
        << SheetVariant::N8
        << QJsonObject{{"urgentgoods", ids({"1"})}, {"goods", ids({"2"})}, {"order_sample_infoservicetimes", "0"}}
        << QJsonArray{goods("1", "1", "34", ""), goods("2", "0", "34", "")}
        << QStringList{"加急件：未操作产品U取件</font>", "普通件：未操作产品G取件</font>"} << QStringList{"选片次:"};
    QTest::newRow("urgent table without urgent products")
        << SheetVariant::PostSample << QJsonObject{{"urgentgoods", ids({"2"})}, {"role12name", "甲"}}
        << QJsonArray{goods("2", "0", "33", "7")}
        << QStringList{R"(加急件：选片次:1/  选片师: <span style="color: 000000">甲</span>  U取件)",
                       "产品总数:0件, 选中总张数共0张"}
        << QStringList{"品2"};
    QTest::newRow("urgent row span 4")
        << SheetVariant::N8 << QJsonObject{{"urgentgoods", ids({"1"})}} << QJsonArray{goods("1", "1", "34", "", twoSons)}
        << QStringList{R"(<td rowspan="4" style="height: 0px "  /td>)"} << QStringList{};
    QTest::newRow("normal row span 2, no strips")
        << SheetVariant::Design << QJsonObject{{"goods", ids({"1"})}} << QJsonArray{goods("1", "0", "34", "", twoSons)}
        << QStringList{R"(<td rowspan="2" style="height: 0px "  /td>)"} << QStringList{R"(colspan="10")"};
    QTest::newRow("totals 10 and 20")
        << SheetVariant::N8 << QJsonObject{{"goods", ids({"3", "4", "5"})}}
        << QJsonArray{goods("3", "0", "33", "10"), goods("4", "0", "33", "20"), goods("5", "0", "34", "12")}
        << QStringList{"产品总数:3件, 选中总张数共30张"} << QStringList{};
    // clang-format on
}

void TestProductionSheet::productTables()
{
    QFETCH(SheetVariant, variant);
    QFETCH(QJsonObject, visit);
    QFETCH(QJsonArray, goods);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    SheetInput in = smallSheet();
    in.servicetime = QJsonArray{visit};
    in.products = productsOf(goods);
    const SheetResult result = ProductionSheet::build(in, variant);
    const QString tables = result.html.mid(result.html.indexOf("指定制作"));
    for (const QString& piece : present)
        QVERIFY2(tables.contains(piece), qPrintable(piece + "\n" + tables));
    for (const QString& piece : absent)
        QVERIFY2(!tables.contains(piece), qPrintable(piece));
    QVERIFY(result.tableWritten);
}

void TestProductionSheet::escaping_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("piece");
    // clang-format off
    QTest::newRow("comment opener") << "mname" << "<!--a" << "男士:   &lt;!--a</div>";
    QTest::newRow("escaped once only") << "wname" << "李&amp;丽" << "女士:   李&amp;丽</div>";
    QTest::newRow("quotes stay") << "recipients" << R"("王")" << R"(收件人姓名:   "王"</div>)";
    QTest::newRow("urgent date") << "isurgenttime" << "<U>" << "&lt;U&gt;取件";
    QTest::newRow("consumption") << "consumption_statement" << "<b>x</b>" << "<span><b>x</b>&nbsp;</span>";
    QTest::newRow("dispatch date") << "getphotodate_html" << "5日<BR>" << "发货日期:   5日<BR> </div>";
    // clang-format on
}

void TestProductionSheet::escaping()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, piece);
    SheetInput in = smallSheet({{key, value}});
    in.servicetime = QJsonArray{QJsonObject{{"urgentgoods", ids({""})}}};
    const QString html = ProductionSheet::build(in, SheetVariant::N8).html;
    QVERIFY2(html.contains(piece), qPrintable(html));
}

void TestProductionSheet::picturePathsAreEncoded()
{
    SheetInput in = smallSheet();
    const QString folder = m_dir.path() + "/店 #1?%\"";
    in.thumbFolder = folder + "/";
    in.barcodeImagePath = folder + "/条形码.jpg";
    Image photo;
    photo.setFileName("a#.jpg");
    in.selectedPhotos << photo;
    const QString html = ProductionSheet::build(in, SheetVariant::N8).html;
    const QString encoded = m_dir.path() + "/店 %231%3F%25%22";
    const QString barcode = R"(<img  align="center" src="file:///)" + encoded + R"(/条形码.jpg" />)";
    const QString gallery = R"(<img src="file:///)" + encoded + R"(/a%23.jpg"><br>a#.jpg<BR>)";
    QVERIFY(html.contains(barcode));
    QVERIFY(html.contains(gallery));
}

void TestProductionSheet::markCopies_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format"); // of the marked photo: "" bytes that are no image, "none" no file
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("form");
    QTest::addColumn<bool>("copied");
    // clang-format off
    QTest::newRow("landscape") << "a.jpg" << QByteArray("JPG") << QSize(300, 200) << R"(width="120")" << true;
    QTest::newRow("square") << "b.jpg" << QByteArray("JPG") << QSize(100, 100) << R"(height="120")" << true;
    QTest::newRow("portrait png") << "c.png" << QByteArray("PNG") << QSize(100, 200) << R"(height="120")" << true;
    QTest::newRow("unreadable") << "d.jpg" << QByteArray() << QSize(300, 200) << R"(height="120")" << false;
    QTest::newRow("missing") << "e.jpg" << QByteArray("none") << QSize() << R"(height="120")" << false;
    QTest::newRow("no plain name") << "../x.jpg" << QByteArray("JPG") << QSize(300, 200) << R"(height="120")" << false;
    // clang-format on
}

void TestProductionSheet::markCopies()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);
    QFETCH(QString, form);
    QFETCH(bool, copied);
    QTemporaryDir dir;
    const QString marks = dir.path() + "/order/marks/";
    QDir().mkpath(marks);
    QDir().mkpath(dir.path() + "/out"); // the thumbnail job made it
    if (format.isEmpty())
        TestFiles::write(marks + name, "not an image");
    else if (format != "none")
        writeImage(marks + name, size, format.constData());

    SheetInput in = smallSheet();
    in.picsMarkArr = {{name, "x-y-5-z-文字"}};
    in.markFolder = marks;
    in.thumbFolder = dir.path() + "/out/";
    const QString html = ProductionSheet::build(in, SheetVariant::PostSample).html;

    const QString cell = R"(src="file:///)" + dir.path() + "/out/marks/" + name + '"' + form +
                         R"(align="left"><ui style="list-style-type: none;"><li>5. 文字</li>)";
    QVERIFY2(html.contains(cell), qPrintable(html));
    // Only a readable photo is copied, as JPEG, and nothing lands elsewhere.
    QCOMPARE(TestFiles::entries(dir.path() + "/out"), QStringList({"marks"}));
    QCOMPARE(TestFiles::entries(dir.path() + "/out/marks"), copied ? QStringList({name}) : QStringList());
    if (copied) {
        QImageReader reader(dir.path() + "/out/marks/" + name);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), size);
    }
}

void TestProductionSheet::markCopyNeedsAFolderAndKeepsTheOldOne()
{
    const QString root = m_dir.path() + "/copies";
    QVERIFY(writeImage(root + "/marks/a.jpg", QSize(30, 20)));
    // No thumbnail folder yet: the size is read, nothing lands in the working folder.
    QCOMPARE(ProductionSheet::copyMarkedPhotos({{"a.jpg"}}, root + "/marks/", ""),
             QList<QSize>({QSize(30, 20)}));
    QVERIFY(!QFileInfo::exists("marks/a.jpg"));
    // An order without its folder gives "marks/" alone: the working
    // folder's look-alike is never read.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(root);
    const QList<QSize> sizes = ProductionSheet::copyMarkedPhotos({{"a.jpg"}}, "marks/", root + "/thumbs/");
    QDir::setCurrent(previous);
    QCOMPARE(sizes, QList<QSize>({QSize(0, 0)}));
    QVERIFY(!QFileInfo::exists(root + "/thumbs/marks/a.jpg"));

    // A copy that fails to write leaves the old one whole.
    QVERIFY(TestFiles::write(root + "/thumbs/marks/a.jpg", "old copy"));
    FileOperation::setFaultHook(
        [](FileOperation::Fault fault, const QString&) { return fault == FileOperation::Fault::Write; });
    ProductionSheet::copyMarkedPhotos({{"a.jpg"}}, root + "/marks/", root + "/thumbs/");
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(TestFiles::readAll(root + "/thumbs/marks/a.jpg"), QByteArray("old copy"));
    QCOMPARE(TestFiles::entries(root + "/thumbs/marks"), QStringList({"a.jpg"}));
}

void TestProductionSheet::printTimeFallsBackToTheClock()
{
    Clock::setFixed(QDateTime(QDate(2024, 3, 7), QTime(9, 5, 0)));
    SheetInput in = smallSheet();
    in.printTime = QDateTime();
    const QString html = ProductionSheet::build(in, SheetVariant::Design).html;
    Clock::setFixed(QDateTime());
    QVERIFY(html.endsWith("2024-03-07 09:05:00</p></div></body></HTML>"));
}

void TestProductionSheet::fromOrderDetail()
{
    const auto read = [](const QJsonObject& order) {
        return SheetInput::fromOrderDetail(QJsonObject{{"order", order}}, "", "", "");
    };
    const auto time = [](const char* text) { return QJsonObject{{"timeTxt", text}}; };
    const auto area = [](const char* name) { return QJsonObject{{"areaname", name}}; };

    QCOMPARE(read({{"orderdescr", "a\nb"}}).orderdescr, QString("a<BR>b"));
    QCOMPARE(read({{"orderdescr", "a\r\nb"}}).orderdescr, QString("a\r<BR>b"));
    QCOMPARE(read({{"kanbanarea", time(":00")}}).layoutViewingTime, QString());
    QCOMPARE(read({{"kanbanarea", time("9:00")}}).layoutViewingTime, QString("9:00"));
    QCOMPARE(read({{"kanjinxiuarea", time(":00")}}).retouchViewingTime, QString());
    QCOMPARE(read({{"getphotoarea", time(":00")}}).dispatchTime, QString(":00"));
    QCOMPARE(read({{"samplestarttime", "10"}, {"samplestartmin", ""}}).selectionTime, QString());
    QCOMPARE(read({{"samplestartmin", "30"}}).selectionTime, QString());
    QCOMPARE(read({{"samplestarttime", "10"}, {"samplestartmin", "30"}}).selectionTime, QString("10:30"));
    QCOMPARE(
        read({{"provinceid", area("A")}, {"cityid", area("B")}, {"countyid", area("C")}, {"address", "D"}})
            .deliveryAddress,
        QString("ABCD"));
    QCOMPARE(read({{"provinceid", area("A")}, {"countyid", area("C")}}).deliveryAddress, QString("AC"));
    QCOMPARE(read({{"count", 3}}).count, QString());
    QCOMPARE(read({{"consumption_statement", "c"}, {"m_consumption_statement", "m"}}).consumption_statement,
             QString("c"));

    // Only photos with marks are kept; a mark that is no text reads empty.
    const QJsonArray visits{QJsonObject{{"goods", ids({"1"})}}};
    const QJsonObject reply{
        {"servicetime", visits},
        {"count_order_sample_infoservicetimes", "2"},
        {"orderpicdescr",
         QJsonArray{QJsonObject{{"picname", "a.jpg"}, {"mark", QJsonArray{}}},
                    QJsonObject{{"picname", "b.jpg"}},
                    QJsonObject{{"picname", "c.jpg"}, {"mark", QJsonArray{"1-2-3-4-x", 5}}}}},
    };
    const SheetInput in = SheetInput::fromOrderDetail(reply, "K1", "3", "选片人");
    QCOMPARE(in.picsMarkArr, QList<QStringList>({{"c.jpg", "1-2-3-4-x", ""}}));
    QCOMPARE(in.servicetime, visits);
    QCOMPARE(in.count_order_sample_infoservicetimes, QString("2"));
    QCOMPARE(in.orderNumber + in.serviceNumber + in.selectphotoname, QString("K13选片人"));
}

void TestProductionSheet::printsTheN8SheetToPdf()
{
    // A "#" in the output folder must not cut the picture paths.
    const QString root = m_dir.path() + "/订单 #7";
    const QString pdf = root + "/明细制作单.pdf";
    const QString html = ProductionSheet::build(fixtureSheet(root), SheetVariant::N8).html;
    QVERIFY(ExpressHtml::savePdf(html, pdf));
    // The pages a screen-resolution printer writes straight to a file, as
    // sheets were always printed: same page size, same text.
    const QString printed = root + "/printer.pdf";
    {
        QTextDocument document;
        document.setHtml(html);
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        document.print(&printer);
    }
    const QRegularExpression pageSize("Page size:\\s+([^\\n]*)");
    QCOMPARE(pageSize.match(runTool("pdfinfo", {pdf})).captured(1), QStringLiteral("595 x 842 pts (A4)"));
    QCOMPARE(pageSize.match(runTool("pdfinfo", {printed})).captured(1), QStringLiteral("595 x 842 pts (A4)"));
    QCOMPARE(runTool("pdftotext", {"-layout", pdf, "-"}), runTool("pdftotext", {"-layout", printed, "-"}));

    const QRegularExpressionMatch pages =
        QRegularExpression("Pages:\\s+(\\d+)").match(runTool("pdfinfo", {pdf}));
    QVERIFY(pages.hasMatch() && pages.captured(1).toInt() >= 1);
    // The CJK fonts map some characters to radical code points: ASCII only.
    const QString text = runTool("pdftotext", {pdf, "-"});
    QVERIFY2(text.contains("A2024001"), qPrintable(text));
    QVERIFY(text.contains("2024-03-07 15:15:00"));
    // The nine 88-pixel thumbnails of the strips and the gallery, and p4's 87.
    const QString images = runTool("pdfimages", {"-list", pdf});
    QVERIFY2(images.count(QRegularExpression("image\\s+88\\s+88\\s")) >= 9, qPrintable(images));
    QVERIFY(images.contains(QRegularExpression("image\\s+87\\s+88\\s")));
}

QTEST_MAIN(TestProductionSheet)
#include "tst_productionsheet.moc"
