// The keys, the wheel and the extra mouse buttons that save, copy, step back
// and forward, and zoom, and the key that opens a saved picture's view.
#include "viewkeys.h"

#include "picturebox.h"
#include "picturescan.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QWheelEvent>

#include <cstdlib>

namespace {

// The rotation of one notch of a wheel, in eighths of a degree.
constexpr int notch = 120;

const QKeySequence::StandardKey ownKeys[] = {QKeySequence::Save,   QKeySequence::Copy,
                                             QKeySequence::Back,   QKeySequence::Forward,
                                             QKeySequence::ZoomIn, QKeySequence::ZoomOut};

} // namespace

ViewKeys::ViewKeys(QWidget* window, PictureBox* picture, std::function<bool()> acting)
    : QObject(window), m_picture(picture), m_acting(std::move(acting))
{
    const auto shortcut = [window](QKeySequence::StandardKey key) {
        return new QShortcut(key, window);
    };
    connect(shortcut(QKeySequence::Save), &QShortcut::activated, this, &ViewKeys::saveRequested);
    connect(shortcut(QKeySequence::Copy), &QShortcut::activated, this, &ViewKeys::copyRequested);
    connect(shortcut(QKeySequence::Back), &QShortcut::activated, this, &ViewKeys::backRequested);
    connect(shortcut(QKeySequence::Forward), &QShortcut::activated, this,
            &ViewKeys::forwardRequested);
    connect(shortcut(QKeySequence::ZoomIn), &QShortcut::activated, this,
            [this] { zoomByKey(true); });
    connect(shortcut(QKeySequence::ZoomOut), &QShortcut::activated, this,
            [this] { zoomByKey(false); });
    connect(shortcut(QKeySequence::Open), &QShortcut::activated, this, &ViewKeys::openRequested);
    // The window sees the override requests of all its controls, which pass
    // them on to it; the picture alone gets the wheel and the buttons.
    window->installEventFilter(this);
    picture->installEventFilter(this);
}

bool ViewKeys::isOwnKey(const QKeyEvent* event) const
{
    for (QKeySequence::StandardKey key : ownKeys)
        if (event->matches(key))
            return true;
    return false;
}

void ViewKeys::zoomByKey(bool zoomIn)
{
    const QPointF at = m_picture->hasFocus()
                           ? QPointF(m_picture->keyboardCursor()) * picture::unitsPerPixel
                           : QPointF(m_picture->scaleWidth() / 2, m_picture->scaleHeight() / 2);
    emit zoomRequested(zoomIn, at);
}

bool ViewKeys::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Taking the key back from the shortcuts leaves it to the focused
        // control, as before there were any: Alt+Left moves the picture's
        // cursor, for one.
        if (!m_acting() && isOwnKey(static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
        break;
    case QEvent::Wheel:
        if (watched == m_picture) {
            const auto* wheel = static_cast<QWheelEvent*>(event);
            if (!m_acting()) {
                m_wheel = 0;
                return true;
            }
            m_wheel += wheel->angleDelta().y();
            if (std::abs(m_wheel) >= notch) {
                // Further notches in the same event would arrive during the
                // step's pass: they are dropped, as they would be there.
                const bool zoomIn = m_wheel > 0;
                m_wheel = 0;
                emit zoomRequested(zoomIn, wheel->position() * picture::unitsPerPixel);
            }
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == m_picture && m_acting()) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::BackButton) {
                emit backRequested();
                return true;
            }
            if (mouse->button() == Qt::ForwardButton) {
                emit forwardRequested();
                return true;
            }
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
