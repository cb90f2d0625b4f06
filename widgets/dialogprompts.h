#pragma once

#include "prompts.h"

#include <QList>
#include <QPointer>

class QMessageBox;

// The Prompts backend of the running application: real Qt message boxes
// and file dialogs.
class DialogPrompts : public Prompts
{
public:
    Answer message(const Message& message) override;
    QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) override;
    QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
    QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir) override;
    QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
    void withdraw(const void* tag) override;

private:
    // The boxes open now that may be withdrawn, with their tags; boxes
    // opened over one another each have their own entry.
    struct OpenBox
    {
        const void* tag;
        QPointer<QMessageBox> box;
    };
    QList<OpenBox> m_open;
};
