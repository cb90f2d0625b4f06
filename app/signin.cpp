#include "signin.h"

#include "config.h"
#include "fileoperation.h"
#include "formbody.h"
#include "webservice.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextCodec>

#include <algorithm>

namespace {

const QString kProduct = QStringLiteral("Velmor软件Korva-Dravin");

// The update check's test mark is sent only to the test server.
bool isTestServer(const QString& testBase)
{
    return Config::url_base == testBase;
}

// The test server's entry address in its secure form, as the web sign-in
// page compares it.
QString secureTestBase()
{
    QString base = Config::url_test_base;
    if (base.startsWith(QLatin1String("http://")))
        base.replace(0, 7, QStringLiteral("https://"));
    return base;
}

using WebService::text;

} // namespace

QByteArray SignIn::loginBody(const QString& userName, const QString& password)
{
    return FormBody()
        .add("username", userName)
        .add("password", password)
        .add("token", Config::token)
        .add("version", Config::version);
}

QByteArray SignIn::updateCheckBody()
{
    FormBody body;
    body.add("type", "vmrKorvaDravin");
    if (isTestServer(Config::url_test_base))
        body.add("test", "1");
    body.add("systemtype", "mac").add("number", Config::version).add("token", Config::token);
    return body;
}

QByteArray SignIn::webUpdateCheckBody()
{
    FormBody body;
    body.add("type", "vmrNewDravin");
    if (isTestServer(secureTestBase()))
        body.add("test", "1");
    body.add("number", Config::version).add("token", Config::token);
    return body;
}

QString SignIn::updatePagePath(const QJsonObject& reply)
{
    return text(reply.value(QStringLiteral("data")).toObject(), "path");
}

bool SignIn::isWebPage(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

QStringList SignIn::updaterArguments(const QJsonObject& reply, const QString& workingDir)
{
    const QJsonObject data = reply.value(QStringLiteral("data")).toObject();
    const QString fileName = text(data, "file_name");
    return {text(data, "application_name"),
            text(data, "number"),
            text(data, "time"),
            fileName,
            text(data, "path"),
            workingDir + QLatin1Char('/') + fileName,
            text(data, "file_size")};
}

QString SignIn::productTitle()
{
    if (Config::url_base.contains(QLatin1String("test")))
        return kProduct + QStringLiteral(" 测试机") + Config::version;
    return kProduct + Config::version;
}

QList<Shop> SignIn::shopsOf(const QJsonObject& reply)
{
    QList<Shop> shops;
    const QJsonArray data = reply.value(QStringLiteral("shop_data")).toArray();
    for (const QJsonValue& element : data) {
        const QJsonObject shop = element.toObject();
        shops.append(Shop{text(shop, "name"), text(shop, "id")});
    }
    return shops;
}

void SignIn::storeIdentity(const QJsonObject& reply)
{
    Config::super_id = text(reply, "SUPERID");
    Config::manager_id = text(reply, "EID");
    Config::manager_name = text(reply, "USERNAME");
    Config::shop_id = text(reply, "SHOPID");
    Config::shop_name = text(reply, "SHOPNAME");
    Config::uid = text(reply, "UID");
}

SignIn::WebResult SignIn::parseWebTitle(const QString& title)
{
    WebResult result;
    const QJsonObject object = QJsonDocument::fromJson(title.toUtf8()).object();
    result.code = text(object, "code");
    result.message = text(object, "message");
    result.accepted = result.code == QLatin1String("1");
    if (!result.accepted)
        return result;
    result.userName = text(object, "USERNAME");
    result.uid = text(object, "uid");
    result.shops = shopsOf(object);
    return result;
}

namespace {
QString s_userFolder;
// The stream version the file has always been written with.
constexpr int kStreamVersion = QDataStream::Qt_4_4; // 10

bool fitsLatin1(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xff; });
}

// Files written earlier hold Latin-1 bytes and must read as before; a
// password beyond Latin-1 would lose its characters there, so it goes as
// UTF-8, which a password that fits Latin-1 never needs.
QByteArray passwordBytes(const QString& password)
{
    return fitsLatin1(password) ? password.toLatin1() : password.toUtf8();
}

// UTF-8 only where it is valid and says more than Latin-1 could: Latin-1
// bytes that happen to be valid UTF-8 ("Ã©") decode to Latin-1 text and so
// stay Latin-1.
QString passwordFromBytes(const QByteArray& bytes)
{
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text =
        QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars == 0 && state.remainingChars == 0 && !fitsLatin1(text))
        return text;
    return QString::fromLatin1(bytes);
}
} // namespace

QString RememberedUser::filePath()
{
    const QString folder = s_userFolder.isEmpty() ? QCoreApplication::applicationDirPath() : s_userFolder;
    return folder + QStringLiteral("/.user_vmr.dat");
}

void RememberedUser::setFolder(const QString& folder)
{
    s_userFolder = folder;
}

RememberedUser::Entry RememberedUser::read(const QString& path)
{
    Entry entry;
    QFile file(path);
    if (file.size() == 0 || !file.open(QIODevice::ReadOnly))
        return entry;
    QDataStream in(&file);
    in.setVersion(kStreamVersion);
    // A file without the second record reads it as an empty text.
    in >> entry.userName >> entry.encodedPassword;
    QByteArray decoded = QByteArray::fromBase64(entry.encodedPassword.toLatin1());
    const int zero = decoded.indexOf('\0');
    if (zero >= 0)
        decoded.truncate(zero);
    entry.password = passwordFromBytes(decoded);
    return entry;
}

bool RememberedUser::write(const QString& path, const QString& userName, const QString& password,
                           bool rememberPassword)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    out.setVersion(kStreamVersion);
    out << userName;
    if (rememberPassword)
        out << QString::fromLatin1(passwordBytes(password).toBase64());
    // The file may hold a password: only its owner reads it.
    if (out.status() != QDataStream::Ok || !FileOperation::writeOwnerOnlyFile(bytes, path)) {
        qDebug() << "remembered user: cannot write" << path;
        return false;
    }
    return true;
}
