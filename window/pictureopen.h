// Opening the view stored in a picture that Quenthar saved, from the window:
// the open dialog, and what the window tells of a picture it cannot open.
#pragma once

#include "pictureview.h"

#include <QString>

class QWidget;

namespace pictureopen {

// Asks for a picture in the desktop's open dialog, starting in the folder
// that a save starts in. Empty if the user cancels.
QString askFileName(QWidget* parent);

// Why the view of picture cannot be opened, as the window's message box
// tells it.
QString refusalText(const PictureView& picture);

} // namespace pictureopen
