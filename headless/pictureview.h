// The view stored in a picture that Quenthar saved, read back from the
// picture's text entries without decoding its pixels.
#pragma once

#include "picturescan.h"
#include "viewstate.h"
#include "viewtext.h"

#include <QString>

// The view read from a picture, or why there is none.
struct PictureView {
    enum class Failure {
        none,
        // The file cannot be opened for reading: detail holds the reason.
        unreadable,
        // The file is no image that Qt reads.
        notImage,
        // The image has no view entry.
        noView,
        // The view entry, in detail, does not read as a view that can be
        // drawn: parse says why.
        badView,
    };

    Failure failure = Failure::none;
    QString fileName;
    View view;
    QString detail;
    ViewParse parse;

    bool ok() const { return failure == Failure::none; }
    // What is wrong, as one English phrase naming the file, e.g. "'a.png' is
    // not an image".
    QString reason() const;
};

// Reads the view of the picture in fileName and checks that it can be drawn
// on columns x rows pixels. Needs no application object.
PictureView readPictureView(const QString& fileName, int columns = picture::columns,
                            int rows = picture::rows);
