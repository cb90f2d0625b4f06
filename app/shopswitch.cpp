#include "shopswitch.h"

#include "config.h"
#include "fileoperation.h"
#include "formbody.h"
#include "webservice.h"

#include <QJsonArray>
#include <QJsonValue>

namespace {

using WebService::text;

} // namespace

QByteArray ShopSwitch::shopBody(const QString& shopId)
{
    return FormBody().add("token", Config::token).add("shopid", shopId).add("uid", Config::uid);
}

bool ShopSwitch::deletionAllowed(const QJsonObject& reply)
{
    // A missing key, a text or a fraction all read as 0.
    return reply.value(QStringLiteral("is_all_del_photo")).toInt(0) != 0;
}

ShopSwitch::SeparationMode ShopSwitch::separationMode(const QString& shopId)
{
    if (shopId == QLatin1String("77") || shopId == QLatin1String("162"))
        return {QStringLiteral("Tovaro分件"), QStringLiteral("01标注"), QStringLiteral("02底片")};
    return {QString(), QStringLiteral("标注"), QStringLiteral("成品")};
}

void ShopSwitch::store(const QJsonObject& reply)
{
    Config::isshow_subproduct = text(reply, "isshow_subproduct");
    Config::super_id = text(reply, "SUPERID");
    Config::manager_id = text(reply, "EID");
    Config::shop_id = text(reply, "SHOPID");

    const SeparationMode mode = separationMode(Config::shop_id);
    Config::fjtype = mode.fjtype;
    Config::fj_bzname = mode.bzname;
    Config::fj_cpname = mode.cpname;

    Config::isN8fjUseBigImg = text(reply, "n8bigimg");
    Config::isN8ResultDownAll = text(reply, "n8isdownloadall");
    Config::shop_name = text(reply, "SHOPNAME");
    Config::isSyncPhotoToFinal = text(reply, "yptbcp");
    Config::isFjDownloadDeletePhoto = text(reply, "xztp");
    Config::sjfjxz = text(reply, "sjfjxz");

    Config::storenames.clear();
    Config::storeids.clear();
    const QJsonArray stores = reply.value(QStringLiteral("stores")).toArray();
    for (const QJsonValue& element : stores) {
        const QJsonObject store = element.toObject();
        Config::storenames.append(text(store, "name"));
        Config::storeids.append(text(store, "id"));
    }

    // Stored as the web service gives them; the import maps them per order.
    Config::importServPath = text(reply, "picpath");
    Config::importServBackupPath = text(reply, "bakpicpath");
    Config::importServHousePath = text(reply, "homepicpath");
}

QString ShopSwitch::importPathWarning(const QString& importPath, const QString& backupPath,
                                      const QString& housePath)
{
    // Only the first folder in drive-letter form is looked at.
    const struct
    {
        const QString& path;
        const char* pattern;
    } folders[] = {
        {importPath, "导片路径 \"%1\" 中的根目录 \"%2\" 不存在 \n%3"},
        {backupPath, "备份路径 \"%1\" 中的根目录 \"%2\" 不存在 \n%3"},
        {housePath, "家居效果路径 \"%1\" 中的根目录 \"%2\" 不存在 \n%3"},
    };
    for (const auto& folder : folders) {
        if (folder.path.size() < 2 || folder.path.at(1) != QLatin1Char(':'))
            continue;
        const QString root = FileOperation::rootPath(folder.path);
        // A root that cannot be looked at may well be there: not a setting
        // to correct.
        return FileOperation::folderFault(
            root, QString::fromUtf8(folder.pattern)
                      .arg(folder.path, root, QStringLiteral("(请到店铺后台重新设置)")));
    }
    return QString();
}
