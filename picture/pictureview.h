// The view stored in a picture that Quenthar saved, read back from the
// picture's text entries without decoding its pixels.
#pragma once

#include "picturereader.h"
#include "picturescan.h"
#include "viewstate.h"
#include "viewtext.h"

#include <QString>

#include <map>
#include <string>

// The view read from a picture, or why there is none.
struct PictureView {
    picture::Fault fault = picture::Fault::none;
    QString fileName;
    View view;
    // The system's reason (unreadable), how the picture is damaged, or the
    // view text that cannot be drawn (badView).
    QString detail;
    qsizetype textLength = 0;
    ViewParse parse;
    // The picture's size in pixels (0 for a JPEG picture), and the entries
    // it records beside its view.
    int width = 0;
    int height = 0;
    std::map<std::string, std::string> recorded;

    bool ok() const { return fault == picture::Fault::none; }
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
// The same for what a picture's reader read before its pixels.
PictureView pictureView(const QString& fileName, const picture::Read& read, int columns, int rows);
