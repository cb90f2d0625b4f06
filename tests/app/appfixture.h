#pragma once

#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

// A small stand-in fixture for the front-door tests: two users, three
// shops with their settings and stores, and the update offers.
//
//   "li" / "pw123": shops "12" (东店, no batch deletion), "162" (西店,
//   batch deletion allowed) and "5" (南店, a picture root in drive form);
//   "solo" / "pw": no shop at all. Shops "12" and "162" have one N8
//   staff member each.
class AppFixture
{
public:
    AppFixture();

    // Writes the fixture and returns its path. offerUpdate: both update
    // checks find a newer version. reachableN8Path: the N8 folder of store
    // "1201" of shop "12" (store "1202" is never reachable). extraStores:
    // that many more unreachable stores for shop "12".
    QString write(bool offerUpdate = false, const QString& reachableN8Path = QString(), int extraStores = 0);

    QJsonObject document(bool offerUpdate, const QString& reachableN8Path, int extraStores = 0) const;

private:
    QTemporaryDir m_dir;
};
