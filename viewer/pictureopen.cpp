#include "pictureopen.h"

#include "viewtext.h"

#include <QFile>
#include <QImageReader>

PictureView viewFromPicture(const QString& path, int columns, int rows)
{
    const QString name = QStringLiteral("'%1'").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("cannot read %1: %2").arg(name, file.errorString())};
    QImageReader reader(&file);
    if (!reader.canRead())
        return {std::nullopt, QStringLiteral("%1 is not an image").arg(name)};
    const QString text = reader.text(QString::fromLatin1(viewKey));
    if (text.isEmpty())
        return {std::nullopt, QStringLiteral("%1 holds no view: it is not a picture saved by "
                                             "Quenthar")
                                  .arg(name)};
    const ViewParse parse = parseView(text.toStdString(), columns, rows);
    if (!parse.ok())
        return {std::nullopt, QStringLiteral("the view '%1' of %2 is wrong: %3")
                                  .arg(text, name, QString::fromStdString(parse.reason()))};
    return {parse.view, {}};
}
