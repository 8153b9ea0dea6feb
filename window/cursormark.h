// The mark of the picture's keyboard cursor: a small cross over the picture on
// the screen, in the inverted colours of what lies under it, so that it shows
// on black, on yellow and on the red band alike. It is painted over the
// picture's visible face only, never into the picture itself.
#pragma once

#include <QPoint>
#include <QRect>

class QPainter;

// The 9 x 9 pixels centred on the cursor's pixel that the mark may cover.
QRect cursorMarkArea(QPoint cursor);

// Inverts the colours the painter has painted at the mark's pixels: the row
// and the column of the area through the cursor's pixel.
void paintCursorMark(QPainter& painter, QPoint cursor);
