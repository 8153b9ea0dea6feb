// The program's only window: the picture, the drawing controls and the zoom.
//
// Form1 is written in three files, by the part of the window each holds:
//   form1.cpp    the window, its controls and their wiring, and the
//                procedures of the window alone: About, Exit, closing;
//   drawing.cpp  start-up, the drawing pass, stop and restart;
//   zoom.cpp     the zoom selection: corners, rubber band, cancel.
// The arithmetic they use lives apart: the picture's size and the scan order
// in picturescan.h, the scales and the zoom's view in viewmath.h, the colours
// in colourramp.h, the threads of a pass in passthreads.h.
#pragma once

#include "enginebinding.h"
#include "passthreads.h"
#include "viewmath.h"
#include "viewstate.h"

#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class PictureBox;

class Form1 : public QWidget {
    Q_OBJECT

public:
    // engineFile is the file name of the engine library, loaded at the first
    // call of Engine.
    explicit Form1(const QString& engineFile = QStringLiteral("libengine.so"),
                   QWidget* parent = nullptr);

    const View& view() const { return m_view; }
    void setView(const View& view) { m_view = view; }
    const Selection& selection() const { return sel; }

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

    // The size of the window's client area, which holds the whole layout.
    static constexpr QSize clientSize{656, 578};

public slots:
    void Command1_Click();
    [[noreturn]] void Command2_Click();
    void draw_Click();
    void restart_Click();
    void sstop_Click();
    void pb_MouseUp(int button, int shift, float x, float y);
    void pb_MouseMove(int button, int shift, float x, float y);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void createControls();
    void Form_Load();
    [[noreturn]] void Form_Unload(int16_t& cancel);
    void EnableCommands(bool& enabled);
    static void Swap(int16_t& a, int16_t& b);

    bool scanPixels(EngineFunction engine, Scales scales);
    void abandonPass(const QString& reason);
    void abandonForCount(int32_t count);
    void cancelSelection();
    void refuseSelection(const QString& reason);
    void keepClientSize();

    PictureBox* pb = nullptr;
    PictureBox* backupPic = nullptr;
    QPushButton* draw = nullptr;
    QPushButton* restart = nullptr;
    QPushButton* sstop = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* Label1 = nullptr;

    View m_view;
    Selection sel;
    // True once a pass has saved its picture in backupPic.
    bool m_pictureSaved = false;
    EngineBinding m_engine;
    // True where the window system may impose the window's size (Wayland):
    // the window then takes any size, and returns to its own when it is
    // neither maximized nor full screen.
    bool m_sizeImposed = false;
    // The button that takes the focus when it is next enabled: the focus was
    // on a button that a pass disabled.
    QPointer<QWidget> m_focusHeir;
    PassThreads m_threads;
};
