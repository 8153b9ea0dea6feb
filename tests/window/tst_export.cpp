// Exporting the picture at any size: the dialog, the file the program's
// --render makes of the same view, and the render in the background that the
// window goes on beside, that can be cancelled and whose failure is shown.
#include "fulldisk.h"
#include "pictureexport.h"
#include "picturefile.h"
#include "probe.h"
#include "program.h"
#include "viewmath.h"

#include <QLineEdit>
#include <QProgressDialog>
#include <QSpinBox>
#include <QTemporaryDir>

#include <cmath>
#include <utility>

namespace {

// Answers the export dialog once it runs, after handing it to answer.
void answerExportDialog(std::function<void(ExportDialog*)> answer, int triesLeft = 500)
{
    QTimer::singleShot(10, [answer, triesLeft] {
        auto* dialog = qobject_cast<ExportDialog*>(QApplication::activeModalWidget());
        if (dialog)
            answer(dialog);
        else if (triesLeft > 0)
            answerExportDialog(answer, triesLeft - 1);
    });
}

// The file --render makes of view at size with samples, as its bytes.
QByteArray rendered(const QString& folder, const View& view, QSize size, int samples)
{
    const QString file = QDir(folder).filePath(QStringLiteral("rendered.png"));
    const Outcome outcome = run(
        {"--render", file, "--size", QStringLiteral("%1x%2").arg(size.width()).arg(size.height()),
         "--samples", QString::number(samples), "--stretch", "--view", viewText(view)});
    if (outcome.status != 0)
        qWarning("--render: %s", outcome.err.constData());
    return contents(file);
}

} // namespace

// A window with a zoomed view's picture standing.
struct Zoomed : Drawn {
    Zoomed() { zoomByMouse({4226, 5505}, {7899, 6888}); }
};

class TestExport : public QObject {
    Q_OBJECT

private slots:
    // Ctrl+E asks for the window's own size, one sample and the name a save
    // would propose; so exported, the file is --render's of the view itself.
    void dialogDefaultsGiveTheWindowsPicture()
    {
        Zoomed w;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("exported.png"));
        QString proposed;
        answerExportDialog([&](ExportDialog* dialog) {
            QCOMPARE(dialog->findChild<QSpinBox*>("width")->value(), 640);
            QCOMPARE(dialog->findChild<QSpinBox*>("height")->value(), 480);
            QCOMPARE(dialog->findChild<QSpinBox*>("samples")->value(), 1);
            auto* name = dialog->findChild<QLineEdit*>("file");
            proposed = name->text();
            name->setText(file);
            dialog->findChild<QPushButton*>("export")->click();
        });
        w.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::ControlModifier);
        const QString folder = picturefile::startFolder();
        QCOMPARE(proposed, QDir(folder).filePath(picturefile::proposedName(folder)));
        QVERIFY(w.form->exporting());
        QVERIFY(waitFor([&] { return !w.form->exporting(); }));
        const QByteArray exported = contents(file);
        QVERIFY(!exported.isEmpty());
        QCOMPARE(exported, rendered(dir.path(), w.form->view(), {640, 480}, 1));
    }

    // At another size the view is widened with the shape of the window's
    // pixels, and the file is --render's of that view with --stretch.
    void exportIsTheRenderOfTheWidenedView_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("samples");
        QTest::newRow("97 x 31, 2 samples") << QSize(97, 31) << 2;
        QTest::newRow("40 x 160, 3 samples") << QSize(40, 160) << 3;
    }
    void exportIsTheRenderOfTheWidenedView()
    {
        QFETCH(QSize, size);
        QFETCH(int, samples);
        Zoomed w;
        const View view = w.form->view();
        const View widened = fittedView(view, size.width(), size.height(),
                                        pixelShape(view, picture::columns, picture::rows));
        QVERIFY(!(widened == view));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("exported.png"));
        QVERIFY(w.form->exportPictureAs(file, size, samples));
        QVERIFY(waitFor([&] { return !w.form->exporting(); }));
        const QByteArray exported = contents(file);
        QVERIFY(!exported.isEmpty());
        QCOMPARE(exported, rendered(dir.path(), widened, size, samples));
    }

    // The window goes on while an export runs: its timers fire, a pass draws,
    // the progress grows in a box that holds nothing up. Cancelled, or ended
    // with the window, the export leaves no file and no temporary file, and
    // an earlier file stays whole.
    void cancelledExportLeavesTheEarlierFile_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("earlier");
        QTest::newRow("cancelled, new file") << QStringLiteral("cancel") << false;
        QTest::newRow("cancelled, earlier file") << QStringLiteral("cancel") << true;
        QTest::newRow("window quits") << QStringLiteral("quit") << true;
        QTest::newRow("window destroyed") << QStringLiteral("destroy") << true;
    }
    void cancelledExportLeavesTheEarlierFile()
    {
        QFETCH(QString, end);
        QFETCH(bool, earlier);
        Drawn w;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("a.png"));
        if (earlier) {
            QFile written(file);
            QVERIFY(written.open(QIODevice::WriteOnly) && written.write("earlier") == 7);
        }
        QVERIFY(w.form->exportPictureAs(file, {16384, 16384}, RenderJob::mostSamples));
        QVERIFY(!w.form->exportPictureAs(file, {1, 1}, 1));
        bool firedWhileExporting = false;
        QTimer::singleShot(1, [&] { firedWhileExporting = w.form->exporting(); });
        QVERIFY(waitFor([&] { return firedWhileExporting; }));
        auto* progress = w.form->findChild<QProgressDialog*>("exportProgress");
        QVERIFY(progress && progress->isVisible() && !QApplication::activeModalWidget());
        QVERIFY(
            waitFor([&] { return progress->value() > 0 && !hiddenFiles(dir.path()).isEmpty(); }));
        w.probe.reset();
        QTest::mouseClick(w.button("draw"), Qt::LeftButton);
        QCOMPARE(w.probe.calls(), 307200);
        QVERIFY(w.form->exporting());

        if (end == QLatin1String("cancel")) {
            progress->findChild<QPushButton*>()->click();
            QVERIFY(waitFor([&] { return !w.form->exporting(); }));
        } else if (end == QLatin1String("quit")) {
            QTimer::singleShot(0, [&] { w.form->quitThroughEventLoop(); });
            QCOMPARE(QCoreApplication::exec(), 0);
            QVERIFY(!w.form->exporting());
        } else {
            w.form.reset();
        }
        QCOMPARE(hiddenFiles(dir.path()), QStringList());
        QCOMPARE(QFileInfo::exists(file), earlier);
        if (earlier)
            QCOMPARE(contents(file), QByteArray("earlier"));
    }

    // A file that cannot be written is told in the window's error box, with
    // the system's reason, once the export has ended; it leaves nothing.
    void failureIsShown_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder")
            << QStringLiteral("missing") << QStringLiteral("No such file or directory");
        QTest::newRow("read-only folder")
            << QStringLiteral("read-only") << QStringLiteral("Permission denied");
        QTest::newRow("full disk") << QStringLiteral("full") << QStringLiteral("No space left");
    }
    void failureIsShown()
    {
        QFETCH(QString, failure);
        QFETCH(QString, reason);
        Drawn w;
        QTemporaryDir dir;
        FullDisk disk;
        QString file = dir.filePath(QStringLiteral("a.png"));
        const QFile::Permissions permissions = QFile::permissions(dir.path());
        if (failure == QLatin1String("missing")) {
            file = dir.filePath(QStringLiteral("missing/a.png"));
        } else if (failure == QLatin1String("read-only")) {
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
            if (QFileInfo(dir.path()).isWritable()) {
                QFile::setPermissions(dir.path(), permissions);
                QSKIP("a read-only folder is writable to this user (root)");
            }
        } else {
            if (const QString why = disk.mount(dir.path()); !why.isEmpty())
                QSKIP(qPrintable(why));
            QVERIFY(disk.fill(8192));
        }
        QString text;
        answerMessageBox([&](QMessageBox* box) { text = box->text(); });
        QVERIFY(w.form->exportPictureAs(file, {1000, 1000}, 1));
        QVERIFY(waitFor([&] { return !w.form->exporting() && !text.isEmpty(); }));
        QFile::setPermissions(dir.path(), permissions);
        QVERIFY2(text.startsWith(QStringLiteral("Slike ni bilo mogoče shraniti v »%1«")
                                     .arg(QDir::toNativeSeparators(file))) &&
                     text.contains(reason),
                 qPrintable(text));
        QVERIFY(!QFileInfo::exists(file));
        QCOMPARE(hiddenFiles(dir.path()), QStringList());
    }

    // What cannot be exported is refused before anything is drawn: another
    // suffix than .png, and a view that cannot be drawn at the size asked.
    void refusedBeforeDrawing()
    {
        Driven w;
        const double least = 640 * 0x1p-53 * 1277 / 1278;
        w.form->showView({0.5, 0, std::nextafter(least, 1.0), 1});
        QTemporaryDir dir;
        QStringList texts;
        for (const auto& [name, size] :
             {std::pair{"a.jpg", QSize(640, 480)}, std::pair{"a.png", QSize(16384, 12288)}}) {
            answerMessageBox([&](QMessageBox* box) { texts << box->text(); });
            QVERIFY(!w.form->exportPictureAs(dir.filePath(QString::fromLatin1(name)), size, 1));
        }
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts[0].contains(QStringLiteral("».png«")), qPrintable(texts[0]));
        QVERIFY2(
            texts[1].startsWith(QStringLiteral("Pogleda ni mogoče narisati v velikosti 16384 × "
                                               "12288: ")),
            qPrintable(texts[1]));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
