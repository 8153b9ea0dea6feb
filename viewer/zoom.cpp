// Zoom selection: two corners picked on the picture narrow the view.
#include "form1.h"

#include "picturebox.h"

#include <QLabel>
#include <QMessageBox>

#include <cmath>
#include <optional>

namespace {

constexpr int leftButton = 1;
constexpr uint32_t red = 255;

// A pointer coordinate rounded to nearest, ties to even, if it fits a corner
// field.
std::optional<int16_t> cornerField(float coordinate)
{
    const double rounded = std::nearbyint(double(coordinate));
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        return std::nullopt;
    return int16_t(rounded);
}

} // namespace

void Form1::Swap(int16_t& a, int16_t& b)
{
    const int16_t copy = a;
    a = b;
    b = copy;
}

void Form1::pb_MouseUp(int button, int /*shift*/, float x, float y)
{
    if (sel.mode == 0) {
        if (button != leftButton)
            return;
        const auto x1 = cornerField(x);
        const auto y1 = cornerField(y);
        if (!x1 || !y1) {
            refuseSelection(QStringLiteral("Točka je predaleč zunaj slike."));
            return;
        }
        sel.x1 = *x1;
        sel.y1 = *y1;
        sel.mode = 1;
        Label1->setText(secondCornerText);
        return;
    }
    if (sel.mode != 1)
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
        refuseSelection(QStringLiteral("Točka je predaleč zunaj slike."));
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
    // Two releases on one spot select nothing: a view without width or height
    // cannot be drawn.
    if (x1 == right || y1 == bottom) {
        cancelSelection();
        return;
    }
    const int width = right - x1;
    const int height = bottom - y1;
    if (width > 32767 || height > 32767) {
        refuseSelection(QStringLiteral("Izbrano območje je preveliko."));
        return;
    }

    // Each quotient is formed first, then multiplied by the old extent, then
    // the old edge is added; the picture's size is read at each use.
    View next = m_view;
    next.viewLeft = double(x1) / double(pb->scaleWidth()) * m_view.viewWidth + m_view.viewLeft;
    next.viewTop = double(y1) / double(pb->scaleHeight()) * m_view.viewHeight + m_view.viewTop;
    next.viewWidth = double(int16_t(width)) / double(pb->scaleWidth()) * m_view.viewWidth;
    next.viewHeight = double(int16_t(height)) / double(pb->scaleHeight()) * m_view.viewHeight;
    const bool finite = std::isfinite(next.viewLeft) && std::isfinite(next.viewTop) &&
                        std::isfinite(next.viewWidth) && std::isfinite(next.viewHeight) &&
                        std::isfinite(640 / next.viewWidth) && std::isfinite(480 / next.viewHeight);
    if (!finite) {
        refuseSelection(QStringLiteral("Izbranega območja ni mogoče narisati: povečava ali "
                                       "pomanjšava je prevelika."));
        return;
    }

    sel.x1 = x1;
    sel.y1 = y1;
    sel.x2 = right;
    sel.y2 = bottom;
    sel.mode = 0;
    m_view = next;
    draw_Click();
}

void Form1::pb_MouseMove(int /*button*/, int /*shift*/, float x, float y)
{
    if (sel.mode != 1)
        return;
    pb->paintPicture(backupPic->image(), 0, 0);
    pb->box(float(sel.x1), float(sel.y1), x, y, red);
}

void Form1::cancelSelection()
{
    sel.mode = 0;
    Label1->setText(selectText);
    pb->paintPicture(backupPic->image(), 0, 0);
}

void Form1::refuseSelection(const QString& reason)
{
    QMessageBox::critical(this, QStringLiteral("Napaka"), reason);
    cancelSelection();
}
