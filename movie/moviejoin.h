// --movie VIDEO --frames-from DIR: the frames of one movie in a folder,
// checked to be that movie's before any is read, then read into a video.
#pragma once

#include "moviejob.h"

// Joins the frames job names into its video: the exit status, after one line
// unless 0 (2 if the frames are not one movie's whole frames, 1 if ffmpeg
// fails); a stop ends the program.
int joinFrames(const MovieJob& job);

// Checks the frames of the join job names as the join would, without joining
// them; with the movie's views given, the frames not made yet are no fault.
// The status, after one line unless 0; the rate the video would have and the
// frames' samples a pixel go into job.
int checkJoinFrames(MovieJob& job);
