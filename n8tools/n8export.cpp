#include "n8export.h"

#include "config.h"
#include "fileoperation.h"
#include "orderrecords.h"

#include <QDir>
#include <QStringList>

N8Export::Selection N8Export::selectionOf(const order& o)
{
    const Selection asListed{o.n8SelectedPath, o.n8RelativePath};
    if (o.n8OrderPath.isEmpty() || o.n8StorePath.isEmpty() || o.n8OrderPath.contains(o.n8StorePath))
        return asListed;
    // The N8 folder import records the folder it wrote, under the mount
    // root; read it back as the web service's form of the same folder.
    const QString localBase = QDir::cleanPath(Config::localPath(o.n8StorePath));
    const QString local = QDir::cleanPath(o.n8OrderPath);
    if (localBase.isEmpty() || !QDir::isAbsolutePath(local) ||
        !local.startsWith(localBase + QLatin1Char('/')))
        return asListed;
    QString relative = local.mid(localBase.size() + 1);
    relative.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return {o.n8StorePath + QStringLiteral("[已选]") + relative, relative};
}

QString N8Export::resultSource(const Selection& s)
{
    return Config::localPath(s.selected + QStringLiteral("\\选版结果"));
}

QString N8Export::designDataSource(const Selection& s)
{
    const QString name = designDataFolderName(s.relative);
    if (name.isEmpty())
        return QString();
    return Config::localPath(s.selected + QLatin1Char('/') + name);
}

QString N8Export::designDataFolderName(const QString& relative)
{
    if (relative.contains(QLatin1Char('/')) ||
        relative.split(QLatin1Char('\\')).contains(QStringLiteral("..")))
        return QString();
    return relative + QStringLiteral("_待N8设计同步用数据");
}

QString N8Export::orderFolderName(const QString& key, const QString& serviceTimes, const QString& customer)
{
    return Config::sanitizeWithRegex(key) + QStringLiteral("-服务次") +
           Config::sanitizeWithRegex(serviceTimes) + QLatin1Char(' ') + Config::sanitizeWithRegex(customer);
}

QString N8Export::finishedFolder(const QString& orderPath)
{
    if (orderPath.isEmpty() || !QDir::isAbsolutePath(orderPath))
        return QString();
    return orderPath + (orderPath.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) +
           QStringLiteral("成品");
}

bool N8Export::isLeftOutFolder(const QString& name)
{
    return name == QStringLiteral("未入册版面") || name == QStringLiteral("未入册照片");
}

bool N8Export::isKeptFile(const QString& name)
{
    static const QStringList kept = {"htm",  "html", "jpg",  "png", "jpeg", "gif", "bmp",
                                     "tiff", "psd",  "webp", "svg", "eps",  "ai",  "wmf"};
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && kept.contains(name.mid(dot + 1).toLower());
}

QString N8Export::copyingText(const QString& fileName)
{
    return QStringLiteral("正在拷贝") + fileName + QStringLiteral(", 请稍后...");
}

QString N8Export::preparingText(const QString& key, const QString& serviceTimes)
{
    return QStringLiteral("开始准备") + key + QStringLiteral(" 服务次") + serviceTimes +
           QStringLiteral("的检查并创建路径，请稍后...");
}

QString N8Export::exportingResultText(const QString& key, const QString& serviceTimes)
{
    return QStringLiteral("开始导出") + key + QStringLiteral(" 服务次") + serviceTimes +
           QStringLiteral("的N8选版结果, 可能比较耗时，请稍后...");
}

QString N8Export::exportingDesignDataText(const QString& key, const QString& serviceTimes)
{
    return QStringLiteral("开始导出") + key + QStringLiteral(" 服务次") + serviceTimes +
           QStringLiteral("的 待N8设计同步用数据, 可能比较耗时，请稍后...");
}

QString N8Export::reportHeader()
{
    return QStringLiteral("所选订单N8选版导出结果");
}

namespace {

const QLatin1String kRed("<br><font color=\"#ff0000\">");

QString orderOf(const QString& key, const QString& serviceTimes)
{
    return key.toHtmlEscaped() + QStringLiteral(" 服务次") + serviceTimes.toHtmlEscaped();
}

} // namespace

QString N8Export::notExportedLine(const QString& key, const QString& serviceTimes, const QStringList& files)
{
    return kRed + orderOf(key, serviceTimes) + QStringLiteral("</font> 未导出：") +
           files.join(QStringLiteral("、")).toHtmlEscaped();
}

QString N8Export::unreadableLine(const QString& key, const QString& serviceTimes, const QString& folder)
{
    return kRed + orderOf(key, serviceTimes) + QStringLiteral("</font> ") +
           FileOperation::unreadableFolderText(folder).toHtmlEscaped();
}

QString N8Export::unfinishedReport(const QString& key, const QString& serviceTimes, const QString& report)
{
    return QStringLiteral("未完成分件的订单：") + orderOf(key, serviceTimes) + QStringLiteral("<br><br>") +
           report;
}

QString N8Export::reportLine(Line line, const QString& key, const QString& serviceTimes)
{
    const QString red = kRed;
    const QString green = QStringLiteral("<br><font color=\"#669900\">");
    const QString plain = QStringLiteral("<br>");
    QString opening;
    QString tail;
    switch (line) {
    case Line::NoFinishedPhotos:
        opening = red;
        tail = QStringLiteral("</font> 没有导入成品照片，所以产品文件夹里是N8的小图！");
        break;
    case Line::NoN8Path:
        opening = red;
        tail = QStringLiteral("</font> 没有N8选版完成路径");
        break;
    case Line::OutOfReach:
        opening = red;
        tail = QStringLiteral("</font> N8选版未完成或与本机不在同一局域网");
        break;
    case Line::NotDone:
        opening = plain;
        tail = QStringLiteral("</font> N8选版未完成");
        break;
    case Line::DayFolderNotMade:
        opening = plain;
        tail = QStringLiteral("</font> 创建导出日期目录失败，请检查权限");
        break;
    case Line::OrderFolderNotMade:
        opening = plain;
        tail = QStringLiteral("</font> 创建导出根目录失败，请检查权限");
        break;
    case Line::ResultTargetNotMade:
        opening = plain;
        tail = QStringLiteral("</font> 创建选版结果导出目录失败，请检查权限");
        break;
    case Line::NoDesignData:
        opening = plain;
        tail = QStringLiteral("</font> N8路径下没有 待N8设计同步用数据 文件夹");
        break;
    case Line::DesignDataTargetNotMade:
        opening = plain;
        tail = QStringLiteral("</font> 创建 待N8设计同步用数据 导出目录失败，请检查权限");
        break;
    case Line::Complete:
        opening = green;
        tail = QStringLiteral("</font>  N8导出完成");
        break;
    case Line::Partial:
        opening = green;
        tail = QStringLiteral("</font>  N8部分导出完成");
        break;
    }
    return opening + orderOf(key, serviceTimes) + tail;
}
