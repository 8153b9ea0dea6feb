#include "fittedtext.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

QFont fittedFont(const QFont& font, const QString& text, QSize space, const QPaintDevice* device)
{
    const auto fits = [&](const QFont& candidate) {
        const QFontMetrics metrics(candidate, device);
        return metrics.horizontalAdvance(text) <= space.width() &&
               metrics.height() <= space.height();
    };
    if (fits(font))
        return font;
    // Quarter points, or whole pixels for a font sized in pixels, down to the
    // first size that fits; the smallest size is the last resort.
    QFont smaller = font;
    if (font.pointSizeF() > 0) {
        for (int quarters = int(font.pointSizeF() * 4) - 1; quarters >= 4; --quarters) {
            smaller.setPointSizeF(quarters / 4.0);
            if (fits(smaller))
                break;
        }
    } else {
        for (int pixels = font.pixelSize() - 1; pixels >= 1; --pixels) {
            smaller.setPixelSize(pixels);
            if (fits(smaller))
                break;
        }
    }
    return smaller;
}

QRect CaptionButton::captionRect() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
}

QFont CaptionButton::captionFont() const
{
    return fittedFont(font(), text(), captionRect().size(), this);
}

void CaptionButton::paintEvent(QPaintEvent* event)
{
    const QFont shown = captionFont();
    if (shown == font()) {
        QPushButton::paintEvent(event);
        return;
    }
    // What QPushButton draws, with the smaller font for the caption.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.fontMetrics = QFontMetrics(shown, this);
    painter.setFont(shown);
    painter.drawControl(QStyle::CE_PushButton, option);
}

void CaptionButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!event->isAutoRepeat())
            click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

QFont StatusLabel::textFont() const
{
    return fittedFont(font(), text(), textRect().size(), this);
}

QRect StatusLabel::textRect() const
{
    QRect space = contentsRect();
    if (parentWidget())
        space &= QRect(mapFromParent(QPoint(0, 0)), parentWidget()->size());
    return space;
}

void StatusLabel::paintEvent(QPaintEvent* event)
{
    const QFont shown = textFont();
    if (shown == font()) {
        QLabel::paintEvent(event);
        return;
    }
    // What QLabel draws for one line of plain text, in the smaller font.
    QPainter painter(this);
    drawFrame(&painter);
    painter.setFont(shown);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(),
                          text(), foregroundRole());
}
