// The lane kernel against Engine, pixel by pixel, on every instruction set
// this processor runs: the views drawn most, and views at the edges of what
// can be drawn, cut into runs as a render's threads cut them.
#include "engine.h"
#include "lanecounts.h"

#include <QTest>

#include <limits>
#include <random>

Q_DECLARE_METATYPE(PixelLattice)

namespace {

// The pixels of a view of width x height on a picture of columns x rows.
PixelLattice pictureOf(double left, double top, double width, double height, int columns, int rows)
{
    return {columns / width, rows / height, left, top, columns};
}

int32_t engineCount(const PixelLattice& l, size_t i)
{
    const auto col = int32_t(l.firstCol + int64_t(i % size_t(l.columns)) * l.step);
    const auto row = int32_t(l.firstRow + int64_t(i / size_t(l.columns)) * l.step);
    return Engine(col, row, l.scaleX, l.scaleY, l.left, l.top);
}

} // namespace

class TestKernel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const std::vector<std::string> targets = laneTargets();
        QVERIFY(!targets.empty());
        QCOMPARE(laneTarget(), targets.front());
        QVERIFY(!useLaneTarget("no such target"));
        QByteArray names;
        for (const std::string& target : targets)
            names += ' ' + QByteArray::fromStdString(target);
        qInfo("Instruction sets proven here:%s", names.constData());
    }

    void cleanupTestCase() { useLaneTarget({}); }

    void countsAreEngines_data()
    {
        QTest::addColumn<PixelLattice>("lattice");
        QTest::addColumn<int>("pixels");
        const auto picture = [](const char* name, double left, double top, double width,
                                double height, int columns, int rows) {
            QTest::newRow(name) << pictureOf(left, top, width, height, columns, rows)
                                << columns * rows;
        };
        picture("default", -1.5, -1.5, 3, 3, 640, 480);
        picture("dense", 0.2, -0.52, 0.04, 0.03, 640, 480);
        // Neighbouring columns one unit in the last place apart, near a
        // pixel that stays inside: most pixels reach the cap.
        const double epsilon = std::numeric_limits<double>::epsilon();
        picture("smallest extents, at the cap", 0.121875, -0.91875, 640 * epsilon / 16,
                480 * epsilon / 2, 640, 480);
        picture("subnormal coordinates", 0, 0, 1e-305, 1e-305, 64, 48);
        picture("far from the origin", -1e300, 1e300, 3e299, 3e299, 64, 48);
        picture("overflowing squares", 1e154, -2e154, 1e153, 1e153, 32, 24);
        picture("one tall column", -0.1, -1.5, 3, 3, 1, 4000);
        picture("one wide row", -1.5, 0.05, 3, 1e-3, 16384, 1);
        picture("wide shape", -1.5, -0.01, 3, 0.02, 2000, 7);
        picture("tall shape", 0.01, -1.5, 0.002, 3, 5, 3000);
        picture("fewer pixels than lanes", -0.5, -0.5, 1, 1, 3, 2);
        // A render's sample for its time left: every 16th pixel of every
        // 16th row, from the middle of the first stretch.
        PixelLattice sample = pictureOf(-1.5, -1.5, 3, 3, 3840, 2160);
        sample.columns = 240;
        sample.firstCol = sample.firstRow = 8;
        sample.step = 16;
        QTest::newRow("sample of a render") << sample << 240 * 135;
    }
    // Cut into runs of 0 to 300 pixels, which start anywhere in a row and
    // cross rows: shorter and longer than the lanes of any vector.
    void countsAreEngines()
    {
        QFETCH(PixelLattice, lattice);
        QFETCH(int, pixels);
        std::vector<int32_t> expected(size_t(pixels), 0);
        for (size_t i = 0; i < expected.size(); ++i)
            expected[i] = engineCount(lattice, i);
        for (const std::string& target : laneTargets()) {
            QVERIFY(useLaneTarget(target));
            QCOMPARE(laneTarget(), target);
            std::vector<int16_t> counts(expected.size(), 0);
            std::minstd_rand random(1);
            for (size_t begin = 0, end = 0; begin < counts.size(); begin = end) {
                end = std::min(counts.size(), begin + random() % 301);
                laneCounts(lattice, begin, end, counts.data() + begin);
            }
            for (size_t i = 0; i < counts.size(); ++i)
                if (counts[i] != expected[i])
                    QFAIL(qPrintable(QStringLiteral("%1: pixel %2 counts %3, Engine %4")
                                         .arg(QString::fromStdString(target))
                                         .arg(i)
                                         .arg(counts[i])
                                         .arg(expected[i])));
        }
        useLaneTarget({});
    }
};

QTEST_APPLESS_MAIN(TestKernel)
#include "tst_kernel.moc"
