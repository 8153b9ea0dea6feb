// What the keys, the wheel and the extra mouse buttons do to the picture that
// stands: save and copy it, step back and forward through the views drawn,
// zoom by steps; and showing a view given from outside: from the command line
// or a saved picture opened.
#include "form1.h"

#include "picturebox.h"
#include "picturefile.h"
#include "pictureopen.h"
#include "viewkeys.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>

namespace {

// A failure of a file, shown as it is: a file's name is no markup.
void showFileError(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Napaka"), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

void Form1::connectViewKeys()
{
    auto* keys = new ViewKeys(this, pb, [this] { return pictureStands(); });
    connect(keys, &ViewKeys::saveRequested, this, &Form1::savePicture);
    connect(keys, &ViewKeys::copyRequested, this, &Form1::copyPicture);
    connect(keys, &ViewKeys::backRequested, this, &Form1::backView);
    connect(keys, &ViewKeys::forwardRequested, this, &Form1::forwardView);
    connect(keys, &ViewKeys::zoomRequested, this, &Form1::zoomStep);
    connect(keys, &ViewKeys::openRequested, this, &Form1::openPicture);
}

void Form1::showView(const View& view)
{
    // "Začni risati" is enabled exactly when no pass runs.
    if (!draw->isEnabled())
        return;
    m_view = view;
    draw_Click();
}

void Form1::savePicture()
{
    if (!pictureStands())
        return;
    const QString fileName = picturefile::askFileName(this, m_view);
    if (!fileName.isEmpty())
        savePictureAs(fileName);
}

bool Form1::savePictureAs(const QString& fileName)
{
    if (!pictureStands())
        return false;
    const QString reason =
        picturefile::write(backupPic->image(), m_view, m_pictureFinished, fileName);
    if (reason.isEmpty())
        return true;
    showFileError(this, QStringLiteral("Slike ni bilo mogoče shraniti v »%1«:\n%2")
                            .arg(QDir::toNativeSeparators(fileName), reason));
    return false;
}

void Form1::copyPicture()
{
    if (pictureStands())
        picturefile::copy(backupPic->image(), m_view, m_pictureFinished);
}

// The list's neighbour is drawn as any view is; being the current entry
// already, it adds nothing to the list.
void Form1::backView()
{
    if (!pictureStands())
        return;
    if (const auto view = m_history.back())
        showView(*view);
}

void Form1::forwardView()
{
    if (!pictureStands())
        return;
    if (const auto view = m_history.forward())
        showView(*view);
}

void Form1::zoomStep(bool zoomIn, QPointF at)
{
    if (!pictureStands())
        return;
    const float width = pb->scaleWidth();
    const float height = pb->scaleHeight();
    const auto corners = zoomStepCorners(float(at.x()), float(at.y()), zoomIn, width, height);
    if (!corners) {
        refuseSelection(pointTooFarText);
        return;
    }
    const Zoom zoom =
        zoomInto(m_view, corners->x1, corners->y1, corners->x2, corners->y2, width, height);
    if (zoom.outcome != Zoom::Outcome::zoomed) {
        refuseSelection(refusalText(zoom.outcome));
        return;
    }
    showView(zoom.view);
}

// A picture stands, or nothing has been drawn yet (a stopped pass leaves a
// picture standing); and no pass runs, "Začni risati" being enabled exactly
// then.
bool Form1::mayOpen() const
{
    return (pictureStands() || sel.mode == Selection::stopped) && draw->isEnabled();
}

void Form1::openPicture()
{
    if (!mayOpen())
        return;
    const QString fileName = pictureopen::askFileName(this);
    if (!fileName.isEmpty())
        openPictureFile(fileName);
}

bool Form1::openPictureFile(const QString& fileName)
{
    if (!mayOpen())
        return false;
    const PictureView picture = readPictureView(fileName);
    if (!picture.ok()) {
        showFileError(this, pictureopen::refusalText(picture));
        return false;
    }
    showView(picture.view);
    return true;
}
