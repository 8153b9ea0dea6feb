// The view stored in a picture that Quenthar saved, read back from the
// picture's text entries without decoding its pixels.
#pragma once

#include "picturescan.h"
#include "viewstate.h"

#include <QString>

#include <optional>

struct PictureView {
    std::optional<View> view;
    // When there is no view: what is wrong, as a phrase naming the file, e.g.
    // "'a.png' is not an image".
    QString error;
};

// Reads the view of the picture at path and checks that it can be drawn on
// columns x rows pixels. Needs no application object.
PictureView viewFromPicture(const QString& path, int columns = picture::columns,
                            int rows = picture::rows);
