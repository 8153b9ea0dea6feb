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
};

QTEST_APPLESS_MAIN(TestKernel)
#include "tst_kernel.moc"
