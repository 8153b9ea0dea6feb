// The window as it opens, its keyboard order, the About box and the box of
// the keys.
#include "identity.h"
#include "keytable.h"
#include "probe.h"
#include "slovene.h"

#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>

class TestWindow : public QObject {
    Q_OBJECT

private slots:
    void startUpState()
    {
        Window w;
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Quenthar by Brellow"));
        QCOMPARE(w.form->size(), QSize(656, 578));
        QCOMPARE(w.form->minimumSize(), w.form->maximumSize());
        QCOMPARE(w.mode(), -1);
        QCOMPARE(w.label(), startText);

        QCOMPARE(w.pb()->geometry(), QRect(8, 8, 640, 480));
        QCOMPARE(w.pb()->scaleWidth(), 9600.0f);
        QCOMPARE(w.pb()->scaleHeight(), 7200.0f);
        QImage black(640, 480, QImage::Format_RGB32);
        black.fill(Qt::black);
        QCOMPARE(w.pb()->image(), black);
        QVERIFY(w.backupPic()->isHidden());

        struct Expected {
            const char* name;
            QString text;
            int left;
            bool enabled;
        };
        const Expected buttons[] = {
            {"draw", QStringLiteral("Začni risati"), 8, true},
            {"restart", QStringLiteral("Nazaj na začetek"), 136, true},
            {"sstop", QStringLiteral("Ustavi"), 264, false},
            {"Command1", QStringLiteral("O programu..."), 400, true},
            {"Command2", QStringLiteral("Izhod"), 528, true},
        };
        for (const auto& e : buttons) {
            QPushButton* button = w.button(e.name);
            QVERIFY2(button, e.name);
            QCOMPARE(button->text(), e.text);
            QCOMPARE(button->geometry(), QRect(e.left, 504, 121, 41));
            QCOMPARE(button->isEnabled(), e.enabled);
            QVERIFY(!button->isDefault());
        }
        QCOMPARE(w.child<QLabel>("Label1")->geometry(), QRect(0, 552, 657, 25));
        QCOMPARE(w.child<QFrame>("Line1")->geometry(), QRect(392, 504, 1, 41));
        QCOMPARE(QApplication::focusWidget(), w.pb());
        // The picture has the focus and shows it, with its cursor, until the
        // pointer moves over it.
        QVERIFY(w.pb()->showsCursorMark());
        QTest::mouseMove(w.pb(), QPoint(5, 5));
        QVERIFY(!w.pb()->showsKeyboardFocus());
    }

    void tabOrderSkipsDisabledStop()
    {
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        const char* expected[] = {"draw", "restart", "Command1", "Command2", "pb"};
        for (const char* name : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(name));
        }
        // While a pass runs, the stop button takes its place in the order.
        w.button("sstop")->setEnabled(true);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("sstop"));
    }

    // Return and Enter press a focused button. A pass disables the buttons
    // that start one: their focus goes to "Ustavi" while it runs, and back to
    // "Začni risati" when it ends or stops.
    void keyboardPressesButtonsAndFollowsThePass()
    {
        Probe probe;
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));

        QString focusDuringPass;
        const auto noteFocus = [&] { focusDuringPass = QApplication::focusWidget()->objectName(); };
        w.button("draw")->setFocus(Qt::TabFocusReason);
        whenEventsRun(noteFocus);
        QTest::keyClick(w.button("draw"), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(probe.calls(), 307200);
        QCOMPARE(focusDuringPass, QStringLiteral("sstop"));
        QCOMPARE(QApplication::focusWidget(), w.button("draw"));

        // From "Nazaj na začetek"; Space on the focused "Ustavi" stops it.
        probe.reset();
        w.button("restart")->setFocus(Qt::TabFocusReason);
        whenEventsRun([&] {
            noteFocus();
            QTest::keyClick(w.button("sstop"), Qt::Key_Space);
        });
        QTest::keyClick(w.button("restart"), Qt::Key_Return);
        QCOMPARE(focusDuringPass, QStringLiteral("sstop"));
        QVERIFY(probe.calls() < 307200);
        QCOMPARE(w.mode(), 0);
        QCOMPARE(QApplication::focusWidget(), w.button("draw"));

        // A held Return presses once.
        probe.reset();
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(w.button("draw"), &repeat);
        QCOMPARE(probe.calls(), 0);

        QString title;
        answerMessageBox([&](QMessageBox* box) { title = box->windowTitle(); });
        QTest::keyClick(w.button("Command1"), Qt::Key_Return);
        QCOMPARE(title, QStringLiteral("O programu"));
    }

    void identity()
    {
        setUpIdentity();
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Quenthar"));
        QCOMPARE(QApplication::organizationName(), QStringLiteral("Brellow"));
        const QIcon icon = QApplication::windowIcon();
        QCOMPARE(icon.availableSizes(), (QList<QSize>{{32, 32}, {48, 48}}));
        const QImage swirl = icon.pixmap(48, 48).toImage();
        QVERIFY(swirl.hasAlphaChannel());
        const QRgb centre = swirl.pixel(24, 24);
        QVERIFY(qRed(centre) > 200 && qGreen(centre) > 150 && qBlue(centre) < 50);
        QCOMPARE(qAlpha(swirl.pixel(0, 0)), 0);
        Window w;
        QCOMPARE(w.form->windowIcon().availableSizes(), icon.availableSizes());
    }

    void aboutBox()
    {
        Window w;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        answerMessageBox([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            QVERIFY(box->isModal());
        });
        QTest::mouseClick(w.button("Command1"), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("O programu"));
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("Verzija 1.0.054058"));
        QCOMPARE(lines[1], QStringLiteral("Ustvaril Brellow"));
        QVERIFY(lines[2].startsWith(QStringLiteral("https://")));
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(w.mode(), -1);
    }

    // F1 shows every key and mouse action of the table with what it does, in
    // a box that leaves the window as it was.
    void keysBoxListsTheTable()
    {
        Driven w;
        w.key(QKeySequence::HelpContents);
        auto* box = keysBox();
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Tipke in miška"));
        const QString text = box->text();
        const auto html = [](const char* text) { return QString::fromUtf8(text).toHtmlEscaped(); };
        for (const keytable::Group& group : keytable::groups) {
            QVERIFY2(text.contains(html(group.sloveneHeading)), group.sloveneHeading);
            for (const keytable::Key& key : group.keys) {
                QVERIFY2(text.contains(html(key.slovene)), key.slovene);
                QVERIFY2(text.contains(html(key.sloveneText)), key.sloveneText);
            }
        }
        box->accept();
        QCOMPARE(w.mode(), -1);
        QCOMPARE(w.label(), startText);
    }

    // The box opened during a pass does not hold it up: the pass draws on to
    // its end behind it. With a first corner placed, the corner stays.
    void keysBoxLeavesPassAndCornerAlone()
    {
        Driven w;
        w.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        bool shownDuringPass = false;
        whenEventsRun([&] {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
            shownDuringPass = keysBox() && w.mode() == -2;
        });
        w.form->draw_Click();
        QVERIFY(shownDuringPass);
        QCOMPARE(w.probe.calls(), 307200);
        QCOMPARE(w.mode(), 0);
        keysBox()->accept();

        w.release(1, 3000, 3000);
        w.key(QKeySequence::HelpContents);
        QVERIFY(keysBox());
        keysBox()->accept();
        QCOMPARE(w.mode(), 1);
        QCOMPARE(w.label(), secondCornerText);
        w.probe.reset();
        w.release(1, 6000, 6000);
        QCOMPARE(w.probe.calls(), 307200);
    }

    // The manual page's KEYS section, written at build time, names every key
    // of the table.
    void manualPageListsEveryKey()
    {
        QFile page(QStringLiteral(QUENTHAR_MANUAL_PAGE));
        QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(page.fileName()));
        const QString keys = QString::fromUtf8(page.readAll())
                                 .section(QStringLiteral("\n.SH KEYS\n"), 1)
                                 .section(QStringLiteral("\n.SH "), 0, 0);
        QVERIFY(!keys.isEmpty());
        for (const keytable::Group& group : keytable::groups)
            for (const keytable::Key& key : group.keys)
                for (const QString& name :
                     QString::fromUtf8(key.english).split(QStringLiteral(", ")))
                    QVERIFY2(keys.contains(QStringLiteral("\\fB%1\\fR").arg(name)),
                             qPrintable(name));
    }

    // Qt's own boxes and dialogs speak Slovene, their buttons too.
    void qtDialogsSpeakSlovene()
    {
        QVERIFY(installSlovene());
        Window w;
        QStringList buttons;
        answerMessageBox([&](QMessageBox* box) {
            for (const QAbstractButton* button : box->buttons())
                buttons << button->text();
        });
        w.button("Command1")->click();
        QCOMPARE(buttons, QStringList{QStringLiteral("V redu")});

        QFileDialog dialog(w.form.get());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.show();
        buttons.clear();
        for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
            if (!button->text().isEmpty())
                buttons << button->text();
        buttons.sort();
        QCOMPARE(buttons, (QStringList{QStringLiteral("&Shrani"), QStringLiteral("Prekliči")}));
    }

private:
    // The box of F1, while it is open.
    static QMessageBox* keysBox()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box && box->windowTitle() == Form1::keysTitle ? box : nullptr;
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
