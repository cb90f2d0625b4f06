#include "prompts.h"

#include <QDebug>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QScopeGuard>

#include <utility>

namespace {

// Used until a backend is installed: nothing is shown, the box is logged
// and answered with its default button.
class LoggingPrompts : public Prompts
{
public:
    // Its boxes are never open.
    void withdraw(const void*) override {}

protected:
    Answer ask(const Message& m) override
    {
        qDebug() << "box:" << m.title << m.text;
        return defaultAnswer(m);
    }
    QStringList askOpenFileNames(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString askOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString askExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
    QString askSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

LoggingPrompts s_fallback;
Prompts* s_installed = nullptr;

// The boxes open now, and what waits for the last of them to be answered.
int s_openBoxes = 0;
struct Waiting
{
    QPointer<QObject> context;
    std::function<void()> action;
};
QList<Waiting> s_waiting;

// Counts the box as open while ask() runs. Once the last one is answered,
// each action waiting is posted: it runs after the code that asked the box
// has returned to the event loop, and waits again if a box is open by then.
template <typename Ask> auto whileOpen(Ask ask)
{
    ++s_openBoxes;
    const auto closed = qScopeGuard([] {
        if (--s_openBoxes > 0)
            return;
        for (const Waiting& waiting : std::exchange(s_waiting, {})) {
            if (QObject* context = waiting.context) {
                QMetaObject::invokeMethod(
                    context, [context, action = waiting.action] { Prompts::whenNoBoxOpen(context, action); },
                    Qt::QueuedConnection);
            }
        }
    });
    return ask();
}

Prompts::StandardButton box(Prompts::Icon icon, QWidget* parent, const QString& title, const QString& text,
                            Prompts::StandardButtons buttons, Prompts::StandardButton defaultButton)
{
    Prompts::Message m;
    m.icon = icon;
    m.parent = parent;
    m.title = title;
    m.text = text;
    m.buttons = buttons;
    m.defaultButton = defaultButton;
    return Prompts::instance().message(m).standard;
}

} // namespace

Prompts::Answer Prompts::defaultAnswer(const Message& m)
{
    Answer a;
    if (m.defaultButton != NoButton)
        a.standard = m.defaultButton;
    else if (m.defaultCustomButton >= 0)
        a.custom = m.defaultCustomButton;
    else if (m.buttons & Ok)
        a.standard = Ok;
    else if (m.buttons & Yes)
        a.standard = Yes;
    return a;
}

Prompts::Answer Prompts::message(const Message& message)
{
    return whileOpen([&] { return ask(message); });
}

QStringList Prompts::getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                      const QString& filter)
{
    return whileOpen([&] { return askOpenFileNames(parent, caption, dir, filter); });
}

QString Prompts::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter)
{
    return whileOpen([&] { return askOpenFileName(parent, caption, dir, filter); });
}

QString Prompts::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return whileOpen([&] { return askExistingDirectory(parent, caption, dir); });
}

QString Prompts::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter)
{
    return whileOpen([&] { return askSaveFileName(parent, caption, dir, filter); });
}

bool Prompts::boxOpen()
{
    return s_openBoxes > 0;
}

void Prompts::whenNoBoxOpen(QObject* context, std::function<void()> action)
{
    if (!context || !action)
        return;
    if (boxOpen())
        s_waiting.append({context, std::move(action)});
    else
        action();
}

Prompts& Prompts::instance()
{
    return s_installed ? *s_installed : static_cast<Prompts&>(s_fallback);
}

void Prompts::install(Prompts* prompts)
{
    s_installed = prompts;
}

void Prompts::notice(const QString& title, const QString& text, QWidget* parent)
{
    information(parent, title, text, Yes, Yes);
}

void Prompts::longNotice(const QString& title, const QString& text, QWidget* parent, int maxLines)
{
    Message m;
    m.icon = Icon::Information;
    m.parent = parent;
    m.title = title;
    m.text = text;
    m.buttons = Yes;
    m.defaultButton = Yes;
    fitLines(m, maxLines);
    instance().message(m);
}

void Prompts::fitLines(Message& message, int maxLines)
{
    QString text = message.text;
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (maxLines < 1 || lines.size() <= maxLines)
        return;
    message.detailedText = message.text;
    message.text = QStringList(lines.mid(0, maxLines)).join(QLatin1Char('\n')) + QStringLiteral("\n…");
}

Prompts::StandardButton Prompts::information(QWidget* parent, const QString& title, const QString& text,
                                             StandardButtons buttons, StandardButton defaultButton)
{
    return box(Icon::Information, parent, title, text, buttons, defaultButton);
}

Prompts::StandardButton Prompts::warning(QWidget* parent, const QString& title, const QString& text,
                                         StandardButtons buttons, StandardButton defaultButton)
{
    return box(Icon::Warning, parent, title, text, buttons, defaultButton);
}

Prompts::StandardButton Prompts::critical(QWidget* parent, const QString& title, const QString& text,
                                          StandardButtons buttons, StandardButton defaultButton)
{
    return box(Icon::Critical, parent, title, text, buttons, defaultButton);
}

Prompts::StandardButton Prompts::question(QWidget* parent, const QString& title, const QString& text,
                                          StandardButtons buttons, StandardButton defaultButton)
{
    return box(Icon::Question, parent, title, text, buttons, defaultButton);
}
