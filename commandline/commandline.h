// The program's command line: the options every mode shares (the threads,
// help, the version and Qt's own, which QApplication takes for itself), then
// those of its mode, each read in one place: the window's (windowoptions.h),
// --render's (renderoptions.h), --movie's (movieoptions.h).
#pragma once

#include "moviejob.h"
#include "options.h"
#include "rendercommand.h"
#include "viewstate.h"

#include <QCommandLineParser>
#include <QStringList>

#include <optional>

class CommandLine {
public:
    enum class Outcome { Run, Render, Movie, ShowHelp, ShowVersion, Error };

    CommandLine();

    // Reads the arguments, the program's name first, and the view of a
    // picture file given. Needs no application object and no display, so
    // that help, the version, errors and a render never do.
    Outcome parse(const QStringList& arguments);

    // The threads a drawing pass runs on: --threads, or else one per core.
    int threads() const { return m_threads; }
    // The view given by --view or a picture file, if any.
    const std::optional<View>& view() const { return m_view; }
    // After Render: the file to write, the picture's view and size, and
    // whether the progress is silenced.
    const RenderCommand& render() const { return m_render; }
    // After Movie: the movie to render or join.
    const MovieJob& movieJob() const { return m_movieJob; }
    // The X display given by -display, or empty.
    QString xDisplay() const;

    // After Error: what was wrong, in one line.
    QString errorText() const { return m_error; }
    QString helpText() const;
    // "Quenthar " and the version the build gives.
    static QString versionText();

    // Prints what an outcome other than Run, Render and Movie asks for (help or the
    // version on stdout, an error on stderr) and returns the exit status: 0,
    // 1 if the help or the version could not be written, 2 after an error.
    int report(Outcome outcome) const;

    // The arguments of main() as strings; bytes that are not UTF-8 are kept,
    // as in file names (fileNameFromBytes).
    static QStringList arguments(int argc, char* argv[]);

private:
    OptionCheck readCommon(const QStringList& arguments);
    Outcome readMode();
    Outcome fail(const OptionError& error);

    Options m_options;
    QCommandLineParser m_parser;
    int m_threads = 1;
    std::optional<View> m_view;
    RenderCommand m_render;
    MovieJob m_movieJob;
    QString m_error;
};
