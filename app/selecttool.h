#pragma once

#include "shop.h"

#include <QJsonArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QNetworkAccessManager;
class QNetworkReply;
class Ui_SelectTool;

// The tool launcher: the user picks one of the signed-in user's shops and a
// tool; "确定" switches to the shop, stores its settings in Config and opens
// the tool's window. The N8 panel starts the sync of the shop's staff and
// products into N8.
//
// Config holds one shop's values, and the open windows read them at each
// request; so while a window of the stored shop is open, a switch to
// another shop is refused.
class SelectTool : public QWidget
{
    Q_OBJECT
public:
    // Tool ids of the tool group.
    enum ToolId
    {
        ToolImportSearch = 0,
        ToolDesignSeparation = 1,
        ToolUploadDesk = 2,
        ToolDispatchDesk = 3,
        ToolBatchImport = 4,
        ToolBatchDeletion = 5,
        ToolPostSampleSeparation = 6,
        ToolN8Separation = 7,
    };

    SelectTool(QList<Shop> shops, QWidget* parent = nullptr);
    // Waits for the N8 store checks still running.
    ~SelectTool() override;

    void setData();
    bool checkImportImgPath();
    void req_syncToN8Path();
    // A window that works with the stored shop's values (a tool window, or
    // one opened from a tool's row menu); it holds the shop while it exists.
    void keepShopWindow(QWidget* window);

public slots:
    void on_pushButton_clicked();
    void queryCallBack(QNetworkReply* reply);
    void on_pb_syncton8_clicked();
    void query_storesn8paths(QNetworkReply* reply);
    void slt_n8stores(QJsonArray storeables, QString msg);
    void closeSearch();

private:
    // The id of the shop current in the combo; empty without shops.
    QString currentShopId() const;
    bool refuseWithoutShop();
    // Tells the user and returns true when a window holds the stored shop
    // and shopId names another one.
    bool refuseOtherShop(const QString& shopId);
    void openTool(int toolId);

    QNetworkAccessManager* m_manager;
    QList<Shop> m_shops;
    QStringList m_shopNames;
    QStringList m_shopIds;
    Ui_SelectTool* m_ui;
    QButtonGroup* m_toolGroup;
    bool m_syncBusy = false;
    QString m_syncShopId; // the shop of the N8 store check under way
    QList<QPointer<QWidget>> m_shopWindows;
    Shop m_storedShop; // the shop whose values the last switch stored
};
