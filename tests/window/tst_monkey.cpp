// Random use of the window for a long while, from a fixed seed: button clicks,
// releases and moves on the picture inside and far outside it, double clicks,
// zooms far in and far out until they are refused, stops during passes, the
// keys that save, copy, open, step back and forward and zoom, wheel notches
// and the mouse's back and forward buttons, and answers to every message box,
// save dialog and open dialog. Events arrive wherever the window processes events: from the top
// level and from inside passes and message boxes. After every event the
// window must be in a consistent state it can leave.
#include "form1.h"
#include "picturebox.h"
#include "viewtext.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWheelEvent>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>

namespace {

// The resident set of this process, in bytes.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

// Refusals of a zoom or of a file opened, told apart by their message.
enum Refusal { FarPoint, TooLarge, NotFinite, NotOpened, OtherError, refusalKinds };

Refusal refusalOf(const QString& text)
{
    if (text.contains(QStringLiteral("predaleč")))
        return FarPoint;
    if (text.contains(QStringLiteral("preveliko")))
        return TooLarge;
    if (text.contains(QStringLiteral("povečava ali pomanjšava")))
        return NotFinite;
    if (text.startsWith(QStringLiteral("Pogleda iz »")))
        return NotOpened;
    return OtherError;
}

} // namespace

class Monkey : public QObject {
    Q_OBJECT

public:
    explicit Monkey(Form1& form) : form(form), random(20240607)
    {
        pb = form.findChild<PictureBox*>(QStringLiteral("pb"));
        for (const char* name : {"draw", "restart", "sstop", "Command1"})
            buttons.append(form.findChild<QPushButton*>(QString::fromLatin1(name)));
        buttons[0]->installEventFilter(this);
        QFile text(notPicture);
        if (!text.open(QIODevice::WriteOnly) || text.write("not a picture") <= 0)
            fail(QStringLiteral("cannot write %1").arg(notPicture));
    }

    // Sends about `events` events, then lets the running passes end.
    void run(int events)
    {
        target = events;
        post();
        loop.exec();
    }

    // The pictures saved through the dialog.
    int saved() const { return int(QDir(saves.path()).entryList(QDir::Files).size()); }

    QString failure;
    int sent = 0;
    int passes = 0;
    int refusals[refusalKinds] = {};
    int stepped = 0;   // steps back or forward that drew a view
    int opened = 0;    // saved pictures opened that drew their view
    int deepestIn = 0; // most zooms in a row towards one point
    int widestOut = 0; // most widening zooms in a row
    qint64 slowestEvent = 0;
    qint64 rssFirstPass = -1;
    qint64 rssLastPass = -1;

protected:
    // A pass disables "draw" when it starts and enables it when it ends.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange) {
            if (!buttons[0]->isEnabled()) {
                ++passes;
                stepsInPass = 0;
            } else {
                rssLastPass = residentBytes();
                if (rssFirstPass < 0)
                    rssFirstPass = rssLastPass;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void post() { QMetaObject::invokeMethod(this, &Monkey::step, Qt::QueuedConnection); }

    bool chance(double p) { return random.generateDouble() < p; }
    int below(int n) { return int(random.bounded(n)); }

    // A point in picture pixels: inside, near the edge or far outside, where
    // the picture units no longer fit the corner fields.
    QPointF point()
    {
        switch (below(4)) {
        case 0:
            return {double(below(640)), double(below(480))};
        case 1:
            return {random.bounded(640.0), random.bounded(480.0)};
        case 2:
            return {double(below(800) - 80), double(below(640) - 80)};
        default:
            return {double((2200 + below(200000)) * (chance(0.5) ? 1 : -1)),
                    double(below(480) + (chance(0.5) ? (2200 + below(9000)) : 0))};
        }
    }

    // One event; afterwards the state is checked. mayPass marks the events
    // that can start a pass, so that events arriving inside it know a pass
    // is under way.
    void send(const std::function<void()>& event, bool mayPass = false)
    {
        if (!failure.isEmpty())
            return;
        ++sent;
        QElapsedTimer clock;
        clock.start();
        passingDepth += mayPass;
        event();
        passingDepth -= mayPass;
        slowestEvent = std::max(slowestEvent, clock.elapsed());
        check();
    }

    void mouse(QEvent::Type type, Qt::MouseButton button, QPointF at)
    {
        const bool release = type == QEvent::MouseButtonRelease;
        send(
            [=, this] {
                QMouseEvent event(type, at, pb->mapToGlobal(at), button,
                                  release || type == QEvent::MouseMove ? Qt::NoButton : button,
                                  chance(0.1) ? Qt::ShiftModifier : Qt::NoModifier);
                QApplication::sendEvent(pb, &event);
            },
            release && button != Qt::RightButton && button != Qt::MiddleButton);
    }
    void release(QPointF at, Qt::MouseButton button = Qt::LeftButton)
    {
        mouse(QEvent::MouseButtonRelease, button, at);
    }
    void click(int index)
    {
        send([=, this] { QTest::mouseClick(buttons[index], Qt::LeftButton); }, index < 2);
    }

    void fail(const QString& what)
    {
        if (failure.isEmpty())
            failure = QStringLiteral("after event %1: %2").arg(sent).arg(what);
    }

    void check()
    {
        const Selection& sel = form.selection();
        if (sel.mode < -2 || sel.mode > 1)
            return fail(QStringLiteral("mode %1").arg(sel.mode));
        if (sel.mode == -2 && passingDepth == 0)
            return fail(QStringLiteral("mode -2 with no pass running"));
        const bool passing = sel.mode == -2 || (sel.mode == -1 && passingDepth > 0);
        if (buttons[0]->isEnabled() == passing || buttons[1]->isEnabled() == passing ||
            buttons[2]->isEnabled() != passing)
            return fail(QStringLiteral("buttons do not match mode %1").arg(sel.mode));
        const ViewHistory& history = form.history();
        if (history.size() > ViewHistory::defaultCapacity)
            return fail(QStringLiteral("%1 views kept").arg(history.size()));
        if (sel.mode == 0 && !(history.at(history.position()) == form.view()))
            return fail(QStringLiteral("the standing view is not the list's current one"));
        const View& v = form.view();
        if (!isDrawable(v))
            return fail(QStringLiteral("view %1 %2 %3 %4")
                            .arg(v.viewLeft)
                            .arg(v.viewTop)
                            .arg(v.viewWidth)
                            .arg(v.viewHeight));
    }

    void step()
    {
        // Even after the last event, a box still open is answered, or the
        // window would wait in it for ever.
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        const bool done = !failure.isEmpty() || sent >= target;
        if (done && !box && !dialog) {
            loop.quit();
            return;
        }
        post();
        if (dialog && dialog->acceptMode() == QFileDialog::AcceptOpen) {
            answerOpen(dialog);
            form.activateWindow();
            return;
        }
        if (dialog) {
            if (form.selection().mode != 0)
                fail(QStringLiteral("a save dialog in mode %1").arg(form.selection().mode));
            if (!failure.isEmpty() || chance(0.5)) {
                send([=] { dialog->reject(); });
            } else {
                const QString name = saves.filePath(QStringLiteral("%1.png").arg(sent));
                send([=] {
                    dialog->selectFile(name);
                    static_cast<QDialog*>(dialog)->accept();
                });
            }
            // As a window manager gives the focus back.
            form.activateWindow();
            return;
        }
        if (box) {
            if (box->windowTitle() == QStringLiteral("Napaka")) {
                const Refusal kind = refusalOf(box->text());
                ++refusals[kind];
                if (kind == NotFinite)
                    dive = 0;
            }
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            if (failure.isEmpty())
                send([=] { QTest::mouseClick(ok, Qt::LeftButton); });
            else
                ok->click();
            form.activateWindow();
            return;
        }
        if (done)
            return;
        if (passingDepth > 0)
            duringPass();
        else
            idle();
    }

    // The open dialog shows only when no pass runs and a picture stands or
    // none has been drawn yet. It is cancelled, or given a saved picture, or
    // a file that is not a picture.
    void answerOpen(QFileDialog* dialog)
    {
        const int mode = form.selection().mode;
        if ((mode != 0 && mode != -1) || !buttons[0]->isEnabled())
            fail(QStringLiteral("an open dialog in mode %1").arg(mode));
        const QStringList pictures = QDir(saves.path()).entryList(QDir::Files, QDir::Name);
        if (!failure.isEmpty() || chance(0.2)) {
            send([=] { dialog->reject(); });
            return;
        }
        const QString name = pictures.isEmpty() || chance(0.4)
                                 ? notPicture
                                 : saves.filePath(pictures[below(int(pictures.size()))]);
        if (name != notPicture) {
            const ViewParse parse =
                parseView(QImageReader(name).text(QString::fromLatin1(viewKey)).toStdString());
            if (!parse.ok())
                fail(QStringLiteral("%1 holds no view").arg(name));
            opening = parse.view;
        }
        send([=] {
            dialog->selectFile(name);
            static_cast<QDialog*>(dialog)->accept();
        });
    }

    // Inside a pass: stop it when diving or after 20 of its 50 chances to
    // handle events (deep views take long), otherwise anything, including
    // the disabled buttons.
    void duringPass()
    {
        if (dive != 0 || ++stepsInPass > 20 || chance(0.05)) {
            click(2);
            if (chance(0.3))
                click(below(2));
            return;
        }
        if (chance(0.15))
            return keep();
        if (chance(0.5))
            return mouse(QEvent::MouseMove, Qt::NoButton, point());
        if (chance(0.5))
            return release(point(), chance(0.6) ? Qt::LeftButton : Qt::RightButton);
        click(below(4));
    }

    // The keys, wheel notches and extra buttons. They act only when a
    // picture stands; a step back or forward draws the list's neighbour,
    // bit for bit, and with a corner placed only the extra buttons act, by
    // cancelling it.
    void keep()
    {
        // A key goes to the window that has the focus: give it back first,
        // from a message box or the dialog.
        if (!form.isActiveWindow()) {
            form.activateWindow();
            return;
        }
        const int mode = form.selection().mode;
        const View before = form.view();
        const ViewHistory& history = form.history();
        const size_t position = history.position();
        int step = 0; // -1 back, 1 forward
        bool extraButton = false;
        const int kind = below(100);
        opening.reset();
        const int notOpened = refusals[NotOpened];
        if (kind < 2) {
            key(QKeySequence::Save);
        } else if (kind < 3) {
            key(QKeySequence::Copy);
        } else if (kind < 7) {
            key(QKeySequence::Open);
        } else if (kind < 40) {
            step = chance(0.6) ? -1 : 1;
            extraButton = chance(0.5);
            if (extraButton)
                release(QPointF(below(640), below(480)),
                        step < 0 ? Qt::BackButton : Qt::ForwardButton);
            else
                key(step < 0 ? QKeySequence::Back : QKeySequence::Forward);
        } else if (kind < 55) {
            key(chance(0.5) ? QKeySequence::ZoomIn : QKeySequence::ZoomOut);
        } else {
            const QPointF at(random.bounded(640.0), random.bounded(480.0));
            const int delta = std::array{120, -120, 40, -40, 240, 1}[below(6)];
            send(
                [=, this] {
                    QWheelEvent event(at, pb->mapToGlobal(at), {}, {0, delta}, Qt::NoButton,
                                      Qt::NoModifier, Qt::NoScrollPhase, false);
                    QApplication::sendEvent(pb, &event);
                },
                true);
        }
        if (passingDepth > 0 || !failure.isEmpty())
            return;
        // A saved picture opened draws its view bit for bit as the list's
        // current entry; a file refused changes nothing.
        if (opening) {
            ++opened;
            if (form.selection().mode != 0 ||
                std::memcmp(&form.view(), &*opening, sizeof(View)) != 0 ||
                !(history.at(history.position()) == *opening))
                fail(QStringLiteral("an opened picture did not draw its view"));
        } else if (refusals[NotOpened] > notOpened &&
                   !(form.view() == before && form.selection().mode == mode)) {
            fail(QStringLiteral("a file refused changed the window"));
        }
        if (mode == 1 && !extraButton && !(form.selection().mode == 1 && form.view() == before))
            fail(QStringLiteral("a key or the wheel acted with a corner placed"));
        if (mode == 0 && step != 0) {
            const size_t next = position + size_t(step);
            if (next < history.size()) {
                ++stepped;
                if (history.position() != next || form.selection().mode != 0 ||
                    std::memcmp(&form.view(), &history.at(next), sizeof(View)) != 0)
                    fail(QStringLiteral("a step did not draw the list's neighbour"));
            } else if (!(form.view() == before)) {
                fail(QStringLiteral("a step beyond the end of the list changed the view"));
            }
        }
    }

    void key(QKeySequence::StandardKey key)
    {
        const bool mayPass = key != QKeySequence::Save && key != QKeySequence::Copy;
        const QKeyCombination combination = QKeySequence(key)[0];
        send(
            [=, this] {
                QWidget* focused = QApplication::focusWidget();
                QTest::keyClick(focused ? focused : &form, combination.key(),
                                combination.keyboardModifiers());
            },
            mayPass);
    }

    void idle()
    {
        if (chance(0.12))
            return keep();
        if (dive == 0 && chance(0.02)) {
            dive = chance(0.5) ? 1 : -1;
            diveZooms = 0;
        }
        if (dive != 0) {
            if (form.selection().mode != 0)
                return click(0);
            ++diveZooms;
            if (dive > 0) {
                deepestIn = std::max(deepestIn, diveZooms);
                return zoom(QPointF(below(639), below(479)), QPointF(1, 1));
            }
            widestOut = std::max(widestOut, diveZooms);
            return zoom(QPointF(320 - 1092, 240 - 1092), QPointF(2184, 2184));
        }
        const int action = below(100);
        if (action < 8)
            return click(0);
        if (action < 14)
            return click(1);
        if (action < 17)
            return click(2);
        if (action < 19)
            return click(3);
        if (action < 32)
            return release(point(),
                           std::array{Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}[below(3)]);
        if (action < 45)
            return mouse(QEvent::MouseMove, Qt::NoButton, point());
        if (action < 50) {
            const QPointF at = point();
            mouse(QEvent::MouseButtonPress, Qt::LeftButton, at);
            release(at);
            mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, at);
            return release(at);
        }
        const QPointF from = point();
        switch (below(6)) {
        case 0: // a few pixels: far in after a few of these
            return zoom(from, QPointF(1 + below(3), 1 + below(3)));
        case 1: // both corners fit, but not the width between them
            return zoom(QPointF(-1100 - below(1000), below(480)), QPointF(2200 + below(100), 10));
        case 2: // one side of no size
            return zoom(from, QPointF(0, 5));
        default:
            return zoom(from, point() - from);
        }
    }

    // Two corners with moves between; the second release is checked against
    // the zoom's rules: a refusal or a cancel leaves the view as it was.
    void zoom(QPointF from, QPointF size)
    {
        release(from);
        for (int i = below(4); i > 0; --i)
            mouse(QEvent::MouseMove, Qt::NoButton, from + size * random.generateDouble());
        if (form.selection().mode != 1)
            return;
        const View before = form.view();
        const int errors = refusals[FarPoint] + refusals[TooLarge] + refusals[NotFinite];
        if (chance(0.1))
            return release(from + size, chance(0.5) ? Qt::RightButton : Qt::MiddleButton);
        release(from + size);
        const bool unchanged = form.view() == before;
        if (refusals[FarPoint] + refusals[TooLarge] + refusals[NotFinite] > errors &&
            !(unchanged && form.selection().mode == 0))
            fail(QStringLiteral("a refused zoom changed the window"));
        if (size.x() == 0 && !(unchanged && form.selection().mode == 0))
            fail(QStringLiteral("a zoom of no width changed the window"));
    }

    Form1& form;
    PictureBox* pb = nullptr;
    QList<QPushButton*> buttons; // draw, restart, sstop, Command1
    QRandomGenerator random;
    QEventLoop loop;
    QTemporaryDir saves;
    QTemporaryDir elsewhere;
    const QString notPicture = elsewhere.filePath(QStringLiteral("notes.png"));
    // The view of the saved picture the open dialog was given.
    std::optional<View> opening;
    int target = 0;
    int passingDepth = 0;
    int stepsInPass = 0;
    int dive = 0; // 1 while zooming in to the limit, -1 while zooming out
    int diveZooms = 0;
};

class TestMonkey : public QObject {
    Q_OBJECT

    QTemporaryDir settings;

private slots:
    void initTestCase()
    {
        // The save dialog keeps its state in the settings: not the user's.
        QVERIFY(settings.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
        // Every message box on the offscreen platform says this; the rest is
        // passed on.
        static const QtMessageHandler passOn = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.contains(QStringLiteral("propagateSizeHints")))
                    passOn(type, context, message);
            });
    }

    void randomUse()
    {
        Form1 form;
        // The threads of its passes and the events sent can be set from outside,
        // for a shorter run in a slow build: QUENTHAR_MONKEY_THREADS (else one
        // per core) and QUENTHAR_MONKEY_EVENTS (else 20,000).
        int events = qEnvironmentVariableIntValue("QUENTHAR_MONKEY_EVENTS");
        if (events <= 0)
            events = 20000;
        int threads = qEnvironmentVariableIntValue("QUENTHAR_MONKEY_THREADS");
        if (threads > 0)
            form.setThreads(threads);
        else
            threads = QThread::idealThreadCount();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // What the save dialog and the clipboard take once, at their first
        // use, is not what the resident check looks for.
        {
            QFileDialog dialog(&form);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        }
        QGuiApplication::clipboard()->setImage(QImage(640, 480, QImage::Format_RGB32));
        Monkey monkey(form);
        QElapsedTimer clock;
        clock.start();
        monkey.run(events);
        qInfo("%d threads, %d events, %d passes in %lld ms; slowest event %lld ms; %d zooms in "
              "and %d out in a row; refusals: %d far, %d too large, %d not finite, %d files not "
              "opened, %d other; %d steps back or forward, %d pictures saved, %d opened; resident "
              "after the first pass %lld KiB, after the last %lld KiB",
              threads, monkey.sent, monkey.passes, clock.elapsed(), monkey.slowestEvent,
              monkey.deepestIn, monkey.widestOut, monkey.refusals[FarPoint],
              monkey.refusals[TooLarge], monkey.refusals[NotFinite], monkey.refusals[NotOpened],
              monkey.refusals[OtherError], monkey.stepped, monkey.saved(), monkey.opened,
              monkey.rssFirstPass / 1024, monkey.rssLastPass / 1024);
        QVERIFY2(monkey.failure.isEmpty(), qPrintable(monkey.failure));
        QCOMPARE_GE(monkey.passes, 200);
        QCOMPARE_GE(monkey.refusals[FarPoint], 1);
        QCOMPARE_GE(monkey.refusals[TooLarge], 1);
        QCOMPARE_GE(monkey.refusals[NotFinite], 2);
        QCOMPARE(monkey.refusals[OtherError], 0);
        QCOMPARE_GE(monkey.stepped, 50);
        QCOMPARE_GE(monkey.saved(), 1);
        QCOMPARE_GE(monkey.opened, 1);
        QCOMPARE_GE(monkey.refusals[NotOpened], 1);
        QCOMPARE_LT(monkey.slowestEvent, 10000);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // The sanitizers' allocators keep freed memory in quarantine.
        QCOMPARE_LT(std::abs(monkey.rssLastPass - monkey.rssFirstPass), 5 << 20);
#endif

        // Wherever it ended, the window can go back to the start.
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("restart")), Qt::LeftButton);
        QCOMPARE(form.selection().mode, 0);
        QVERIFY(form.view() == View{});
    }
};

QTEST_MAIN(TestMonkey)
#include "tst_monkey.moc"
