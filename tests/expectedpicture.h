// The picture a finished pass of a view must leave, computed from the engine
// directly, pixel by pixel in plain row order.
#pragma once

#include "colourramp.h"
#include "engine.h"
#include "picturebox.h"
#include "picturescan.h"
#include "viewstate.h"

#include <QImage>

inline QImage expectedPicture(const View& view)
{
    QImage image(picture::columns, picture::rows, QImage::Format_RGB32);
    for (int row = 0; row < picture::rows; ++row)
        for (int col = 0; col < picture::columns; ++col) {
            const int32_t n = Engine(col, row, picture::columns / view.viewWidth,
                                     picture::rows / view.viewHeight, view.viewLeft, view.viewTop);
            image.setPixel(col, row, PictureBox::toRgb(colourOfCount(int16_t(n))));
        }
    return image;
}
