// The window, its controls and the procedures that belong to the window alone:
// the About box, the keys' box, Exit and closing.
#include "form1.h"

#include "accessibility.h"
#include "fittedtext.h"
#include "keytable.h"
#include "picturebox.h"
#include "pictureframe.h"
#include "picturescan.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMessageBox>
#include <QTimer>

#include <cstdlib>

const QString Form1::title = QStringLiteral("Quenthar by Brellow");
const QString Form1::startText =
    QStringLiteral("Kliknite gumb \"Začni risati\" in po risanju izberite območje za približanje.");
const QString Form1::drawingText = QStringLiteral("Rišem... Lahko me ustavite s tipko 'Ustavi'.");
const QString Form1::selectText =
    QStringLiteral("Kliknite enkrat, prestavite miško in kliknite še enkrat za izbiro.");
const QString Form1::secondCornerText = QStringLiteral(
    "Kliknite še enkrat za povečanje ali pritisnite desno tipko na miški za prekinitev.");
const QString Form1::aboutText =
    QStringLiteral("Verzija 1.0.054058\r\nUstvaril Brellow\r\nhttps://www.brellow.example/");
const QString Form1::keysTitle = QStringLiteral("Tipke in miška");

namespace {

// Positions and sizes are laid out in twips, the picture's own units: 15 to a
// pixel.
constexpr int twips = picture::unitsPerPixel;

QRect twipRect(int left, int top, int width, int height)
{
    return {left / twips, top / twips, width / twips, height / twips};
}

// A button, its tooltip saying what it does and where the keys are told (a
// screen reader reads it as the button's description).
QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect geometry,
                        const QString& does)
{
    auto* button = new CaptionButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setToolTip(
        QStringLiteral("%1\n%2: %3")
            .arg(does, Form1::keysTitle,
                 QKeySequence(QKeySequence::HelpContents).toString(QKeySequence::NativeText)));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

Form1::Form1(const QString& engineFile, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_engine(engineFile)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(title);
    // A Wayland compositor may maximize the window whatever its size limits
    // (Qt's own title bar there offers it whatever the flags), and then ends
    // the connection unless the window takes exactly the size it gives. There
    // the window takes any size; elsewhere it keeps a fixed size.
    m_sizeImposed = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (m_sizeImposed)
        resize(clientSize);
    else
        setFixedSize(clientSize);
    createControls();
    Form_Load();
    describePicture(pb, m_view);
}

void Form1::createControls()
{
    pb = new PictureBox(this);
    pb->setObjectName(QStringLiteral("pb"));
    pb->move(120 / twips, 120 / twips);
    pb->setFocusPolicy(Qt::TabFocus);
    pb->setAccessibleName(pictureName());
    // A flat single-line border just outside the picture, under it, so that
    // none of the 640 x 480 pixels is hidden by it.
    auto* border = new PictureFrame(pb, this);
    border->stackUnder(pb);

    draw = makeButton(this, "draw", QStringLiteral("Začni risati"), twipRect(120, 7560, 1815, 615),
                      QStringLiteral("Nariše pogled; slika se med risanjem postopoma izostri."));

    backupPic = new PictureBox(this);
    backupPic->setObjectName(QStringLiteral("backupPic"));
    backupPic->move(240 / twips, 0);
    backupPic->setFocusPolicy(Qt::NoFocus);
    backupPic->hide();

    restart =
        makeButton(this, "restart", QStringLiteral("Nazaj na začetek"),
                   twipRect(2040, 7560, 1815, 615), QStringLiteral("Spet nariše začetni pogled."));
    sstop = makeButton(this, "sstop", QStringLiteral("Ustavi"), twipRect(3960, 7560, 1815, 615),
                       QStringLiteral("Ustavi risanje; kar je narisano, ostane."));
    sstop->setEnabled(false);

    Label1 = new StatusLabel(startText, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipRect(0, 8280, 9855, 375));
    Label1->setFont(QFont(QStringLiteral("MS Sans Serif"), 12, QFont::Normal));
    Label1->setAutoFillBackground(true);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label1->setFocusPolicy(Qt::NoFocus);

    Command1 = makeButton(this, "Command1", QStringLiteral("O programu..."),
                          twipRect(6000, 7560, 1815, 615),
                          QStringLiteral("Pokaže verzijo programa in kdo ga je ustvaril."));
    Command2 =
        makeButton(this, "Command2", QStringLiteral("Izhod"), twipRect(7920, 7560, 1815, 615),
                   QStringLiteral("Takoj konča program, tudi med risanjem."));

    auto* Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameStyle(QFrame::VLine | QFrame::Plain);
    Line1->setLineWidth(1);
    Line1->setGeometry(5880 / twips, 7560 / twips, 1, (8160 - 7560) / twips + 1);
    Line1->setAttribute(Qt::WA_TransparentForMouseEvents);

    setTabOrder(pb, draw);
    setTabOrder(draw, restart);
    setTabOrder(restart, sstop);
    setTabOrder(sstop, Command1);
    setTabOrder(Command1, Command2);
    pb->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(draw, &QPushButton::clicked, this, &Form1::draw_Click);
    connect(restart, &QPushButton::clicked, this, &Form1::restart_Click);
    connect(sstop, &QPushButton::clicked, this, &Form1::sstop_Click);
    connect(pb, &PictureBox::mouseMoved, this, &Form1::pb_MouseMove);
    connect(pb, &PictureBox::mouseReleased, this, &Form1::pb_MouseUp);
    createCommands();
}

void Form1::Command1_Click()
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("O programu"), aboutText,
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

namespace {

// The table of keys as the box shows it: a row for each key, under its
// group's heading, one line each, so that the box is as wide as its longest.
QString keysText()
{
    const auto html = [](const char* text) { return QString::fromUtf8(text).toHtmlEscaped(); };
    QString text = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\">");
    for (const keytable::Group& group : keytable::groups) {
        text += QStringLiteral("<tr><td colspan=\"2\" style=\"padding-top: 8px\"><b>%1</b></td>"
                               "</tr>")
                    .arg(html(group.sloveneHeading));
        for (const keytable::Key& key : group.keys)
            text += QStringLiteral("<tr><td style=\"white-space: pre; padding-right: 12px\">%1</td>"
                                   "<td style=\"white-space: pre\">%2</td></tr>")
                        .arg(html(key.slovene), html(key.sloveneText));
    }
    return text + QStringLiteral("</table>");
}

} // namespace

void Form1::showKeys()
{
    if (!m_keysBox) {
        m_keysBox =
            new QMessageBox(QMessageBox::Information, keysTitle, keysText(), QMessageBox::Ok, this);
        m_keysBox->setAttribute(Qt::WA_DeleteOnClose);
        m_keysBox->setTextFormat(Qt::RichText);
    }
    // Window-modal and not run in an event loop of its own, so that a pass
    // that shows it goes on drawing.
    m_keysBox->open();
    m_keysBox->raise();
    m_keysBox->activateWindow();
}

// An error, in the window's one error box: plain text, since what it quotes
// (a file's name, a library's message) is no markup.
void Form1::showError(const QString& text)
{
    showError(this, text);
}

void Form1::showError(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Napaka"), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void Form1::Command2_Click()
{
    endProgram();
}

void Form1::Form_Unload(int16_t& /*cancel*/)
{
    endProgram();
}

// Ends the program at once, also from inside a running pass. A copy on the
// clipboard outlives the program only when the application object hands it
// to a clipboard manager as it is destroyed; without one to keep, the process
// ends here: no further event is handled and nothing of the pass runs again.
// An export under way is stopped first, so that no temporary file is left.
void Form1::endProgram()
{
    if (!QGuiApplication::clipboard()->ownsClipboard()) {
        stopExport();
        std::_Exit(0);
    }
    quitThroughEventLoop();
}

void Form1::quitThroughEventLoop()
{
    stopExport();
    m_leaving = true;
    hide();
    QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent* /*event*/)
{
    int16_t cancel = 0;
    Form_Unload(cancel);
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Checked once the events pending now are handled: a compositor's new
    // state comes just before its size, or just after.
    if (m_sizeImposed && size() != clientSize)
        QTimer::singleShot(0, this, &Form1::keepClientSize);
}

// The controls keep their places at the top left whatever the window's size;
// beyond them is the window's background. Out of a maximized or full-screen
// state the window takes back its own size.
void Form1::keepClientSize()
{
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) && size() != clientSize)
        resize(clientSize);
}

// A focused button that is disabled asks here where its focus goes. A pass
// disables "Začni risati" and "Nazaj na začetek": their focus goes to "Ustavi",
// and from "Ustavi", when the pass ends, to "Začni risati"; the next button in
// the tab order could be one that acts in the middle of the pass.
bool Form1::focusNextPrevChild(bool next)
{
    QWidget* focused = focusWidget();
    if (focused && !focused->isEnabled() &&
        (focused == draw || focused == restart || focused == sstop)) {
        QWidget* heir = focused == sstop ? static_cast<QWidget*>(draw) : sstop;
        if (heir->isEnabled()) {
            heir->setFocus(Qt::OtherFocusReason);
        } else {
            // The focus stays where it is until the heir is enabled, in the
            // same change of the buttons' states (handFocusOn()).
            m_focusHeir = heir;
        }
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void Form1::handFocusOn()
{
    if (m_focusHeir && m_focusHeir->isEnabled()) {
        m_focusHeir->setFocus(Qt::OtherFocusReason);
        m_focusHeir = nullptr;
    }
}
