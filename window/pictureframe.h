// The flat border around the picture, which also shows the picture's keyboard
// focus and the column and row of its keyboard cursor.
#pragma once

#include <QWidget>

class PictureBox;

// Lies under the picture and paints only around it, in whole device pixels:
// the border is as thick on all four sides at any scale, and the picture,
// painted over it, never loses a pixel to it.
class PictureFrame : public QWidget {
    Q_OBJECT

public:
    // The frame covers the picture's parent from its top-left corner to 8
    // pixels right of and below the picture.
    explicit PictureFrame(PictureBox* picture, QWidget* parent);

    // The picture's rectangle and the border's thickness, in device pixels of
    // this widget.
    QRect pictureOnDevice() const;
    int lineOnDevice() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PictureBox* m_picture;
};
