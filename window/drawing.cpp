// The drawing controller: start-up, the rendering pass, stop and restart.
#include "form1.h"

#include "accessibility.h"
#include "colourramp.h"
#include "picturebox.h"
#include "picturescan.h"
#include "viewmath.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include <vector>

namespace {

constexpr uint32_t black = 0;

} // namespace

QString Form1::cannotDrawText(ViewError fault, const QString& at)
{
    const QString cannot = QStringLiteral("Pogleda ni mogoče narisati%1: ").arg(at);
    switch (fault) {
    case ViewError::extentNotPositive:
    case ViewError::extentTooSmall:
        return cannot + QStringLiteral("njegova širina ali višina je enaka nič ali premajhna.");
    default:
        return cannot + QStringLiteral("njegov rob je zunaj obsega števil ali pa bi sosednje "
                                       "točke dobile enake koordinate.");
    }
}

void Form1::Form_Load()
{
    m_view = View{};
    sel.mode = Selection::stopped;
    pb->filledBox(0, 0, pb->scaleWidth(), pb->scaleHeight(), black);
}

void Form1::EnableCommands(bool& enabled)
{
    draw->setEnabled(enabled);
    restart->setEnabled(enabled);
    sstop->setEnabled(!enabled);
}

void Form1::draw_Click()
{
    if (m_leaving)
        return;
    describePicture(pb, m_view);
    Label1->setText(drawingText);
    sel.mode = Selection::passRunning;
    bool enabled = false;
    EnableCommands(enabled);
    pb->setPassRunning(true);
    updateCommands();
    handFocusOn();

    // A pass draws only a view that can be drawn as asked; the scales are
    // fixed for the whole pass.
    if (const ViewError fault = viewFault(m_view, picture::columns, picture::rows).kind;
        fault != ViewError::none) {
        abandonPass(cannotDrawText(fault));
        return;
    }
    const Scales scales = scalesOf(m_view, picture::columns, picture::rows);
    // The list of views gains this one, unless it is the current entry.
    m_history.visit(m_view);

    // Mesh: every pixel whose column or row is even turns black; the rest of
    // the previous picture shows through until the pass paints over it.
    for (int i = 0; i <= picture::columns; i += 2) {
        const float at = float(picture::unitsPerPixel * i);
        pb->line(0, at, float(picture::unitWidth), at, black);
        pb->line(at, 0, at, float(picture::unitHeight), black);
    }
    QCoreApplication::processEvents();
    if (m_leaving)
        return;

    const EngineFunction engine = m_engine.resolve();
    if (!engine) {
        abandonPass(QStringLiteral("Knjižnice »%1« ni mogoče naložiti ali v njej ni funkcije "
                                   "»Engine«:\n%2")
                        .arg(m_engine.fileName(), m_engine.errorString()));
        return;
    }
    const PassEnd end = scanPixels(engine, scales);
    if (end == PassEnd::abandoned)
        return;

    backupPic->paintPicture(pb->image(), 0, 0);
    m_pictureSaved = true;
    m_pictureFinished = end == PassEnd::finished;
    standIdle(Selection::pictureStands, selectText);
}

void Form1::standIdle(int16_t mode, const QString& text)
{
    sel.mode = mode;
    Label1->setText(text);
    bool enabled = true;
    EnableCommands(enabled);
    pb->setPassRunning(false);
    updateCommands();
    handFocusOn();
}

// The scan, a run of pixels between two refresh points at a time: the run's
// counts are worked out first, on all the pass's threads (on the window's
// thread alone with one), then the window's thread sets the pixels in scan
// order, refreshes the picture and processes events. The picture and the
// events meet the same pixels at the same points on any number of threads.
Form1::PassEnd Form1::scanPixels(EngineFunction engine, Scales scales)
{
    std::vector<int32_t> counts(scan::longestRun);
    int position = 1; // of the run's first pixel in the scan
    int16_t col = 0;
    int16_t row = 0;
    scan::nextPixel(col, row); // the first step never meets a refresh point
    const double left = m_view.viewLeft;
    const double top = m_view.viewTop;
    for (;;) {
        const int length = scan::runLength(position);
        const bool last = position + length > picture::pixels;

        // The values a block needs are copied in, so that they stay in
        // registers across the engine's calls.
        m_threads.forEachBlock(size_t(length), [engine, scales, left, top, position,
                                                out = counts.data()](size_t begin, size_t end) {
            const int index = scan::indexAt(position + int(begin));
            int blockCol = index % picture::columns;
            int blockRow = index / picture::columns;
            for (size_t i = begin; i < end; ++i) {
                out[i] = engine(blockCol, blockRow, scales.x, scales.y, left, top);
                blockCol += scan::step;
                if (blockCol >= picture::columns) {
                    blockCol -= picture::columns;
                    if (++blockRow >= picture::rows)
                        blockRow -= picture::rows;
                }
            }
        });

        const int32_t* const runCounts = counts.data();
        for (int i = 0; i < length; ++i) {
            // The pixels before a bad count are set, none after it.
            if (!isCount(runCounts[i])) [[unlikely]] {
                abandonForCount(runCounts[i]);
                return PassEnd::abandoned;
            }
            pb->setPixel(col, row, colourOf(int16_t(runCounts[i])));
            // After the run's last pixel this steps onto the refresh point's.
            scan::nextPixel(col, row);
        }
        // After the last run this shows the final pixel, so that a finished
        // picture stands whole on the screen.
        pb->refresh();
        if (last)
            return PassEnd::finished;
        QCoreApplication::processEvents();
        // The program is ending: nothing of the pass is to run again.
        if (m_leaving)
            return PassEnd::abandoned;
        if (sel.mode == Selection::stopped)
            return PassEnd::stopped;
        position += length;
    }
}

void Form1::abandonForCount(int32_t count)
{
    abandonPass(QStringLiteral("Knjižnica »%1« je vrnila neveljavno število ponovitev (%2).")
                    .arg(m_engine.fileName())
                    .arg(count));
}

// An error that ends a pass early is shown, and the window goes back to where
// it stood before the pass: the saved picture (or black), the matching mode
// and text, and the idle buttons.
void Form1::abandonPass(const QString& reason)
{
    showError(reason);
    if (m_pictureSaved) {
        pb->paintPicture(backupPic->image(), 0, 0);
        standIdle(Selection::pictureStands, selectText);
    } else {
        pb->filledBox(0, 0, pb->scaleWidth(), pb->scaleHeight(), black);
        standIdle(Selection::stopped, startText);
    }
}

void Form1::restart_Click()
{
    m_view = View{};
    draw_Click();
}

void Form1::sstop_Click()
{
    sel.mode = Selection::stopped;
}
