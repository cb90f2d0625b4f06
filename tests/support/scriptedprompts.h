#pragma once

#include "prompts.h"

#include <QList>
#include <QPair>
#include <QQueue>
#include <QString>
#include <QStringList>

// A Prompts backend for tests: records every box and dialog and answers
// from queues the test fills beforehand. A box with no queued answer is
// recorded as unexpected and answered with its default button; tests check
// unexpected() at the end.
class QEventLoop;

class ScriptedPrompts : public Prompts
{
public:
    struct Call
    {
        enum class Kind { Message, OpenFiles, OpenFile, Directory, SaveFile } kind = Kind::Message;
        Icon icon = Icon::NoIcon;
        QString title;
        QString text;
        QString detailedText;
        bool richText = false;
        StandardButtons buttons;
        StandardButton defaultButton = NoButton;
        QStringList customButtons;
        QString dir;
        QString filter;
        bool hasParent = false;
        bool withdrawn = false; // taken away by withdraw() while open
    };

    ScriptedPrompts();  // installs itself
    ~ScriptedPrompts() override; // uninstalls itself

    // Answers for the next boxes, in order.
    void setNextAnswer(StandardButton button);
    void setNextCustomAnswer(int index);
    // The next box stays open for up to ms, the event loop running behind
    // it as behind a real box, and is then answered with button; withdraw()
    // closes it at once without a choice.
    void setNextAnswerAfter(int ms, StandardButton button);
    // Answers for the next file dialogs, in order (one list per dialog).
    void setNextFiles(const QStringList& files);
    void setNextPath(const QString& path);
    // Boxes without a queued answer get their default button and are not
    // counted as unexpected.
    void setLenient(bool lenient) { m_lenient = lenient; }

    const QList<Call>& calls() const { return m_calls; }
    QList<Call> messages() const;
    const QStringList& unexpected() const { return m_unexpected; }
    Call last() const { return m_calls.isEmpty() ? Call() : m_calls.last(); }
    void clear();

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
    Call dialogCall(Call::Kind kind, QWidget* parent, const QString& caption, const QString& dir,
                    const QString& filter);
    QString nextPath(const Call& call);
    // True when withdrawn before ms have passed.
    bool holdOpen(const void* tag, int ms);

    QQueue<QPair<Answer, int>> m_answers; // with the time a box is held open
    QList<QPair<const void*, QEventLoop*>> m_held;
    QQueue<QStringList> m_paths;
    QList<Call> m_calls;
    QStringList m_unexpected;
    bool m_lenient = false;
};
