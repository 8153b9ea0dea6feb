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
        // The file cannot be opened or read: detail holds the reason.
        unreadable,
        folder,
        // A FIFO, a device or a socket, which is refused unread.
        notRegularFile,
        // Neither a PNG nor a JPEG picture.
        notImage,
        // A PNG or JPEG picture that breaks off or goes wrong before its
        // pixels: detail says how.
        damaged,
        // The picture has no view entry.
        noView,
        // The view entry is far longer than a view: textLength bytes.
        viewTooLong,
        // The view entry, in detail, does not read as a view that can be
        // drawn: parse says why.
        badView,
    };

    Failure failure = Failure::none;
    QString fileName;
    View view;
    QString detail;
    qsizetype textLength = 0;
    ViewParse parse;

    bool ok() const { return failure == Failure::none; }
    // The file's name as messages quote it: escaped, on one line.
    QString shownFileName() const;
    // What is wrong, as one English line naming the file, e.g. "'a.png' is
    // not a PNG or JPEG image". File content in it is escaped and cut.
    QString reason() const;
};

// Reads the view of the picture in fileName (a name as fileNameFromBytes
// gives it) and checks that it can be drawn on columns x rows pixels. Any
// file is read or refused within a few milliseconds and a few megabytes,
// and a FIFO or a device is never opened. Needs no application object.
PictureView readPictureView(const QString& fileName, int columns = picture::columns,
                            int rows = picture::rows);
