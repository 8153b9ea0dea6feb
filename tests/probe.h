// Test helpers: the stand-in engine library and a window drawn with it.
#pragma once

#include "form1.h"
#include "picturebox.h"
#include "views.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <dlfcn.h>

#include <functional>
#include <memory>

// The label's texts, as the user must read them.
const QString startText =
    QStringLiteral("Kliknite gumb \"Začni risati\" in po risanju izberite območje za približanje.");
const QString drawingText = QStringLiteral("Rišem... Lahko me ustavite s tipko 'Ustavi'.");
const QString selectText =
    QStringLiteral("Kliknite enkrat, prestavite miško in kliknite še enkrat za izbiro.");
const QString secondCornerText = QStringLiteral(
    "Kliknite še enkrat za povečanje ali pritisnite desno tipko na miški za prekinitev.");

// The recording engine of libprobeengine.so, opened by path so that the test
// shares the instance the window binds.
class Probe {
public:
    Probe()
    {
        const QByteArray path =
            QFile::encodeName(QCoreApplication::applicationDirPath() + "/libprobeengine.so");
        m_handle = dlopen(path.constData(), RTLD_NOW);
        if (!m_handle)
            qFatal("cannot open the probe engine: %s", dlerror());
        m_calls = reinterpret_cast<int32_t (*)()>(dlsym(m_handle, "ProbeCalls"));
        m_call =
            reinterpret_cast<void (*)(int32_t, int32_t*, int32_t*)>(dlsym(m_handle, "ProbeCall"));
        m_reset = reinterpret_cast<void (*)()>(dlsym(m_handle, "ProbeReset"));
        m_reset();
    }
    ~Probe() { dlclose(m_handle); }

    int calls() const { return m_calls(); }
    QPoint call(int i) const
    {
        int32_t col = 0, row = 0;
        m_call(i, &col, &row);
        return {col, row};
    }
    void reset() { m_reset(); }

    static QString fileName() { return QStringLiteral("libprobeengine.so"); }

private:
    void* m_handle = nullptr;
    int32_t (*m_calls)() = nullptr;
    void (*m_call)(int32_t, int32_t*, int32_t*) = nullptr;
    void (*m_reset)() = nullptr;
};

// A shown window drawing with engineFile. The probe records its calls in order
// and is not safe to call from several threads, so a window bound to it draws
// on the window's thread alone; any other keeps one thread per core.
struct Window {
    explicit Window(const QString& engineFile = Probe::fileName())
        : form(std::make_unique<Form1>(engineFile))
    {
        if (engineFile == Probe::fileName())
            form->setThreads(1);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    template <typename T = QWidget> T* child(const char* name) const
    {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    PictureBox* pb() const { return child<PictureBox>("pb"); }
    PictureBox* backupPic() const { return child<PictureBox>("backupPic"); }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }
    QString label() const { return child<QLabel>("Label1")->text(); }
    int mode() const { return form->selection().mode; }

    std::unique_ptr<Form1> form;
};

// Runs action inside the next round of event processing, which during a pass
// is the one right after the mesh.
inline void whenEventsRun(std::function<void()> action)
{
    QTimer::singleShot(0, std::move(action));
}

// Answers the next modal message box, after handing it to inspect; gives up
// after about five seconds without one.
inline void answerMessageBox(std::function<void(QMessageBox*)> inspect = {}, int triesLeft = 500)
{
    QTimer::singleShot(10, [inspect, triesLeft] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (triesLeft > 0)
                answerMessageBox(inspect, triesLeft - 1);
            return;
        }
        if (inspect)
            inspect(box);
        box->accept();
    });
}

// A window driven as the user drives it: the wheel, the keys and the mouse's
// releases, with the probe's record of the engine's calls.
struct Driven : Window {
    explicit Driven(const QString& engine = Probe::fileName()) : Window(engine) {}
    void wheel(QPointF pixel, int delta)
    {
        QWheelEvent event(pixel, pb()->mapToGlobal(pixel), {}, {0, delta}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(pb(), &event);
    }
    // The key goes to the focused control, as the user's would. The
    // offscreen platform gives no window back its activation when a dialog
    // closes, as a window system does.
    void key(QKeySequence::StandardKey key)
    {
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        const QKeyCombination combination = QKeySequence(key)[0];
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : form.get(), combination.key(),
                        combination.keyboardModifiers());
    }
    void release(int button, float x, float y) { form->pb_MouseUp(button, 0, x, y); }
    void zoomByMouse(QPoint first, QPoint second)
    {
        release(1, float(first.x()), float(first.y()));
        release(1, float(second.x()), float(second.y()));
    }
    Probe probe;
};

// A window whose first pass has finished: mode 0, a picture saved, the
// probe's record cleared.
struct Drawn : Driven {
    Drawn()
    {
        form->draw_Click();
        probe.reset();
    }
};
