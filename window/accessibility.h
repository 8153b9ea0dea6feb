// What a screen reader learns of the window beyond what Qt tells from the
// widgets' classes: the roles of the window, the picture and the status line,
// and what the picture shows.
#pragma once

#include "viewstate.h"

#include <QString>

class QWidget;

// Gives the window the role of a window, the picture that of a graphic and the
// status line that of a status bar, whose name is its text. Call once, before
// the window is made.
void installAccessibleInterfaces();

// The picture's accessible name.
QString pictureName();

// The picture's accessible description: the view it shows and the keys that
// zoom into it.
QString pictureDescription(const View& view);

// Gives the picture the description of view. A screen reader is told only of
// a new description, not of the same one set again.
void describePicture(QWidget* picture, const View& view);
