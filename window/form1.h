// The program's only window: the picture, the drawing controls and the zoom.
//
// Form1 is written in four files, by the part of the window each holds:
//   form1.cpp        the window, its controls and their wiring, and the
//                    procedures of the window alone: About, the keys' box,
//                    Exit, closing;
//   drawing.cpp      start-up, the drawing pass, stop and restart;
//   zoom.cpp         the zoom selection: corners, rubber band, cancel;
//   viewactions.cpp  the window's commands, each a QAction with its key (Qt's
//                    standard one where there is one), and the wheel and the
//                    extra mouse buttons: save, copy, export, back, forward,
//                    zoom steps, open, the keys' box; and showing a view
//                    given from outside.
// The arithmetic they use lives in core/: the picture's size and the scan
// order, the scales and the zoom's view, the colours, the pass's threads, the
// view as text and the list of views. A saved picture's view is read back by
// picture/pictureview.h. Here beside the window: the picture file and the
// clipboard and their dialogs (picturefile.h), the export of a picture at
// any size, its dialog and its render in the background (pictureexport.h),
// the refusal of a picture whose view cannot be opened (pictureopen.h), the
// table of keys that the keys' box and the manual page list (keytable.h).
#pragma once

#include "enginebinding.h"
#include "passthreads.h"
#include "viewhistory.h"
#include "viewmath.h"
#include "viewstate.h"

#include <QPointF>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

class QAction;
class QLabel;
class QMessageBox;
class QPushButton;
class PictureBox;
class PictureExport;

class Form1 : public QWidget {
    Q_OBJECT

public:
    // engineFile is the file name of the engine library, loaded at the first
    // call of Engine.
    explicit Form1(const QString& engineFile = EngineBinding::defaultFileName(),
                   QWidget* parent = nullptr);

    const View& view() const { return m_view; }
    void setView(const View& view) { m_view = view; }
    const Selection& selection() const { return sel; }
    // The views drawn so far, in order; the current entry is the view that
    // stands or is being drawn.
    const ViewHistory& history() const { return m_history; }

    // The threads a pass works out its counts on, the window's own included:
    // one per core unless set. With 1, the window's thread alone calls Engine.
    void setThreads(int threads) { m_threads.setThreads(threads); }

    // Texts the window shows.
    static const QString title;
    static const QString startText;
    static const QString drawingText;
    static const QString selectText;
    static const QString secondCornerText;
    static const QString aboutText;
    // The title of the box of F1, which lists the keys and the mouse's actions.
    static const QString keysTitle;
    // What the user is told when a selection is refused.
    static const QString pointTooFarText;
    static QString refusalText(Zoom::Outcome outcome);
    // Why a view cannot be drawn, by its fault; at says where, if not on the
    // window's picture (" v velikosti 97 × 31").
    static QString cannotDrawText(ViewError fault, const QString& at = {});
    // An error, in the window's one error box, over parent.
    static void showError(QWidget* parent, const QString& text);

    // The size of the window's client area, which holds the whole layout.
    static constexpr QSize clientSize{656, 578};

public slots:
    void Command1_Click();
    void Command2_Click();
    void draw_Click();
    void restart_Click();
    void sstop_Click();
    void pb_MouseUp(int button, int shift, float x, float y);
    void pb_MouseMove(int button, int shift, float x, float y);

    // Ends the program through the application's event loop, as Izhod and
    // closing the window do while the program holds the clipboard: the
    // window goes away at once, a running pass ends at its next refresh
    // point with nothing more of it done, and the event loop is left, so
    // that the application object is destroyed and hands the clipboard's
    // content over to a clipboard manager.
    void quitThroughEventLoop();

    // Draws view through draw_Click, as the next entry of the list of views,
    // as if a button had started the pass; does nothing while a pass runs.
    void showView(const View& view);

    // The commands. Their actions are enabled only where they may act (see
    // updateCommands()); called directly, they act as their actions would.
    // Saves the picture in a file the user names in the save dialog.
    void savePicture();
    // Saves the picture that stands in fileName; a failure is shown in a
    // message box. Returns whether the file was written.
    bool savePictureAs(const QString& fileName);
    void copyPicture();
    // Exports the picture of the view that stands at the size, with the
    // samples and into the file asked in the export dialog.
    void exportPicture();
    // Starts exporting the picture of the view that stands into fileName at
    // size with samples (pictureexport.h), in the background; a refusal is
    // shown in a message box, and so is a failure once the export has ended.
    // Returns whether it started: one export runs at a time.
    bool exportPictureAs(const QString& fileName, QSize size, int samples);
    bool exporting() const { return !m_export.isNull(); }
    void backView();
    void forwardView();
    // A 2x zoom step about the point at, in picture units, refused as the
    // mouse's selection of the same rectangle would be.
    void zoomStep(bool zoomIn, QPointF at);
    // Draws the view of a picture the user picks in the open dialog.
    void openPicture();
    // Draws the view of the picture in fileName through showView, when a
    // picture stands or before the first pass; a file with no view that can
    // be drawn is shown in a message box, and nothing changes. Returns
    // whether the view was shown.
    bool openPictureFile(const QString& fileName);
    // Shows the keys and the mouse's actions in a box, at any time. The box
    // does not block: a pass goes on drawing behind it, and a first corner
    // stays placed. While it is open, the window takes no input; a second
    // call brings the same box to the front.
    void showKeys();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void createControls();
    void Form_Load();
    void Form_Unload(int16_t& cancel);
    void endProgram();
    void EnableCommands(bool& enabled);
    static void Swap(int16_t& a, int16_t& b);

    // How a pass's scan ended: every pixel drawn, stopped by "Ustavi", or
    // abandoned (an error was shown, or the program is ending).
    enum class PassEnd { finished, stopped, abandoned };
    PassEnd scanPixels(EngineFunction engine, Scales scales);
    void abandonPass(const QString& reason);
    void abandonForCount(int32_t count);
    void cancelSelection();
    void refuseSelection(const QString& reason);
    void showError(const QString& text);
    void showWriteError(const QString& fileName, const QString& reason);
    // Stops an export under way and waits for it: its file is not written.
    void stopExport();
    void keepClientSize();
    // Where the window stands when no pass runs: mode, the status line's
    // text, the idle buttons and the commands that go with them.
    void standIdle(int16_t mode, const QString& text);
    void createCommands();
    void updateCommands();
    void handFocusOn();
    void wheelTurned(int delta, QPointF position);
    void zoomByKey(bool zoomIn);
    // "Začni risati" is enabled exactly when no pass runs.
    bool passRunning() const;
    bool pictureStands() const { return sel.mode == Selection::pictureStands && !passRunning(); }
    bool mayOpen() const;

    PictureBox* pb = nullptr;
    PictureBox* backupPic = nullptr;
    QPushButton* draw = nullptr;
    QPushButton* restart = nullptr;
    QPushButton* sstop = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* Label1 = nullptr;

    QAction* saveAction = nullptr;
    QAction* copyAction = nullptr;
    QAction* exportAction = nullptr;
    QAction* openAction = nullptr;
    QAction* backAction = nullptr;
    QAction* forwardAction = nullptr;
    QAction* zoomInAction = nullptr;
    QAction* zoomOutAction = nullptr;
    QPointer<QMessageBox> m_keysBox;
    // The wheel's rotation towards the next notch, in eighths of a degree.
    int m_wheel = 0;

    View m_view;
    Selection sel;
    // True once a pass has saved its picture in backupPic.
    bool m_pictureSaved = false;
    // Whether the pass that saved the picture in backupPic drew every pixel.
    bool m_pictureFinished = false;
    // True once the program is ending through the event loop.
    bool m_leaving = false;
    EngineBinding m_engine;
    // True where the window system may impose the window's size (Wayland):
    // the window then takes any size, and returns to its own when it is
    // neither maximized nor full screen.
    bool m_sizeImposed = false;
    // The button that takes the focus when it is next enabled: the focus was
    // on a button that a pass disabled.
    QPointer<QWidget> m_focusHeir;
    PassThreads m_threads;
    ViewHistory m_history;
    // The export under way, if any.
    QPointer<PictureExport> m_export;
};
