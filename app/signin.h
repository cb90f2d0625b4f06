#pragma once

#include "shop.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// The pure parts of signing in: request bodies, the product title, the
// storing of a successful reply and the reading of the web page's result.
namespace SignIn {

// "username", "password", "token", "version", in that order.
QByteArray loginBody(const QString& userName, const QString& password);

// The sign-in dialog's update check: "type", "test" (test server only),
// "systemtype", "number", "token".
QByteArray updateCheckBody();
// The web sign-in page's update check: "type", "test" (secure test server
// only), "number", "token"; no system type.
QByteArray webUpdateCheckBody();

// The address of the download page of a successful update reply ("data"/"path").
QString updatePagePath(const QJsonObject& reply);
// Only a web address with a host is opened as the download page: anything
// else in the reply could start a local program.
bool isWebPage(const QUrl& url);
// The seven arguments of the updater, in the order it expects them.
QStringList updaterArguments(const QJsonObject& reply, const QString& workingDir);

// The text over the sign-in picture: product name, test-build mark, version.
QString productTitle();

// The shops of "shop_data", in reply order; a missing or non-array value is
// an empty list.
QList<Shop> shopsOf(const QJsonObject& reply);
// Copies the signed-in identity of a successful reply into Config.
void storeIdentity(const QJsonObject& reply);

// What the web sign-in page reports in its title.
struct WebResult
{
    bool accepted = false; // "code" is the text "1"
    QString code;
    QString message;
    QString userName;
    QString uid;
    QList<Shop> shops;
};
WebResult parseWebTitle(const QString& title);

} // namespace SignIn

// The remembered-user file: a version-10 data stream of the user name and,
// when the password is remembered, the Base64 of its Latin-1 bytes (of its
// UTF-8 bytes when it does not fit Latin-1).
namespace RememberedUser {

struct Entry
{
    QString userName;
    QString encodedPassword; // Base64 text, empty when not remembered
    QString password;        // decoded up to the first zero byte: UTF-8 when the bytes are
                             // valid UTF-8 beyond Latin-1, otherwise Latin-1

    // The remember box is checked exactly when both texts are there.
    bool remembered() const { return !userName.isEmpty() && !encodedPassword.isEmpty(); }
};

// The file beside the executable, or in the folder set for tests.
QString filePath();
// Moves the file's folder (tests); an empty folder goes back to the
// executable's folder.
void setFolder(const QString& folder);

// A missing, empty or unreadable file gives an empty entry.
Entry read(const QString& path);
// Replaces the file as a whole, atomically, readable by its owner only.
// False when it could not be written.
bool write(const QString& path, const QString& userName, const QString& password, bool rememberPassword);

} // namespace RememberedUser
