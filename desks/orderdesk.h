#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QAbstractItemView;
class QNetworkAccessManager;
class QNetworkReply;
class QLineEdit;
class QPushButton;
class QStandardItemModel;

// What the upload and dispatch desks share: Return in the scan field, the
// order-number box and the criterion box; the criterion box that takes its
// date from a new picker for the date criteria and is read-only meanwhile;
// the two search buttons' busy state; the export of a table to a file the
// user names; the desk's one network access manager.
//
// Every key but Return is dropped, so Escape does not close a desk and
// Return presses no default button.
class OrderDesk : public QDialog
{
    Q_OBJECT
public:
    explicit OrderDesk(QWidget* parent = nullptr);

public slots:
    // A new date picker (no parent, deleted when closed) feeding on_newDate.
    void showCalendarDialog();
    // The picked date, or an empty text when the picker was cleared.
    void on_newDate(QString date);

protected:
    struct Fields
    {
        QLineEdit* scan = nullptr;         // the large scan field
        QLineEdit* orderBox = nullptr;     // the order-number box
        QLineEdit* criterionBox = nullptr; // the criterion box
        QPushButton* orderButton = nullptr;
        QPushButton* criterionButton = nullptr;
        int lastDateIndex = 0; // the date criteria are the indexes 1 to this
    };
    // Called once the form is built.
    void setFields(const Fields& fields);

    void keyPressEvent(QKeyEvent* event) override;
    // The scan field's text (not empty, now selected) after Return.
    virtual void scanEntered(const QString& text) = 0;
    // Return in the order-number box or the criterion box: as their buttons.
    virtual void orderSearchRequested() = 0;
    virtual void criterionSearchRequested() = 0;

    // The criterion box emptied; for a date criterion read-only with a new
    // picker, else editable.
    void criterionChanged(int index);
    // An empty criterion (as typed) is refused with the box of its kind:
    // true when the search must not be sent.
    bool refuseEmptyCriterion(int index, const QString& text) const;

    // "检索中..." and disabled while a search runs; "检索" and enabled again.
    static void setSearchBusy(QPushButton* button, bool busy);
    void restoreSearchButtons();

    // Asks for a file name over the view and writes its table there under
    // the title, the view's rows from firstRow on; a file that could not be
    // written is told with its path.
    static void exportTable(QAbstractItemView* view, const QString& title, int firstRow = 0);

    // Replaces the model's rows by the given texts, each cell centred.
    static void setCentredRows(QStandardItemModel* model, const QList<QStringList>& rows);

    // Posts a form body on the desk's access manager; the caller connects
    // the reply's finished() and releases the reply in its handler.
    QNetworkReply* postForm(const QString& route, const QByteArray& body);

    // An information box with no parent and one Yes button, as every box of
    // the desks.
    static void notice(const QString& title, const QString& text);
    // The "警告" box for an empty order number.
    static void refuseEmptyOrderNumber();

    QNetworkAccessManager* networkManager = nullptr;

private:
    Fields m_fields;
};
