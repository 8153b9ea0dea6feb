// Saving the picture to a file and copying it to the clipboard.
#include "picturefile.h"

#include "atomicfile.h"
#include "viewtext.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QStandardPaths>

namespace picturefile {

namespace {

// The folder of the file last chosen in a dialog; empty before the first.
QString lastFolder;

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
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir())
        return lastFolder;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return pictures;
    return QDir::homePath();
}

QString proposedName(const QString& folder)
{
    const QDir dir(folder);
    for (int number = 1;; ++number) {
        const QString name = QStringLiteral("quenthar-%1.png").arg(number);
        if (!QFileInfo::exists(dir.filePath(name)))
            return name;
    }
}

namespace {

// The desktop's dialog for a picture to save (PNG first) or open (PNG or
// JPEG, the pictures that hold a view), in startFolder(); a save starts at
// current where its folder is there.
QString askPicture(QWidget* parent, const QString& title, QFileDialog::AcceptMode mode,
                   const QString& current = {})
{
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(mode);
    dialog.setNameFilters({mode == QFileDialog::AcceptSave
                               ? QStringLiteral("Slike PNG (*.png)")
                               : QStringLiteral("Slike (*.png *.jpg *.jpeg)"),
                           QStringLiteral("Vse datoteke (*)")});
    const QFileInfo start(current);
    const bool fromCurrent = !current.isEmpty() && start.absoluteDir().exists();
    const QString folder = fromCurrent ? start.absolutePath() : startFolder();
    dialog.setDirectory(folder);
    if (mode == QFileDialog::AcceptSave) {
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("png"));
        dialog.selectFile(fromCurrent ? start.fileName() : proposedName(folder));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    lastFolder = QFileInfo(chosen).absolutePath();
    return chosen;
}

} // namespace

QString askSaveName(QWidget* parent)
{
    return askPicture(parent, QStringLiteral("Shrani sliko"), QFileDialog::AcceptSave);
}

QString askExportName(QWidget* parent, const QString& current)
{
    return askPicture(parent, QStringLiteral("Izvozi sliko"), QFileDialog::AcceptSave, current);
}

QString askOpenName(QWidget* parent)
{
    return askPicture(parent, QStringLiteral("Odpri sliko"), QFileDialog::AcceptOpen);
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

    // Made in memory first, so that the file is written by one writer that
    // checks every write, the flush and the close.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(picture))
        return writer.errorString();

    AtomicFile file(fileName);
    if (const QString why = open(file); !why.isEmpty())
        return why;
    if (!file.write(bytes.constData(), bytes.size()) || !file.commit())
        return file.errorString();
    return {};
}

QString open(AtomicFile& file)
{
    if (file.writesInPlace())
        return QStringLiteral("to ni navadna datoteka.");
    if (!file.open())
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
