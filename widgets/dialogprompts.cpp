#include "dialogprompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {

QMessageBox::Icon toIcon(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::NoIcon:
        return QMessageBox::NoIcon;
    case Prompts::Icon::Information:
        return QMessageBox::Information;
    case Prompts::Icon::Warning:
        return QMessageBox::Warning;
    case Prompts::Icon::Critical:
        return QMessageBox::Critical;
    case Prompts::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// Wrapped lines can make a plain-text box taller than its screen, with its
// buttons below the edge: drops the last shown line until the laid-out box
// fits the screen's available area, ending the text with "…", and keeps the
// whole text behind the details button. The box is then kept inside that
// area.
void fitToScreen(QMessageBox& box, const QString& wholeText)
{
    const QScreen* screen = box.screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QString ellipsis = QStringLiteral("…");
    QStringList lines = box.text().split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.last() == ellipsis)
        lines.removeLast();
    if (box.frameGeometry().height() > area.height() && box.detailedText().isEmpty())
        box.setDetailedText(wholeText);
    while (box.frameGeometry().height() > area.height() && lines.size() > 1) {
        lines.removeLast();
        box.setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n') + ellipsis);
    }
    // A line with no place to wrap (a long path) can make it wider than
    // the screen: it is cut at the edge, its buttons stay in sight.
    const int overWidth = box.frameGeometry().width() - area.width();
    if (overWidth > 0)
        box.setFixedWidth(box.width() - overWidth);
    const QRect frame = box.frameGeometry();
    const int x = qBound(area.left(), frame.left(), qMax(area.left(), area.right() + 1 - frame.width()));
    const int y = qBound(area.top(), frame.top(), qMax(area.top(), area.bottom() + 1 - frame.height()));
    if (x != frame.left() || y != frame.top())
        box.move(box.pos() + QPoint(x - frame.left(), y - frame.top()));
}

} // namespace

Prompts::Answer DialogPrompts::message(const Message& m)
{
    QMessageBox box(toIcon(m.icon), m.title, m.text,
                    QMessageBox::StandardButtons(static_cast<int>(m.buttons)), m.parent);
    box.setTextFormat(m.richText ? Qt::RichText : Qt::PlainText);
    if (!m.detailedText.isEmpty())
        box.setDetailedText(m.detailedText);
    QList<QPushButton*> custom;
    for (const CustomButton& b : m.customButtons)
        custom.append(box.addButton(b.text, static_cast<QMessageBox::ButtonRole>(b.role)));
    if (m.defaultButton != NoButton)
        box.setDefaultButton(static_cast<QMessageBox::StandardButton>(m.defaultButton));
    else if (m.defaultCustomButton >= 0 && m.defaultCustomButton < custom.size())
        box.setDefaultButton(custom.at(m.defaultCustomButton));
    if (m.withdrawTag)
        m_open.append(OpenBox{m.withdrawTag, &box});
    if (!m.richText) {
        // Shown first, so the box has its laid-out size to fit; modal from
        // the start, as exec() would make it.
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        fitToScreen(box, m.text);
    }
    box.exec();
    for (int i = m_open.size() - 1; i >= 0; --i) {
        if (m_open.at(i).box == &box || !m_open.at(i).box)
            m_open.removeAt(i);
    }

    Answer answer;
    QAbstractButton* clicked = box.clickedButton();
    const int index = custom.indexOf(static_cast<QPushButton*>(clicked));
    if (index >= 0)
        answer.custom = index;
    else if (clicked)
        answer.standard = static_cast<StandardButton>(static_cast<int>(box.standardButton(clicked)));
    return answer;
}

void DialogPrompts::withdraw(const void* tag)
{
    for (const OpenBox& open : qAsConst(m_open)) {
        // Ends the box's exec() with no button clicked: the answer is
        // NoButton, as for a box closed without a choice.
        if (open.tag == tag && open.box)
            open.box->done(QDialog::Rejected);
    }
}

QStringList DialogPrompts::getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                            const QString& filter)
{
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter);
}

QString DialogPrompts::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                       const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString DialogPrompts::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

QString DialogPrompts::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                       const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}
