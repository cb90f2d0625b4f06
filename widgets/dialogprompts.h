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
    void withdraw(const void* tag) override;

protected:
    Answer ask(const Message& message) override;
    QStringList askOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) override;
    QString askOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
    QString askExistingDirectory(QWidget* parent, const QString& caption, const QString& dir) override;
    QString askSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;

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
