#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The pure parts of the launcher's shop switch: the request body, the
// permission test, the storing of the reply in Config and the server-folder
// test before the batch import.
namespace ShopSwitch {

// "token", "shopid", "uid", in that order: the body of the shop switch and
// of the N8 store-path query.
QByteArray shopBody(const QString& shopId);

// Batch deletion is allowed only when "is_all_del_photo" is a JSON number
// other than 0.
bool deletionAllowed(const QJsonObject& reply);

struct SeparationMode
{
    QString fjtype;
    QString bzname; // marked-photo folder
    QString cpname; // finished-photo folder
};
SeparationMode separationMode(const QString& shopId);

// Stores every value of a successful reply in Config, in the reply's order.
void store(const QJsonObject& reply);

// The warning for the first server folder in drive-letter form whose root
// folder is missing, or an empty text when the batch import may open.
QString importPathWarning(const QString& importPath, const QString& backupPath, const QString& housePath);

} // namespace ShopSwitch
