#pragma once

#include "prompts.h"

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
};
