#pragma once

#include "fileoperation.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <functional>

// The plain parts of the staff and product sync: the XML pieces N8 reads,
// the files' names and places, the progress texts and error pieces the
// worker reports, and what the sync dialog sends and says. The list type is
// the sync dialog's: 0 staff, any other value products.
namespace N8Sync {

// The document's opening (declaration and root start) and its end.
QString xmlHead();
QString xmlTail();
// One entry from one element of the web service's list: the element's
// "id" and "name" as JSON strings (anything else reads as empty), written
// as xmlText() makes them.
QString staffEntry(const QJsonValue& element);
QString productEntry(const QJsonValue& element);
// The whole document of the list: the head, one entry per element in
// order, the tail. stopped is asked before each entry and once at the end;
// when it answers true the build ends and the result is a null text.
QString xmlDocument(int type, const QJsonArray& datas, const std::function<bool()>& stopped);

// A text as XML character data: "&", "<" and ">" escaped, characters XML
// 1.0 does not allow (control characters other than tab, line feed and
// carriage return, U+FFFE, U+FFFF, lone surrogates) left out. Any other
// text stays as it is.
QString xmlText(const QString& text);

// "VgStaff" or "productList".
QString baseName(int type);
// "员工数据: " or "产品数据: ".
QString progressPrefix(int type);
// The text of a store's message: "数据全部导入完成" for the last store,
// else the prefix, the store, "数据导入完成，开始给导入", the next store and
// "数据...".
QString progressText(int type, const QString& store, const QString& nextStore, bool last);

// The store's folder the files go into, as the file system sees it: the
// store's N8 folder (mapped under the mount root when in Windows form)
// followed by "产品"; empty when the N8 folder does not lie below the mount
// root (ServerPath::isUnderMountRoot).
QString productFolder(const QString& n8path);

// The pieces of the collected error text, each beginning with a line
// break; n8path is the store's folder as the web service gave it.
QString missingFolderPiece(const QString& store, const QString& n8path);
// A store's folder (as the file system sees it) that cannot be looked at:
// "<store> 目录读取失败：<folder>".
QString unreadableFolderPiece(const QString& store, const QString& folder);
QString notWritablePiece(const QString& store, const QString& n8path);
QString openFailurePiece(const QString& store, const QString& error);
// The error text of a file write that failed: "磁盘空间不足" when the share
// is full, else "写入失败".
QString writeErrorText(FileOperation::WriteError error);

// The list request: token, shopid, uid.
QByteArray listBody(const QString& token, const QString& shopId, const QString& uid);
// The list of a successful reply: "persons" for staff, "goods" for
// products. False when the key is missing or holds no array: such a reply
// is broken, and nothing may be written from it. An empty array is a list.
bool listOf(const QJsonObject& reply, int type, QJsonArray* list);
// The label of a list reply that is not a JSON object: "数据格式错误100！"
// when the body is no JSON at all, "数据格式错误101！" when it is JSON of
// another kind.
QString malformedReplyLabel(const QByteArray& body);
// The label after a sync: the written stores, each after a "," unless
// nothing stands before it, " 门店的", "员工" or "产品" and
// "数据导入N8成功！"; "员工数据导入N8失败！" or "产品数据导入N8失败！" when
// no store was written.
QString closingText(const QStringList& writtenStores, int type);

} // namespace N8Sync
