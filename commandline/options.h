// The program's options, each written once with its help: those every mode
// shares, those of the window and --render, and those of --movie; and the
// readers of values that several modes take (a name, a view, a size). Each
// mode's own reader (windowoptions.h, renderoptions.h, movieoptions.h) reads
// all of its options.
#pragma once

#include "colouring.h"
#include "moviejob.h"
#include "pictureview.h"
#include "render.h"
#include "videoformats.h"

#include <QCommandLineOption>
#include <QList>
#include <QSize>
#include <QString>
#include <QThread>

#include <optional>

class QCommandLineParser;

// The built-in palettes' names, "fire, ice, ..." as the help lists them.
std::string paletteNames();

// An option that Qt's QApplication takes, which the help does not list.
QCommandLineOption hiddenOption(const QString& name, bool takesValue = true);

struct Options {
    static constexpr int maxThreads = 256;

    // Every option, in the order the help lists them, Qt's own last.
    QList<QCommandLineOption> all() const;
    // The movie's options but --movie itself.
    QList<const QCommandLineOption*> movieOwn() const;
    // The colouring's options.
    QList<const QCommandLineOption*> colourOwn() const;

    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Shows this help and exits.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Shows the program's version and exits.")};
    QCommandLineOption threads{
        QStringLiteral("threads"),
        QStringLiteral("Draws on N threads, 1 to %1 (default: one per core, here %2). 1 "
                       "draws on the window's thread alone.")
            .arg(maxThreads)
            .arg(QThread::idealThreadCount()),
        QStringLiteral("N")};
    QCommandLineOption view{
        QStringLiteral("view"),
        QStringLiteral("Opens or renders this view: the complex point at the picture's "
                       "top-left corner and the extents on the real and the imaginary "
                       "axis, as a saved picture holds them, or a picture saved by "
                       "Quenthar. The default view is -1.5,-1.5,3,3. Refused unless every "
                       "pixel gets finite coordinates, different from its neighbours'."),
        QStringLiteral("L,T,W,H")};
    QCommandLineOption render{
        QStringLiteral("render"),
        QStringLiteral("Draws the view into the PNG file OUT (a name ending in .png, or "
                       "in no suffix) and exits, with no window and no display. A file "
                       "is replaced only when complete; a pipe, a device or standard "
                       "output is written as it is."),
        QStringLiteral("OUT")};
    QCommandLineOption size{
        QStringLiteral("size"),
        QStringLiteral("With --render: the picture's width and height in pixels, 1 to %L1 "
                       "each (default: 640x480), the view widened to its shape, each pixel "
                       "square, or as a saved picture FILE's are, so that a poster of it looks "
                       "like it; memory stays that of a band of rows. With --movie: each "
                       "frame's, up to %L2.")
            .arg(Render::largestSide)
            .arg(MovieJob::largestSide),
        QStringLiteral("WxH")};
    QCommandLineOption stretch{
        QStringLiteral("stretch"),
        QStringLiteral("With --size: keeps the view exactly as given, stretched over the "
                       "picture, instead of widening it about its centre to the picture's "
                       "shape.")};
    QCommandLineOption samples{
        QStringLiteral("samples"),
        QStringLiteral("With --render or --movie: each pixel the average of N x N samples, in "
                       "linear light, N from 1 to %1 (default 1): no speckle in a still, no "
                       "shimmer in a zoom, for N^2 times the time. With --frames-from: the "
                       "samples the frames must have.")
            .arg(RenderJob::mostSamples),
        QStringLiteral("N")};
    QCommandLineOption iterations{
        QStringLiteral("iterations"),
        QStringLiteral("With --render or --movie: the escape tests a point takes at most, N "
                       "from 1 to %L1 (default %2, the window's): a deep zoom needs more to "
                       "tell its points apart.")
            .arg(maxLaneCap)
            .arg(defaultCap),
        QStringLiteral("N")};
    QCommandLineOption colour{
        QStringLiteral("colour"),
        QStringLiteral("With --render or --movie: ramp (default: the window's black to yellow, "
                       "a count's level n/4, all yellow from 1020 on), cycle (the palette's "
                       "entries count by count, so that deep counts keep changing colour) or "
                       "smooth (the palette followed by a continuous count, without bands)."),
        QStringLiteral("MODE")};
    QCommandLineOption palette{
        QStringLiteral("palette"),
        QStringLiteral("With --colour cycle or smooth: %1 (default %2), a .map file (a line "
                       "of red, green and blue, 0 to 255 each, a colour, at most 256 "
                       "colours), or the colours a picture's Palette entry holds.")
            .arg(QString::fromStdString(paletteNames()), QLatin1String(defaultPaletteName)),
        QStringLiteral("NAME|FILE")};
    QCommandLineOption density{
        QStringLiteral("density"),
        QStringLiteral("With --colour cycle or smooth: the palette entries a count moves on by, a "
                       "number above 0 (default 1)."),
        QStringLiteral("D")};
    QCommandLineOption offset{
        QStringLiteral("offset"),
        QStringLiteral("With --colour cycle or smooth: the palette entry count 0 is at, any "
                       "number (default 0)."),
        QStringLiteral("O")};
    QCommandLineOption rows{
        QStringLiteral("rows"),
        QStringLiteral("With --render: draws only the rows I to J of the picture, counted from 0, "
                       "into a part of its PNG in OUT, a folder (made if missing), so that "
                       "several machines can share a poster; --parts joins the parts."),
        QStringLiteral("I-J")};
    QCommandLineOption parts{
        QStringLiteral("parts"),
        QStringLiteral("With --render: writes OUT from the parts --rows made in the folder DIR, "
                       "nothing drawn or compressed again: byte for byte the PNG one --render "
                       "makes in one go."),
        QStringLiteral("DIR")};
    QCommandLineOption quiet{
        QStringLiteral("quiet"),
        QStringLiteral("With --render or --movie: no progress line on a terminal.")};
    QCommandLineOption display = hiddenOption(QStringLiteral("display"));
    QCommandLineOption movie{
        QStringLiteral("movie"),
        QStringLiteral("Draws a zoom movie from the view --from to the view --to and exits, "
                       "with no window and no display. OUT is a folder, which gets one PNG "
                       "a frame, or a video file ending in %1, made by ffmpeg.")
            .arg(QLatin1String(videoSuffixes)),
        QStringLiteral("OUT")};
    QCommandLineOption from{
        QStringLiteral("from"),
        QStringLiteral("With --movie: the first frame's view, as with --view, or a picture "
                       "saved by Quenthar (default: the starting view)."),
        QStringLiteral("A")};
    QCommandLineOption to{
        QStringLiteral("to"),
        QStringLiteral("With --movie: the last frame's view, or a picture saved by Quenthar."),
        QStringLiteral("B")};
    QCommandLineOption fps{
        QStringLiteral("fps"),
        QStringLiteral("With --movie: frames a second, above 0 and up to %1 (default: 30).")
            .arg(MovieJob::largestFps),
        QStringLiteral("F")};
    QCommandLineOption seconds{
        QStringLiteral("seconds"),
        QStringLiteral("With --movie: the movie's length in seconds (default: 10)."),
        QStringLiteral("S")};
    QCommandLineOption frames{
        QStringLiteral("frames"),
        QStringLiteral("With --movie: the number of frames, 2 to %1, instead of --seconds. "
                       "With --frames-from: the number the folder must hold.")
            .arg(MovieJob::largestFrames),
        QStringLiteral("N")};
    QCommandLineOption frameRange{
        QStringLiteral("frame-range"),
        QStringLiteral("With --movie and a folder: renders only the frames I to J, "
                       "counted from 0, so that several machines can share a movie."),
        QStringLiteral("I-J")};
    QCommandLineOption framesFrom{
        QStringLiteral("frames-from"),
        QStringLiteral("With --movie and a video: joins the frames in the folder DIR, "
                       "made by --movie, instead of rendering them; with --to, "
                       "--frames or --size, they must be that movie's."),
        QStringLiteral("DIR")};
    QCommandLineOption check{
        QStringLiteral("check"),
        QStringLiteral("With --movie or --render: checks the options, OUT and the frames "
                       "there, draws nothing, and prints the movie's or the picture's options "
                       "in full, one a line, views as numbers.")};
};

// "--" and the option's first name.
QString optionName(const QCommandLineOption& option);

// The option of the help whose name is nearest to name, a typing slip away
// (a letter or two left out, added, changed or swapped with its neighbour),
// as "--render"; or empty.
QString nearestOption(const Options& options, const QString& name);

// What is wrong with a command line, in one line, and whether the hint to
// try --help belongs to it.
struct OptionError {
    QString text;
    bool usage = false;
};
inline OptionError usageError(const QString& text)
{
    return {text, true};
}
using OptionCheck = std::optional<OptionError>;

// A view given to option (--view, --from, --to): four numbers, or a picture
// saved by Quenthar, drawable on columns x rows pixels. Text with no comma,
// or the name of a file that exists, is a picture.
OptionCheck readViewValue(const QCommandLineOption& option, const QString& text, int columns,
                          int rows, View& view, std::optional<PictureView>* picture = nullptr);

// The file or folder name given to option, which takes what it names (e.g.
// "the name of the file to write"): refused if empty, if it begins with '-'
// (an option whose name was left out before it), or if it is longer than
// the system takes, before anything looks at it.
OptionCheck readName(const QCommandLineParser& parser, const QCommandLineOption& option,
                     const char* takes, QString& name);

// The view with --view, or of a picture given as FILE, if either is,
// drawable on columns x rows pixels.
OptionCheck readViewOrFile(const QCommandLineParser& parser, const Options& options, int columns,
                           int rows, std::optional<View>& view,
                           std::optional<PictureView>* picture = nullptr);

// --size, if given, into size, each side at most largest; --stretch only
// with it.
OptionCheck readSize(const QCommandLineParser& parser, const Options& options, int largest,
                     QSize& size);
// The view drawn on size: with --size, widened to its shape unless
// --stretch, each pixel pixelShape times as wide as high in the plane;
// refused if it cannot be drawn then.
OptionCheck fitView(const QCommandLineParser& parser, const Options& options, QSize size,
                    View& view, double pixelShape = 1);

// --samples, if given, into samples.
OptionCheck readSamples(const QCommandLineParser& parser, const Options& options, int& samples);

// Refuses the first of options that is given, as one that applies only with
// what the mode lacks (e.g. "--movie").
OptionCheck refuseOptions(const QCommandLineParser& parser,
                          const QList<const QCommandLineOption*>& options, const char* only);
