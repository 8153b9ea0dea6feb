// The picture a finished pass of a view must leave, computed from the engine
// directly, pixel by pixel in plain row order.
#pragma once

#include "colourramp.h"
#include "engine.h"
#include "picturescan.h"
#include "viewstate.h"

#include <QImage>

// A colour 0x00BBGGRR, red in its low byte, as Qt's RGB.
inline QRgb rgbOf(uint32_t colour)
{
    return qRgb(int(colour & 0xff), int(colour >> 8 & 0xff), int(colour >> 16 & 0xff));
}

inline QImage expectedPicture(const View& view)
{
    QImage image(picture::columns, picture::rows, QImage::Format_RGB32);
    for (int row = 0; row < picture::rows; ++row)
        for (int col = 0; col < picture::columns; ++col) {
            const int32_t n = Engine(col, row, picture::columns / view.viewWidth,
                                     picture::rows / view.viewHeight, view.viewLeft, view.viewTop);
            image.setPixel(col, row, rgbOf(colourOfCount(int16_t(n))));
        }
    return image;
}
