#include "colouroptions.h"

#include "colourtexts.h"
#include "localfiles.h"
#include "optionvalues.h"
#include "outsidetext.h"

#include <QCommandLineParser>

#include <limits>

namespace {

// A number of the option, finite and within the range the test allows.
OptionCheck readNumber(const QCommandLineParser& parser, const QCommandLineOption& option,
                       bool positive, const char* what, double& number)
{
    if (!parser.isSet(option))
        return std::nullopt;
    const QString text = parser.value(option);
    const std::optional<double> value =
        positive ? positiveNumber(text, std::numeric_limits<double>::max()) : finiteNumber(text);
    if (!value)
        return usageError(QStringLiteral("%1 takes %2, not '%3'")
                              .arg(optionName(option), QLatin1String(what), shownText(text)));
    number = *value;
    return std::nullopt;
}

// --palette: a built-in's name, the colours a picture records, or a .map
// file.
OptionCheck readPalette(const QCommandLineParser& parser, const Options& options, Palette& palette)
{
    if (!parser.isSet(options.palette))
        return std::nullopt;
    const QString text = parser.value(options.palette);
    if (std::optional<Palette> named = paletteOfText(text.toStdString())) {
        palette = *named;
        return std::nullopt;
    }
    if (fileKind(text) == FileKind::missing)
        return usageError(QStringLiteral("--palette takes %1, a .map file or a picture's colours, "
                                         "and '%2' is none of them")
                              .arg(QString::fromStdString(paletteNames()), shownText(text)));
    const PaletteRead read = readMapFile(fileNameToBytes(text).constData());
    if (!read.palette)
        return OptionError{QStringLiteral("cannot read '%1': %2")
                               .arg(shownText(text), QString::fromStdString(read.refusal))};
    palette = *read.palette;
    return std::nullopt;
}

} // namespace

OptionCheck readColouring(const QCommandLineParser& parser, const Options& options,
                          ColourChoice& colour, bool& given)
{
    given = false;
    for (const QCommandLineOption* option : options.colourOwn())
        given = given || parser.isSet(*option);
    if (parser.isSet(options.iterations)) {
        const std::optional<int> cap = wholeNumber(parser.value(options.iterations), 1, maxLaneCap);
        if (!cap)
            return usageError(QStringLiteral("--iterations takes a whole number from 1 to %1, "
                                             "not '%2'")
                                  .arg(maxLaneCap)
                                  .arg(shownText(parser.value(options.iterations))));
        colour.cap = *cap;
    }
    if (parser.isSet(options.colour)) {
        const std::optional<ColourMode> mode =
            colourModeNamed(parser.value(options.colour).toStdString());
        if (!mode)
            return usageError(QStringLiteral("--colour takes ramp, cycle or smooth, not '%1'")
                                  .arg(shownText(parser.value(options.colour))));
        colour.mode = *mode;
    }
    if (colour.mode == ColourMode::ramp)
        if (const OptionCheck error =
                refuseOptions(parser, {&options.palette, &options.density, &options.offset},
                              "--colour cycle or smooth"))
            return error;
    if (const OptionCheck error = readPalette(parser, options, colour.palette))
        return error;
    if (const OptionCheck error =
            readNumber(parser, options.density, true, "a number above 0", colour.density))
        return error;
    if (const OptionCheck error =
            readNumber(parser, options.offset, false, "a number", colour.offset))
        return error;
    const std::string fault = choiceFault(colour);
    if (!fault.empty())
        return usageError(QString::fromStdString(fault));
    return std::nullopt;
}

OptionCheck recordedSamples(const PictureView& picture, int& samples)
{
    const auto found = picture.recorded.find(samplesKey);
    if (found == picture.recorded.end())
        return std::nullopt;
    const std::optional<int> value =
        wholeNumber(QString::fromStdString(found->second), 1, RenderJob::mostSamples);
    if (!value)
        return OptionError{QStringLiteral("the samples '%1' records are not a number of samples: "
                                          "'%2'")
                               .arg(shownText(picture.fileName),
                                    shownText(QString::fromStdString(found->second)))};
    samples = *value;
    return std::nullopt;
}

OptionCheck recordedColouring(const QString& fileName,
                              const std::map<std::string, std::string>& recorded,
                              ColourChoice& colour)
{
    std::vector<PictureText> texts;
    for (const auto& [key, value] : recorded)
        for (const char* known : {iterationsKey, colourKey, paletteKey, densityKey, offsetKey})
            if (key == known)
                texts.push_back({known, value});
    const ColourTextsParse parse = parseColourTexts(texts);
    if (!parse.ok())
        return OptionError{QStringLiteral("the colouring '%1' records is not one: %2")
                               .arg(shownText(fileName), QString::fromStdString(parse.refusal))};
    colour = parse.choice;
    return std::nullopt;
}
