// The drawing controller: start-up, the rendering pass, stop and restart.
#include "form1.h"

#include "colourramp.h"
#include "picturebox.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <array>
#include <cmath>
#include <limits>

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

    // The linear index row * 640 + col grows by 97 modulo 307,200, which
    // visits every pixel once and ends at (0, 0). The picture is refreshed and
    // events are processed at every other wrap past the last row: 49 times.
    int16_t col = 0;
    int16_t row = 0;
    for (;;) {
        col = int16_t(col + scanStep);
        if (col >= columns) {
            col = int16_t(col - columns);
            ++row;
            if (row >= rows) {
                row = int16_t(row - rows);
                if (col % 2 == 0) {
                    pb->refresh();
                    QCoreApplication::processEvents();
                    if (sel.mode == -1)
                        break;
                }
            }
        }
        const int32_t count = engine(col, row, scaleX, scaleY, m_view.viewLeft, m_view.viewTop);
        if (count < std::numeric_limits<int16_t>::min() ||
            count > std::numeric_limits<int16_t>::max()) {
            abandonPass(QStringLiteral("Knjižnica »%1« je vrnila neveljavno število ponovitev "
                                       "(%2).")
                            .arg(m_engine.fileName())
                            .arg(count));
            return;
        }
        pb->setPixel(col, row, colourOf(int16_t(count)));
        if (col == 0 && row == 0) {
            // The last pixel comes after the last refresh point: show it, so
            // that a finished picture stands whole on the screen.
            pb->refresh();
            break;
        }
    }

    sel.mode = 0;
    backupPic->paintPicture(pb->image(), 0, 0);
    m_pictureSaved = true;
    Label1->setText(selectText);
    enabled = true;
    EnableCommands(enabled);
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
