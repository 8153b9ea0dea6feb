// The lane kernel against Engine, pixel by pixel, on every instruction set
// this processor runs.
#include "kernelcases.h"

#include <QTest>

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
        QTest::addColumn<int>("index");
        const std::vector<KernelCase> cases = kernelCases();
        for (size_t i = 0; i < cases.size(); ++i)
            QTest::newRow(cases[i].name) << int(i);
    }
    void countsAreEngines()
    {
        QFETCH(int, index);
        const KernelCase c = kernelCases()[size_t(index)];
        std::vector<int32_t> expected(c.pixels);
        for (size_t i = 0; i < c.pixels; ++i)
            expected[i] = engineCount(c.lattice, i);
        for (const std::string& target : laneTargets()) {
            QVERIFY(useLaneTarget(target));
            QCOMPARE(laneTarget(), target);
            const std::vector<int16_t> counts = countsInRuns(c);
            for (size_t i = 0; i < c.pixels; ++i)
                if (counts[i] != expected[i])
                    QFAIL(qPrintable(QStringLiteral("%1: pixel %2 counts %3, Engine %4")
                                         .arg(QString::fromStdString(target))
                                         .arg(i)
                                         .arg(counts[i])
                                         .arg(expected[i])));
        }
        useLaneTarget({});
    }

    // Counts to other caps, and the points after the escapes, against the
    // plain loop; at cap 1024 the loop's counts are Engine's.
    void cappedCountsAreTheLoops_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("cap");
        const std::vector<CapCase> cases = capCases();
        for (size_t i = 0; i < cases.size(); ++i)
            for (const int32_t cap : cases[i].caps)
                QTest::addRow("%s, cap %d", cases[i].name, cap) << int(i) << cap;
    }
    void cappedCountsAreTheLoops()
    {
        QFETCH(int, index);
        QFETCH(int, cap);
        const CapCase c = capCases()[size_t(index)];
        std::vector<EscapePoint> expectedPoints;
        const std::vector<int32_t> expected = cappedByLoop(c, cap, expectedPoints);
        if (cap == 1024)
            for (size_t i = 0; i < c.pixels; ++i)
                QCOMPARE(expected[i], engineCount(c.lattice, c.begin + i));
        for (const std::string& target : laneTargets()) {
            QVERIFY(useLaneTarget(target));
            std::vector<EscapePoint> points;
            const std::vector<int32_t> counts = cappedInRuns(c, cap, &points);
            QCOMPARE(cappedInRuns(c, cap, nullptr), counts);
            for (size_t i = 0; i < c.pixels; ++i)
                if (counts[i] != expected[i] ||
                    (counts[i] <= cap && !samePoint(points[i], expectedPoints[i])))
                    QFAIL(qPrintable(QStringLiteral("%1: pixel %2 counts %3, the loop %4; or their "
                                                    "points differ")
                                         .arg(QString::fromStdString(target))
                                         .arg(i)
                                         .arg(counts[i])
                                         .arg(expected[i])));
        }
        useLaneTarget({});
    }

    void capsOutOfRangeAreClamped()
    {
        const CapCase c = capCases().front();
        const std::pair<int32_t, int32_t> caps[] = {{0, 1}, {-5, 1}, {maxLaneCap + 1, maxLaneCap}};
        for (const auto& [cap, clamped] : caps)
            QCOMPARE(cappedInRuns(c, cap, nullptr), cappedInRuns(c, clamped, nullptr));
    }
};

QTEST_APPLESS_MAIN(TestKernel)
#include "tst_kernel.moc"
