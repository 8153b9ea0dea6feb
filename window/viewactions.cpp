// The window's commands: save, copy and export the picture that stands, step
// back and forward through the views drawn, zoom by steps with the keys and
// the wheel, open a saved picture's view, show the keys; and showing a view
// given from outside.
#include "form1.h"

#include "outsidetext.h"
#include "picturebox.h"
#include "pictureexport.h"
#include "picturefile.h"
#include "pictureopen.h"
#include "picturescan.h"

#include <QAction>
#include <QDir>
#include <QPushButton>

// The commands of Qt's standard keys, and Ctrl+E, which has none, on the
// window whatever has the focus. A disabled command's key goes on to the
// focused control, as if the command were not there: Alt+Left moves the
// picture's cursor while no picture stands, for one.
void Form1::createCommands()
{
    const auto command = [this](auto key, auto slot) {
        auto* action = new QAction(this);
        action->setShortcuts(key);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
        return action;
    };
    saveAction = command(QKeySequence::Save, &Form1::savePicture);
    copyAction = command(QKeySequence::Copy, &Form1::copyPicture);
    exportAction = command(QList<QKeySequence>{Qt::CTRL | Qt::Key_E}, &Form1::exportPicture);
    openAction = command(QKeySequence::Open, &Form1::openPicture);
    backAction = command(QKeySequence::Back, &Form1::backView);
    forwardAction = command(QKeySequence::Forward, &Form1::forwardView);
    zoomInAction = command(QKeySequence::ZoomIn, [this] { zoomByKey(true); });
    zoomOutAction = command(QKeySequence::ZoomOut, [this] { zoomByKey(false); });
    // Always enabled: the box of the keys may show at any time.
    command(QKeySequence::HelpContents, &Form1::showKeys);
    connect(pb, &PictureBox::wheelTurned, this, &Form1::wheelTurned);
    connect(pb, &PictureBox::historyButtonReleased, this, [this](bool forward) {
        if (forward ? forwardAction->isEnabled() : backAction->isEnabled())
            forward ? forwardView() : backView();
    });
    updateCommands();
}

// The one place that says when each command acts: the ones on the picture
// when it stands (not during a pass, not with a first corner placed, not
// before the first pass); exporting then too while no export runs; opening
// also before the first pass.
void Form1::updateCommands()
{
    const bool stands = pictureStands();
    for (QAction* action :
         {saveAction, copyAction, backAction, forwardAction, zoomInAction, zoomOutAction})
        action->setEnabled(stands);
    exportAction->setEnabled(stands && !m_export);
    openAction->setEnabled(mayOpen());
}

bool Form1::passRunning() const
{
    return !draw->isEnabled();
}

bool Form1::mayOpen() const
{
    return (sel.mode == Selection::pictureStands || sel.mode == Selection::stopped) &&
           !passRunning();
}

// A notch of the wheel (120 units; smaller deltas add up) zooms about the
// pointer. Notches that come while no picture stands are dropped.
void Form1::wheelTurned(int delta, QPointF position)
{
    if (!zoomInAction->isEnabled()) {
        m_wheel = 0;
        return;
    }
    constexpr int notch = 120;
    m_wheel += delta;
    if (std::abs(m_wheel) < notch)
        return;
    // Further notches in the same event would arrive during the step's pass:
    // they are dropped, as they would be there.
    const bool zoomIn = m_wheel > 0;
    m_wheel = 0;
    zoomStep(zoomIn, position * picture::unitsPerPixel);
}

// About the picture's keyboard cursor while it has the focus, else about its
// centre.
void Form1::zoomByKey(bool zoomIn)
{
    const QPointF at = pb->hasFocus() ? QPointF(pb->keyboardCursor()) * picture::unitsPerPixel
                                      : QPointF(pb->scaleWidth() / 2, pb->scaleHeight() / 2);
    zoomStep(zoomIn, at);
}

void Form1::showView(const View& view)
{
    if (passRunning())
        return;
    m_view = view;
    draw_Click();
}

void Form1::savePicture()
{
    const QString fileName = picturefile::askSaveName(this);
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
    showWriteError(fileName, reason);
    return false;
}

void Form1::showWriteError(const QString& fileName, const QString& reason)
{
    showError(QStringLiteral("Slike ni bilo mogoče shraniti v »%1«:\n%2")
                  .arg(shownText(QDir::toNativeSeparators(fileName)), reason));
}

void Form1::copyPicture()
{
    picturefile::copy(backupPic->image(), m_view, m_pictureFinished);
}

void Form1::exportPicture()
{
    if (!exportAction->isEnabled())
        return;
    ExportDialog dialog(m_view, this);
    if (dialog.exec() == QDialog::Accepted)
        exportPictureAs(dialog.fileName(), dialog.pictureSize(), dialog.samples());
}

// The export goes on while the window draws other views: it renders the view
// that stood when it started.
bool Form1::exportPictureAs(const QString& fileName, QSize size, int samples)
{
    if (!pictureStands() || m_export)
        return false;
    const RenderJob job = pictureexport::job(m_view, size, samples);
    if (const QString refusal = pictureexport::refusal(job, fileName); !refusal.isEmpty()) {
        showError(refusal);
        return false;
    }
    auto* running = new PictureExport(job, fileName, m_threads.threads(), this);
    m_export = running;
    connect(running, &PictureExport::ended, this, [this, running, fileName](const QString& why) {
        running->deleteLater();
        m_export = nullptr;
        updateCommands();
        if (!why.isEmpty() && !m_leaving)
            showWriteError(fileName, why);
    });
    updateCommands();
    running->start();
    return true;
}

void Form1::stopExport()
{
    delete m_export;
}

// The list's neighbour is drawn as any view is; being the current entry
// already, it adds nothing to the list.
void Form1::backView()
{
    if (const auto view = m_history.back())
        showView(*view);
}

void Form1::forwardView()
{
    if (const auto view = m_history.forward())
        showView(*view);
}

void Form1::zoomStep(bool zoomIn, QPointF at)
{
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

void Form1::openPicture()
{
    const QString fileName = picturefile::askOpenName(this);
    if (!fileName.isEmpty())
        openPictureFile(fileName);
}

bool Form1::openPictureFile(const QString& fileName)
{
    if (!mayOpen())
        return false;
    const PictureView picture = readPictureView(fileName);
    if (!picture.ok()) {
        showError(pictureopen::refusalText(picture));
        return false;
    }
    showView(picture.view);
    return true;
}
