// The path of a zoom movie from one view to another: a pure function of the
// two views and the number of frames.
#pragma once

#include "viewstate.h"

// The view of frame `frame` (0 to frames - 1, frames >= 2) of a movie from
// `from` to `to`. The first frame is `from` and the last `to`, the very same
// doubles. On each axis the extent changes by the same factor from one frame
// to the next, and the edge moves about the fixed point of the similarity
// that takes `from` to `to`, so that the point there stays in its place in
// every frame: a straight zoom, never a step back. Equal extents give a pan
// at constant speed.
View movieFrame(const View& from, const View& to, int frame, int frames);
