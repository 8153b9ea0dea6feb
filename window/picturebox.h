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
// a release of the left button there, Escape one of the right button. After a
// move by the keys, a small cross marks the cursor on the screen until the
// focus leaves, the pointer moves over the picture or anything is drawn on it.
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
    // Whether the focus is to be shown: the picture has it and it came from
    // the keyboard or the keyboard has been used on the picture since.
    bool showsKeyboardFocus() const { return m_showFocus; }
    // Whether the cross over the picture marks the keyboard cursor.
    bool showsCursorMark() const { return m_showFocus && m_cursorMarked; }

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

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    static QPointF toPixels(float x, float y);
    bool axisLine(QPointF from, QPointF to, uint32_t colour);
    void fillPixels(double left, double top, double right, double bottom, QRgb rgb);
    void showFocus(bool show);
    void markCursor(bool mark);
    void pictureChanged();

    QImage m_image;
    // The pixels of m_image while no copy shares them, or null when setPixel
    // must make them its own first.
    mutable QRgb* m_pixels = nullptr;
    QPoint m_cursor{picture::columns / 2, picture::rows / 2};
    bool m_showFocus = false;
    bool m_cursorMarked = false;
};
