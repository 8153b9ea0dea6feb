// Opening the view stored in a picture that Quenthar saved, from the window:
// the open dialog, and what the window tells of a picture it cannot open.
#pragma once

#include "pictureview.h"

#include <QString>

class QWidget;

namespace pictureopen {

// Why the view of picture cannot be opened, as the window's message box
// tells it.
QString refusalText(const PictureView& picture);

} // namespace pictureopen
