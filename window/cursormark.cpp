#include "cursormark.h"

#include <QPainter>

namespace {

// Pixels of each arm, from the centre outwards.
constexpr int reach = 4;

} // namespace

QRect cursorMarkArea(QPoint cursor)
{
    return {cursor.x() - reach, cursor.y() - reach, 2 * reach + 1, 2 * reach + 1};
}

void paintCursorMark(QPainter& painter, QPoint cursor)
{
    painter.save();
    // The difference from white is the inverted colour. The arms do not
    // overlap: a pixel inverted twice would show as it is.
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    const QRect area = cursorMarkArea(cursor);
    painter.fillRect(area.left(), cursor.y(), area.width(), 1, Qt::white);
    painter.fillRect(cursor.x(), area.top(), 1, reach, Qt::white);
    painter.fillRect(cursor.x(), cursor.y() + 1, 1, reach, Qt::white);
    painter.restore();
}
