#include "pictureframe.h"

#include "picturebox.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int margin = 8;

} // namespace

PictureFrame::PictureFrame(PictureBox* picture, QWidget* parent)
    : QWidget(parent), m_picture(picture)
{
    const QRect around = picture->geometry().adjusted(0, 0, margin, margin);
    setGeometry(0, 0, around.right() + 1, around.bottom() + 1);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    connect(picture, &PictureBox::keyboardCursorChanged, this, qOverload<>(&QWidget::update));
}

// The device pixels the picture covers: its logical rectangle scaled and
// rounded as Qt places a widget on the device.
QRect PictureFrame::pictureOnDevice() const
{
    const qreal ratio = devicePixelRatioF();
    const QRect logical(mapFromParent(m_picture->pos()), m_picture->size());
    return {qRound(logical.x() * ratio), qRound(logical.y() * ratio),
            qRound(logical.width() * ratio), qRound(logical.height() * ratio)};
}

// One logical pixel, made whole: 1 device pixel up to a scale of 2, 2 up to 3.
int PictureFrame::lineOnDevice() const
{
    return std::max(1, int(std::floor(devicePixelRatioF() + 1e-6)));
}

void PictureFrame::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    // From here on, one unit is one device pixel: the frame's origin lies on
    // a whole device pixel, since the frame starts at its parent's.
    const qreal ratio = devicePixelRatioF();
    painter.scale(1 / ratio, 1 / ratio);
    const QRect picture = pictureOnDevice();
    const int line = lineOnDevice();
    // Draws a ring of the given thickness around the picture, from the given
    // distance outwards.
    const auto ring = [&](int from, int thickness, const QColor& colour) {
        const QRect outer = picture.adjusted(-from - thickness, -from - thickness, from + thickness,
                                             from + thickness);
        painter.fillRect(outer.left(), outer.top(), outer.width(), thickness, colour);
        painter.fillRect(outer.left(), outer.bottom() - thickness + 1, outer.width(), thickness,
                         colour);
        painter.fillRect(outer.left(), outer.top(), thickness, outer.height(), colour);
        painter.fillRect(outer.right() - thickness + 1, outer.top(), thickness, outer.height(),
                         colour);
    };

    if (!m_picture->showsKeyboardFocus()) {
        ring(0, line, palette().color(QPalette::WindowText));
        return;
    }
    // Focus: the border twice as thick in the highlight colour, and marks on
    // it at the keyboard cursor's column and row, reaching outwards.
    const QColor highlight = palette().color(QPalette::Highlight);
    ring(0, 2 * line, highlight);
    const QPoint cursor = m_picture->keyboardCursor();
    const auto span = [ratio](int pixel) {
        return std::pair(int(std::floor(pixel * ratio)), int(std::floor((pixel + 1) * ratio)));
    };
    const auto [left, right] = span(cursor.x());
    const auto [top, bottom] = span(cursor.y());
    const int reach = 6 * line;
    const int width = std::max(right - left, line);
    const int height = std::max(bottom - top, line);
    painter.fillRect(picture.left() + left, picture.top() - reach, width, reach, highlight);
    painter.fillRect(picture.left() + left, picture.bottom() + 1, width, reach, highlight);
    painter.fillRect(picture.left() - reach, picture.top() + top, reach, height, highlight);
    painter.fillRect(picture.right() + 1, picture.top() + top, reach, height, highlight);
}
