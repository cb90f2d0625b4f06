#pragma once

#include <QString>
#include <QStringList>

#include <atomic>

// The stop-or-go value the import worker and the batch import dialog share.
// It keeps the texts "no" and "go" of the settings store, but reads and
// writes are atomic so the worker and the user-interface thread never race.
class DiskSpaceFlag
{
public:
    DiskSpaceFlag() = default;
    DiskSpaceFlag(const DiskSpaceFlag&) = delete;
    DiskSpaceFlag& operator=(const DiskSpaceFlag&) = delete;

    DiskSpaceFlag& operator=(const QString& text);
    operator QString() const;
    bool operator==(const QString& text) const { return QString(*this) == text; }
    bool operator!=(const QString& text) const { return !(*this == text); }
    bool operator==(const char* text) const { return *this == QString::fromUtf8(text); }
    bool operator!=(const char* text) const { return !(*this == text); }
    // Back to the empty state at the start of a batch.
    void reset();

private:
    enum State : int { Empty = 0, No = 1, Go = 2, Other = 3 };
    std::atomic<int> m_state{Empty};
};

// Process-wide settings of the client: built-in constants, the web-service
// route table, the signed-in identity, the current shop's settings, the
// import hand-over values and the order a separation window works on.
class Config
{
public:
    Config() = default;

    // Reads the deployment overrides (DRAVIN_URL_HOST, DRAVIN_VOLUMES_ROOT)
    // and composes the route table. Called once at start-up, before the
    // first window; tests call it again after changing the host.
    static void initialize();
    // Recomposes url_base and every route from url_host.
    static void composeRoutes();

    static QString returnPicPath(QString path);
    // A path the file system can use: a Windows-form path (backslashes, a
    // drive letter or a host share) is mapped under the mount root by
    // returnPicPath; any other path is returned as it is.
    static QString localPath(const QString& path);
    static QString sanitizeWithRegex(const QString& text);

    // The mount root of the file shares, always ending in "/".
    static QString volumesRoot();
    static void setVolumesRoot(const QString& root);

    // Built-in constants.
    static QString version;
    static QString token;
    static QString n8PathToken; // fixed token of the N8 path report
    static QString url_host;
    static QString url_test_host;
    static QString url_base;
    static QString url_test_base;
    static QString url_g;

    // Route table.
    static QString url_login;
    static QString url_getbarcode;
    static QString url_post_fetchdate;
    static QString url_post_twosales;
    static QString url_post_photodate;
    static QString url_query_printinfo;
    static QString url_post_sendtoshop;
    static QString url_post_replacepro;
    static QString url_post_page;
    static QString url_post_number;
    static QString url_post_urgency;
    static QString url_post_urgency_2;
    static QString url_post_picpath;
    static QString url_query_cutsize;
    static QString url_post_productreq;
    static QString url_post_allproductreq;
    static QString url_post_picinfo;
    static QString url_post_shangjian;
    static QString url_post_emsinfo;
    static QString url_query_emsinfo;
    static QString url_query_shoptimefield;
    static QString url_query_picinfo;
    static QString url_post_productpicpath;
    static QString url_post_orderpicpath;
    static QString url_post_orderpicpath_2;
    static QString url_query_picpath;
    static QString url_query_order;
    static QString url_query_order_importphoto;
    static QString url_query_orderpicpath;
    static QString url_query_orderdescr;
    static QString url_query_getorderbyid;
    static QString url_query_product;
    static QString url_query_change_product;
    static QString url_query_pro;
    static QString url_submit_new_product;
    static QString url_del_recover_product;
    static QString url_del_new_product;
    static QString url_submit_delete_log;
    static QString url_post_get_message_code;
    static QString url_submit_phone_code;
    static QString url_query_user_data;
    static QString url_query_order_isimportphoto;
    static QString url_query_order_finishorderdate;
    static QString url_video_updata;
    static QString url_storesn8path;
    static QString url_shopallpeo;
    static QString url_shopallpro;
    static QString url_n8updatapath;
    static QString url_check_update;

    // Signed-in identity.
    static QString super_id;
    static QString manager_id;
    static QString manager_name;
    static QString shop_id;
    static QString shop_name;
    static QString uid;

    // Settings of the current shop.
    static QString isshow_subproduct;
    static QString isN8fjUseBigImg;
    static QString isN8ResultDownAll;
    static QString isSyncPhotoToFinal;
    static QString isFjDownloadDeletePhoto;
    static QString sjfjxz;
    static QStringList storenames;
    static QStringList storeids;
    static QString importServPath;
    static QString importServBackupPath;
    static QString importServHousePath;
    static QString fjtype;
    static QString fj_bzname;
    static QString fj_cpname;

    // Import hand-over values.
    static QString importServN8Path;
    static DiskSpaceFlag disk_space;
    static int importMode;
    static QString lastDir;

    // The order a separation window is working on.
    static QString order_id;
    static QString orderpayforkey;
    static QString order_customer;
    static QString order_serverNum;
    static QString order_cameraman;
    static QString order_dresser;
    static QString order_photodate;
    static QString order_otherdate;
    static QString order_role11;
    static QString order_getphotodate;
    static QString order_phonenumber;
    static QString order_isurgenttime;
    static QString pickuptype;
    static QString order_path;

    // Values nothing assigns after start-up.
    static QString build_sort;
    static QString phone;

private:
    static QString s_volumesRoot;
};
