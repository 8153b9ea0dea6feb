// The picture that stands, kept outside the window: written to a file with
// the view in its text entries, or put on the clipboard.
#pragma once

#include "viewstate.h"

#include <QImage>
#include <QString>

class QWidget;

namespace picturefile {

// The folder a save starts in: the user's pictures folder, or else home.
QString startFolder();

// A file name for the view's picture, e.g. "quenthar_-1.5,-1.5,3,3.png": the
// view's four numbers, so that the pictures of different views differ.
QString proposedName(const View& view);

// Asks for a file name in the desktop's save dialog, starting in
// startFolder() with proposedName(view). A name without a suffix gets
// ".png". Empty if the user cancels.
QString askFileName(QWidget* parent, const View& view);

// Writes image to fileName in the format its suffix names (PNG without a
// suffix) with pictureTexts(view, finished) as its text entries, through a
// QSaveFile: the file appears whole or not at all, and an earlier file of that
// name is replaced only by a whole one. Returns why it failed, or an empty
// string.
QString write(const QImage& image, const View& view, bool finished, const QString& fileName);

// Puts image on the clipboard with the same text entries as a file's (which
// the PNG it is offered as carries), and the view's four numbers as its text.
void copy(const QImage& image, const View& view, bool finished);

} // namespace picturefile
