#include "picturebox.h"

#include "cursormark.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

int buttonCode(Qt::MouseButtons buttons)
{
    int code = 0;
    if (buttons & Qt::LeftButton)
        code |= 1;
    if (buttons & Qt::RightButton)
        code |= 2;
    if (buttons & Qt::MiddleButton)
        code |= 4;
    return code;
}

int shiftCode(Qt::KeyboardModifiers modifiers)
{
    int code = 0;
    if (modifiers & Qt::ShiftModifier)
        code |= 1;
    if (modifiers & Qt::ControlModifier)
        code |= 2;
    if (modifiers & Qt::AltModifier)
        code |= 4;
    return code;
}

} // namespace

PictureBox::PictureBox(QWidget* parent)
    : QWidget(parent), m_image(picture::columns, picture::rows, QImage::Format_RGB32)
{
    m_image.fill(Qt::black);
    setFixedSize(picture::columns, picture::rows);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

QPointF PictureBox::toPixels(float x, float y)
{
    return {double(x) / picture::unitsPerPixel, double(y) / picture::unitsPerPixel};
}

void PictureBox::line(float x1, float y1, float x2, float y2, uint32_t colour)
{
    m_pixels = nullptr;
    const QPointF from = toPixels(x1, y1);
    const QPointF to = toPixels(x2, y2);
    if (!axisLine(from, to, colour)) {
        QPainter painter(&m_image);
        painter.setPen(QColor(toRgb(colour)));
        painter.drawLine(from, to);
    }
    pictureChanged();
}

// A horizontal or vertical line between whole pixels covers the pixels from
// one end to the other, both included, as the painter draws it with a pen of
// one pixel; it is written straight into the image, which is far cheaper than
// setting up a painter for it. Returns false, drawing nothing, for any other
// line.
bool PictureBox::axisLine(QPointF from, QPointF to, uint32_t colour)
{
    const auto whole = [](double v) { return std::floor(v) == v; };
    if (!whole(from.x()) || !whole(from.y()) || !whole(to.x()) || !whole(to.y()))
        return false;
    if (from.x() != to.x() && from.y() != to.y())
        return false;
    fillPixels(std::min(from.x(), to.x()), std::min(from.y(), to.y()), std::max(from.x(), to.x()),
               std::max(from.y(), to.y()), toRgb(colour));
    return true;
}

// Sets the pixels from column left to right and row top to bottom, all
// included, that lie in the picture. The bounds are whole numbers of pixels,
// of any size: they are clipped before they become integers.
void PictureBox::fillPixels(double left, double top, double right, double bottom, QRgb rgb)
{
    left = std::max(left, 0.0);
    top = std::max(top, 0.0);
    right = std::min(right, double(picture::columns - 1));
    bottom = std::min(bottom, double(picture::rows - 1));
    if (!(left <= right && top <= bottom))
        return;
    QRgb* const pixels = reinterpret_cast<QRgb*>(m_image.bits());
    const qsizetype stride = m_image.bytesPerLine() / qsizetype(sizeof(QRgb));
    for (int row = int(top); row <= int(bottom); ++row) {
        QRgb* const line = pixels + row * stride;
        std::fill(line + int(left), line + int(right) + 1, rgb);
    }
}

// The outline covers the pixels of the four sides between the pixels that hold
// the two corners, both corners included, whichever way they lie: a box from a
// point to itself is that one pixel. Sides outside the picture are clipped.
void PictureBox::box(float x1, float y1, float x2, float y2, uint32_t colour)
{
    m_pixels = nullptr;
    if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2))
        return;
    const auto pixel = [](float units) {
        return std::floor(double(units) / picture::unitsPerPixel);
    };
    const double left = std::min(pixel(x1), pixel(x2));
    const double right = std::max(pixel(x1), pixel(x2));
    const double top = std::min(pixel(y1), pixel(y2));
    const double bottom = std::max(pixel(y1), pixel(y2));
    const QRgb rgb = toRgb(colour);
    fillPixels(left, top, right, top, rgb);
    fillPixels(left, bottom, right, bottom, rgb);
    fillPixels(left, top, left, bottom, rgb);
    fillPixels(right, top, right, bottom, rgb);
    pictureChanged();
}

void PictureBox::filledBox(float x1, float y1, float x2, float y2, uint32_t colour)
{
    m_pixels = nullptr;
    {
        QPainter painter(&m_image);
        const QColor color(toRgb(colour));
        painter.setPen(color);
        painter.setBrush(color);
        painter.drawRect(QRectF(toPixels(x1, y1), toPixels(x2, y2)).normalized());
    }
    pictureChanged();
}

void PictureBox::paintPicture(const QImage& source, float x, float y)
{
    m_pixels = nullptr;
    if (x == 0 && y == 0 && source.size() == m_image.size() &&
        source.format() == m_image.format()) {
        // A whole-picture copy shares the data until either side is written.
        m_image = source;
    } else {
        QPainter painter(&m_image);
        painter.drawImage(toPixels(x, y), source);
    }
    pictureChanged();
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    painter.drawImage(area, m_image, area);
    if (showsCursorMark())
        paintCursorMark(painter, m_cursor);
}

void PictureBox::mouseMoveEvent(QMouseEvent* event)
{
    setFocusState(m_focused, true);
    const QPointF pos = event->position();
    emit mouseMoved(buttonCode(event->buttons()), shiftCode(event->modifiers()),
                    float(pos.x()) * picture::unitsPerPixel,
                    float(pos.y()) * picture::unitsPerPixel);
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    setFocusState(m_focused, true);
    QWidget::mousePressEvent(event);
}

void PictureBox::wheelEvent(QWheelEvent* event)
{
    setFocusState(m_focused, true);
    emit wheelTurned(event->angleDelta().y(), event->position());
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    setFocusState(m_focused, true);
    // The step through the list of views first: with a first corner placed,
    // the release then cancels it, and the step must not find a picture
    // standing.
    if (event->button() == Qt::BackButton || event->button() == Qt::ForwardButton)
        emit historyButtonReleased(event->button() == Qt::ForwardButton);
    const QPointF pos = event->position();
    emit mouseReleased(buttonCode(event->button()), shiftCode(event->modifiers()),
                       float(pos.x()) * picture::unitsPerPixel,
                       float(pos.y()) * picture::unitsPerPixel);
}

// Every key pressed while the picture has the focus comes here first, the
// window's shortcuts included; a key that reaches it shows that it has the
// focus, even where the window system told nothing of it.
bool PictureBox::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)
        setFocusState(true, false);
    return QWidget::event(event);
}

void PictureBox::keyPressEvent(QKeyEvent* event)
{
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    QPoint move;
    int release = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        move = {-step, 0};
        break;
    case Qt::Key_Right:
        move = {step, 0};
        break;
    case Qt::Key_Up:
        move = {0, -step};
        break;
    case Qt::Key_Down:
        move = {0, step};
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        release = 1;
        break;
    case Qt::Key_Escape:
        release = 2;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const int shift = shiftCode(event->modifiers());
    if (release) {
        // A held key places one corner, not one at every repeat.
        if (!event->isAutoRepeat())
            emit mouseReleased(release, shift, float(m_cursor.x() * picture::unitsPerPixel),
                               float(m_cursor.y() * picture::unitsPerPixel));
        return;
    }
    update(cursorMarkArea(m_cursor));
    m_cursor = QPoint(std::clamp(m_cursor.x() + move.x(), 0, picture::columns - 1),
                      std::clamp(m_cursor.y() + move.y(), 0, picture::rows - 1));
    update(cursorMarkArea(m_cursor));
    emit keyboardCursorChanged();
    emit mouseMoved(0, shift, float(m_cursor.x() * picture::unitsPerPixel),
                    float(m_cursor.y() * picture::unitsPerPixel));
}

// The focus that Tab or Shift+Tab brings is the keyboard's; the focus given
// back when the window is activated again keeps what was shown.
void PictureBox::focusInEvent(QFocusEvent* event)
{
    const bool byKeyboard =
        event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    setFocusState(true, byKeyboard ? false : m_pointerLast);
    QWidget::focusInEvent(event);
}

void PictureBox::focusOutEvent(QFocusEvent* event)
{
    // Another window taking the focus for a while (a message box) keeps it
    // shown for when it comes back.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        setFocusState(false, m_pointerLast);
    QWidget::focusOutEvent(event);
}

void PictureBox::setPassRunning(bool running)
{
    if (m_passRunning == running)
        return;
    m_passRunning = running;
    update(cursorMarkArea(m_cursor));
}

void PictureBox::setFocusState(bool focused, bool pointerLast)
{
    if (m_focused == focused && m_pointerLast == pointerLast)
        return;
    m_focused = focused;
    m_pointerLast = pointerLast;
    update(cursorMarkArea(m_cursor));
    emit keyboardCursorChanged();
}

void PictureBox::pictureChanged()
{
    update();
}
