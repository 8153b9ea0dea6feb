// What the window says of a picture whose view it cannot open.
#include "pictureopen.h"

#include "outsidetext.h"

#include <QDir>

namespace pictureopen {

QString refusalText(const PictureView& picture)
{
    QString why;
    switch (picture.fault) {
    case picture::Fault::none:
        return {};
    case picture::Fault::unreadable:
        why = QStringLiteral("datoteke ni mogoče prebrati: %1").arg(shownText(picture.detail));
        break;
    case picture::Fault::folder:
        why = QStringLiteral("datoteke ni mogoče prebrati: to je mapa.");
        break;
    case picture::Fault::notRegularFile:
        why = QStringLiteral("datoteke ni mogoče prebrati: to ni navadna datoteka.");
        break;
    case picture::Fault::notPicture:
        why = QStringLiteral("datoteka ni slika PNG ali JPEG.");
        break;
    case picture::Fault::damaged:
        why = QStringLiteral("slike ni mogoče prebrati: %1").arg(shownText(picture.detail));
        break;
    case picture::Fault::noView:
        why = QStringLiteral("v sliki ni zapisanega pogleda; to ni slika, ki jo je shranil "
                             "Quenthar.");
        break;
    case picture::Fault::viewTooLong:
        why = QStringLiteral("zapisani pogled je predolg, da bi bil pogled.");
        break;
    case picture::Fault::badView:
        why = QStringLiteral("zapisanega pogleda »%1« ni mogoče narisati.")
                  .arg(shownText(picture.detail));
        break;
    }
    return QStringLiteral("Pogleda iz »%1« ni mogoče odpreti:\n%2")
        .arg(QDir::toNativeSeparators(picture.shownFileName()), why);
}

} // namespace pictureopen
