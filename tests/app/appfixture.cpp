#include "appfixture.h"

#include "config.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

AppFixture::AppFixture() = default;

QJsonObject AppFixture::document(bool offerUpdate, const QString& reachableN8Path, int extraStores) const
{
    QJsonArray eastStores{
        QJsonObject{{"id", "1201"}, {"name", "一馆"}, {"n8path", reachableN8Path}},
        QJsonObject{{"id", "1202"}, {"name", "二馆"}, {"n8path", "\\\\nas-gone\\n8\\store1202"}}};
    for (int i = 0; i < extraStores; ++i) {
        eastStores.append(QJsonObject{{"id", QString::number(5000 + i)},
                                      {"name", QStringLiteral("分馆%1").arg(i)},
                                      {"n8path", QStringLiteral("\\\\nas-gone\\n8\\s%1").arg(i)}});
    }
    const QJsonArray users{
        QJsonObject{{"username", "li"},
                    {"password", "pw123"},
                    {"disabled", false},
                    {"SUPERID", "8"},
                    {"EID", "1024"},
                    {"USERNAME", "李店长"},
                    {"UID", "2048"},
                    {"SHOPID", "12"},
                    {"shops", QJsonArray{"12", "162", "5"}}},
        QJsonObject{{"username", "solo"},
                    {"password", "pw"},
                    {"disabled", false},
                    {"SUPERID", "9"},
                    {"EID", "3"},
                    {"USERNAME", "单人"},
                    {"UID", "77"},
                    {"SHOPID", ""},
                    {"shops", QJsonArray{}}},
    };
    const QJsonArray shops{
        QJsonObject{{"id", "12"},
                    {"name", "东店"},
                    {"settings", QJsonObject{{"isshow_subproduct", "1"},
                                             {"n8bigimg", "0"},
                                             {"n8isdownloadall", "1"},
                                             {"yptbcp", "0"},
                                             {"xztp", "1"},
                                             {"sjfjxz", "0"},
                                             {"is_all_del_photo", 0},
                                             {"picpath", "/Volumes/photos/"},
                                             {"bakpicpath", "/Volumes/bak/"},
                                             {"homepicpath", "/Volumes/home/"}}},
                    {"stores", eastStores},
                    {"n8persons", QJsonArray{QJsonObject{{"id", "9012"}, {"name", "东店摄影"}}}}},
        QJsonObject{{"id", "162"},
                    {"name", "西店"},
                    {"settings", QJsonObject{{"isshow_subproduct", "0"},
                                             {"n8bigimg", "1"},
                                             {"n8isdownloadall", "0"},
                                             {"yptbcp", "1"},
                                             {"xztp", "0"},
                                             {"sjfjxz", "0"},
                                             {"is_all_del_photo", 1},
                                             {"picpath", "\\\\nas\\photos\\"},
                                             {"bakpicpath", "\\\\nas\\bak\\"},
                                             {"homepicpath", "\\\\nas\\home\\"}}},
                    {"stores", QJsonArray{QJsonObject{{"id", "1621"}, {"name", "西一馆"}, {"n8path", ""}},
                                          QJsonObject{{"id", "1622"}, {"name", "西二馆"}, {"n8path", ""}}}},
                    {"n8persons", QJsonArray{QJsonObject{{"id", "9162"}, {"name", "西店摄影"}}}}},
        QJsonObject{{"id", "5"},
                    {"name", "南店"},
                    {"settings", QJsonObject{{"is_all_del_photo", 1},
                                             {"sjfjxz", "0"},
                                             {"picpath", "/Volumes/photos/"},
                                             {"bakpicpath", "Z:\\bak\\"},
                                             {"homepicpath", ""}}},
                    {"stores", QJsonArray{}}},
    };
    const QString number = offerUpdate ? QStringLiteral("9.9.9") : Config::version;
    auto offer = [&number](const char* fileName) {
        return QJsonObject{{"application_name", "Velmor软件-Dravin"},
                           {"number", number},
                           {"time", "2024-03-01"},
                           {"file_name", fileName},
                           {"path", QStringLiteral("http://127.0.0.1:1/download/%1").arg(fileName)},
                           {"file_size", 90314752}};
    };
    return QJsonObject{{"users", users},
                       {"shops", shops},
                       {"orders", QJsonArray{}},
                       {"phone_code", "1234"},
                       {"updates", QJsonObject{{"vmrKorvaDravin", offer("Dravin-9.9.9.dmg")},
                                               {"vmrNewDravin", offer("Dravin-9.9.9.zip")}}}};
}

QString AppFixture::write(bool offerUpdate, const QString& reachableN8Path, int extraStores)
{
    static int count = 0;
    const QString path = m_dir.filePath(QStringLiteral("fixture%1.json").arg(++count));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(QJsonDocument(document(offerUpdate, reachableN8Path, extraStores)).toJson());
    return path;
}
