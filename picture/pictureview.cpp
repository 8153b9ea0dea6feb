#include "pictureview.h"

#include "localfiles.h"
#include "outsidetext.h"

#include <cerrno>

namespace {

// A path can be long; it is cut only where it would fill a screen.
constexpr qsizetype longestShownName = 300;

} // namespace

QString PictureView::shownFileName() const
{
    return shownText(fileName, longestShownName);
}

QString PictureView::reason() const
{
    using picture::Fault;
    const QString name = QStringLiteral("'%1'").arg(shownFileName());
    switch (fault) {
    case Fault::none:
        break;
    case Fault::unreadable:
        return QStringLiteral("cannot read %1: %2").arg(name, shownText(detail));
    case Fault::folder:
        return QStringLiteral("cannot read %1: it is a folder").arg(name);
    case Fault::notRegularFile:
        return QStringLiteral("cannot read %1: %2").arg(name, notRegularFile());
    case Fault::notPicture:
        return QStringLiteral("%1 is not a PNG or JPEG image").arg(name);
    case Fault::damaged:
        return QStringLiteral("%1 cannot be read as a picture: %2").arg(name, shownText(detail));
    case Fault::noView:
        return QStringLiteral("%1 holds no view: it is not a picture saved by Quenthar").arg(name);
    case Fault::viewTooLong:
        return QStringLiteral("the view of %1 is too long to be a view: %2 bytes")
            .arg(name)
            .arg(textLength);
    case Fault::badView: {
        // The field at fault is quoted as the rest of the text is.
        ViewParse shown = parse;
        if (parse.field >= 0)
            shown.fieldText =
                shownText(detail.section(QLatin1Char(','), parse.field, parse.field)).toStdString();
        return QStringLiteral("the view '%1' of %2 is wrong: %3")
            .arg(shownText(detail), name, QString::fromStdString(shown.reason()));
    }
    }
    return {};
}

PictureView pictureView(const QString& fileName, const picture::Read& read, int columns, int rows)
{
    using picture::Fault;
    PictureView result;
    result.fileName = fileName;
    result.fault = read.fault;
    result.width = read.width;
    result.height = read.height;
    result.recorded = read.recorded;
    switch (read.fault) {
    case Fault::unreadable:
        result.detail = systemError(read.error);
        return result;
    case Fault::damaged:
        result.detail = QString::fromStdString(read.detail);
        return result;
    case Fault::viewTooLong:
        result.textLength = qsizetype(read.length);
        return result;
    case Fault::none:
    case Fault::badView:
        break;
    default:
        return result;
    }
    result.parse = parseView(read.view, columns, rows);
    if (result.parse.ok()) {
        result.fault = Fault::none;
        result.view = result.parse.view;
    } else {
        result.fault = Fault::badView;
        result.detail = read.encoding == picture::Encoding::latin1 ? QString::fromLatin1(read.view)
                                                                   : fileNameFromBytes(read.view);
    }
    return result;
}

PictureView readPictureView(const QString& fileName, int columns, int rows)
{
    const QByteArray path = fileNameToBytes(fileName);
    picture::Read read;
    if (path.contains('\0')) {
        read.fault = picture::Fault::unreadable;
        read.error = EINVAL;
    } else {
        read = picture::readViewText(path.constData());
    }
    return pictureView(fileName, read, columns, rows);
}
