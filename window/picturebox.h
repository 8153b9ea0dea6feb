// A picture with a persistent back-buffer, addressed in picture units.
#pragma once

#include "picturescan.h"

#include <QImage>
#include <QWidget>
#include <QtEndian>

#include <cstdint>

// Everything drawn on the picture goes into a 640 x 480 image that survives
// covering and repainting. Lines, boxes and image copies take picture units
// (15 to a pixel) and schedule a repaint of the visible face; setPixel writes
// one pixel of the image and shows nothing until the next refresh or repaint.
// Mouse moves and releases are reported in picture units.
//
// The keyboard has the mouse's part too: while the picture has the focus, the
// arrow keys move a cursor over it by a pixel (ten with Shift), and each move
// is reported as a pointer move to that pixel; Space, Return and Enter report
// a release of the left button there, Escape one of the right button. While
// the picture has the focus and the last input was not the pointer's, the
// focus shows on its frame and a small cross marks the cursor on the screen;
// the cross goes while a pass draws.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The picture's size in picture units: 9600 x 7200.
    float scaleWidth() const { return float(picture::unitWidth); }
    float scaleHeight() const { return float(picture::unitHeight); }

    // Colours are 0x00BBGGRR values.
    void line(float x1, float y1, float x2, float y2, uint32_t colour);
    void box(float x1, float y1, float x2, float y2, uint32_t colour);
    void filledBox(float x1, float y1, float x2, float y2, uint32_t colour);
    void paintPicture(const QImage& source, float x, float y);

    // Sets pixel (col, row) of the back-buffer; a pixel outside is ignored.
    // The image's pixels are made its own once, not at every pixel: a pass
    // sets 307,200 of them in a row.
    void setPixel(int col, int row, uint32_t colour)
    {
        if (unsigned(col) >= unsigned(picture::columns) || unsigned(row) >= unsigned(picture::rows))
            return;
        if (!m_pixels)
            m_pixels = reinterpret_cast<QRgb*>(m_image.bits());
        m_pixels[row * picture::columns + col] = toRgb(colour);
    }

    // The back-buffer. A copy of it shares its pixels until either side is
    // written; take the copy from this call, not from a reference kept while
    // pixels are set.
    const QImage& image() const
    {
        m_pixels = nullptr;
        return m_image;
    }

    // Brings the visible face up to date from the back-buffer, at once.
    void refresh() { repaint(); }

    // The keyboard cursor's pixel; it starts at the picture's centre.
    QPoint keyboardCursor() const { return m_cursor; }
    // Whether the focus is to be shown: the picture has it and the last input
    // was not the pointer's.
    bool showsKeyboardFocus() const { return m_focused && !m_pointerLast; }
    // Whether the cross over the picture marks the keyboard cursor: the focus
    // shows and no pass draws.
    bool showsCursorMark() const { return showsKeyboardFocus() && !m_passRunning; }
    // A pass draws from true to false: the cross is not shown meanwhile.
    void setPassRunning(bool running);

    // 0x00BBGGRR to 0xFFRRGGBB: the three bytes reversed, opaque. A pass
    // converts every pixel, so it is done with one byte swap.
    static QRgb toRgb(uint32_t colour) { return 0xff000000u | (qbswap(colour) >> 8); }

signals:
    // button is 1 for the left button, 2 for the right one, 4 for the middle
    // one; shift holds 1 for Shift, 2 for Ctrl, 4 for Alt.
    void mouseMoved(int button, int shift, float x, float y);
    void mouseReleased(int button, int shift, float x, float y);
    // The keyboard cursor moved, or its focus began or stopped to show.
    void keyboardCursorChanged();
    // The wheel turned by delta eighths of a degree (a notch is 120, away
    // from the user positive) with the pointer at position, in pixels.
    void wheelTurned(int delta, QPointF position);
    // The mouse's back or forward button was released over the picture; it
    // is reported as a release of an unknown button (0) right after.
    void historyButtonReleased(bool forward);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    static QPointF toPixels(float x, float y);
    bool axisLine(QPointF from, QPointF to, uint32_t colour);
    void fillPixels(double left, double top, double right, double bottom, QRgb rgb);
    void setFocusState(bool focused, bool pointerLast);
    void pictureChanged();

    QImage m_image;
    // The pixels of m_image while no copy shares them, or null when setPixel
    // must make them its own first.
    mutable QRgb* m_pixels = nullptr;
    QPoint m_cursor{picture::columns / 2, picture::rows / 2};
    // The picture has the focus; a while in another window (a message box)
    // does not take it.
    bool m_focused = false;
    // The last input over the window was the pointer's: it moved over the
    // picture or a button was pressed or turned there.
    bool m_pointerLast = false;
    bool m_passRunning = false;
};
