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
    Next next;
    next.answer.standard = button;
    m_answers.enqueue(next);
}

void ScriptedPrompts::setNextAnswerAfter(int ms, StandardButton button)
{
    Next next;
    next.answer.standard = button;
    next.ms = ms;
    m_answers.enqueue(next);
}

void ScriptedPrompts::setNextAnswerWhen(std::function<bool()> until, StandardButton button)
{
    Next next;
    next.answer.standard = button;
    next.until = std::move(until);
    m_answers.enqueue(next);
}

void ScriptedPrompts::setNextCustomAnswer(int index)
{
    Next next;
    next.answer.custom = index;
    m_answers.enqueue(next);
}

bool ScriptedPrompts::holdOpen(const void* tag, const Next& next)
{
    QEventLoop loop;
    m_held.append({tag, &loop});
    QTimer limit;
    limit.setSingleShot(true);
    QTimer ask;
    if (next.until) {
        QObject::connect(&limit, &QTimer::timeout, &loop, [this, &loop] {
            m_unexpected.append(QStringLiteral("a box held open for what never came"));
            loop.exit(0);
        });
        limit.start(30000);
        // Answered after whatever was posted before: the quit is queued.
        QObject::connect(&ask, &QTimer::timeout, &loop, [&ask, &loop, &next] {
            if (next.until()) {
                ask.stop();
                QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
            }
        });
        ask.start(1);
    } else {
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(next.ms);
    }
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

Prompts::Answer ScriptedPrompts::ask(const Message& m)
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
    call.overHeld = holding();
    m_calls.append(call);
    qDebug().noquote() << "scripted box:" << m.title << "/" << m.text;

    if (!m_answers.isEmpty()) {
        const Next next = m_answers.dequeue();
        const int index = m_calls.size() - 1;
        if ((next.ms <= 0 && !next.until) || !holdOpen(m.withdrawTag, next))
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

QStringList ScriptedPrompts::askOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
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

QString ScriptedPrompts::askOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter)
{
    return nextPath(dialogCall(Call::Kind::OpenFile, parent, caption, dir, filter));
}

QString ScriptedPrompts::askExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return nextPath(dialogCall(Call::Kind::Directory, parent, caption, dir, QString()));
}

QString ScriptedPrompts::askSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter)
{
    return nextPath(dialogCall(Call::Kind::SaveFile, parent, caption, dir, filter));
}
