#include "scriptedprompts.h"

#include <QDebug>
#include <QEventLoop>
#include <QTimer>

ScriptedPrompts::ScriptedPrompts()
{
    Prompts::install(this);
}

ScriptedPrompts::~ScriptedPrompts()
{
    Prompts::install(nullptr);
}

void ScriptedPrompts::setNextAnswer(StandardButton button)
{
    Answer a;
    a.standard = button;
    m_answers.enqueue({a, 0});
}

void ScriptedPrompts::setNextAnswerAfter(int ms, StandardButton button)
{
    Answer a;
    a.standard = button;
    m_answers.enqueue({a, ms});
}

void ScriptedPrompts::setNextCustomAnswer(int index)
{
    Answer a;
    a.custom = index;
    m_answers.enqueue({a, 0});
}

bool ScriptedPrompts::holdOpen(const void* tag, int ms)
{
    QEventLoop loop;
    m_held.append({tag, &loop});
    QTimer::singleShot(ms, &loop, [&loop] { loop.exit(0); });
    const bool withdrawn = loop.exec() == 1;
    m_held.removeLast();
    return withdrawn;
}

void ScriptedPrompts::withdraw(const void* tag)
{
    for (const auto& held : qAsConst(m_held)) {
        if (tag && held.first == tag)
            held.second->exit(1);
    }
}

void ScriptedPrompts::setNextFiles(const QStringList& files)
{
    m_paths.enqueue(files);
}

void ScriptedPrompts::setNextPath(const QString& path)
{
    m_paths.enqueue(QStringList{path});
}

QList<ScriptedPrompts::Call> ScriptedPrompts::messages() const
{
    QList<Call> list;
    for (const Call& c : m_calls) {
        if (c.kind == Call::Kind::Message)
            list.append(c);
    }
    return list;
}

void ScriptedPrompts::clear()
{
    m_answers.clear();
    m_paths.clear();
    m_calls.clear();
    m_unexpected.clear();
}

Prompts::Answer ScriptedPrompts::message(const Message& m)
{
    Call call;
    call.kind = Call::Kind::Message;
    call.icon = m.icon;
    call.title = m.title;
    call.text = m.text;
    call.detailedText = m.detailedText;
    call.richText = m.richText;
    call.buttons = m.buttons;
    call.defaultButton = m.defaultButton;
    for (const CustomButton& b : m.customButtons)
        call.customButtons.append(b.text);
    call.hasParent = m.parent != nullptr;
    m_calls.append(call);
    qDebug().noquote() << "scripted box:" << m.title << "/" << m.text;

    if (!m_answers.isEmpty()) {
        const QPair<Answer, int> next = m_answers.dequeue();
        const int index = m_calls.size() - 1;
        if (next.second <= 0 || !holdOpen(m.withdrawTag, next.second))
            return next.first;
        if (index < m_calls.size())
            m_calls[index].withdrawn = true;
        return Answer();
    }
    if (!m_lenient)
        m_unexpected.append(m.title + QStringLiteral(" / ") + m.text);
    return defaultAnswer(m);
}

ScriptedPrompts::Call ScriptedPrompts::dialogCall(Call::Kind kind, QWidget* parent, const QString& caption,
                                                  const QString& dir, const QString& filter)
{
    Call call;
    call.kind = kind;
    call.title = caption;
    call.dir = dir;
    call.filter = filter;
    call.hasParent = parent != nullptr;
    m_calls.append(call);
    return call;
}

QString ScriptedPrompts::nextPath(const Call& call)
{
    if (m_paths.isEmpty()) {
        if (!m_lenient)
            m_unexpected.append(QStringLiteral("dialog: ") + call.title);
        return QString();
    }
    const QStringList list = m_paths.dequeue();
    return list.value(0);
}

QStringList ScriptedPrompts::getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                              const QString& filter)
{
    const Call call = dialogCall(Call::Kind::OpenFiles, parent, caption, dir, filter);
    if (m_paths.isEmpty()) {
        if (!m_lenient)
            m_unexpected.append(QStringLiteral("dialog: ") + call.title);
        return {};
    }
    return m_paths.dequeue();
}

QString ScriptedPrompts::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter)
{
    return nextPath(dialogCall(Call::Kind::OpenFile, parent, caption, dir, filter));
}

QString ScriptedPrompts::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return nextPath(dialogCall(Call::Kind::Directory, parent, caption, dir, QString()));
}

QString ScriptedPrompts::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter)
{
    return nextPath(dialogCall(Call::Kind::SaveFile, parent, caption, dir, filter));
}
