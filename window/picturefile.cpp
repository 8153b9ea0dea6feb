// Saving the picture to a file and copying it to the clipboard.
#include "picturefile.h"

#include "viewtext.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QSaveFile>
#include <QStandardPaths>

namespace picturefile {

namespace {

QImage withTexts(const QImage& image, const View& view, bool finished)
{
    QImage picture = image;
    for (const PictureText& text : pictureTexts(view, finished))
        picture.setText(QString::fromLatin1(text.key), QString::fromStdString(text.value));
    return picture;
}

} // namespace

QString startFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return pictures;
    return QDir::homePath();
}

QString proposedName(const View& view)
{
    return QStringLiteral("quenthar_%1.png").arg(QString::fromStdString(formatView(view)));
}

QString askFileName(QWidget* parent, const View& view)
{
    QFileDialog dialog(parent, QStringLiteral("Shrani sliko"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(
        {QStringLiteral("Slike PNG (*.png)"), QStringLiteral("Vse datoteke (*)")});
    dialog.setDefaultSuffix(QStringLiteral("png"));
    dialog.setDirectory(startFolder());
    dialog.selectFile(proposedName(view));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString write(const QImage& image, const View& view, bool finished, const QString& fileName)
{
    const QByteArray suffix = QFileInfo(fileName).suffix().toLower().toUtf8();
    const QByteArray format = suffix.isEmpty() ? QByteArrayLiteral("png") : suffix;
    const QList<QByteArray> formats = QImageWriter::supportedImageFormats();
    if (!formats.contains(format))
        return QStringLiteral("končnica ».%1« ne pove znane vrste slike; znane so: %2.")
            .arg(QString::fromUtf8(suffix), QString::fromLatin1(formats.join(", ")));

    const QImage picture = withTexts(image, view, finished);

    // The whole file is made in memory first: a write to the file that
    // stops short (a full disk, a size limit) then shows as a short count or
    // a failed flush, which QSaveFile alone lets through to a commit of a
    // cut-off file.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(picture))
        return writer.errorString();

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // A write cut short tells no reason; a full disk at its start does.
        const QString reason =
            file.error() == QFileDevice::ResourceError
                ? file.errorString()
                : QStringLiteral("datoteka ni bila zapisana do konca (je disk poln?)");
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

void copy(const QImage& image, const View& view, bool finished)
{
    auto* data = new QMimeData;
    data->setImageData(withTexts(image, view, finished));
    data->setText(QString::fromStdString(formatView(view)));
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace picturefile
