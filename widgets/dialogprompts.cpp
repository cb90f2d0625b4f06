#include "dialogprompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

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
