// The drawing controller: start-up, the rendering pass, stop and restart.
#include "form1.h"

#include "accessibility.h"
#include "colourramp.h"
#include "picturebox.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr int columns = 640;
constexpr int rows = 480;
constexpr int scanStep = 97;
constexpr int unitsPerPixel = 15;
constexpr uint32_t black = 0;

// The colours of the counts 0 to 1025, worked out once: a pass looks its
// pixels' colours up instead of rounding 307,200 times.
const std::array<uint32_t, 1026> colourTable = [] {
    std::array<uint32_t, 1026> table{};
    for (size_t n = 0; n < table.size(); ++n)
        table[n] = colourOfCount(int16_t(n));
    return table;
}();

uint32_t colourOf(int16_t count)
{
    return count >= 0 && size_t(count) < colourTable.size() ? colourTable[size_t(count)]
                                                            : colourOfCount(count);
}

bool isCount(int32_t count)
{
    return count >= std::numeric_limits<int16_t>::min() &&
           count <= std::numeric_limits<int16_t>::max();
}

// One step of the scan: the linear index row * 640 + col grows by 97 modulo
// 307,200, which visits every pixel once and ends at (0, 0). Returns true when
// the step wraps past the last row onto an even column: the picture is
// refreshed and events are processed there, before the new pixel, 49 times in
// a pass.
bool nextPixel(int16_t& col, int16_t& row)
{
    col = int16_t(col + scanStep);
    if (col < columns)
        return false;
    col = int16_t(col - columns);
    ++row;
    if (row < rows)
        return false;
    row = int16_t(row - rows);
    return col % 2 == 0;
}

// The linear index of the pixel at position p of the scan (the first pixel
// is at 1, the last at 307,200).
int indexAt(int position)
{
    return int(int64_t(scanStep) * position % (columns * rows));
}

// The j-th wrap of the scan past the last row comes before the pixel at
// position 3,167 j + 1. The odd wraps land on even columns and are the
// refresh points, so the runs of pixels between them are 6,334 long, but for
// the first (3,167) and the last (the final pixel alone).
constexpr int pixelsPerWrap = 3167;
constexpr size_t longestRun = 2 * pixelsPerWrap;

// The number of pixels from the one at position to the next refresh point or
// the end of the scan. position is 1 or that of a refresh point.
size_t runLength(int position)
{
    const int nextRefresh = position == 1 ? pixelsPerWrap + 1 : position + int(longestRun);
    return size_t(std::min(nextRefresh, columns * rows + 1) - position);
}

} // namespace

void Form1::Form_Load()
{
    m_view = View{};
    sel.mode = -1;
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
    describePicture(pb, m_view);
    Label1->setText(drawingText);
    sel.mode = -2;
    bool enabled = false;
    EnableCommands(enabled);

    // The scales are fixed for the whole pass; a pass never draws with an
    // infinite or undefined one.
    const double scaleX = columns / m_view.viewWidth;
    const double scaleY = rows / m_view.viewHeight;
    if (!std::isfinite(scaleX) || !std::isfinite(scaleY)) {
        abandonPass(QStringLiteral("Pogleda ni mogoče narisati: njegova širina ali višina je "
                                   "enaka nič ali premajhna."));
        return;
    }

    // Mesh: every pixel whose column or row is even turns black; the rest of
    // the previous picture shows through until the pass paints over it.
    for (int i = 0; i <= columns; i += 2) {
        pb->line(0, float(unitsPerPixel * i), float(columns * unitsPerPixel),
                 float(unitsPerPixel * i), black);
        pb->line(float(unitsPerPixel * i), 0, float(unitsPerPixel * i), float(rows * unitsPerPixel),
                 black);
    }
    QCoreApplication::processEvents();

    const EngineFunction engine = m_engine.resolve();
    if (!engine) {
        abandonPass(QStringLiteral("Knjižnice »%1« ni mogoče naložiti ali v njej ni funkcije "
                                   "»Engine«:\n%2")
                        .arg(m_engine.fileName(), m_engine.errorString()));
        return;
    }

    const bool drawn = m_threads.threads() > 1 ? scanPixelsInRuns(engine, scaleX, scaleY)
                                               : scanPixels(engine, scaleX, scaleY);
    if (!drawn)
        return;

    sel.mode = 0;
    backupPic->paintPicture(pb->image(), 0, 0);
    m_pictureSaved = true;
    Label1->setText(selectText);
    enabled = true;
    EnableCommands(enabled);
}

// The scan on the window's thread alone: each pixel's count goes straight into
// the picture. Returns false if the pass was abandoned.
bool Form1::scanPixels(EngineFunction engine, double scaleX, double scaleY)
{
    int16_t col = 0;
    int16_t row = 0;
    for (;;) {
        if (nextPixel(col, row)) {
            pb->refresh();
            QCoreApplication::processEvents();
            if (sel.mode == -1)
                return true;
        }
        const int32_t count = engine(col, row, scaleX, scaleY, m_view.viewLeft, m_view.viewTop);
        if (!isCount(count)) {
            abandonForCount(count);
            return false;
        }
        pb->setPixel(col, row, colourOf(int16_t(count)));
        if (col == 0 && row == 0) {
            // The last pixel comes after the last refresh point: show it, so
            // that a finished picture stands whole on the screen.
            pb->refresh();
            return true;
        }
    }
}

// The scan on several threads: the counts of the pixels up to the next refresh
// point (or the last pixel) are worked out first, on all threads; then the
// window's thread sets them in scan order and goes on as the scan on one
// thread does. The picture and the events meet the same pixels at the same
// points. Returns false if the pass was abandoned.
bool Form1::scanPixelsInRuns(EngineFunction engine, double scaleX, double scaleY)
{
    std::vector<int32_t> counts(longestRun);
    int position = 1; // of the run's first pixel in the scan
    int16_t col = 0;
    int16_t row = 0;
    nextPixel(col, row); // the first step never meets a refresh point
    for (;;) {
        const size_t length = runLength(position);
        const bool last = position + int(length) > columns * rows;

        const double left = m_view.viewLeft;
        const double top = m_view.viewTop;
        m_threads.forEachBlock(length, [&](size_t begin, size_t end) {
            int index = indexAt(position + int(begin));
            for (size_t i = begin; i < end; ++i) {
                counts[i] = engine(index % columns, index / columns, scaleX, scaleY, left, top);
                index += scanStep;
                if (index >= columns * rows)
                    index -= columns * rows;
            }
        });

        for (size_t i = 0; i < length; ++i) {
            // Pixels before a bad count are set, as on one thread; none after.
            if (!isCount(counts[i])) {
                abandonForCount(counts[i]);
                return false;
            }
            pb->setPixel(col, row, colourOf(int16_t(counts[i])));
            if (i + 1 < length)
                nextPixel(col, row);
        }
        pb->refresh();
        if (last)
            return true;
        QCoreApplication::processEvents();
        if (sel.mode == -1)
            return true;
        nextPixel(col, row); // onto the refresh point's pixel
        position += int(length);
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
    QMessageBox::critical(this, QStringLiteral("Napaka"), reason);
    if (m_pictureSaved) {
        pb->paintPicture(backupPic->image(), 0, 0);
        sel.mode = 0;
        Label1->setText(selectText);
    } else {
        pb->filledBox(0, 0, pb->scaleWidth(), pb->scaleHeight(), black);
        sel.mode = -1;
        Label1->setText(startText);
    }
    bool enabled = true;
    EnableCommands(enabled);
}

void Form1::restart_Click()
{
    m_view = View{};
    draw_Click();
}

void Form1::sstop_Click()
{
    sel.mode = -1;
}
