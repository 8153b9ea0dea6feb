#include "viewtext.h"

#include "quenthar_version.h"
#include "viewmath.h"

#include <charconv>
#include <system_error>

namespace {

const char* const fieldNames[] = {"left edge", "top edge", "width", "height"};

} // namespace

std::string formatNumber(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string formatView(const View& view)
{
    return formatNumber(view.viewLeft) + ',' + formatNumber(view.viewTop) + ',' +
           formatNumber(view.viewWidth) + ',' + formatNumber(view.viewHeight);
}

std::string ViewParse::reason() const
{
    const std::string field =
        this->field >= 0 && this->field < 4 ? std::string(fieldNames[this->field]) : "view";
    const std::string quoted = "'" + fieldText + "'";
    const std::string size = std::to_string(columns) + "x" + std::to_string(rows) + " pixels";
    switch (error) {
    case ViewError::none:
        break;
    case ViewError::count:
        return "a view is four numbers, LEFT,TOP,WIDTH,HEIGHT";
    case ViewError::notNumber:
        return "the " + field + " " + quoted + " is not a number";
    case ViewError::outOfRange:
        return "the " + field + " " + quoted + " is beyond the range of a double";
    case ViewError::edgeNotFinite:
        return "the " + field + " " + quoted + " is not a finite number";
    case ViewError::extentNotPositive:
        return "the " + field + " " + quoted + " is not a positive finite number";
    case ViewError::extentTooSmall:
        return "the " + field + " " + quoted + " is too small to be drawn on " + size;
    case ViewError::farEdgeOverflows:
        return "the " + field + " " + quoted + " takes the " +
               (this->field == 2 ? "right" : "bottom") + " edge beyond the range of a double";
    case ViewError::belowPrecision:
        return "the " + field + " " + quoted + " is too small beside the " +
               fieldNames[this->field - 2] + " " +
               formatNumber(this->field == 2 ? view.viewLeft : view.viewTop) + " to be drawn on " +
               size + ": neighbouring pixels would get the same coordinates";
    }
    return {};
}

ViewParse parseView(std::string_view text, int columns, int rows)
{
    ViewParse parse;
    parse.columns = columns;
    parse.rows = rows;
    std::string_view fields[4];
    size_t count = 0;
    for (size_t start = 0;;) {
        const size_t comma = text.find(',', start);
        if (count < 4)
            fields[count] = text.substr(start, comma == text.npos ? text.npos : comma - start);
        ++count;
        if (comma == text.npos)
            break;
        start = comma + 1;
    }
    if (count != 4) {
        parse.error = ViewError::count;
        return parse;
    }

    double values[4] = {};
    for (int i = 0; i < 4; ++i) {
        const std::string_view field = fields[i];
        const auto result = std::from_chars(field.data(), field.data() + field.size(), values[i]);
        if (result.ec == std::errc::invalid_argument || result.ptr != field.data() + field.size())
            parse.error = ViewError::notNumber;
        else if (result.ec == std::errc::result_out_of_range)
            parse.error = ViewError::outOfRange;
        if (!parse.ok()) {
            parse.field = i;
            parse.fieldText = std::string(field);
            return parse;
        }
    }
    parse.view = View{values[0], values[1], values[2], values[3]};
    const ViewFault fault = viewFault(parse.view, columns, rows);
    switch (fault.kind) {
    case ViewFault::Kind::none:
        return parse;
    case ViewFault::Kind::edgeNotFinite:
        parse.error = ViewError::edgeNotFinite;
        break;
    case ViewFault::Kind::extentNotPositive:
        parse.error = ViewError::extentNotPositive;
        break;
    case ViewFault::Kind::scaleOverflows:
        parse.error = ViewError::extentTooSmall;
        break;
    case ViewFault::Kind::edgeOverflows:
        parse.error = ViewError::farEdgeOverflows;
        break;
    case ViewFault::Kind::pixelsMerge:
        parse.error = ViewError::belowPrecision;
        break;
    }
    // The fields are the edges, then the extents, each on the real axis first.
    parse.field = fault.kind == ViewFault::Kind::edgeNotFinite ? fault.axis : 2 + fault.axis;
    parse.fieldText = std::string(fields[parse.field]);
    return parse;
}

std::vector<PictureText> pictureTexts(const View& view, bool finished)
{
    const std::string numbers =
        "left " + formatNumber(view.viewLeft) + ", top " + formatNumber(view.viewTop) + ", width " +
        formatNumber(view.viewWidth) + ", height " + formatNumber(view.viewHeight);
    std::string title = "Julia set of z^2 + c, c = -0.54 + 0.58i";
    std::string description = "The Julia set of z -> z^2 + c for c = -0.54 + 0.58i over the view " +
                              numbers +
                              " (the imaginary part grows downwards), coloured by escape time.";
    if (!finished) {
        title += " (unfinished)";
        description += " Unfinished: " + std::string(unfinishedText) + '.';
    }
    std::vector<PictureText> texts = {
        {"Software", "Quenthar " QUENTHAR_VERSION},
        {viewKey, formatView(view)},
        {"Title", title},
        {"Description", description},
    };
    if (!finished)
        texts.push_back({unfinishedKey, unfinishedText});
    return texts;
}
