// Quenthar --movie: a zoom movie rendered as a command of its own, with no
// window system, on the render's path (the same lane kernel, threads and PNG
// stream): into a folder of frames, of which it renders only those that
// are missing or stale, or into a video made by ffmpeg; or a folder of
// frames joined into a video.
#pragma once

#include "moviejob.h"

// Makes the movie job on threads. Returns the exit status: 0; 2 with one line on stderr if the
// output cannot be written or a frame there belongs to another movie (nothing is written then); 1
// with one line if a frame cannot be written or ffmpeg is missing or fails. Interrupted, it leaves
// only whole frames, and no video, and ends by the signal that interrupted it.
int runMovie(int argc, char* argv[], const MovieJob& job, int threads);
