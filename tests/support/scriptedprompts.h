#pragma once

#include "prompts.h"

#include <QList>
#include <QPair>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

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
        bool overHeld = false;  // asked while another box was held open
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
    // The next box stays open, the event loop running behind it, until
    // `until` holds (asked again and again while it is open), and is then
    // answered with button once the events posted so far have been handled,
    // as a real box would go on handling them; withdraw() closes it at once
    // without a choice. One still waiting after 30 s is answered and named
    // in unexpected().
    void setNextAnswerWhen(std::function<bool()> until, StandardButton button);
    // Whether a box is being held open now.
    bool holding() const { return !m_held.isEmpty(); }
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
    Call dialogCall(Call::Kind kind, QWidget* parent, const QString& caption, const QString& dir,
                    const QString& filter);
    QString nextPath(const Call& call);
    struct Next
    {
        Answer answer;
        int ms = 0;                  // how long the box is held open
        std::function<bool()> until; // or what it is held open for
    };
    // True when withdrawn before it was answered.
    bool holdOpen(const void* tag, const Next& next);

    QQueue<Next> m_answers;
    QList<QPair<const void*, QEventLoop*>> m_held;
    QQueue<QStringList> m_paths;
    QList<Call> m_calls;
    QStringList m_unexpected;
    bool m_lenient = false;
};
