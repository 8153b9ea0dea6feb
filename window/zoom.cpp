// Zoom selection: two corners picked on the picture narrow the view.
#include "form1.h"

#include "picturebox.h"
#include "viewmath.h"

#include <QLabel>

namespace {

constexpr int leftButton = 1;
constexpr uint32_t red = 255;

} // namespace

const QString Form1::pointTooFarText = QStringLiteral("Točka je predaleč zunaj slike.");

QString Form1::refusalText(Zoom::Outcome outcome)
{
    switch (outcome) {
    case Zoom::Outcome::tooLarge:
        return QStringLiteral("Izbrano območje je preveliko.");
    case Zoom::Outcome::notDrawable:
        return QStringLiteral(
            "Izbranega območja ni mogoče narisati: povečava ali pomanjšava je prevelika.");
    case Zoom::Outcome::zoomed:
    case Zoom::Outcome::empty:
        break;
    }
    return {};
}

void Form1::Swap(int16_t& a, int16_t& b)
{
    const int16_t copy = a;
    a = b;
    b = copy;
}

void Form1::pb_MouseUp(int button, int /*shift*/, float x, float y)
{
    if (sel.mode == Selection::pictureStands) {
        if (button != leftButton)
            return;
        const auto x1 = cornerField(x);
        const auto y1 = cornerField(y);
        if (!x1 || !y1) {
            refuseSelection(pointTooFarText);
            return;
        }
        sel.x1 = *x1;
        sel.y1 = *y1;
        standIdle(Selection::cornerPlaced, secondCornerText);
        return;
    }
    if (sel.mode != Selection::cornerPlaced)
        return;
    if (button != leftButton) {
        cancelSelection();
        return;
    }

    // The new view is worked out in full before anything changes, so that a
    // refused selection leaves the view exactly as it was.
    const auto x2 = cornerField(x);
    const auto y2 = cornerField(y);
    if (!x2 || !y2) {
        refuseSelection(pointTooFarText);
        return;
    }
    int16_t x1 = sel.x1;
    int16_t y1 = sel.y1;
    int16_t right = *x2;
    int16_t bottom = *y2;
    if (x1 > right)
        Swap(x1, right);
    if (y1 > bottom)
        Swap(y1, bottom);
    // The picture's size is read at each use.
    const Zoom zoom = zoomInto(m_view, x1, y1, right, bottom, pb->scaleWidth(), pb->scaleHeight());
    switch (zoom.outcome) {
    case Zoom::Outcome::zoomed:
        break;
    case Zoom::Outcome::empty:
        // Two releases on one spot select nothing: a view without width or
        // height cannot be drawn.
        cancelSelection();
        return;
    case Zoom::Outcome::tooLarge:
    case Zoom::Outcome::notDrawable:
        refuseSelection(refusalText(zoom.outcome));
        return;
    }

    sel.x1 = x1;
    sel.y1 = y1;
    sel.x2 = right;
    sel.y2 = bottom;
    sel.mode = Selection::pictureStands;
    m_view = zoom.view;
    draw_Click();
}

void Form1::pb_MouseMove(int /*button*/, int /*shift*/, float x, float y)
{
    if (sel.mode != Selection::cornerPlaced)
        return;
    pb->paintPicture(backupPic->image(), 0, 0);
    pb->box(float(sel.x1), float(sel.y1), x, y, red);
}

void Form1::cancelSelection()
{
    standIdle(Selection::pictureStands, selectText);
    pb->paintPicture(backupPic->image(), 0, 0);
}

void Form1::refuseSelection(const QString& reason)
{
    showError(reason);
    cancelSelection();
}
