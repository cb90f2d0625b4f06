#include "config.h"

#include "fileoperation.h"

#include <QDir>
#include <QtGlobal>

#ifndef DRAVIN_DEFAULT_URL_HOST
#define DRAVIN_DEFAULT_URL_HOST "https://studio.example.invalid"
#endif
#ifndef DRAVIN_DEFAULT_TEST_URL_HOST
#define DRAVIN_DEFAULT_TEST_URL_HOST "http://test.studio.example.invalid"
#endif
#ifndef DRAVIN_DEFAULT_N8_PATH_TOKEN
#define DRAVIN_DEFAULT_N8_PATH_TOKEN "0f6e2b9c4d1a8e7f3b5c9d2a6e1f4b8c"
#endif

namespace {
const QString kDefaultVolumesRoot = QStringLiteral("/Volumes/");
}

DiskSpaceFlag& DiskSpaceFlag::operator=(const QString& text)
{
    State s = Other;
    if (text.isEmpty())
        s = Empty;
    else if (text == QLatin1String("no"))
        s = No;
    else if (text == QLatin1String("go"))
        s = Go;
    m_state.store(s);
    return *this;
}

DiskSpaceFlag::operator QString() const
{
    switch (m_state.load()) {
    case No:
        return QStringLiteral("no");
    case Go:
        return QStringLiteral("go");
    default:
        return QString();
    }
}

void DiskSpaceFlag::reset()
{
    m_state.store(Empty);
}

QString Config::version = QStringLiteral("1.6.8_03");
QString Config::token = QStringLiteral("5d1f08c6a93e2b74f0c8e61a7b3d9f25");
QString Config::n8PathToken = QStringLiteral(DRAVIN_DEFAULT_N8_PATH_TOKEN);
QString Config::url_host = QStringLiteral(DRAVIN_DEFAULT_URL_HOST);
QString Config::url_test_host = QStringLiteral(DRAVIN_DEFAULT_TEST_URL_HOST);
QString Config::url_base;
QString Config::url_test_base;
QString Config::url_g = QStringLiteral("g=Pelagrine");

QString Config::url_login;
QString Config::url_getbarcode;
QString Config::url_post_fetchdate;
QString Config::url_post_twosales;
QString Config::url_post_photodate;
QString Config::url_query_printinfo;
QString Config::url_post_sendtoshop;
QString Config::url_post_replacepro;
QString Config::url_post_page;
QString Config::url_post_number;
QString Config::url_post_urgency;
QString Config::url_post_urgency_2;
QString Config::url_post_picpath;
QString Config::url_query_cutsize;
QString Config::url_post_productreq;
QString Config::url_post_allproductreq;
QString Config::url_post_picinfo;
QString Config::url_post_shangjian;
QString Config::url_post_emsinfo;
QString Config::url_query_emsinfo;
QString Config::url_query_shoptimefield;
QString Config::url_query_picinfo;
QString Config::url_post_productpicpath;
QString Config::url_post_orderpicpath;
QString Config::url_post_orderpicpath_2;
QString Config::url_query_picpath;
QString Config::url_query_order;
QString Config::url_query_order_importphoto;
QString Config::url_query_orderpicpath;
QString Config::url_query_orderdescr;
QString Config::url_query_getorderbyid;
QString Config::url_query_product;
QString Config::url_query_change_product;
QString Config::url_query_pro;
QString Config::url_submit_new_product;
QString Config::url_del_recover_product;
QString Config::url_del_new_product;
QString Config::url_submit_delete_log;
QString Config::url_post_get_message_code;
QString Config::url_submit_phone_code;
QString Config::url_query_user_data;
QString Config::url_query_order_isimportphoto;
QString Config::url_query_order_finishorderdate;
QString Config::url_video_updata;
QString Config::url_storesn8path;
QString Config::url_shopallpeo;
QString Config::url_shopallpro;
QString Config::url_n8updatapath;
QString Config::url_check_update;

QString Config::super_id;
QString Config::manager_id;
QString Config::manager_name;
QString Config::shop_id;
QString Config::shop_name;
QString Config::uid;

QString Config::isshow_subproduct;
QString Config::isN8fjUseBigImg;
QString Config::isN8ResultDownAll;
QString Config::isSyncPhotoToFinal;
QString Config::isFjDownloadDeletePhoto;
QString Config::sjfjxz;
QStringList Config::storenames;
QStringList Config::storeids;
QString Config::importServPath;
QString Config::importServBackupPath;
QString Config::importServHousePath;
QString Config::fjtype;
QString Config::fj_bzname;
QString Config::fj_cpname;

QString Config::importServN8Path;
DiskSpaceFlag Config::disk_space;
int Config::importMode = 0;
QString Config::lastDir;

QString Config::order_id;
QString Config::orderpayforkey;
QString Config::order_customer;
QString Config::order_serverNum;
QString Config::order_cameraman;
QString Config::order_dresser;
QString Config::order_photodate;
QString Config::order_otherdate;
QString Config::order_role11;
QString Config::order_getphotodate;
QString Config::order_phonenumber;
QString Config::order_isurgenttime;
QString Config::pickuptype;
QString Config::order_path;

QString Config::build_sort;
QString Config::phone;

QString Config::s_volumesRoot = kDefaultVolumesRoot;

void Config::initialize()
{
    const QString host = qEnvironmentVariable("DRAVIN_URL_HOST");
    if (!host.isEmpty()) {
        QString h = host;
        while (h.endsWith(QLatin1Char('/')))
            h.chop(1);
        url_host = h;
    }
    const QString root = qEnvironmentVariable("DRAVIN_VOLUMES_ROOT");
    if (!root.isEmpty())
        setVolumesRoot(root);
    composeRoutes();
}

void Config::composeRoutes()
{
    url_base = url_host + QStringLiteral("/index.php?");
    url_test_base = url_test_host + QStringLiteral("/index.php?");

    auto route = [](const char* module, const char* action) {
        return url_base + url_g + QStringLiteral("&m=") + QLatin1String(module) + QStringLiteral("&a=") +
               QLatin1String(action);
    };

    url_login = route("public", "dologin");
    url_getbarcode = route("order", "getbarcodegen");
    url_post_fetchdate = route("login", "do_login");
    url_post_twosales = route("order", "updategetphotodate");
    url_post_photodate = route("order", "updatephotodate");
    url_query_printinfo = route("order", "orderdetail");
    url_post_sendtoshop = route("order", "sendtoshop");
    url_post_replacepro = route("order", "replacegood");
    url_post_page = route("order", "updateordergoodpnumber");
    url_post_number = route("order", "updateordergoodnumber");
    url_post_urgency = route("order", "updategoodstatus");
    url_post_urgency_2 = route("order", "updategoodstatus2");
    url_post_picpath = route("systemset", "postpicpath");
    url_query_cutsize = route("systemset", "getcutsize");
    url_post_productreq = route("order", "updategooddescr");
    url_post_allproductreq = route("order", "updateorderdescr");
    url_post_picinfo = route("order", "updateorderpic");
    url_post_shangjian = route("order", "gotodigitalid_post");
    url_post_emsinfo = route("order", "saveorderaddress");
    url_query_emsinfo = route("order", "getorderaddress");
    url_query_shoptimefield = route("order", "getGetphotoArea");
    url_query_picinfo = route("order", "getorderpic");
    url_post_productpicpath = route("order", "updategoodpicpath");
    url_post_orderpicpath = route("order", "updatepicpath");
    url_post_orderpicpath_2 = route("order", "updatepicpath2");
    url_query_picpath = route("order", "get_order_pic_path");
    url_query_order = route("order", "ordermessage");
    url_query_order_importphoto = route("order", "order_list");
    url_query_orderpicpath = route("order", "get_order_path");
    url_query_orderdescr = route("order", "getorderdescr");
    url_query_getorderbyid = route("order", "getorderbyid");
    url_query_product = route("order", "searchgood");
    url_query_change_product = route("order", "ordergoods");
    url_query_pro = route("order", "ordergoods20230521");
    url_submit_new_product = route("order", "addgoods_post");
    url_del_recover_product = route("order", "changegoods");
    url_del_new_product = route("order", "delgoods");
    url_submit_delete_log = route("OrderPhoto", "order_photo_del");
    url_post_get_message_code = route("OrderPhoto", "send_code");
    url_submit_phone_code = route("OrderPhoto", "send_code_post");
    url_query_user_data = route("public", "switch_shop");
    url_query_order_isimportphoto = route("OrderPhoto", "order_isrole12finish");
    url_query_order_finishorderdate = route("order", "order_list2");
    url_video_updata = route("order", "updatevideo");
    url_storesn8path = route("n8", "getn8set");
    url_shopallpeo = route("n8", "getpersons");
    url_shopallpro = route("n8", "getgoods");
    url_n8updatapath = route("order", "saven8path");
    url_check_update = url_base + QStringLiteral("g=Publicapi&m=Version&a=check_update");
}

QString Config::volumesRoot()
{
    return s_volumesRoot;
}

void Config::setVolumesRoot(const QString& root)
{
    QString r = root.isEmpty() ? kDefaultVolumesRoot : QDir::cleanPath(root);
    if (!r.endsWith(QLatin1Char('/')))
        r += QLatin1Char('/');
    s_volumesRoot = r;
}

namespace {

// Joins parts[from..] each followed by "/".
QString joinFrom(const QStringList& parts, int from)
{
    QString r;
    for (int i = from; i < parts.size(); ++i)
        r += parts.at(i) + QLatin1Char('/');
    return r;
}

} // namespace

QString Config::returnPicPath(QString path)
{
    if (path.isEmpty())
        return path;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));

    const QString root = s_volumesRoot;
    if (path.startsWith(root))
        return path;
    for (const QLatin1String literal : {QLatin1String("/Volumes/"), QLatin1String("/volumes/")}) {
        if (path.startsWith(literal)) {
            // The web service may send paths already in mounted form; they
            // stay as they are, re-rooted when the mount root is moved.
            if (root == kDefaultVolumesRoot)
                return path;
            return root + path.mid(literal.size());
        }
    }

    const QStringList p = path.split(QLatin1Char('/'), Qt::KeepEmptyParts);
    const int n = p.size();
    if (n < 2) {
        // A bare name or drive letter: nothing to map it to.
        return QString();
    }

    QString r;
    if (!p.at(0).isEmpty())
        r = joinFrom(p, 1);
    else if (p.at(1).isEmpty())
        r = n >= 4 ? joinFrom(p, 3) : QString();
    r.replace(QStringLiteral("//"), QStringLiteral("/"));
    const QString candidate = root + r;
    // A folder that cannot be looked at may well be there: it keeps the
    // first form, and the tool that uses it names it as unreadable.
    const FileOperation::Presence presence = FileOperation::lookUp(candidate);
    if (presence == FileOperation::Presence::Folder || presence == FileOperation::Presence::Unreadable)
        return candidate;

    r.clear();
    if (!p.at(0).isEmpty())
        r = p.at(0) + QLatin1Char('/') + joinFrom(p, 2);
    else if (p.at(1).isEmpty() && n >= 3)
        r = p.at(2) + QLatin1Char('/') + joinFrom(p, 4);
    r.replace(QStringLiteral("//"), QStringLiteral("/"));
    return root + r;
}

QString Config::localPath(const QString& path)
{
    // Tested character by character: a pattern matches nothing on text with
    // a lone surrogate, which would let such a path through unmapped.
    const bool driveLetter = path.size() >= 2 && path.at(1) == QLatin1Char(':') &&
                             path.at(0).unicode() < 128 && path.at(0).isLetter();
    const bool windowsForm =
        path.contains(QLatin1Char('\\')) || driveLetter || path.startsWith(QLatin1String("//"));
    if (path.isEmpty() || !windowsForm)
        return path;
    return returnPicPath(path);
}

QString Config::sanitizeWithRegex(const QString& text)
{
    // Character by character, never through a pattern: a pattern matches
    // nothing on text holding a lone surrogate, and "/" or ".." would pass.
    static const QLatin1String kForbidden("<>:\"/\\|?*");
    QString s;
    s.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            s.append(c);
            s.append(text.at(++i));
            continue;
        }
        if (c.isSurrogate() || c.unicode() < 0x20 || c.unicode() == 0x7F || kForbidden.contains(c))
            continue;
        s.append(c);
    }
    s = s.trimmed();
    while (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}
