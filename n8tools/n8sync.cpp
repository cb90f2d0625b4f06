#include "n8sync.h"

#include "config.h"
#include "formbody.h"
#include "serverpath.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {

QString member(const QJsonValue& element, const char* key)
{
    return element.toObject().value(QLatin1String(key)).toString();
}

bool isStaff(int type)
{
    return type == 0;
}

} // namespace

QString N8Sync::xmlHead()
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><nemovg>");
}

QString N8Sync::xmlTail()
{
    return QStringLiteral("</nemovg>");
}

QString N8Sync::staffEntry(const QJsonValue& element)
{
    return QStringLiteral("<Staff><id>") + xmlText(member(element, "id")) + QStringLiteral("</id><name>") +
           xmlText(member(element, "name")) + QStringLiteral("</name></Staff>");
}

QString N8Sync::productEntry(const QJsonValue& element)
{
    return QStringLiteral("<product><ID>") + xmlText(member(element, "id")) + QStringLiteral("</ID><name>") +
           xmlText(member(element, "name")) +
           QStringLiteral("</name><width>0</width><height>0</height></product>");
}

QString N8Sync::xmlDocument(int type, const QJsonArray& datas, const std::function<bool()>& stopped)
{
    QString (*entry)(const QJsonValue&) = isStaff(type) ? &staffEntry : &productEntry;
    QString text = xmlHead();
    for (const QJsonValue& element : datas) {
        if (stopped())
            return QString();
        text += entry(element);
    }
    text += xmlTail();
    return stopped() ? QString() : text;
}

QString N8Sync::xmlText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const ushort u = c.unicode();
        if (c.isHighSurrogate()) {
            if (i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                out += c;
                out += text.at(++i);
            }
            continue;
        }
        if (c.isLowSurrogate() || u == 0xFFFE || u == 0xFFFF)
            continue;
        if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D)
            continue;
        if (c == QLatin1Char('&'))
            out += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            out += QLatin1String("&lt;");
        else if (c == QLatin1Char('>'))
            out += QLatin1String("&gt;");
        else
            out += c;
    }
    return out;
}

QString N8Sync::baseName(int type)
{
    return isStaff(type) ? QStringLiteral("VgStaff") : QStringLiteral("productList");
}

QString N8Sync::progressPrefix(int type)
{
    return isStaff(type) ? QStringLiteral("员工数据: ") : QStringLiteral("产品数据: ");
}

QString N8Sync::progressText(int type, const QString& store, const QString& nextStore, bool last)
{
    if (last)
        return QStringLiteral("数据全部导入完成");
    return progressPrefix(type) + store + QStringLiteral("数据导入完成") + QStringLiteral("，开始给导入") +
           nextStore + QStringLiteral("数据...");
}

QString N8Sync::productFolder(const QString& n8path)
{
    QString folder = Config::localPath(n8path);
    // A store path the service gives is written into only below the mount
    // root: "..\.." or a plain local path must not put files elsewhere.
    if (!ServerPath::isUnderMountRoot(folder))
        return QString();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("产品");
}

QString N8Sync::missingFolderPiece(const QString& store, const QString& n8path)
{
    return QLatin1Char('\n') + store + QStringLiteral("n8路径错误，写入失败：") + n8path +
           QStringLiteral("\\产品");
}

QString N8Sync::unreadableFolderPiece(const QString& store, const QString& folder)
{
    return QLatin1Char('\n') + store + QLatin1Char(' ') + FileOperation::unreadableFolderText(folder);
}

QString N8Sync::notWritablePiece(const QString& store, const QString& n8path)
{
    return QLatin1Char('\n') + store + QStringLiteral("n8路径没有写入权限：") + n8path +
           QStringLiteral("\\产品");
}

QString N8Sync::openFailurePiece(const QString& store, const QString& error)
{
    return QLatin1Char('\n') + store + QStringLiteral(" 文件打开失败，错误原因：") + error;
}

QString N8Sync::writeErrorText(FileOperation::WriteError error)
{
    return error == FileOperation::WriteError::DiskFull ? QStringLiteral("磁盘空间不足")
                                                        : QStringLiteral("写入失败");
}

QByteArray N8Sync::listBody(const QString& token, const QString& shopId, const QString& uid)
{
    return FormBody()
        .add(QStringLiteral("token"), token)
        .add(QStringLiteral("shopid"), shopId)
        .add(QStringLiteral("uid"), uid);
}

bool N8Sync::listOf(const QJsonObject& reply, int type, QJsonArray* list)
{
    const QJsonValue value = reply.value(isStaff(type) ? QLatin1String("persons") : QLatin1String("goods"));
    if (!value.isArray())
        return false;
    *list = value.toArray();
    return true;
}

QString N8Sync::malformedReplyLabel(const QByteArray& body)
{
    QJsonParseError error;
    QJsonDocument::fromJson(body, &error);
    return error.error != QJsonParseError::NoError ? QStringLiteral("数据格式错误100！")
                                                   : QStringLiteral("数据格式错误101！");
}

QString N8Sync::closingText(const QStringList& writtenStores, int type)
{
    const QString kind = isStaff(type) ? QStringLiteral("员工") : QStringLiteral("产品");
    if (writtenStores.isEmpty())
        return kind + QStringLiteral("数据导入N8失败！");
    QString names;
    for (const QString& name : writtenStores) {
        if (!names.isEmpty())
            names += QLatin1Char(',');
        names += name;
    }
    return names + QStringLiteral(" 门店的") + kind + QStringLiteral("数据导入N8成功！");
}
