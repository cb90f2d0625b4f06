#pragma once

#include <QString>
#include <QStringList>

struct order;

// The plain parts of the N8 selection-result export: where an order's
// selection lies, what the export folders are called, what the restricted
// copy keeps, and the texts of the progress line and of the HTML report.
//
// N8 paths are composed in the web service's form (backslashes) and only
// then mapped under the mount root, so the report and the design-data
// folder keep N8's own names.
namespace N8Export {

// An order's folder on N8's selection server and its path below the
// server, in the web service's form. An order whose "n8path" is already in
// local form under the mount root (as the N8 folder import reports it)
// gives the same values as its server form. Both empty when the order has
// no N8 path.
struct Selection
{
    QString selected; // the store's "...\选版服务器\" + "[已选]" + relative
    QString relative; // e.g. "2024\A24051201"
};
Selection selectionOf(const order& o);

// The paths the file system is asked about, mapped under the mount root.
QString resultSource(const Selection& s);     // selected + "\选版结果"
QString designDataSource(const Selection& s); // selected + "/" + designDataFolderName
// relative + "_待N8设计同步用数据", a "\" kept as part of the name; empty
// when the name could leave its folder (a "/" or a ".." part).
QString designDataFolderName(const QString& relative);

// The order's export folder: K + "-服务次" + S + " " + U, each part cleaned
// of the characters file names may not hold.
QString orderFolderName(const QString& key, const QString& serviceTimes, const QString& customer);
// The order's finished photos on the file share; empty when the order has
// no absolute picture folder.
QString finishedFolder(const QString& orderPath);

// What the restricted copy leaves out.
bool isLeftOutFolder(const QString& name);
bool isKeptFile(const QString& name);

// Progress texts.
QString copyingText(const QString& fileName);
QString preparingText(const QString& key, const QString& serviceTimes);
QString exportingResultText(const QString& key, const QString& serviceTimes);
QString exportingDesignDataText(const QString& key, const QString& serviceTimes);

// The report: the header, then one line per outcome.
enum class Line
{
    NoFinishedPhotos,
    NoN8Path,
    OutOfReach,
    NotDone,
    DayFolderNotMade,
    OrderFolderNotMade,
    ResultTargetNotMade,
    NoDesignData,
    DesignDataTargetNotMade,
    Complete,
    Partial,
};
QString reportHeader();
// The line of an order; key and service count are escaped for the report's HTML.
QString reportLine(Line line, const QString& key, const QString& serviceTimes);
// The red line naming the files of an order that were not exported (paths
// below the order's export folder), joined by "、" after "未导出：".
QString notExportedLine(const QString& key, const QString& serviceTimes, const QStringList& files);
// The red line naming a folder of the order that could not be looked at
// ("目录读取失败：<folder>").
QString unreadableLine(const QString& key, const QString& serviceTimes, const QString& folder);
// The report of an export a stop cut short: "未完成分件的订单：" and the
// order it cut short, as the separation windows name theirs, then a blank
// line and the report of the orders before it.
QString unfinishedReport(const QString& key, const QString& serviceTimes, const QString& report);

} // namespace N8Export
