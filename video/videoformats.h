// The videos the program makes, as the command line and the movie both know
// them: their names' suffixes, and the frames each codec takes.
#pragma once

#include <QString>

#include <optional>

// The suffixes of a video's name, as the help and the messages list them.
inline constexpr const char* videoSuffixes = ".mp4, .mkv or .webm";

// Whether fileName names a video: it ends in one of videoSuffixes, in any
// case.
bool isVideo(const QString& fileName);
// The suffix of fileName, in small letters.
QString videoSuffix(const QString& fileName);

// Why the codec of the video fileName cannot take frames of width x height
// pixels (a width or height that is odd, or frames beyond its highest level),
// or nothing.
std::optional<QString> videoSizeRefusal(const QString& fileName, int width, int height);
