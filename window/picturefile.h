// The picture that stands, kept outside the window: written to a file with
// the view in its text entries, or put on the clipboard.
#pragma once

#include "viewstate.h"

#include <QImage>
#include <QString>

class AtomicFile;
class QWidget;

namespace picturefile {

// The folder the save and open dialogs start in: the folder of the file last
// chosen in either while the program runs, if it is still there; else the
// user's pictures folder, or else home. Nothing of it is kept in settings.
QString startFolder();

// A short file name that no file in folder has yet: "quenthar-1.png",
// "quenthar-2.png", ... (the view is in the file's text entries).
QString proposedName(const QString& folder);

// Asks for a file name in the desktop's save dialog, starting in
// startFolder() with proposedName() of it. A name without a suffix gets
// ".png". Empty if the user cancels.
QString askSaveName(QWidget* parent);

// Asks for the name of a PNG file to export a picture to, in the desktop's
// save dialog, starting at current, a file's name. Empty if the user cancels.
QString askExportName(QWidget* parent, const QString& current);

// Asks for a picture to open, PNG or JPEG, in the desktop's open dialog,
// starting in startFolder(). Empty if the user cancels.
QString askOpenName(QWidget* parent);

// Opens file for a picture. Anything but a regular file is refused: a FIFO
// or a device would hold the window until something read it. Returns why the
// file cannot be written, or an empty string.
QString open(AtomicFile& file);

// Writes image to fileName in the format its suffix names (PNG without a
// suffix) with pictureTexts(view, finished) as its text entries, through an
// AtomicFile: the file appears whole or not at all, and an earlier file of
// that name is replaced only by a whole one. Returns why it failed (the
// system's reason, e.g. "No space left on device"), or an empty string.
QString write(const QImage& image, const View& view, bool finished, const QString& fileName);

// Puts image on the clipboard with the same text entries as a file's (which
// the PNG it is offered as carries), and the view's four numbers as its text.
void copy(const QImage& image, const View& view, bool finished);

} // namespace picturefile
