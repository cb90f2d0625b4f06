#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QString>

#include "prompts.h"

class QNetworkAccessManager;
class QNetworkReply;
class QWidget;

// The web-service request convention: a form post with its two headers and
// a transfer timeout, and the classification of a reply.
namespace WebService {

// The transfer timeout of every request, 60 s unless a test shortens it.
int transferTimeoutMs();
void setTransferTimeoutMs(int ms);

QNetworkRequest formRequest(const QString& route, int bodyLength);
// Posts the body and writes the route and body to the debug log. The reply
// comes back through the manager's finished() signal.
QNetworkReply* post(QNetworkAccessManager* manager, const QString& route, const QByteArray& body);
// The same for a post the service must never take twice, one that adds to
// its counts: Qt sends a post once more by itself when its connection closes
// before any answer, and this one it cannot (its body cannot be read again:
// the second send fails with ContentReSendError). It goes on a connection of
// its own, through a manager made for it as a child of the given one, so a
// kept-alive connection the service closed while idle never takes it. The
// reply comes back through its own finished() signal only.
QNetworkReply* postOnce(QNetworkAccessManager* manager, const QString& route, const QByteArray& body);
// For a post of either kind that failed: true when nothing of it can have
// reached the service, as it failed before a byte of it was written (the
// connection refused, the host not found or unreachable, no connection
// before the timeout). A request any byte of which was written may have
// reached it, whatever its last error: a post Qt sent again after the
// service did the work may then meet a refused connection.
bool reachedNothing(const QNetworkReply* reply);

struct Reply
{
    enum class Kind {
        TransportError, // no reply or an HTTP error status; statusText is the HTTP status, maybe empty
        NotJsonObject,  // the body is no JSON document with an object at its top
        Refusal,        // "code" is not the JSON string "1"
        Success,
    };
    Kind kind = Kind::TransportError;
    QString statusText;  // HTTP status code as text, empty without a response
    QString errorString; // the network layer's error text
    QString code;        // "code" as text (empty when missing or not a string)
    QString message;     // "message" as text
    QJsonObject object;  // the whole reply object (Refusal and Success)
    QByteArray body;

    bool ok() const { return kind == Kind::Success; }
};

// A value of a reply object as text: a JSON string as it is; a number,
// null, a flag or a missing key reads as empty, as the service sends every
// value as a string.
QString text(const QJsonObject& object, const char* key);

// Reads the whole reply; does not release it.
Reply read(QNetworkReply* reply);
// The same, the body only looked at: the reply can still be read.
Reply peek(QNetworkReply* reply);
// The same classification for a status and body already at hand.
Reply classify(const QByteArray& body);

// Tells the user what went wrong with a reply, the way the windows do: a
// transport error in the box "警告" / "网络请求错误\n<status>" without a
// parent, a refusal in a box "警告" with refusalText, a broken reply not at
// all. Both boxes carry the one given button. True when the reply is not a
// success, so the caller restores its controls and stops.
bool reportFailure(const Reply& reply, const QString& refusalText, Prompts::StandardButton button = Prompts::Ok,
                   QWidget* refusalParent = nullptr);
// The same for a post that records something (a deletion log, a
// dispatch, a scan): a reply that is not the service's JSON object is told
// as a transport error, since the service may or may not have kept the
// record. Queries call reportFailure and keep their silence.
bool reportRecordFailure(const Reply& reply, const QString& refusalText,
                         Prompts::StandardButton button = Prompts::Ok, QWidget* refusalParent = nullptr);

// "网络请求错误\n" followed by the HTTP status.
QString transportErrorText(const Reply& reply);
// What reportRecordFailure tells of a reply as text: transportErrorText
// for a transport error or a reply that is not the service's JSON object,
// refusalText for a refusal, nothing for a success.
QString recordFailureText(const Reply& reply, const QString& refusalText);
// The box "警告" / "网络请求错误\n<status>" with one button.
void showTransportError(QWidget* parent, const Reply& reply, Prompts::StandardButton button = Prompts::Ok);
// A box titled "警告" with the given text and one OK button.
void showWarning(QWidget* parent, const QString& text);

} // namespace WebService
