#include "pictureview.h"

#include <QFile>
#include <QImageReader>

QString PictureView::reason() const
{
    const QString name = QStringLiteral("'%1'").arg(fileName);
    switch (failure) {
    case Failure::none:
        break;
    case Failure::unreadable:
        return QStringLiteral("cannot read %1: %2").arg(name, detail);
    case Failure::notImage:
        return QStringLiteral("%1 is not an image").arg(name);
    case Failure::noView:
        return QStringLiteral("%1 holds no view: it is not a picture saved by Quenthar").arg(name);
    case Failure::badView:
        return QStringLiteral("the view '%1' of %2 is wrong: %3")
            .arg(detail, name, QString::fromStdString(parse.reason()));
    }
    return {};
}

PictureView readPictureView(const QString& fileName, int columns, int rows)
{
    PictureView result;
    result.fileName = fileName;
    const auto fail = [&result](PictureView::Failure failure, const QString& detail = {}) {
        result.failure = failure;
        result.detail = detail;
        return result;
    };
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(PictureView::Failure::unreadable, file.errorString());
    QImageReader reader(&file);
    if (!reader.canRead())
        return fail(PictureView::Failure::notImage);
    const QString text = reader.text(QString::fromLatin1(viewKey));
    if (text.isEmpty())
        return fail(PictureView::Failure::noView);
    result.parse = parseView(text.toStdString(), columns, rows);
    if (!result.parse.ok())
        return fail(PictureView::Failure::badView, text);
    result.view = result.parse.view;
    return result;
}
