#include "scriptedprompts.h"

#include <QDebug>
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
    Scripted s;
    s.answer.standard = button;
    m_answers.enqueue(s);
}

void ScriptedPrompts::setNextCustomAnswer(int index)
{
    Scripted s;
    s.answer.custom = index;
    m_answers.enqueue(s);
}

void ScriptedPrompts::setNextAnswerAfter(int ms, StandardButton button)
{
    Scripted s;
    s.answer.standard = button;
    s.holdMs = ms;
    m_answers.enqueue(s);
}

void ScriptedPrompts::withdraw(const void* tag)
{
    for (Held* held : qAsConst(m_held)) {
        if (tag && held->tag == tag) {
            held->withdrawn = true;
            held->loop->quit();
        }
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
        const Scripted next = m_answers.dequeue();
        if (next.holdMs <= 0)
            return next.answer;
        const int index = m_calls.size() - 1;
        QEventLoop loop;
        Held held{m.withdrawTag, &loop};
        QTimer::singleShot(next.holdMs, &loop, &QEventLoop::quit);
        m_held.append(&held);
        loop.exec();
        m_held.removeOne(&held);
        if (!held.withdrawn)
            return next.answer;
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
