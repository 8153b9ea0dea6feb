#include "moviejob.h"

#include "colourtexts.h"
#include "viewtext.h"

#include <string>

QString MovieJob::optionLines() const
{
    QString lines;
    const auto line = [&lines](const char* name, const std::string& value) {
        lines +=
            QStringLiteral("--%1=%2\n").arg(QLatin1String(name), QString::fromStdString(value));
    };
    if (framesFrom.isEmpty() || viewsGiven) {
        line("from", formatView(from));
        line("to", formatView(to));
    }
    if (framesFrom.isEmpty() || sizeGiven)
        line("size", std::to_string(width) + 'x' + std::to_string(height));
    if (stretch)
        lines += QStringLiteral("--stretch\n");
    if (samples > 1)
        line("samples", std::to_string(samples));
    // The colouring as a picture records it, each entry its option.
    for (const PictureText& text : colourTexts(colour))
        line(QString::fromLatin1(text.key).toLower().toLatin1().constData(), text.value);
    line("fps", formatNumber(fps));
    if (framesFrom.isEmpty() || framesGiven)
        line("frames", std::to_string(frames));
    return lines;
}
