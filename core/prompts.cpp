#include "prompts.h"

#include <QDebug>

namespace {

// Used until a backend is installed: nothing is shown, the box is logged
// and answered with its default button.
class LoggingPrompts : public Prompts
{
public:
    Answer message(const Message& m) override
    {
        qDebug() << "box:" << m.title << m.text;
        return defaultAnswer(m);
    }
    QStringList getOpenFileNames(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    // Its boxes are never open.
    void withdraw(const void*) override {}
};

LoggingPrompts s_fallback;
Prompts* s_installed = nullptr;

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
