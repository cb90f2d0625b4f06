#include "elidedlabel.h"

#include <QPainter>
#include <QStyle>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setText(const QString& text)
{
    QLabel::setText(text);
    setToolTip(text);
}

QString ElidedLabel::displayedText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

void ElidedLabel::setRoomFor(const QString& sample)
{
    m_roomFor = sample;
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    updateGeometry();
}

QSize ElidedLabel::sizeHint() const
{
    if (m_roomFor.isEmpty())
        return QLabel::sizeHint();
    const QMargins margins = contentsMargins();
    return QSize(fontMetrics().horizontalAdvance(m_roomFor) + margins.left() + margins.right(),
                 QLabel::sizeHint().height());
}

QSize ElidedLabel::minimumSizeHint() const
{
    // Any width will do: the text is cut to fit. A short value asks for its
    // room, but gives it up in a window too narrow for it, down to a
    // character (of the widest, a Chinese one) on each side of the "…", so
    // that a value cut short still shows that there is one.
    if (m_roomFor.isEmpty())
        return QSize(fontMetrics().averageCharWidth() * 4, QLabel::minimumSizeHint().height());
    const QMargins margins = contentsMargins();
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("字…字")) + margins.left() + margins.right(),
                 QLabel::minimumSizeHint().height());
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), displayedText(),
                          foregroundRole());
}
