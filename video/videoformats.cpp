#include "videoformats.h"

#include <QFileInfo>

namespace {

bool isWebm(const QString& fileName)
{
    return videoSuffix(fileName) == QLatin1String("webm");
}

// The largest frames of the codecs' highest level (6.2), which players are
// made for: H.264 counts blocks of 16 x 16 pixels, VP9 pixels and sides.
constexpr qint64 mostH264Blocks = 139264;
constexpr qint64 mostVp9Pixels = 35651584;
constexpr int longestVp9Side = 16384;

} // namespace

QString videoSuffix(const QString& fileName)
{
    return QFileInfo(fileName).suffix().toLower();
}

bool isVideo(const QString& fileName)
{
    const QString suffix = videoSuffix(fileName);
    return suffix == QLatin1String("mp4") || suffix == QLatin1String("mkv") ||
           suffix == QLatin1String("webm");
}

std::optional<QString> videoSizeRefusal(const QString& fileName, int width, int height)
{
    const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
    // A video is encoded as 4:2:0, whose colours cover two pixels each way.
    if (width % 2 != 0 || height % 2 != 0)
        return QStringLiteral("a video's width and height must be even, not %1").arg(size);
    if (isWebm(fileName)) {
        if (qint64(width) * height <= mostVp9Pixels && width <= longestVp9Side &&
            height <= longestVp9Side)
            return std::nullopt;
        return QStringLiteral("a VP9 video's frames hold at most %L1 pixels, %2 a side (8192x4352, "
                              "say), not %3")
            .arg(mostVp9Pixels)
            .arg(longestVp9Side)
            .arg(size);
    }
    if (qint64((width + 15) / 16) * ((height + 15) / 16) <= mostH264Blocks)
        return std::nullopt;
    return QStringLiteral("an H.264 video's frames hold at most %L1 blocks of 16x16 pixels "
                          "(8192x4352, say), not %2")
        .arg(mostH264Blocks)
        .arg(size);
}
