// Zoom selection: corner picking, the view update, the rubber band, cancels
// and refusals.
#include "probe.h"

#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

namespace {

const QRgb red = qRgb(255, 0, 0);

QString describe(const View& v)
{
    return QStringLiteral("(%1, %2, %3, %4)")
        .arg(v.viewLeft, 0, 'g', 17)
        .arg(v.viewTop, 0, 'g', 17)
        .arg(v.viewWidth, 0, 'g', 17)
        .arg(v.viewHeight, 0, 'g', 17);
}

#define COMPARE_VIEW(actual, expected)                                                             \
    QVERIFY2((actual) == (expected),                                                               \
             qPrintable(QStringLiteral("%1 != %2").arg(describe(actual), describe(expected))))

// Every state a cancel or a refusal must leave.
void verifyCancelled(Drawn& w, const View& view)
{
    QCOMPARE(w.mode(), 0);
    QCOMPARE(w.label(), selectText);
    QCOMPARE(w.pb()->image(), w.backupPic()->image());
    COMPARE_VIEW(w.form->view(), view);
    QCOMPARE(w.probe.calls(), 0);
}

} // namespace

class TestZoom : public QObject {
    Q_OBJECT

private slots:
    void workedViews_data()
    {
        QTest::addColumn<QPointF>("first");
        QTest::addColumn<QPointF>("second");
        QTest::addColumn<View>("expected");
        const View quarter{-0.75, -0.75, 1.5, 1.5};
        QTest::newRow("down-right") << QPointF(2400, 1800) << QPointF(7200, 5400) << quarter;
        QTest::newRow("up-left") << QPointF(7200, 5400) << QPointF(2400, 1800) << quarter;
        QTest::newRow("down-left") << QPointF(7200, 1800) << QPointF(2400, 5400) << quarter;
        QTest::newRow("up-right") << QPointF(2400, 5400) << QPointF(7200, 1800) << quarter;
        QTest::newRow("right half, stretched")
            << QPointF(4800, 0) << QPointF(9600, 7200) << View{0, -1.5, 1.5, 3};
        QTest::newRow("outside: zoom out by two")
            << QPointF(0, 0) << QPointF(19200, 14400) << View{-1.5, -1.5, 6, 6};
    }
    void workedViews()
    {
        QFETCH(QPointF, first);
        QFETCH(QPointF, second);
        QFETCH(View, expected);
        Drawn w;
        w.release(1, float(first.x()), float(first.y()));
        QCOMPARE(w.mode(), 1);
        QCOMPARE(w.label(), secondCornerText);
        w.release(1, float(second.x()), float(second.y()));
        COMPARE_VIEW(w.form->view(), expected);
        const Selection& sel = w.form->selection();
        QVERIFY(sel.x1 < sel.x2 && sel.y1 < sel.y2);
        QCOMPARE(w.probe.calls(), 307200);
        QCOMPARE(w.mode(), 0);
        QCOMPARE(w.label(), selectText);
    }

    // The view update forms each quotient before its product: with extents
    // and corners that are not powers of two, any other order rounds
    // differently in every one of the four numbers.
    void zoomFormsTheQuotientFirst()
    {
        const View from{-1.114375, -1.08875, 1.38875, 1.3891666666666667};
        const Zoom zoom = zoomInto(from, 4226, 5505, 7899, 6888, 9600, 7200);
        QCOMPARE(int(zoom.outcome), int(Zoom::Outcome::zoomed));
        COMPARE_VIEW(zoom.view, (View{-0.5030356770833333, -0.026616319444444647,
                                      0.5313415364583334, 0.26683576388888885}));
    }

    void realMouseReleasesInsideAndBeyondThePicture()
    {
        Drawn w;
        QTest::mouseRelease(w.pb(), Qt::LeftButton, {}, QPoint(160, 120));
        QCOMPARE(w.mode(), 1);
        QCOMPARE(w.form->selection().x1, int16_t(2400));
        // A drag that began on the picture ends there even far outside it.
        QTest::mousePress(w.pb(), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(w.pb(), Qt::LeftButton, {}, QPoint(1280, 960));
        COMPARE_VIEW(w.form->view(), (View{-0.75, -0.75, 5.25, 5.25}));
    }

    // The picture's keyboard cursor moves as the pointer does and releases
    // as its buttons do, through the same procedures.
    void keyboardActsAsThePointer()
    {
        Drawn w;
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        PictureBox* pb = w.pb();
        // The picture has the focus from the start, which shows until the
        // pointer moves, and again once the keyboard brings it back.
        QVERIFY(pb->showsKeyboardFocus());
        QTest::mouseMove(pb, QPoint(5, 5));
        QVERIFY(!pb->showsKeyboardFocus());
        QTest::keyClick(pb, Qt::Key_Tab);
        QTest::keyClick(w.button("draw"), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), pb);
        QVERIFY(pb->showsKeyboardFocus());
        const auto keys = [pb](Qt::Key key, int times, Qt::KeyboardModifiers modifiers = {}) {
            for (int i = 0; i < times; ++i)
                QTest::keyClick(pb, key, modifiers);
        };
        // From the centre: 10 pixels with Shift, 1 without.
        QCOMPARE(pb->keyboardCursor(), QPoint(320, 240));
        keys(Qt::Key_Right, 1, Qt::ShiftModifier);
        keys(Qt::Key_Up, 3);
        QCOMPARE(pb->keyboardCursor(), QPoint(330, 237));
        QTest::keyClick(pb, Qt::Key_Space);
        QCOMPARE(w.mode(), 1);
        QCOMPARE(w.form->selection().x1, int16_t(330 * 15));
        QCOMPARE(w.form->selection().y1, int16_t(237 * 15));
        keys(Qt::Key_Left, 2);
        keys(Qt::Key_Down, 1, Qt::ShiftModifier);
        QCOMPARE(w.pb()->image().pixel(328, 247), red);
        QCOMPARE(w.pb()->image().pixel(330, 237), red);
        QTest::keyClick(pb, Qt::Key_Escape);
        verifyCancelled(w, View{});

        // A held key places one corner, not one at every repeat.
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(pb, &repeat);
        QCOMPARE(w.mode(), 0);

        // Corners at pixels (160, 120) and (480, 360): the worked quarter view.
        keys(Qt::Key_Left, 17, Qt::ShiftModifier);
        keys(Qt::Key_Right, 2);
        keys(Qt::Key_Up, 13, Qt::ShiftModifier);
        keys(Qt::Key_Down, 3);
        QCOMPARE(pb->keyboardCursor(), QPoint(160, 120));
        QTest::keyClick(pb, Qt::Key_Return);
        keys(Qt::Key_Right, 32, Qt::ShiftModifier);
        keys(Qt::Key_Down, 24, Qt::ShiftModifier);
        QTest::keyClick(pb, Qt::Key_Enter, Qt::KeypadModifier);
        COMPARE_VIEW(w.form->view(), (View{-0.75, -0.75, 1.5, 1.5}));
        QCOMPARE(w.probe.calls(), 307200);

        // The cursor stays on the picture.
        keys(Qt::Key_Right, 20, Qt::ShiftModifier);
        keys(Qt::Key_Up, 40, Qt::ShiftModifier);
        QCOMPARE(pb->keyboardCursor(), QPoint(639, 0));
    }

    // While the picture has the focus and the last input was not the
    // pointer's, a cross in inverted colours marks the cursor on the screen,
    // never in the picture or its saved copy, over the band too; the pointer,
    // the focus leaving and a pass take it away.
    void keyboardCursorIsMarkedOnTheScreenOnly()
    {
        Drawn w;
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        PictureBox* pb = w.pb();
        const QImage picture = pb->image();
        const QImage saved = w.backupPic()->image();
        const auto onScreen = [&] {
            return pb->screen()
                ->grabWindow(w.form->winId(), pb->x(), pb->y(), pb->width(), pb->height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        };
        // The image with the row and the column of 9 pixels through the
        // cursor inverted.
        const auto marked = [](QImage image, QPoint cursor) {
            const auto invert = [&image](QPoint p) {
                if (image.rect().contains(p))
                    image.setPixel(p, image.pixel(p) ^ 0xffffff);
            };
            for (int d = -4; d <= 4; ++d) {
                invert(cursor + QPoint(d, 0));
                if (d != 0)
                    invert(cursor + QPoint(0, d));
            }
            return image;
        };

        // From the start the focus is the keyboard's.
        QTRY_COMPARE(onScreen(), marked(picture, {320, 240}));
        QTest::mouseMove(pb, QPoint(601, 20));
        QTRY_COMPARE(onScreen(), picture);
        QTest::keyClick(pb, Qt::Key_Tab);
        QTest::keyClick(w.button("draw"), Qt::Key_Backtab);
        QTRY_COMPARE(onScreen(), marked(picture, {320, 240}));
        QTest::keyClick(pb, Qt::Key_Left);
        QTest::keyClick(pb, Qt::Key_Down, Qt::ShiftModifier);
        QTRY_COMPARE(onScreen(), marked(picture, {319, 250}));
        QCOMPARE(pb->image(), picture);
        QCOMPARE(w.backupPic()->image(), saved);
        QCOMPARE(pb->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 marked(picture, {319, 250}));
        QTest::mouseMove(pb, QPoint(602, 20));
        QTRY_COMPARE(onScreen(), picture);
        QTest::keyClick(pb, Qt::Key_Up);
        QTRY_COMPARE(onScreen(), marked(picture, {319, 249}));
        QTest::keyClick(pb, Qt::Key_Tab);
        QTRY_COMPARE(onScreen(), picture);

        // A corner placed, the band drawn, the selection cancelled: the cross
        // stays at the cursor, over the band.
        QTest::keyClick(w.button("draw"), Qt::Key_Backtab);
        QTest::mouseMove(pb, QPoint(603, 20));
        QTest::keyClick(pb, Qt::Key_Space);
        QTRY_COMPARE(onScreen(), marked(picture, {319, 249}));
        QTest::keyClick(pb, Qt::Key_Right, Qt::ShiftModifier);
        QVERIFY(pb->image() != picture);
        QTRY_COMPARE(onScreen(), marked(pb->image(), {329, 249}));
        QTest::mouseMove(pb, QPoint(604, 20));
        QTest::keyClick(pb, Qt::Key_Escape);
        QTRY_COMPARE(onScreen(), marked(picture, {329, 249}));

        // Not during a pass; back after it.
        bool markedDuringPass = true;
        whenEventsRun([&] { markedDuringPass = pb->showsCursorMark(); });
        QTest::keyClick(pb, Qt::Key_Plus, Qt::ControlModifier);
        QVERIFY(!markedDuringPass);
        QCOMPARE(w.probe.calls(), 307200);
        QTRY_COMPARE(onScreen(), marked(pb->image(), {329, 249}));
    }

    void cornersRoundHalfToEven()
    {
        Drawn w;
        w.release(1, 2.5f, 3.5f);
        QCOMPARE(w.form->selection().x1, int16_t(2));
        QCOMPARE(w.form->selection().y1, int16_t(4));
        w.release(2, 0, 0);
        w.release(1, -2.5f, 32767.4f);
        QCOMPARE(w.form->selection().x1, int16_t(-2));
        QCOMPARE(w.form->selection().y1, int16_t(32767));
    }

    void otherButtons()
    {
        Drawn w;
        for (int button : {2, 4}) {
            w.release(button, 100, 100);
            QCOMPARE(w.mode(), 0);
            QCOMPARE(w.label(), selectText);
        }
        for (int button : {2, 4}) {
            w.release(1, 1500, 1500);
            w.form->pb_MouseMove(0, 0, 3000, 3000);
            QVERIFY(w.pb()->image() != w.backupPic()->image());
            w.release(button, 6000, 6000);
            verifyCancelled(w, View{});
            // The next left release places a new first corner.
            w.release(1, 45, 60);
            QCOMPARE(w.mode(), 1);
            QCOMPARE(w.form->selection().x1, int16_t(45));
            w.release(2, 0, 0);
        }
    }

    void mouseIsIgnoredBeforeTheFirstPassAndDuringOne()
    {
        Probe probe;
        Window w;
        const QImage black = w.pb()->image();
        w.form->pb_MouseUp(1, 0, 1500, 1500);
        w.form->pb_MouseMove(0, 0, 3000, 3000);
        w.form->pb_MouseUp(2, 0, 1500, 1500);
        QCOMPARE(w.mode(), -1);
        QCOMPARE(w.pb()->image(), black);

        bool unchanged = false;
        whenEventsRun([&] {
            const QImage meshed = w.pb()->image();
            const QString text = w.label();
            w.form->pb_MouseUp(1, 0, 1500, 1500);
            w.form->pb_MouseMove(0, 0, 3000, 3000);
            w.form->pb_MouseUp(1, 0, 4500, 4500);
            unchanged = w.mode() == -2 && w.pb()->image() == meshed && w.label() == text;
        });
        w.form->draw_Click();
        QVERIFY(unchanged);
        QCOMPARE(probe.calls(), 307200);
        COMPARE_VIEW(w.form->view(), View{});
    }

    void rubberBandFollowsThePointer()
    {
        Drawn w;
        const QImage saved = w.backupPic()->image();
        // The outline's pixels, with the picture elsewhere as it was saved.
        auto verifyBand = [&](QRect band) {
            const QImage image = w.pb()->image();
            for (int row = 0; row < 480; ++row)
                for (int col = 0; col < 640; ++col) {
                    const bool onEdge =
                        band.contains(col, row) && (col == band.left() || col == band.right() ||
                                                    row == band.top() || row == band.bottom());
                    if (image.pixel(col, row) != (onEdge ? red : saved.pixel(col, row)))
                        return QStringLiteral("pixel (%1, %2)").arg(col).arg(row);
                }
            return QString();
        };
        w.release(1, 100 * 15, 50 * 15);
        QCOMPARE(w.pb()->image(), saved);
        // Moves without a button held, through the real pointer events.
        QTest::mouseMove(w.pb(), QPoint(200, 150));
        QTRY_COMPARE(verifyBand(QRect(QPoint(100, 50), QPoint(200, 150))), QString());
        w.form->pb_MouseMove(1, 0, 60 * 15, 20 * 15);
        QCOMPARE(verifyBand(QRect(QPoint(60, 20), QPoint(100, 50))), QString());
        QCOMPARE(w.backupPic()->image(), saved);
    }

    void passFromAButtonForgetsAPendingCorner()
    {
        Drawn w;
        w.release(1, 1500, 1500);
        QCOMPARE(w.mode(), 1);
        QTest::mouseClick(w.button("draw"), Qt::LeftButton);
        QCOMPARE(w.mode(), 0);
        COMPARE_VIEW(w.form->view(), View{});
        w.release(1, 300, 450);
        QCOMPARE(w.mode(), 1);
        QCOMPARE(w.form->selection().x1, int16_t(300));
    }

    void selectionsOnOneSpotCancel()
    {
        Drawn w;
        w.release(1, 3000, 3000);
        w.release(1, 3000, 3000);
        verifyCancelled(w, View{});
        w.release(1, 3000, 1000);
        w.release(1, 6000, 1000.4f);
        verifyCancelled(w, View{});
    }

    void refusals_data()
    {
        QTest::addColumn<View>("view");
        QTest::addColumn<QPointF>("first");
        QTest::addColumn<QPointF>("second");
        const View normal;
        QTest::newRow("first corner beyond 16 bits")
            << normal << QPointF(40000, 100) << QPointF(qQNaN(), 0);
        QTest::newRow("second corner beyond 16 bits")
            << normal << QPointF(100, 100) << QPointF(100, -32768.6);
        QTest::newRow("not a number") << normal << QPointF(100, 100) << QPointF(qQNaN(), 500);
        QTest::newRow("wider than 32767") << normal << QPointF(-20000, 100) << QPointF(20000, 500);
        QTest::newRow("taller than 32767") << normal << QPointF(100, 32767) << QPointF(500, -1);
        QTest::newRow("width overflows")
            << View{0, 0, 1e308, 1e308} << QPointF(0, 0) << QPointF(30000, 100);
        QTest::newRow("scale overflows")
            << View{0, 0, 1e-305, 1} << QPointF(0, 0) << QPointF(1, 100);
        QTest::newRow("right edge overflows")
            << View{1.2e308, 0, 5e307, 1} << QPointF(0, 0) << QPointF(30000, 100);
        QTest::newRow("neighbouring pixels merge")
            << View{0.3, -0.3, 1e-13, 1e-13} << QPointF(0, 0) << QPointF(100, 100);
    }
    void refusals()
    {
        QFETCH(View, view);
        QFETCH(QPointF, first);
        QFETCH(QPointF, second);
        Drawn w;
        w.form->setView(view);
        w.form->draw_Click();
        w.probe.reset();

        QString title;
        answerMessageBox([&](QMessageBox* box) { title = box->windowTitle(); });
        w.release(1, float(first.x()), float(first.y()));
        if (w.mode() == 1) {
            w.form->pb_MouseMove(0, 0, 4000, 4000);
            w.release(1, float(second.x()), float(second.y()));
        }
        QCOMPARE(title, QStringLiteral("Napaka"));
        verifyCancelled(w, view);
    }
};

QTEST_MAIN(TestZoom)
#include "tst_zoom.moc"
