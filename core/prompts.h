#pragma once

#include <QFlags>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QObject;
class QWidget;

// Every message box and file dialog of the client goes through one
// replaceable object. The application installs the dialog backend at
// start-up; tests install a scripted one that records each call and
// answers from a queue.
class Prompts
{
public:
    enum class Icon { NoIcon, Information, Warning, Critical, Question };

    // Same values as QMessageBox::StandardButton, so a backend can cast.
    enum StandardButton {
        NoButton = 0x00000000,
        Ok = 0x00000400,
        Save = 0x00000800,
        Open = 0x00002000,
        Yes = 0x00004000,
        No = 0x00010000,
        Abort = 0x00040000,
        Retry = 0x00080000,
        Ignore = 0x00100000,
        Close = 0x00200000,
        Cancel = 0x00400000,
        Discard = 0x00800000,
    };
    Q_DECLARE_FLAGS(StandardButtons, StandardButton)

    // Same values as QMessageBox::ButtonRole.
    enum ButtonRole { AcceptRole = 0, RejectRole = 1, DestructiveRole = 2, ActionRole = 3, YesRole = 5, NoRole = 6 };

    struct CustomButton
    {
        QString text;
        ButtonRole role = AcceptRole;
    };

    struct Message
    {
        Icon icon = Icon::Information;
        QString title;
        QString text;
        bool richText = false;
        StandardButtons buttons = Ok;
        StandardButton defaultButton = NoButton;
        QList<CustomButton> customButtons; // shown after the standard buttons
        int defaultCustomButton = -1;
        QWidget* parent = nullptr;
        // Shown behind the box's details button; empty: no details.
        QString detailedText;
        // Whoever may take the box away while it is open (withdraw());
        // nullptr: it stays until answered.
        const void* withdrawTag = nullptr;
    };

    // The button the user pressed: a standard button, or the index of a
    // custom button (standard is NoButton then). A box closed without a
    // choice answers NoButton and -1.
    struct Answer
    {
        StandardButton standard = NoButton;
        int custom = -1;
    };

    virtual ~Prompts() = default;

    // A box or file dialog runs an event loop of its own until it is
    // answered, with the code that asked it waiting under it. Each of these
    // asks the installed backend, and counts the box as open meanwhile.
    Answer message(const Message& message);
    QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter);
    QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter);
    QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir);
    QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter);
    // Takes away the open boxes asked with this tag, as if closed without
    // a choice: their message() answers NoButton and -1. A question whose
    // matter has been settled meanwhile (a run that ended while "stop it?"
    // was open) must not be answered any more. Nothing when none is open.
    virtual void withdraw(const void* tag) = 0;

    // Whether a box or file dialog of the client is open now.
    static bool boxOpen();
    // Runs action at once when no box is open; otherwise once every box
    // open now or opened meanwhile has been answered and the code that asked
    // it has returned to the event loop. Nothing runs when context is
    // destroyed first. A window the client closes or deletes by itself goes
    // through here: whatever waits under an open box (the window that asked
    // it, or one whose signal led to it) still exists when the box returns.
    static void whenNoBoxOpen(QObject* context, std::function<void()> action);

    // The answer of a box closed by its default: the default button, else
    // OK or Yes when present.
    static Answer defaultAnswer(const Message& message);

    // The installed backend. Without one, boxes are written to the debug
    // log and answered with their default button, file dialogs with nothing.
    static Prompts& instance();
    // Installs a backend (not owned); nullptr goes back to the fallback.
    static void install(Prompts* prompts);

    // Shorthands for the common boxes.
    // A notice: an information box with one Yes button, also its default.
    static void notice(const QString& title, const QString& text, QWidget* parent = nullptr);
    // A notice whose text may run long (a list of files, a download's
    // outcome): past maxLines lines it shows the first maxLines and "…",
    // with the whole text in the box's details, so the box and its button
    // stay on the screen.
    static void longNotice(const QString& title, const QString& text, QWidget* parent = nullptr,
                           int maxLines = 20);
    // The cut longNotice makes: the text's first maxLines lines and "…" as
    // the text, the whole text as the details; a text of at most maxLines
    // lines (a final line break not counted) stays as it is, without details.
    static void fitLines(Message& message, int maxLines = 20);
    static StandardButton information(QWidget* parent, const QString& title, const QString& text,
                                      StandardButtons buttons = Ok, StandardButton defaultButton = NoButton);
    static StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                  StandardButtons buttons = Ok, StandardButton defaultButton = NoButton);
    static StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                   StandardButtons buttons = Ok, StandardButton defaultButton = NoButton);
    static StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                   StandardButtons buttons = StandardButtons(Yes | No),
                                   StandardButton defaultButton = NoButton);

protected:
    // What a backend shows; called through the public functions above.
    virtual Answer ask(const Message& message) = 0;
    virtual QStringList askOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter) = 0;
    virtual QString askOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
    virtual QString askExistingDirectory(QWidget* parent, const QString& caption, const QString& dir) = 0;
    virtual QString askSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Prompts::StandardButtons)
