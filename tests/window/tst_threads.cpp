// The pass's threads hand out every number once, and a pass on several
// threads shows the same pictures at the same points as a pass on the
// window's thread alone.
#include "passthreads.h"
#include "probe.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

// Most pixels of this view cost hundreds of iterations, a quarter of them 1025.
const View dense{0.2, -0.52, 0.04, 0.03};

// Keeps the picture at every paint of pb; at the paint numbered stopAt (the
// first is 1) it asks the pass to stop at the events that follow.
class PictureRecorder : public QObject {
public:
    PictureRecorder(const Window& w, size_t stopAt = 0) : m_w(w), m_stopAt(stopAt)
    {
        w.pb()->installEventFilter(this);
    }
    std::vector<QImage> pictures;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            pictures.push_back(m_w.pb()->image());
            if (pictures.size() == m_stopAt)
                whenEventsRun([this] { m_w.button("sstop")->click(); });
        }
        return false;
    }

private:
    const Window& m_w;
    size_t m_stopAt;
};

// A window on threads threads whose default picture stands, so that a dense
// pass draws over a meshed picture.
std::unique_ptr<Window> denseWindowOn(int threads)
{
    auto w = std::make_unique<Window>(EngineBinding::defaultFileName());
    w->form->setThreads(threads);
    w->form->draw_Click();
    w->form->setView(dense);
    return w;
}

} // namespace

class TestThreads : public QObject {
    Q_OBJECT

private slots:
    // Whatever the threads and the size, and whether the helpers are awake
    // from the last call, asleep or not yet started, every number is handed
    // out once, within range, and the work is shared.
    void blocksCoverEachNumberOnce()
    {
        std::mutex mutex;
        std::set<std::thread::id> workers;
        bool outOfRange = false;
        for (const bool pause : {false, true}) {
            PassThreads pass;
            for (int round = 0; round < 3; ++round) {
                for (const int threads : {1, 2, 3, 8}) {
                    pass.setThreads(threads);
                    QCOMPARE(pass.threads(), threads);
                    for (const size_t size : {0, 1, 8, 9, 100, 6334}) {
                        std::vector<int> covered(size);
                        pass.forEachBlock(size, [&](size_t begin, size_t end) {
                            if (begin >= end || end > size) {
                                const std::lock_guard lock(mutex);
                                outOfRange = true;
                                return;
                            }
                            // About a microsecond a number, so that helpers
                            // have the time to join.
                            const auto until = std::chrono::steady_clock::now() +
                                               std::chrono::microseconds(end - begin);
                            for (size_t i = begin; i < end; ++i)
                                ++covered[i];
                            while (std::chrono::steady_clock::now() < until) {
                            }
                            const std::lock_guard lock(mutex);
                            workers.insert(std::this_thread::get_id());
                        });
                        QVERIFY(!outOfRange);
                        QVERIFY2(std::all_of(covered.begin(), covered.end(),
                                             [](int times) { return times == 1; }),
                                 qPrintable(
                                     QStringLiteral("%1 threads, size %2").arg(threads).arg(size)));
                        // Longer than helpers stay awake: they fall asleep.
                        if (pause)
                            std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    }
                }
            }
        }
        QCOMPARE_GT(workers.size(), size_t(1));
    }

    void sameRefreshesAndStopsAsOneThread()
    {
        std::vector<QImage> shown[2];
        QImage stopped[2];
        const int threads[] = {1, 4};
        for (int i = 0; i < 2; ++i) {
            auto w = denseWindowOn(threads[i]);
            PictureRecorder recorder(*w);
            w->form->draw_Click();
            shown[i] = std::move(recorder.pictures);

            // Stopped at the 7th refresh (the mesh is the 1st paint).
            w = denseWindowOn(threads[i]);
            PictureRecorder stopper(*w, 8);
            w->form->draw_Click();
            QCOMPARE(w->mode(), 0);
            QCOMPARE(stopper.pictures.size(), size_t(8));
            stopped[i] = w->pb()->image();
            QCOMPARE(w->backupPic()->image(), stopped[i]);
        }
        // The mesh, 49 refresh points and the finished picture.
        QCOMPARE(shown[0].size(), size_t(51));
        QCOMPARE(shown[1].size(), shown[0].size());
        for (size_t k = 0; k < shown[0].size(); ++k)
            QVERIFY2(shown[1][k] == shown[0][k], qPrintable(QStringLiteral("paint %1").arg(k)));
        QVERIFY(shown[0][7] != shown[0][8]);
        QCOMPARE(stopped[1], stopped[0]);
        // A stop leaves the picture of the refresh before it.
        QCOMPARE(stopped[0], shown[0][7]);
    }

    // Pixels before a bad count are set in the picture (a repaint during the
    // error message shows them), none after it.
    void badCountShowsNothingBeyondItself()
    {
        QImage atError[2];
        const int threads[] = {1, 4};
        for (int i = 0; i < 2; ++i) {
            Window w(QStringLiteral("libbadcountengine.so"));
            w.form->setThreads(threads[i]);
            answerMessageBox([&](QMessageBox*) { atError[i] = w.pb()->image(); });
            w.form->draw_Click();
            QCOMPARE(w.mode(), -1);
        }
        QImage black(640, 480, QImage::Format_RGB32);
        black.fill(Qt::black);
        QVERIFY(!atError[0].isNull() && atError[0] != black);
        QCOMPARE(atError[1], atError[0]);
    }
};

QTEST_MAIN(TestThreads)
#include "tst_threads.moc"
