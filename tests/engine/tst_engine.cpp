// Bit-exact counts of the engine; a build with contraction or reassociation
// changes some of them.
#include "engine.h"

#include <QTest>

#include <cmath>
#include <limits>

namespace {

const double defaultScaleX = 640.0 / 3.0;
const double defaultScaleY = 160.0;

int32_t defaultView(int32_t col, int32_t row)
{
    return Engine(col, row, defaultScaleX, defaultScaleY, -1.5, -1.5);
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT

private slots:
    void workedValues_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("count");
        QTest::newRow("corner escapes at once") << 0 << 0 << 1;
        QTest::newRow("0 - 1.5i") << 320 << 0 << 2;
        QTest::newRow("-1.5 + 0i") << 0 << 240 << 3;
        QTest::newRow("origin") << 320 << 240 << 150;
        QTest::newRow("escapes at the last test") << 422 << 195 << 1024;
        QTest::newRow("never escapes") << 346 << 93 << 1025;
    }
    void workedValues()
    {
        QFETCH(int, col);
        QFETCH(int, row);
        QFETCH(int, count);
        QCOMPARE(defaultScaleX, 213.33333333333334);
        QCOMPARE(defaultView(col, row), count);
    }

    void defaultViewHistogram()
    {
        int ones = 0, caps = 0, lastTests = 0, outOfRange = 0;
        long long sum = 0;
        for (int32_t row = 0; row < 480; ++row) {
            for (int32_t col = 0; col < 640; ++col) {
                const int32_t n = defaultView(col, row);
                sum += n;
                ones += n == 1;
                caps += n == 1025;
                lastTests += n == 1024;
                outOfRange += n < 1 || n > 1025;
            }
        }
        QCOMPARE(ones, 2043);
        QCOMPARE(caps, 2635);
        QCOMPARE(lastTests, 4);
        QCOMPARE(outOfRange, 0);
        // The sum of all counts pins every pixel's count, not only the tallies.
        QCOMPARE(sum, 12126651LL);
    }

    void escapeBoundary()
    {
        // x^2 + y^2 exactly 4 stays inside; the next double above 2 escapes.
        QCOMPARE(Engine(0, 0, 1, 1, 2.0, 0.0), 2);
        QCOMPARE(Engine(0, 0, 1, 1, std::nextafter(2.0, 3.0), 0.0), 1);
        QCOMPARE(Engine(0, 0, 1, 1, 0.0, -2.0), 2);
        QCOMPARE(Engine(0, 0, 1, 1, 1.5, 1.5), 1);
    }

    void degenerateScales()
    {
        const double inf = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        // A zero scale with a non-zero pixel gives an infinite coordinate,
        // which escapes at once; with a zero pixel it gives NaN, which never
        // escapes, whatever the other coordinate is.
        QCOMPARE(Engine(5, 0, 0.0, 1.0, 0.0, 0.0), 1);
        QCOMPARE(Engine(0, 5, 1.0, 0.0, 0.0, 0.0), 1);
        QCOMPARE(Engine(0, 0, 0.0, 1.0, 0.0, 0.0), 1025);
        QCOMPARE(Engine(0, 7, 0.0, 1.0, 0.0, 0.0), 1025);
        QCOMPARE(Engine(0, 0, 1.0, 1.0, nan, 10.0), 1025);
        QCOMPARE(Engine(0, 0, 1.0, 1.0, inf, 0.0), 1);
        QCOMPARE(Engine(0, 0, 1.0, 1.0, -inf, nan), 1025);
        QCOMPARE(Engine(0, 0, 1.0, 1.0, 0.0, -inf), 1);
    }

    void negativePixels()
    {
        // Mapped by the same formula: column -320 of a view whose left edge
        // is 1.5 is the point 0, like column 0 of the default view's middle.
        QCOMPARE(Engine(-320, -240, defaultScaleX, defaultScaleY, 1.5, 1.5), defaultView(320, 240));
        QCOMPARE(Engine(-1, 0, 1.0, 1.0, 0.0, 0.0), Engine(0, 0, 1.0, 1.0, -1.0, 0.0));
        QCOMPARE(Engine(std::numeric_limits<int32_t>::min(), 0, 1.0, 1.0, 0.0, 0.0), 1);
    }
};

QTEST_APPLESS_MAIN(TestEngine)
#include "tst_engine.moc"
