#pragma once

#include "orderrecords.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

// Builds the express-shipping sheet of one order from its product reply:
// for each delivery address the products shipped there by express, with
// the contact, the pick-up dates, a total, and lines for the fee and the
// customer's signature. Every text from the reply is HTML-escaped.
class ExpressHtml : public QObject
{
    Q_OBJECT

public:
    explicit ExpressHtml(QObject* parent = nullptr);
    ~ExpressHtml() override;

    // The whole page for one product reply.
    QString getHtmlString(QJsonObject reply);
    // Adds one goods object shipped by express ("isems" "1") to the group
    // of its delivery address.
    void setProMapData(QJsonObject goods, QString parentName);

    // A sheet as PDF bytes, laid out as a screen-resolution printer lays
    // it out; empty when it could not be drawn.
    static QByteArray renderPdf(const QString& html);
    // Writes a sheet as a PDF file through FileOperation::writeFile: an
    // existing file is replaced only once the new one is synced and closed;
    // false when it could not be written (the old file then stays).
    static bool savePdf(const QString& html, const QString& pdfPath);

    QMap<QString, QList<Product>> addressGroups;
    QStringList urgentAddressIds;
    QStringList addressIds;
};
