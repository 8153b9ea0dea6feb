// Keeping what was found: the list of views with back and forward, zoom
// steps by the wheel and the keys, saving and copying the picture, and that
// none of it acts unless a picture stands; and opening a saved picture's view
// again, from the command line and by Ctrl+O.
#include "commandline.h"
#include "expectedpicture.h"
#include "fulldisk.h"
#include "hostilepictures.h"
#include "picturefile.h"
#include "pictureview.h"
#include "probe.h"
#include "viewtext.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeData>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstring>

namespace {

// Answers each file dialog that opens while it lives with answer, once the
// dialog runs, and counts them.
struct FileDialogs : QObject {
    explicit FileDialogs(std::function<void(QFileDialog*)> answer) : answer(std::move(answer))
    {
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (auto* dialog = qobject_cast<QFileDialog*>(watched);
            dialog && event->type() == QEvent::Show) {
            ++opened;
            QTimer::singleShot(0, dialog, [this, dialog] { answer(dialog); });
        }
        return false;
    }
    std::function<void(QFileDialog*)> answer;
    int opened = 0;
};

// A PNG of 640 x 480 pixels whose text entries hold the view text, if any.
void writePicture(const QString& fileName, const QString& view = {})
{
    QImageWriter writer(fileName);
    if (!view.isEmpty())
        writer.setText(QString::fromLatin1(viewKey), view);
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(Qt::yellow);
    QVERIFY(writer.write(picture));
}

} // namespace

class TestViews : public QObject {
    Q_OBJECT

private slots:
    // The suites run in a home of their own in the build tree: the file
    // dialogs' settings and the folder a save starts in lie there, never in
    // the user's own home.
    void staysInTheTestsOwnHome()
    {
        const QString homes = QStringLiteral(QUENTHAR_TEST_HOMES "/");
        for (const QString& path :
             {QDir::homePath(),
              QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName(),
              picturefile::startFolder(),
              QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
              QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
              QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)})
            QVERIFY2(path.startsWith(homes), qPrintable(path));
    }

    // A view shown first starts the list, and every kind of new view joins
    // it; back and forward draw the very same views again, and the same
    // pictures. The list is bounded.
    void backAndForwardDrawTheSameViewsAgain()
    {
        Driven w(EngineBinding::defaultFileName());
        const View start{-0.5, 0.25, 0.125, 0.0625};
        w.form->showView(start);
        QCOMPARE(w.form->history().size(), size_t(1));
        const QImage startPicture = w.backupPic()->image();
        w.zoomByMouse({2400, 1800}, {7200, 5400});
        const View zoomed = w.form->view();
        w.wheel({101, 333}, 120);
        const View wheeled = w.form->view();
        const QImage wheeledPicture = w.backupPic()->image();
        QTest::mouseClick(w.button("draw"), Qt::LeftButton);
        QCOMPARE(w.form->history().size(), size_t(3));

        w.key(QKeySequence::Back);
        QVERIFY(sameBits(w.form->view(), zoomed));
        QTest::mouseRelease(w.pb(), Qt::BackButton, {}, {5, 5});
        QVERIFY(sameBits(w.form->view(), start));
        QCOMPARE(w.backupPic()->image(), startPicture);
        QCOMPARE(w.pb()->image(), startPicture);
        w.key(QKeySequence::Back);
        QVERIFY(sameBits(w.form->view(), start));
        QTest::mouseRelease(w.pb(), Qt::ForwardButton, {}, {5, 5});
        w.key(QKeySequence::Forward);
        QVERIFY(sameBits(w.form->view(), wheeled));
        QCOMPARE(w.backupPic()->image(), wheeledPicture);
        QCOMPARE(w.backupPic()->image(), expectedPicture(wheeled));
        QTest::mouseRelease(w.pb(), Qt::ForwardButton, {}, {5, 5});
        QVERIFY(sameBits(w.form->view(), wheeled));

        // A new view after going back drops the views ahead.
        w.key(QKeySequence::Back);
        QTest::mouseClick(w.button("restart"), Qt::LeftButton);
        QCOMPARE(w.form->history().size(), size_t(3));
        w.key(QKeySequence::Forward);
        QVERIFY(sameBits(w.form->view(), View{}));
        w.key(QKeySequence::Back);
        QVERIFY(sameBits(w.form->view(), zoomed));
        QCOMPARE(w.mode(), 0);
        QCOMPARE(w.label(), selectText);

        ViewHistory bounded;
        for (int i = 0; i <= 1000; ++i)
            bounded.visit(View{double(i), 0, 1, 1});
        QCOMPARE(bounded.size(), size_t(1000));
        QCOMPARE(bounded.at(0).viewLeft, 1.0);
    }

    // A step is the zoom into a rectangle of the picture, picked as the
    // mouse would pick it.
    void stepsAreTheMouseRectangles_data()
    {
        QTest::addColumn<int>("step"); // 0: wheel, 1: keys, 2: keys on the focused picture
        QTest::addColumn<bool>("zoomIn");
        QTest::addColumn<QPoint>("first");
        QTest::addColumn<QPoint>("second");
        // The pointer at pixel (100, 50), at unit (1500, 750).
        QTest::newRow("wheel in") << 0 << true << QPoint(750, 375) << QPoint(5550, 3975);
        QTest::newRow("wheel out") << 0 << false << QPoint(-1500, -750) << QPoint(17700, 13650);
        QTest::newRow("Ctrl+Plus") << 1 << true << QPoint(2400, 1800) << QPoint(7200, 5400);
        QTest::newRow("Ctrl+Minus") << 1 << false << QPoint(-4800, -3600) << QPoint(14400, 10800);
        // The keyboard cursor moved to pixel (330, 240), unit (4950, 3600).
        QTest::newRow("Ctrl+Plus, picture focused")
            << 2 << true << QPoint(2475, 1800) << QPoint(7275, 5400);
    }
    void stepsAreTheMouseRectangles()
    {
        QFETCH(int, step);
        QFETCH(bool, zoomIn);
        QFETCH(QPoint, first);
        QFETCH(QPoint, second);
        View expected;
        {
            Drawn mouse;
            mouse.zoomByMouse(first, second);
            expected = mouse.form->view();
        }
        Drawn w;
        if (step == 0) {
            // High-resolution wheels: deltas add up to a notch.
            for (int i = 0; i < 3; ++i)
                w.wheel({100, 50}, zoomIn ? 40 : -40);
        } else {
            if (step == 1)
                w.button("draw")->setFocus();
            else
                QTest::keyClick(w.pb(), Qt::Key_Right, Qt::ShiftModifier);
            w.key(zoomIn ? QKeySequence::ZoomIn : QKeySequence::ZoomOut);
        }
        QVERIFY(sameBits(w.form->view(), expected));
        QCOMPARE(w.probe.calls(), 307200);
        QCOMPARE(w.form->history().size(), size_t(2));
    }

    void notchInThenOutReturnsWithinAUnit()
    {
        Drawn w;
        const View start = w.form->view();
        for (const QPointF pixel : {QPointF(101, 333), QPointF(0.4, 479.7)}) {
            w.wheel(pixel, 120);
            w.wheel(pixel, -120);
            const View& back = w.form->view();
            QCOMPARE(back.viewWidth, start.viewWidth);
            QVERIFY(qAbs(back.viewLeft - start.viewLeft) <= start.viewWidth / 9600);
            QVERIFY(qAbs(back.viewTop - start.viewTop) <= start.viewHeight / 7200);
            w.form->setView(start);
        }
    }

    void refusedStepsLeaveTheView_data()
    {
        QTest::addColumn<View>("view");
        QTest::addColumn<int>("delta");
        QTest::newRow("in, scale overflows") << View{0, 0, 5e-306, 1} << 120;
        QTest::newRow("out, width overflows") << View{0, 0, 1e308, 1} << -120;
        QTest::newRow("in, neighbouring pixels merge") << View{0.3, -0.3, 4e-14, 4e-14} << 120;
        QTest::newRow("out, right edge overflows") << View{1.2e308, 0, 5e307, 1} << -120;
    }
    void refusedStepsLeaveTheView()
    {
        QFETCH(View, view);
        QFETCH(int, delta);
        Drawn w;
        w.form->showView(view);
        w.probe.reset();
        QString title, text;
        answerMessageBox([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
        });
        w.wheel({320, 240}, delta);
        QCOMPARE(title, QStringLiteral("Napaka"));
        QCOMPARE(text, Form1::refusalText(Zoom::Outcome::notDrawable));
        QVERIFY(sameBits(w.form->view(), view));
        QCOMPARE(w.probe.calls(), 0);
        QCOMPARE(w.mode(), 0);
        QCOMPARE(w.pb()->image(), w.backupPic()->image());
        QCOMPARE(w.form->history().size(), size_t(2));
    }

    // Before the first pass, during one and with a first corner placed, the
    // keys reach the controls as before, the wheel does nothing and the
    // extra buttons cancel a corner as any other button. Ctrl+O opens no
    // dialog during a pass or with a corner placed (before the first pass it
    // may).
    void nothingUnlessAPictureStands()
    {
        Driven w;
        FileDialogs dialogs([](QFileDialog* dialog) { dialog->reject(); });
        const auto tryAll = [&](bool open) {
            if (open)
                w.key(QKeySequence::Open);
            for (auto key : {QKeySequence::Save, QKeySequence::Copy, QKeySequence::Back,
                             QKeySequence::ZoomIn, QKeySequence::ZoomOut})
                w.key(key);
            w.wheel({50, 50}, 240);
            QTest::mouseRelease(w.pb(), Qt::BackButton, {}, {5, 5});
        };
        QGuiApplication::clipboard()->clear();
        tryAll(false);
        QCOMPARE(w.mode(), -1);
        QCOMPARE(w.probe.calls(), 0);

        bool unchanged = false;
        whenEventsRun([&] {
            tryAll(true);
            w.form->showView(View{0, 0, 1, 1});
            unchanged = w.mode() == -2 && !QApplication::activeModalWidget();
        });
        w.form->draw_Click();
        QVERIFY(unchanged);
        QCOMPARE(w.probe.calls(), 307200);
        QCOMPARE(w.form->history().size(), size_t(1));
        const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
        QVERIFY(!clipboard || !clipboard->hasImage());

        // Alt+Left still moves the keyboard cursor, once at each try: the
        // corner is placed after two.
        w.probe.reset();
        QTest::keyClick(w.pb(), Qt::Key_Space);
        QCOMPARE(w.mode(), 1);
        tryAll(true);
        QCOMPARE(dialogs.opened, 0);
        QCOMPARE(w.mode(), 0);
        QCOMPARE(w.label(), selectText);
        QCOMPARE(w.form->selection().x1, int16_t(318 * 15));
        QCOMPARE(w.pb()->keyboardCursor(), QPoint(317, 240));
        QCOMPARE(w.probe.calls(), 0);
        QVERIFY(w.form->view() == View{});
    }

    // Saved in each format, the picture reads back; PNG and JPEG pictures
    // hold the view, which opens bit for bit.
    void saveAndReadBack_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("png") << QStringLiteral("a.png") << QByteArray("png");
        QTest::newRow("bmp") << QStringLiteral("a.BMP") << QByteArray("bmp");
        QTest::newRow("jpeg") << QStringLiteral("a.jpg") << QByteArray("jpeg");
        QTest::newRow("no suffix") << QStringLiteral("a") << QByteArray("png");
    }
    void saveAndReadBack()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        Drawn w;
        w.zoomByMouse({4226, 5505}, {7899, 6888});
        const View view = w.form->view();
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(w.form->savePictureAs(path));
        QImageReader reader(path);
        QCOMPARE(reader.format(), format);
        const QImage saved = reader.read();
        if (format != "jpeg")
            QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), w.backupPic()->image());
        const PictureView opened = readPictureView(path);
        if (format == "bmp") {
            QCOMPARE(opened.fault, picture::Fault::notPicture);
        } else {
            QVERIFY2(opened.ok(), qPrintable(opened.reason()));
            QVERIFY(sameBits(opened.view, view));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{name});
    }

    // A save that fails says so, naming the file and the system's reason,
    // and leaves no file of its own: an earlier file of that name stays
    // whole.
    void failedSaveKeepsTheEarlierFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only folder") << QStringLiteral("a.png") << QStringLiteral("read-only")
                                          << QStringLiteral("Permission denied");
        QTest::newRow("write fails midway")
            << QStringLiteral("a.png") << QStringLiteral("file size limit")
            << QStringLiteral("File too large");
        QTest::newRow("full disk") << QStringLiteral("a.png") << QStringLiteral("full disk")
                                   << QStringLiteral("No space left on device");
        QTest::newRow("name of a folder")
            << QStringLiteral("folder") << QString() << QStringLiteral("Is a directory");
        QTest::newRow("inside a file")
            << QStringLiteral("a.png/b.png") << QString() << QStringLiteral("Not a directory");
        QTest::newRow("unknown suffix") << QStringLiteral("a.xyz") << QString() << QString();
        // A FIFO would hold the window until some reader came.
        QTest::newRow("FIFO") << QStringLiteral("fifo.png") << QString()
                              << QStringLiteral("ni navadna datoteka");
    }
    void failedSaveKeepsTheEarlierFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, failure);
        QFETCH(QString, reason);
        Drawn w;
        QTemporaryDir dir;
        FullDisk disk;
        if (failure == QLatin1String("full disk"))
            if (const QString why = disk.mount(dir.path()); !why.isEmpty())
                QSKIP(qPrintable(why));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo.png"))), 0600), 0);
        const QString earlier = dir.filePath(QStringLiteral("a.png"));
        QFile file(earlier);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("earlier") == 7);
        file.close();

        QFile::Permissions permissions = QFile::permissions(dir.path());
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small{100, limit.rlim_max};
        if (failure == QLatin1String("read-only")) {
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
            if (QFileInfo(dir.path()).isWritable()) {
                QFile::setPermissions(dir.path(), permissions);
                QSKIP("a read-only folder is writable to this user (root)");
            }
        } else if (failure == QLatin1String("full disk")) {
            // Full midway through the file.
            QVERIFY(disk.fill(8192));
        } else if (!failure.isEmpty()) {
            std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &small);
        }
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
        QString text;
        answerMessageBox([&](QMessageBox* box) { text = box->text(); });
        const bool saved = w.form->savePictureAs(dir.filePath(name));
        setrlimit(RLIMIT_FSIZE, &limit);
        QFile::setPermissions(dir.path(), permissions);

        QVERIFY(!saved);
        QVERIFY2(text.contains(QDir::toNativeSeparators(dir.filePath(name))) &&
                     text.contains(reason),
                 qPrintable(text));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("earlier"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
        QCOMPARE(w.mode(), 0);
        QCOMPARE(w.pb()->image(), w.backupPic()->image());
    }

    void proposedNameIsShortAndFree()
    {
        QTemporaryDir dir;
        QCOMPARE(picturefile::proposedName(dir.path()), QStringLiteral("quenthar-1.png"));
        for (const char* name : {"quenthar-1.png", "quenthar-3.png"}) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(picturefile::proposedName(dir.path()), QStringLiteral("quenthar-2.png"));
    }

    // A stopped pass's picture may be saved and copied, marked unfinished in
    // its title, its description and an entry of its own; opened, its view is
    // drawn whole, and that picture is not marked.
    void stoppedPictureIsMarkedUnfinished()
    {
        const View view{-0.5, 0.25, 0.125, 0.0625};
        const QString viewText = QString::fromStdString(formatView(view));
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("stopped.png"));
        Driven w;
        whenEventsRun([&] { QTest::mouseClick(w.button("sstop"), Qt::LeftButton); });
        w.form->showView(view);
        QCOMPARE(w.mode(), 0);
        QVERIFY(w.form->savePictureAs(saved));
        w.key(QKeySequence::Copy);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(data->text(), viewText);
        const auto texts = [](const QImage& image, const char* key) {
            return image.text(QString::fromLatin1(key));
        };
        for (const QImage& image : {QImage(saved), qvariant_cast<QImage>(data->imageData())}) {
            QCOMPARE(texts(image, viewKey), viewText);
            QCOMPARE(texts(image, unfinishedKey), QString::fromLatin1(unfinishedText));
            QVERIFY(texts(image, "Title").contains(QLatin1String("(unfinished)")));
            QVERIFY(texts(image, "Description").contains(QLatin1String(unfinishedText)));
        }

        w.probe.reset();
        QVERIFY(w.form->openPictureFile(saved));
        QCOMPARE(w.probe.calls(), 307200);
        w.key(QKeySequence::Copy);
        const QImage whole =
            qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData());
        QVERIFY(texts(whole, unfinishedKey).isNull());
        QVERIFY(!texts(whole, "Title").contains(QLatin1String("unfinished")));
    }

    void copyPutsThePictureAndTheView()
    {
        Drawn w;
        w.zoomByMouse({300, 200}, {9000, 7000});
        w.key(QKeySequence::Copy);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(qvariant_cast<QImage>(data->imageData()).convertToFormat(QImage::Format_RGB32),
                 w.backupPic()->image());
        QVERIFY(sameBits(parseView(data->text().toStdString()).view, w.form->view()));
    }

    // A saved picture opened again, from the command line (as the file or as
    // its numbers, shown as main shows them) or by Ctrl+O before the first
    // pass, draws its view bit for bit as the first entry of the list;
    // "Nazaj na začetek" still returns to the default view.
    void openedPictureDrawsItsView()
    {
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("saved.png"));
        View view;
        QImage picture;
        {
            Drawn w;
            w.zoomByMouse({4226, 5505}, {7899, 6888});
            view = w.form->view();
            picture = w.backupPic()->image();
            QVERIFY(w.form->savePictureAs(saved));
        }
        const QStringList commandLines[] = {
            {QStringLiteral("Quenthar"), saved},
            {QStringLiteral("Quenthar"), QStringLiteral("--view"),
             QString::fromStdString(formatView(view))},
            {}, // Ctrl+O
        };
        for (const QStringList& arguments : commandLines) {
            Driven w;
            if (!arguments.isEmpty()) {
                CommandLine commandLine;
                QCOMPARE(commandLine.parse(arguments), CommandLine::Outcome::Run);
                QVERIFY(commandLine.view());
                w.form->showView(*commandLine.view());
            } else {
                QString folder;
                FileDialogs dialogs([&](QFileDialog* dialog) {
                    folder = dialog->directory().absolutePath();
                    dialog->selectFile(saved);
                    static_cast<QDialog*>(dialog)->accept();
                });
                const QString start = QDir(picturefile::startFolder()).absolutePath();
                w.key(QKeySequence::Open);
                QCOMPARE(dialogs.opened, 1);
                QCOMPARE(folder, start);
            }
            QVERIFY(sameBits(w.form->view(), view));
            QCOMPARE(w.mode(), 0);
            QCOMPARE(w.backupPic()->image(), picture);
            QCOMPARE(w.form->history().size(), size_t(1));
            QTest::mouseClick(w.button("restart"), Qt::LeftButton);
            QVERIFY(sameBits(w.form->view(), View{}));
            QCOMPARE(w.form->history().size(), size_t(2));
        }
    }

    // The save and open dialogs start in the folder of the file last chosen
    // in either, and in the pictures folder again once that folder is gone.
    // The open dialog offers the pictures that hold a view, PNG and JPEG.
    void dialogsStartInTheFolderLastChosen()
    {
        QTemporaryDir first, second;
        const QString opened = second.filePath(QStringLiteral("opened.png"));
        Drawn w;
        QVERIFY(w.form->savePictureAs(opened));
        QStringList chosen{first.filePath(QStringLiteral("saved.png")), opened,
                           second.filePath(QStringLiteral("saved.png"))};
        QStringList started, openFilters;
        FileDialogs dialogs([&](QFileDialog* dialog) {
            started << dialog->directory().absolutePath();
            if (dialog->acceptMode() == QFileDialog::AcceptOpen)
                openFilters = dialog->nameFilters();
            dialog->selectFile(chosen.takeFirst());
            static_cast<QDialog*>(dialog)->accept();
        });
        for (const auto key : {QKeySequence::Save, QKeySequence::Open, QKeySequence::Save})
            w.key(key);
        QCOMPARE(dialogs.opened, 3);
        QCOMPARE(started.mid(1), (QStringList{first.path(), second.path()}));
        QCOMPARE(openFilters, (QStringList{QStringLiteral("Slike (*.png *.jpg *.jpeg)"),
                                           QStringLiteral("Vse datoteke (*)")}));
        QVERIFY(second.remove());
        QCOMPARE(picturefile::startFolder(),
                 QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    }

    // A file with no view that can be drawn is refused at once in a message
    // box naming it, the file's content escaped on one line, and nothing
    // changes.
    void openRefusalsLeaveTheView_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("why");
        QTest::newRow("missing") << QStringLiteral("missing.png")
                                 << QStringLiteral("datoteke ni mogoče prebrati");
        QTest::newRow("not an image")
            << QStringLiteral("text.png") << QStringLiteral("datoteka ni slika");
        QTest::newRow("no view") << QStringLiteral("plain.png")
                                 << QStringLiteral("ni zapisanega pogleda");
        QTest::newRow("scale overflows")
            << QStringLiteral("tiny.png")
            << QStringLiteral("pogleda »0,0,1e-306,1« ni mogoče narisati");
        for (const hostile::File& file : hostile::files)
            QTest::newRow(file.name)
                << QString::fromLatin1(file.name) << QString::fromUtf8(file.razlog);
        QTest::newRow("below the numbers' precision")
            << QStringLiteral("merged.png")
            << QStringLiteral("pogleda »0.5,0.5,1e-300,1e-300« ni mogoče narisati");
    }
    void openRefusalsLeaveTheView()
    {
        QFETCH(QString, name);
        QFETCH(QString, why);
        QTemporaryDir dir;
        QFile text(dir.filePath(QStringLiteral("text.png")));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a picture") > 0);
        text.close();
        writePicture(dir.filePath(QStringLiteral("plain.png")));
        writePicture(dir.filePath(QStringLiteral("tiny.png")), QStringLiteral("0,0,1e-306,1"));
        QVERIFY(hostile::write(QDir(dir.path())));
        writePicture(dir.filePath(QStringLiteral("merged.png")),
                     QStringLiteral("0.5,0.5,1e-300,1e-300"));

        Drawn w;
        w.zoomByMouse({300, 200}, {9000, 7000});
        const View view = w.form->view();
        w.probe.reset();
        QString title, message;
        answerMessageBox([&](QMessageBox* box) {
            title = box->windowTitle();
            message = box->text();
        });
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!w.form->openPictureFile(dir.filePath(name)));
        QCOMPARE(title, QStringLiteral("Napaka"));
        QVERIFY2(timer.elapsed() < 200, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(message.contains(QDir::toNativeSeparators(dir.filePath(name))) &&
                     message.contains(why) && message.count(QLatin1Char('\n')) == 1 &&
                     std::none_of(message.begin(), message.end(),
                                  [](QChar c) { return c < u' ' && c != u'\n'; }),
                 qPrintable(message));
        QVERIFY(sameBits(w.form->view(), view));
        QCOMPARE(w.form->history().size(), size_t(2));
        QCOMPARE(w.probe.calls(), 0);
        QCOMPARE(w.mode(), 0);
        QCOMPARE(w.pb()->image(), w.backupPic()->image());
    }
};

QTEST_MAIN(TestViews)
#include "tst_views.moc"
