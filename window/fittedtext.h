// Captions and a status line that are always readable in full: the layout is
// fixed in pixels, but the text takes the desktop's font, whose size the user
// chooses. A text too large for its space is drawn in a smaller size of the
// same font instead of being clipped; a text that fits is drawn as usual.
#pragma once

#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QSize>
#include <QString>

class QPaintDevice;

// The largest size of font, at most its own, in which text fits into space
// when measured for device: font itself when the text fits as it is.
QFont fittedFont(const QFont& font, const QString& text, QSize space, const QPaintDevice* device);

// A push button whose caption shrinks to fit the button's contents, and which
// Return and Enter press when it has the focus (once for a held key).
class CaptionButton : public QPushButton {
    Q_OBJECT

public:
    using QPushButton::QPushButton;

    // The space the style gives the caption.
    QRect captionRect() const;
    // The font the caption is drawn in.
    QFont captionFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// A one-line plain-text label whose text shrinks to fit its contents.
class StatusLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

    // The part of the contents that shows within the parent, where the text
    // must fit.
    QRect textRect() const;
    // The font the current text is drawn in.
    QFont textFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
