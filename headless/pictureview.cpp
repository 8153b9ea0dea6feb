#include "pictureview.h"

#include "localfiles.h"
#include "outsidetext.h"
#include "picturetext.h"

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
    const QString name = QStringLiteral("'%1'").arg(shownFileName());
    switch (failure) {
    case Failure::none:
        break;
    case Failure::unreadable:
        return QStringLiteral("cannot read %1: %2").arg(name, shownText(detail));
    case Failure::folder:
        return QStringLiteral("cannot read %1: it is a folder").arg(name);
    case Failure::notRegularFile:
        return QStringLiteral("cannot read %1: it is not a regular file").arg(name);
    case Failure::notImage:
        return QStringLiteral("%1 is not a PNG or JPEG image").arg(name);
    case Failure::damaged:
        return QStringLiteral("%1 cannot be read as a picture: %2").arg(name, shownText(detail));
    case Failure::noView:
        return QStringLiteral("%1 holds no view: it is not a picture saved by Quenthar").arg(name);
    case Failure::viewTooLong:
        return QStringLiteral("the view of %1 is too long to be a view: %2 bytes")
            .arg(name)
            .arg(textLength);
    case Failure::badView: {
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

PictureView readPictureView(const QString& fileName, int columns, int rows)
{
    using picturetext::Outcome;
    PictureView result;
    result.fileName = fileName;
    const auto fail = [&result](PictureView::Failure failure, const QString& detail = {}) {
        result.failure = failure;
        result.detail = detail;
        return result;
    };
    const QByteArray path = fileNameToBytes(fileName);
    if (path.contains('\0'))
        return fail(PictureView::Failure::unreadable, systemError(EINVAL));
    const picturetext::Result read = picturetext::readViewText(path.constData());
    switch (read.outcome) {
    case Outcome::found:
        break;
    case Outcome::unreadable:
        return fail(PictureView::Failure::unreadable, systemError(read.error));
    case Outcome::folder:
        return fail(PictureView::Failure::folder);
    case Outcome::notRegularFile:
        return fail(PictureView::Failure::notRegularFile);
    case Outcome::notPicture:
        return fail(PictureView::Failure::notImage);
    case Outcome::damaged:
        return fail(PictureView::Failure::damaged, QString::fromStdString(read.detail));
    case Outcome::noView:
        return fail(PictureView::Failure::noView);
    case Outcome::tooLong:
        result.textLength = qsizetype(read.length);
        return fail(PictureView::Failure::viewTooLong);
    }
    result.parse = parseView(read.text, columns, rows);
    if (!result.parse.ok())
        return fail(PictureView::Failure::badView, read.encoding == picturetext::Encoding::latin1
                                                       ? QString::fromLatin1(read.text)
                                                       : fileNameFromBytes(read.text));
    result.view = result.parse.view;
    return result;
}
