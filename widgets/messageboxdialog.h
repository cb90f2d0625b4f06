#pragma once

#include <QDialog>
#include <QString>

class Ui_MessageBoxDialog;

// The report box at the end of a separation run: shows the report of
// missing photos and empty products and offers to save it as a text file;
// an empty report shows a short success note instead.
class MessageBoxDialog : public QDialog
{
    Q_OBJECT
public:
    explicit MessageBoxDialog(QWidget* parent = nullptr);
    ~MessageBoxDialog() override;

    // Called once, before the box is shown. fileName is the path the save
    // dialog proposes.
    void setText(QString text, QString fileName);
    // The report of a run that stopped before its last order: the title
    // says it did not finish.
    void setUnfinished();

    // Writes the report atomically as UTF-8: an existing file is replaced
    // only once the new one is complete. False when it could not be written.
    static bool writeReport(const QString& path, const QString& text);

private slots:
    void on_pushButton_save_clicked();
    void on_pushButton_close_clicked();

private:
    Ui_MessageBoxDialog* m_ui;
    QString m_text;
    QString m_fileName;
};
