// Lines and boxes of the picture: the direct path for horizontal and vertical
// lines between whole pixels must set exactly the pixels the painter sets, and
// a box outline is its four sides however its corners lie.
#include "picturebox.h"

#include <QPainter>
#include <QTest>

#include <algorithm>
#include <cmath>

class TestPictureBox : public QObject {
    Q_OBJECT

private slots:
    void linesMatchThePainter_data()
    {
        // Ends in picture units, 15 to a pixel.
        QTest::addColumn<QLineF>("units");
        QTest::newRow("mesh row") << QLineF(0, 30, 9600, 30);
        QTest::newRow("mesh column") << QLineF(30, 0, 30, 7200);
        QTest::newRow("last row") << QLineF(0, 7185, 9600, 7185);
        QTest::newRow("last column") << QLineF(9585, 0, 9585, 7200);
        QTest::newRow("row below the picture") << QLineF(0, 7200, 9600, 7200);
        QTest::newRow("column right of it") << QLineF(9600, 0, 9600, 7200);
        QTest::newRow("above it") << QLineF(0, -15, 9600, -15);
        QTest::newRow("right to left") << QLineF(900, 450, 150, 450);
        QTest::newRow("bottom to top") << QLineF(450, 900, 450, 150);
        QTest::newRow("one pixel") << QLineF(600, 600, 600, 600);
        QTest::newRow("beyond both ends") << QLineF(-3000, 300, 30000, 300);
        QTest::newRow("far outside") << QLineF(-3e8, 300, 3e8, 300);
        QTest::newRow("between pixels") << QLineF(7, 300, 9000, 300);
        QTest::newRow("slanted") << QLineF(0, 0, 9600, 7200);
    }

    void linesMatchThePainter()
    {
        QFETCH(QLineF, units);
        PictureBox picture;
        picture.filledBox(0, 0, 9600, 7200, 0xffffff);
        QImage expected = picture.image();
        picture.line(float(units.x1()), float(units.y1()), float(units.x2()), float(units.y2()),
                     0x0000ff);
        {
            QPainter painter(&expected);
            painter.setPen(QColor(qRgb(255, 0, 0)));
            painter.drawLine(QLineF(units.p1() / 15, units.p2() / 15));
        }
        QCOMPARE(picture.image(), expected);
    }

    void boxIsItsFourSides_data()
    {
        // Corners in pixels, as the picture units of the pointer: 15 to a pixel.
        QTest::addColumn<QPointF>("first");
        QTest::addColumn<QPointF>("second");
        QTest::newRow("down and right") << QPointF(10, 20) << QPointF(300, 200);
        QTest::newRow("up and left") << QPointF(300, 200) << QPointF(10, 20);
        QTest::newRow("up and right") << QPointF(10, 200) << QPointF(300, 20);
        QTest::newRow("a point") << QPointF(100, 100) << QPointF(100, 100);
        QTest::newRow("a row") << QPointF(300, 100) << QPointF(10, 100);
        QTest::newRow("a column") << QPointF(100, 300) << QPointF(100, 10);
        QTest::newRow("left of the picture") << QPointF(100, 100) << QPointF(-40, 200);
        QTest::newRow("above and right") << QPointF(100, 100) << QPointF(700, -3);
        QTest::newRow("around the picture") << QPointF(-1, -1) << QPointF(640, 480);
        QTest::newRow("far outside") << QPointF(-2e6, 50) << QPointF(3e7, 60);
        QTest::newRow("between pixels") << QPointF(10.4, 20.9) << QPointF(30.5, 40.01);
    }

    void boxIsItsFourSides()
    {
        QFETCH(QPointF, first);
        QFETCH(QPointF, second);
        PictureBox picture;
        picture.box(float(first.x() * 15), float(first.y() * 15), float(second.x() * 15),
                    float(second.y() * 15), 0x0000ff);

        const double left = std::floor(std::min(first.x(), second.x()));
        const double right = std::floor(std::max(first.x(), second.x()));
        const double top = std::floor(std::min(first.y(), second.y()));
        const double bottom = std::floor(std::max(first.y(), second.y()));
        QImage expected(640, 480, QImage::Format_RGB32);
        for (int row = 0; row < 480; ++row)
            for (int col = 0; col < 640; ++col) {
                const bool inside = col >= left && col <= right && row >= top && row <= bottom;
                const bool onSide = col == left || col == right || row == top || row == bottom;
                expected.setPixel(col, row, inside && onSide ? qRgb(255, 0, 0) : qRgb(0, 0, 0));
            }
        QCOMPARE(picture.image(), expected);
    }

    // Lines and pixels are written into the picture's own image, never into
    // an image it shares with a copy, however the copy was made.
    // A colour 0x00BBGGRR, red in its low byte, as Qt's RGB.
    void coloursAreRedInTheLowByte() { QCOMPARE(PictureBox::toRgb(0x0000ff), qRgb(255, 0, 0)); }

    void writesLeaveCopiesAlone()
    {
        const QRgb black = qRgb(0, 0, 0);
        const QRgb white = qRgb(255, 255, 255);
        PictureBox picture;
        const QImage before = picture.image();
        picture.line(0, 15, 9600, 15, 0xffffff);
        picture.setPixel(0, 0, 0xffffff);
        const QImage taken = picture.image();
        picture.setPixel(2, 2, 0xffffff);

        PictureBox saved;
        saved.setPixel(5, 5, 0xffffff);
        saved.paintPicture(picture.image(), 0, 0);
        picture.setPixel(3, 3, 0xffffff);
        saved.setPixel(4, 4, 0xffffff);

        QCOMPARE(before.pixel(5, 1), black);
        QCOMPARE(before.pixel(0, 0), black);
        QCOMPARE(taken.pixel(0, 0), white);
        QCOMPARE(taken.pixel(2, 2), black);
        QCOMPARE(saved.image().pixel(2, 2), white);
        QCOMPARE(saved.image().pixel(3, 3), black);
        QCOMPARE(saved.image().pixel(4, 4), white);
        QCOMPARE(picture.image().pixel(4, 4), black);
        QCOMPARE(picture.image().pixel(3, 3), white);
        QCOMPARE(picture.image().pixel(5, 1), white);
    }
};

QTEST_MAIN(TestPictureBox)
#include "tst_picturebox.moc"
