#include "dialogprompts.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>

#include <functional>
#include <memory>

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

// The box with the window manager's frame, once it is known. Read from its
// window: the widget's own frame geometry catches up with a frame only on a
// later move or resize, which a frame put around the box where it stands
// may never bring.
QRect outerGeometry(const QWidget& box)
{
    const QWindow* window = box.windowHandle();
    return window ? window->frameGeometry() : box.frameGeometry();
}

// The lines of a plain-text box, and how many of them it shows.
struct ShownLines
{
    QStringList lines; // without a closing "…"
    bool cut = false;  // the text came cut already: it keeps its "…"
    int shown = 0;

    QString text(int count) const
    {
        const QString head = QStringList(lines.mid(0, count)).join(QLatin1Char('\n'));
        return count < lines.size() || cut ? head + QStringLiteral("\n…") : head;
    }
};

// Drops lines from the end of the shown text, ending it with "…", until the
// laid-out box is no taller than `height`; the first line always stays.
// Each try lays the box out again, so the count is searched for: from the
// lines the height holds, halving, rather than one line at a time.
void fitHeight(QMessageBox& box, ShownLines& text, int height)
{
    if (outerGeometry(box).height() <= height || text.shown <= 1)
        return;
    const int held = height / qMax(1, box.fontMetrics().lineSpacing());
    int fits = 0;
    int tooTall = text.shown;
    int tried = text.shown;
    int next = qBound(1, held, tooTall - 1);
    while (next > fits && next < tooTall) {
        box.setText(text.text(next));
        tried = next;
        if (outerGeometry(box).height() <= height)
            fits = next;
        else
            tooTall = next;
        next = (fits + tooTall) / 2;
    }
    text.shown = qMax(fits, 1);
    if (tried != text.shown)
        box.setText(text.text(text.shown));
}

// A shown line that has no place to wrap within the label's width is cut
// at the label's side: it ends with "…" where it meets the side instead.
// True when a line was so cut.
bool cutLinesAtSide(QMessageBox& box, ShownLines& text)
{
    const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const int width = label ? label->contentsRect().width() : 0;
    if (width <= 0)
        return false;
    const QFontMetrics metrics = label->fontMetrics();
    bool cut = false;
    for (int i = 0; i < text.shown && i < text.lines.size(); ++i) {
        QString& line = text.lines[i];
        if (metrics.boundingRect(QRect(0, 0, width, QWIDGETSIZE_MAX), Qt::TextWordWrap, line).width() <=
            width)
            continue;
        line = metrics.elidedText(line, Qt::ElideRight, width);
        cut = true;
    }
    if (cut)
        box.setText(text.text(text.shown));
    return cut;
}

// Keeps the box inside the area.
void placeInArea(QMessageBox& box, const QRect& area)
{
    // A line with no place to wrap (a long path) can make it wider than
    // the screen: it is cut at the edge, its buttons stay in sight.
    const int overWidth = outerGeometry(box).width() - area.width();
    if (overWidth > 0)
        box.setFixedWidth(box.width() - overWidth);
    const QRect frame = outerGeometry(box);
    const int x = qBound(area.left(), frame.left(), qMax(area.left(), area.right() + 1 - frame.width()));
    const int y = qBound(area.top(), frame.top(), qMax(area.top(), area.bottom() + 1 - frame.height()));
    if (x != frame.left() || y != frame.top())
        box.move(box.pos() + QPoint(x - frame.left(), y - frame.top()));
}

// Wrapped lines can make a plain-text box taller than its screen, with its
// buttons below the edge: shows only as many of its first lines as fit the
// screen's available area, ending the text with "…". A line with no place
// to wrap is cut at the box's side (the box is never wider than the area):
// it ends with "…" there. Either way the whole text is behind the details
// button from the first fit that cuts the box. The box is then kept inside
// that area. Returns the fit, to run on the shown box and again whenever it
// has changed: the details opened grow it by their pane, a window manager's
// frame comes later and may leave less room.
std::function<void()> plainTextFit(QMessageBox& box, const QString& wholeText)
{
    auto text = std::make_shared<ShownLines>();
    text->lines = box.text().split(QLatin1Char('\n'));
    if (text->lines.size() > 1 && text->lines.last() == QStringLiteral("…")) {
        text->lines.removeLast();
        text->cut = true;
    }
    text->shown = text->lines.size();
    return [&box, text, wholeText] {
        const QScreen* screen = box.screen();
        if (!box.isVisible() || !screen)
            return;
        const QRect area = screen->availableGeometry();
        bool cut = outerGeometry(box).height() > area.height();
        fitHeight(box, *text, area.height());
        placeInArea(box, area);
        if (cutLinesAtSide(box, *text))
            cut = true;
        // Set once the text is cut: the box lays itself out again for the
        // details, and their button may change its size.
        if (cut && box.detailedText().isEmpty())
            box.setDetailedText(wholeText);
        else if (!cut)
            return;
        fitHeight(box, *text, area.height());
        placeInArea(box, area);
    };
}

// Lays the box out again as it does itself on a layout request (and on
// show or setText()): its width from its layout's minimum, which it wraps
// the text for, its height from the layout, both then fixed.
void relayout(QMessageBox& box)
{
    QEvent request(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(&box, &request);
}

// Rich text is never cut: a box taller than the area shows its text in a
// scroll area put in the label's place, only as high as the area leaves,
// so every line can be scrolled to and the buttons stay in sight. The
// scroll area holds its size as a minimum, which each later layout of the
// box keeps: as wide as the label was laid out and its scroll bar, so the
// text wraps as before. A scroll area made earlier (the details opened,
// then closed) grows again by what the area has room for, up to the text.
// The box is then kept inside the area.
void scrollToScreen(QMessageBox& box)
{
    const QScreen* screen = box.screen();
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!screen || !label || !box.layout())
        return;
    const QRect area = screen->availableGeometry();
    const QString scrollName = QStringLiteral("textScroll");
    auto* scroll = box.findChild<QScrollArea*>(scrollName, Qt::FindDirectChildrenOnly);
    if (!scroll && outerGeometry(box).height() > area.height()) {
        scroll = new QScrollArea(&box);
        scroll->setObjectName(scrollName);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        // Always there, as the text is taller: a bar shown as needed comes
        // only after the next turn of the event loop.
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        scroll->setMinimumSize(label->width() + scroll->verticalScrollBar()->sizeHint().width(),
                               label->height());
        delete box.layout()->replaceWidget(label, scroll);
        scroll->setWidget(label);
        // The box's own background, as behind the label before.
        scroll->viewport()->setAutoFillBackground(false);
        label->setAutoFillBackground(false);
        // A child added to a shown box is shown only later, and the layout
        // leaves out what is hidden.
        scroll->show();
        relayout(box);
    }
    // The rest of the box may grow or shrink with its new width: a few
    // tries settle it.
    for (int tries = 0; scroll && tries < 3; ++tries) {
        const int room = area.height() - outerGeometry(box).height();
        const int held = scroll->minimumHeight();
        const int hidden = scroll->verticalScrollBar()->maximum();
        const int height = qMax(label->fontMetrics().lineSpacing(), held + qMin(room, hidden));
        if (height == held)
            break;
        scroll->setMinimumHeight(height);
        relayout(box);
    }
    placeInArea(box, area);
}

// The frame a window manager puts around a shown box comes later, with no
// event of its own: the box's window has it by the time the box is painted
// or activated. Fits the box again, after that event, whenever the frame
// has changed since the last fit.
class FrameWatch : public QObject
{
public:
    FrameWatch(QMessageBox& box, std::function<void()> fit)
        : QObject(&box), m_box(box), m_fit(std::move(fit)), m_frame(frame())
    {
        box.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Paint:
        case QEvent::WindowActivate:
        case QEvent::Move:
        case QEvent::Resize:
            if (watched == &m_box && frame() != m_frame) {
                m_frame = frame();
                QMetaObject::invokeMethod(this, m_fit, Qt::QueuedConnection);
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    QMargins frame() const
    {
        const QWindow* window = m_box.windowHandle();
        return window ? window->frameMargins() : QMargins();
    }

    QMessageBox& m_box;
    std::function<void()> m_fit;
    QMargins m_frame;
};

} // namespace

Prompts::Answer DialogPrompts::ask(const Message& m)
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
    // Shown first, so the box has its laid-out size to fit; modal from the
    // start, as exec() would make it.
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    std::function<void()> fit;
    if (m.richText) {
        fit = [&box]() {
            if (box.isVisible())
                scrollToScreen(box);
        };
    } else {
        fit = plainTextFit(box, m.text);
    }
    // Watching from before the first fit: the frame may become known while
    // it runs, and is then fitted for again.
    new FrameWatch(box, fit);
    fit();
    // Opening the details grows the box by their pane, closing them shrinks
    // it: fitted again after the box's own handling of the click.
    if (const auto* buttons = box.findChild<QDialogButtonBox*>())
        QObject::connect(buttons, &QDialogButtonBox::clicked, &box, fit);
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

QStringList DialogPrompts::askOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                            const QString& filter)
{
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter);
}

QString DialogPrompts::askOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                       const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString DialogPrompts::askExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

QString DialogPrompts::askSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                       const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}
