#include "optionvalues.h"

#include <charconv>
#include <cmath>

namespace {

// text as a number of type T, with nothing else around it.
template <typename T> std::optional<T> numberFrom(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    T value{};
    const auto [end, error] =
        std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (bytes.isEmpty() || error != std::errc() || end != bytes.constData() + bytes.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<int> wholeNumber(const QString& text, int first, int last)
{
    const std::optional<int> value = numberFrom<int>(text);
    return value && *value >= first && *value <= last ? value : std::nullopt;
}

std::optional<double> positiveNumber(const QString& text, double last)
{
    const std::optional<double> value = numberFrom<double>(text);
    return value && *value > 0 && *value <= last ? value : std::nullopt;
}

std::optional<double> finiteNumber(const QString& text)
{
    const std::optional<double> value = numberFrom<double>(text);
    return value && std::isfinite(*value) ? value : std::nullopt;
}

std::optional<QSize> sizeValue(const QString& text, int largest)
{
    const qsizetype x = text.indexOf(QLatin1Char('x'), 0, Qt::CaseInsensitive);
    if (x < 0)
        return std::nullopt;
    const std::optional<int> width = wholeNumber(text.left(x), 1, largest);
    const std::optional<int> height = wholeNumber(text.mid(x + 1), 1, largest);
    if (!width || !height)
        return std::nullopt;
    return QSize(*width, *height);
}
