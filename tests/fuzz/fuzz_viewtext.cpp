// Feeds arbitrary bytes to parseView, as a saved picture's View entry or
// --view gives them, at the window's size, the smallest and a larger one than
// any render, and checks what it promises. An accepted view is four numbers
// with no spaces, finite edges, positive extents and finite scales, and
// formats as text that reads back as the very same doubles. A refused one
// names a field that is the text's field, and its reason is one line but for
// the line breaks of that field.
#include "picturescan.h"
#include "viewmath.h"
#include "viewtext.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

void check(bool promise, const char* what, std::string_view text)
{
    if (promise)
        return;
    std::fprintf(stderr, "parseView(%zu bytes) breaks its promise: %s\n", text.size(), what);
    __builtin_trap();
}

// The field-th comma-separated field of text.
std::string_view field(std::string_view text, int field)
{
    for (; field > 0; --field)
        text.remove_prefix(text.find(',') + 1);
    return text.substr(0, text.find(','));
}

void checkAt(std::string_view text, int columns, int rows)
{
    const ViewParse parse = parseView(text, columns, rows);
    const bool fourFields = std::count(text.begin(), text.end(), ',') == 3;
    if (parse.ok()) {
        const View& view = parse.view;
        check(fourFields && text.find_first_not_of("0123456789.eE+-,") == text.npos,
              "accepted text that is not four plain numbers", text);
        // Some of what drawing it needs, worked out apart from the rule: finite
        // scales and far edges, and the pixels at either end of each axis
        // apart from their neighbours.
        const Scales scales = scalesOf(view, columns, rows);
        const auto apart = [](double scale, double edge, int size) {
            const auto at = [&](int i) { return i / scale + edge; };
            return size < 2 || (at(0) != at(1) && at(size - 2) != at(size - 1));
        };
        check(std::isfinite(view.viewLeft) && std::isfinite(view.viewTop) && view.viewWidth > 0 &&
                  view.viewHeight > 0 && std::isfinite(scales.x) && std::isfinite(scales.y) &&
                  std::isfinite(view.viewLeft + view.viewWidth) &&
                  std::isfinite(view.viewTop + view.viewHeight) &&
                  apart(scales.x, view.viewLeft, columns) && apart(scales.y, view.viewTop, rows),
              "accepted a view that cannot be drawn", text);
        const ViewParse again = parseView(formatView(view), columns, rows);
        check(again.ok() && std::memcmp(&again.view, &view, sizeof view) == 0,
              "formatted view does not read back as the same bits", text);
        return;
    }
    check((parse.error == ViewError::count) == !fourFields, "miscounted the fields", text);
    check(parse.error == ViewError::count
              ? parse.field == -1
              : parse.field >= 0 && parse.field < 4 && parse.fieldText == field(text, parse.field),
          "names a field that is not the text's", text);
    const std::string reason = parse.reason();
    check(!reason.empty() && std::count(reason.begin(), reason.end(), '\n') ==
                                 std::count(parse.fieldText.begin(), parse.fieldText.end(), '\n'),
          "gives a reason of more than one line", text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkAt(text, picture::columns, picture::rows);
    checkAt(text, 1, 1);
    checkAt(text, 65535, 65535);
    return 0;
}
