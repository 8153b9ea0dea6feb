// The keys, the wheel and the extra mouse buttons that save, copy, step back
// and forward, and zoom, and the key that opens a saved picture's view.
#include "viewkeys.h"

#include "picturebox.h"
#include "picturescan.h"

#include <QKeyEvent>
#include <QShortcut>

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
    // them on to it.
    window->installEventFilter(this);
    connect(picture, &PictureBox::wheelTurned, this, &ViewKeys::wheelTurned);
    connect(picture, &PictureBox::historyButtonReleased, this, [this](bool forward) {
        if (!m_acting())
            return;
        if (forward)
            emit forwardRequested();
        else
            emit backRequested();
    });
}

void ViewKeys::wheelTurned(int delta, QPointF position)
{
    if (!m_acting()) {
        m_wheel = 0;
        return;
    }
    m_wheel += delta;
    if (std::abs(m_wheel) >= notch) {
        // Further notches in the same event would arrive during the step's
        // pass: they are dropped, as they would be there.
        const bool zoomIn = m_wheel > 0;
        m_wheel = 0;
        emit zoomRequested(zoomIn, position * picture::unitsPerPixel);
    }
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
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
