// Exporting the picture of the view that stands at any size, as --render
// draws it: the dialog that asks for the size, the samples and the file, and
// the render into that file on a thread of its own, with its progress.
#pragma once

#include "render.h"
#include "viewstate.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <atomic>
#include <thread>

class QLineEdit;
class QProgressDialog;
class QSpinBox;

namespace pictureexport {

// What --render --size --samples --stretch draws for the window's view at
// size with samples a pixel: the view widened about its centre to that size,
// its pixels keeping the shape of the window's 640 x 480 picture's, so that
// the picture looks as the window's does (at 640 x 480 it is the view
// itself).
RenderJob job(const View& view, QSize size, int samples);

// Why job cannot be exported to fileName, which must end in ".png" or have no
// suffix, as the window tells it; empty if it can.
QString refusal(const RenderJob& job, const QString& fileName);

} // namespace pictureexport

// The export's dialog: the picture's size, the samples and the file, at
// first the window's own 640 x 480 with one sample into the name the save
// dialog proposes. "Izvozi" is accepted only for what can be exported.
class ExportDialog : public QDialog {
    Q_OBJECT

public:
    ExportDialog(const View& view, QWidget* parent);

    // The file's name, absolute (a relative one lies in the folder the
    // dialog started in), with ".png" added to a name without a suffix.
    QString fileName() const;
    QSize pictureSize() const;
    int samples() const;

    void accept() override;

private:
    void browse();

    View m_view;
    QString m_folder;
    QSpinBox* m_width = nullptr;
    QSpinBox* m_height = nullptr;
    QSpinBox* m_samples = nullptr;
    QLineEdit* m_file = nullptr;
};

// A render into a file, written whole or not at all, on a thread of its own
// while the window goes on; a progress dialog beside the window shows the
// rows drawn and its "Prekliči" stops the render, leaving an earlier file as
// it was.
class PictureExport : public QObject {
    Q_OBJECT

public:
    // Renders on threads threads (the export's own) once started.
    PictureExport(const RenderJob& job, const QString& fileName, int threads, QWidget* window);
    // Stops the render and waits for its thread: its temporary file is gone.
    ~PictureExport() override;

    void start();

signals:
    // On the window's thread, once the render's thread has ended: with why
    // the file could not be written, or an empty text when it was written
    // or the export was cancelled.
    void ended(const QString& failure);
    // From the render's thread: more rows are drawn, or the render has ended.
    void advanced();

private:
    void run();
    void update();

    const RenderJob m_job;
    const QString m_fileName;
    const int m_threads;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_rows{0};
    // Set once the render's thread is done with the file; m_failure is
    // written before it.
    std::atomic<bool> m_ended{false};
    QString m_failure;
    bool m_reported = false;
    QPointer<QProgressDialog> m_progress;
    std::thread m_thread;
};
