// The drawing pass: scan order, refreshes, colours, mesh, stop, restart and
// the errors that abandon a pass; --render's pictures are the pass's.
#include "expectedpicture.h"
#include "probe.h"
#include "program.h"
#include "viewtext.h"

#include <QImageReader>
#include <QLabel>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

namespace {

// Counts the paints of a widget and the probe's calls at each of them.
class PaintRecorder : public QObject {
public:
    PaintRecorder(const Window& w, const Probe& probe)
        : m_probe(probe), m_label(w.child<QLabel>("Label1"))
    {
        w.pb()->installEventFilter(this);
    }
    std::vector<int> callsAtPaint;
    QString labelAtLastPaint;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            callsAtPaint.push_back(m_probe.calls());
            labelAtLastPaint = m_label->text();
        }
        return false;
    }

private:
    const Probe& m_probe;
    const QLabel* m_label;
};

void verifyIdle(const Window& w)
{
    QVERIFY(w.button("draw")->isEnabled());
    QVERIFY(w.button("restart")->isEnabled());
    QVERIFY(!w.button("sstop")->isEnabled());
}

} // namespace

class TestDrawing : public QObject {
    Q_OBJECT

private slots:
    // --render of the program draws the very picture of the window's finished
    // pass, and records its view.
    void renderMatchesTheFinishedPass_data()
    {
        QTest::addColumn<View>("view");
        QTest::newRow("default") << View{};
        QTest::newRow("zoomed") << View{-0.2, -0.3, 0.25, 0.1};
    }
    void renderMatchesTheFinishedPass()
    {
        QFETCH(View, view);
        Window w(EngineBinding::defaultFileName());
        w.form->setView(view);
        w.form->draw_Click();
        QCOMPARE(w.mode(), 0);

        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("out.png"));
        const Outcome outcome = run({"--render", out, "--view", viewText(view)});
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(QImage(out).convertToFormat(QImage::Format_RGB32), w.backupPic()->image());
        QImageReader reader(out);
        QCOMPARE(parseView(reader.text(QString::fromLatin1(viewKey)).toStdString()).view, view);
    }

    void passVisitsEveryPixelOnceAndRefreshes49Times()
    {
        Probe probe;
        Window w;
        PaintRecorder paints(w, probe);
        QSet<int> drawnDuringPass;
        bool sawDrawingState = false;
        whenEventsRun([&] {
            sawDrawingState = w.mode() == -2 && !w.button("draw")->isEnabled() &&
                              !w.button("restart")->isEnabled() && w.button("sstop")->isEnabled() &&
                              w.label() == drawingText;
        });
        QTest::mouseClick(w.button("draw"), Qt::LeftButton);
        QVERIFY(sawDrawingState);

        QCOMPARE(probe.calls(), 307200);
        const QPoint first[] = {{97, 0}, {194, 0}, {291, 0}, {388, 0}, {485, 0}, {582, 0}, {39, 1}};
        for (int i = 0; i < 7; ++i)
            QCOMPARE(probe.call(i), first[i]);
        QCOMPARE(probe.call(307199), QPoint(0, 0));
        std::vector<bool> seen(307200);
        for (int i = 0; i < 307200; ++i) {
            const QPoint p = probe.call(i);
            const int index = p.y() * 640 + p.x();
            QVERIFY(!seen[index]);
            seen[index] = true;
        }

        // The mesh shows before the first pixel; then the picture is
        // refreshed at every other wrap of the scan: after 3,167 pixels and
        // every 6,334 after that, the last just before the final pixel. Once
        // more after the final pixel, before the picture is saved and the
        // label changes.
        auto& counts = paints.callsAtPaint;
        QVERIFY(!counts.empty() && counts.front() == 0);
        counts.erase(counts.begin(), std::find_if(counts.begin(), counts.end(),
                                                  [](int calls) { return calls > 0; }));
        QCOMPARE(counts.size(), size_t(50));
        for (int k = 0; k < 49; ++k)
            QCOMPARE(counts[k], 3167 + 6334 * k);
        QCOMPARE(counts[49], 307200);
        QCOMPARE(paints.labelAtLastPaint, drawingText);

        QCOMPARE(w.mode(), 0);
        QCOMPARE(w.label(), selectText);
        verifyIdle(w);
        QCOMPARE(w.backupPic()->image(), w.pb()->image());
    }

    void defaultViewPictureIsExact()
    {
        Window w(EngineBinding::defaultFileName());
        w.form->draw_Click();
        QCOMPARE(w.pb()->image(), expectedPicture(View{}));
        QCOMPARE(w.backupPic()->image(), w.pb()->image());
    }

    void meshKeepsOnlyOddPixelsOfThePreviousPicture()
    {
        Probe probe;
        Window w;
        w.form->draw_Click();
        const QImage before = w.pb()->image();
        QImage meshed;
        whenEventsRun([&] { meshed = w.pb()->image(); });
        w.form->draw_Click();
        QCOMPARE(probe.calls(), 2 * 307200);
        QVERIFY(!meshed.isNull());
        int kept = 0;
        for (int row = 0; row < 480; ++row)
            for (int col = 0; col < 640; ++col) {
                const QRgb expected = (col % 2 && row % 2) ? before.pixel(col, row) : qRgb(0, 0, 0);
                QCOMPARE(meshed.pixel(col, row), expected);
                kept += meshed.pixel(col, row) != qRgb(0, 0, 0);
            }
        QVERIFY(kept > 1000);
    }

    void stopRightAfterStartSavesThePartialPicture()
    {
        Probe probe;
        Window w;
        PaintRecorder paints(w, probe);
        whenEventsRun([&] { QTest::mouseClick(w.button("sstop"), Qt::LeftButton); });
        QTest::mouseClick(w.button("draw"), Qt::LeftButton);
        QCOMPARE(probe.calls(), 3167);
        QCOMPARE(paints.callsAtPaint.back(), 3167); // no refresh after the stop
        QCOMPARE(w.mode(), 0);
        QCOMPARE(w.label(), selectText);
        verifyIdle(w);
        QCOMPARE(w.backupPic()->image(), w.pb()->image());
    }

    // Ending the program through the event loop, as Izhod does while the
    // program holds the clipboard: at the mesh or at a refresh point, the
    // window goes away and nothing more of the pass is done.
    void quitEndsThePassAtOnce_data()
    {
        QTest::addColumn<int>("refreshes");
        QTest::newRow("at the mesh") << 0;
        QTest::newRow("at the first refresh point") << 1;
    }
    void quitEndsThePassAtOnce()
    {
        QFETCH(int, refreshes);
        Probe probe;
        Window w;
        const QImage saved = w.backupPic()->image();
        const auto quit = [&] { w.form->quitThroughEventLoop(); };
        // The pass runs inside the event loop, as every pass of the program.
        QTimer::singleShot(0, [&] {
            whenEventsRun([&] {
                if (refreshes == 0)
                    quit();
                else
                    whenEventsRun(quit);
            });
            w.form->draw_Click();
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(probe.calls(), refreshes * 3167);
        QVERIFY(!w.form->isVisible());
        QCOMPARE(w.mode(), -2);
        QCOMPARE(w.label(), drawingText);
        QCOMPARE(w.backupPic()->image(), saved);
    }

    void aboutBoxHoldsThePass()
    {
        Probe probe;
        Window w;
        int callsWhenOpened = -1, callsWhenClosed = -2;
        whenEventsRun([&] {
            answerMessageBox([&](QMessageBox*) {
                callsWhenOpened = probe.calls();
                QTest::qWait(50);
                callsWhenClosed = probe.calls();
            });
            w.button("Command1")->click();
        });
        w.form->draw_Click();
        QCOMPARE(callsWhenOpened, 0);
        QCOMPARE(callsWhenClosed, 0);
        QCOMPARE(probe.calls(), 307200);
        QCOMPARE(w.mode(), 0);
    }

    void restartReturnsToTheDefaultView()
    {
        Window w(EngineBinding::defaultFileName());
        // Before anything was drawn, restart draws the default view.
        QTest::mouseClick(w.button("restart"), Qt::LeftButton);
        QCOMPARE(w.form->view(), View{});
        QCOMPARE(w.pb()->image(), expectedPicture(View{}));

        w.form->setView({-0.2, -0.3, 0.25, 0.1});
        w.form->draw_Click();
        QVERIFY(w.pb()->image() != expectedPicture(View{}));
        w.form->restart_Click();
        QCOMPARE(w.form->view(), View{});
        QCOMPARE(w.pb()->image(), expectedPicture(View{}));
        QCOMPARE(w.mode(), 0);
    }

    void missingLibraryLeavesTheWindowUsable()
    {
        Window w(QStringLiteral("libquenthar-missing.so"));
        QString title, text;
        answerMessageBox([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
        });
        QTest::mouseClick(w.button("draw"), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Napaka"));
        QVERIFY2(text.contains(QStringLiteral("libquenthar-missing.so")), qPrintable(text));
        QCOMPARE(w.mode(), -1);
        QCOMPARE(w.label(), startText);
        verifyIdle(w);
        QImage black(640, 480, QImage::Format_RGB32);
        black.fill(Qt::black);
        QCOMPARE(w.pb()->image(), black);
    }

    void libraryWithoutEngineIsAnError()
    {
        Window w(QStringLiteral("libc.so.6"));
        QString text;
        answerMessageBox([&](QMessageBox* box) { text = box->text(); });
        w.form->draw_Click();
        QVERIFY2(text.contains(QStringLiteral("Engine")), qPrintable(text));
        QCOMPARE(w.mode(), -1);
        verifyIdle(w);
    }

    void viewWithoutWidthAbandonsThePassBeforeTheMesh()
    {
        Probe probe;
        Window w;
        w.form->draw_Click();
        const QImage saved = w.pb()->image();
        probe.reset();

        const View empty[] = {{-1.5, -1.5, 0, 3},         {-1.5, -1.5, 3, 0},
                              {0, 0, 1e-320, 1},          {1.7e308, 0, 1e308, 1},
                              {0.5, 0.5, 1e-300, 1e-300}, {qInf(), 0, 1, 1}};
        for (const View& view : empty) {
            w.form->setView(view);
            QString title;
            answerMessageBox([&](QMessageBox* box) { title = box->windowTitle(); });
            QTest::mouseClick(w.button("draw"), Qt::LeftButton);
            QCOMPARE(title, QStringLiteral("Napaka"));
            QCOMPARE(probe.calls(), 0);
            QCOMPARE(w.pb()->image(), saved);
            QCOMPARE(w.mode(), 0);
            QCOMPARE(w.label(), selectText);
            verifyIdle(w);
        }
    }
};

QTEST_MAIN(TestDrawing)
#include "tst_drawing.moc"
