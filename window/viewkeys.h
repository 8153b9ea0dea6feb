// The keys, the wheel and the mouse's extra buttons of the picture that
// stands, and the key that opens a saved picture's view: each is turned into
// a request that the window carries out.
#pragma once

#include <QObject>
#include <QPointF>

#include <functional>

class PictureBox;
class QKeyEvent;
class QWidget;

// Ctrl+S (save), Ctrl+C (copy), Alt+Left and Alt+Right (back, forward),
// Ctrl+Plus and Ctrl+Minus (zoom about the picture's centre, or about its
// keyboard cursor while it has the focus), the wheel over the picture (a
// notch of 120 units, small deltas added up, zooms about the pointer) and
// the back and forward buttons released over the picture: all as Qt's
// standard keys of the platform name them.
//
// They act only while acting() is true. Otherwise the keys reach the
// focused control as they did before, the extra buttons reach the picture as
// any other button does, and the wheel's notches are dropped.
//
// Ctrl+O (open) is no control's key: it is always passed on, and the window
// decides whether it opens, since it does so before the first pass too.
class ViewKeys : public QObject {
    Q_OBJECT

public:
    ViewKeys(QWidget* window, PictureBox* picture, std::function<bool()> acting);

signals:
    void saveRequested();
    void copyRequested();
    void backRequested();
    void forwardRequested();
    // A step about the point at, in picture units.
    void zoomRequested(bool zoomIn, QPointF at);
    void openRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isOwnKey(const QKeyEvent* event) const;
    void wheelTurned(int delta, QPointF position);
    void zoomByKey(bool zoomIn);

    PictureBox* m_picture;
    std::function<bool()> m_acting;
    // The wheel's rotation towards the next notch, in eighths of a degree.
    int m_wheel = 0;
};
