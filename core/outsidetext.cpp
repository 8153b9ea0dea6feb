#include "outsidetext.h"

namespace {

constexpr char16_t escapedByteBase = 0xdc00;

// The length of the valid UTF-8 sequence at bytes[i], or 0 if there is none:
// no overlong form, no surrogate, nothing beyond U+10FFFF.
qsizetype validSequence(QByteArrayView bytes, qsizetype i)
{
    const auto at = [&](qsizetype k) { return uint8_t(bytes[k]); };
    const uint8_t lead = at(i);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    uint8_t low = 0x80, high = 0xbf; // the range of the second byte
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (i + length > bytes.size() || at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (qsizetype k = 2; k < length; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xbf)
            return 0;
    return length;
}

bool isEscapedByte(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    return c >= escapedByteBase + 0x80 && c <= escapedByteBase + 0xff &&
           !(i > 0 && text[i - 1].isHighSurrogate());
}

} // namespace

QString fileNameFromBytes(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    qsizetype run = 0; // start of the valid run not yet decoded
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = validSequence(bytes, i);
        if (length > 0) {
            i += length;
            continue;
        }
        name += QString::fromUtf8(bytes.sliced(run, i - run));
        name += QChar(char16_t(escapedByteBase + uint8_t(bytes[i])));
        run = ++i;
    }
    name += QString::fromUtf8(bytes.sliced(run));
    return name;
}

QByteArray fileNameToBytes(QStringView name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype run = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isEscapedByte(name, i))
            continue;
        bytes += name.sliced(run, i - run).toUtf8();
        bytes += char(name[i].unicode() - escapedByteBase);
        run = i + 1;
    }
    bytes += name.sliced(run).toUtf8();
    return bytes;
}

QString shownText(QStringView text, qsizetype maxLength)
{
    static const char hex[] = "0123456789abcdef";
    const QLatin1String ellipsis("...");
    QString shown;
    // Where the text is cut if it turns out too long: after the last whole
    // piece that leaves room for the ellipsis.
    qsizetype cut = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        QString piece;
        if (c == '\n') {
            piece = QStringLiteral("\\n");
        } else if (c == '\t') {
            piece = QStringLiteral("\\t");
        } else if (c == '\\') {
            piece = QStringLiteral("\\\\");
        } else if (c < 0x20 || c == 0x7f) {
            piece = QStringLiteral("\\x") + QChar(hex[c >> 4]) + QChar(hex[c & 0xf]);
        } else if (c >= 0x80 && c < 0xa0) {
            piece = QStringLiteral("\\u00") + QChar(hex[c >> 4]) + QChar(hex[c & 0xf]);
        } else if (isEscapedByte(text, i)) {
            const unsigned byte = c - escapedByteBase;
            piece = QStringLiteral("\\x") + QChar(hex[byte >> 4]) + QChar(hex[byte & 0xf]);
        } else if (text[i].isHighSurrogate() && i + 1 < text.size() &&
                   text[i + 1].isLowSurrogate()) {
            piece = text.sliced(i, 2).toString();
            ++i;
        } else if (text[i].isSurrogate()) {
            piece = QStringLiteral("\\u") + QString::number(c, 16);
        } else {
            piece = QChar(c);
        }
        shown += piece;
        if (shown.size() <= maxLength - ellipsis.size())
            cut = shown.size();
        if (shown.size() > maxLength)
            return shown.left(cut) + ellipsis;
    }
    return shown;
}
