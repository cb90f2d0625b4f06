#pragma once

#include <QLabel>
#include <QString>

// A one-line label for texts that may be longer than the room it gets (a
// path, a chosen folder): it shows the text cut in the middle, so both ends
// stay readable, and the whole text as its tooltip. text() is the whole text.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setText(const QString& text);
    // What the label shows at its present width.
    QString displayedText() const;
    // A short value (a name, a date): the label asks for the room `sample`
    // takes in its font, and is cut only where its cell has less, never to
    // less than a character on each side of the "…".
    void setRoomFor(const QString& sample);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_roomFor;
};
