// The colourings of a render's counts against colours worked out by hand and
// against the window's ramp; .map files good and hostile; a colouring's
// recorded texts read back as the same colouring.
#include "colourramp.h"
#include "colourtexts.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>

#include <sys/stat.h>

Q_DECLARE_METATYPE(Rgb)
Q_DECLARE_METATYPE(ColourChoice)

namespace {

// Five colours told apart by their red.
const std::vector<Rgb> fiveEntries{
    {0, 1, 2}, {10, 11, 12}, {20, 21, 22}, {30, 31, 32}, {40, 41, 42}};
const std::vector<Rgb> threeEntries{{0, 0, 0}, {200, 100, 50}, {10, 20, 255}};
constexpr Rgb blue{0, 0, 255};

ColourChoice choiceOf(ColourMode mode, std::vector<Rgb> entries, double density, double offset,
                      int32_t cap = defaultCap, Rgb inside = {})
{
    return {mode, Palette{"test", std::move(entries), inside}, density, offset, cap};
}

std::string linesOf(int count, const char* ending, const char* comment = "")
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::to_string(i % 256) + " " + std::to_string(255 - i % 256) + "\t7" + comment +
                ending;
    return text;
}

} // namespace

class TestColour : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;

    QByteArray path(const char* name) const { return QFile::encodeName(m_folder.filePath(name)); }

private slots:
    // The window's colour for every count it has (1 to 1025), yellow beyond,
    // whatever the cap.
    void rampIsTheWindows()
    {
        std::vector<int32_t> counts{70000, maxLaneCap + 1};
        for (int32_t count = 1; count <= 2000; ++count)
            counts.push_back(count);
        for (const int32_t cap : {1, 100, defaultCap, maxLaneCap}) {
            const Colouring ramp(choiceOf(ColourMode::ramp, {{1, 2, 3}}, 1, 0, cap));
            QCOMPARE(ramp.pictureIndexPalette()->size(), size_t(rampLevels));
            for (const int32_t count : counts) {
                if (count > cap + 1)
                    continue;
                const uint32_t window = count <= 1025 ? colourOf(int16_t(count)) : 0xffffu;
                const Rgb colour = ramp.colour(count, nullptr);
                QCOMPARE(uint32_t(colour.r | colour.g << 8 | colour.b << 16), window);
                QCOMPARE((*ramp.pictureIndexPalette())[ramp.index(count)], colour);
            }
        }
    }

    // Entry floor(count * density + offset) mod 5, at least 0; count
    // cap + 1 (11) is inside, blue.
    void cycle_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("density");
        QTest::addColumn<double>("offset");
        QTest::addColumn<int>("entry");
        QTest::newRow("8: 8 mod 5 = 3") << 8 << 1.0 << 0.0 << 3;
        QTest::newRow("7, 2, 3: 17 mod 5 = 2") << 7 << 2.0 << 3.0 << 2;
        QTest::newRow("3, 0.5: floor 1.5 = 1") << 3 << 0.5 << 0.0 << 1;
        QTest::newRow("4, 0.25, 0.1: floor 1.1 = 1") << 4 << 0.25 << 0.1 << 1;
        QTest::newRow("2, -7: -5 mod 5 = 0") << 2 << 1.0 << -7.0 << 0;
        QTest::newRow("1, -7: -6 mod 5 = 4") << 1 << 1.0 << -7.0 << 4;
        QTest::newRow("1, -7.5: floor -6.5 = -7, mod 5 = 3") << 1 << 1.0 << -7.5 << 3;
        QTest::newRow("10, the cap: 10 mod 5 = 0") << 10 << 1.0 << 0.0 << 0;
        QTest::newRow("11 is inside") << 11 << 2.0 << 3.0 << -1;
    }
    void cycle()
    {
        QFETCH(int, count);
        QFETCH(double, density);
        QFETCH(double, offset);
        QFETCH(int, entry);
        const Colouring cycle(choiceOf(ColourMode::cycle, fiveEntries, density, offset, 10, blue));
        const Rgb expected = entry < 0 ? blue : fiveEntries[size_t(entry)];
        QCOMPARE(cycle.colour(count, nullptr), expected);
        QCOMPARE((*cycle.pictureIndexPalette())[cycle.index(count)], expected);
    }

    // A palette picture's colours are the entries and the inside colour,
    // each once, if there are at most 256.
    void cyclePictureColours_data()
    {
        QTest::addColumn<ColourChoice>("choice");
        QTest::addColumn<int>("colours");
        const Rgb red{255, 0, 0};
        QTest::newRow("repeated entries")
            << choiceOf(ColourMode::cycle, {red, red, blue}, 1, 0) << 3;
        QTest::newRow("ramp's 256 hold the black inside")
            << ColourChoice{ColourMode::cycle, *builtInPalette("ramp")} << 256;
        std::vector<Rgb> reds;
        for (int red = 0; red < 256; ++red)
            reds.push_back({uint8_t(red), 0, 0});
        QTest::newRow("256 reds with a blue inside: 257")
            << choiceOf(ColourMode::cycle, reds, 1, 0, defaultCap, blue) << -1;
        QTest::newRow("smooth has none") << ColourChoice{ColourMode::smooth} << -1;
    }
    void cyclePictureColours()
    {
        QFETCH(ColourChoice, choice);
        QFETCH(int, colours);
        const Colouring colouring(choice);
        QCOMPARE(colouring.pictureIndexPalette().has_value(), colours > 0);
        if (colours > 0)
            QCOMPARE(int(colouring.pictureIndexPalette()->size()), colours);
    }

    // Count 5, escape point 3 + 4i, taken three steps on (z -> z^2 + c):
    // -7.54 + 24.58i, -547.8648 - 370.0864i, 163191.35561408 +
    // 405515.20303744i; |z|^2 = 191073998441.6573, ln |z| = 12.98796330817946,
    // log2 of that 3.699103308924717: mu = 5 + 3 + 1 - 3.699103308924717 =
    // 5.300896691075283. Where the steps end inside the unit circle, run to
    // infinity or start at NaN, mu is the count.
    void continuousCount_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<double>("mu");
        QTest::newRow("3 + 4i") << 3.0 << 4.0 << 5.300896691075283;
        QTest::newRow("0: |z| about 0.67 after the steps") << 0.0 << 0.0 << 5.0;
        QTest::newRow("1e200: overflows") << 1e200 << 0.0 << 5.0;
        QTest::newRow("NaN") << std::nan("") << 1.0 << 5.0;
    }
    void continuousCount()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(double, mu);
        QVERIFY(std::abs(::continuousCount(5, {x, y}) - mu) < 1e-12);
    }

    // Points on either side of the circle of radius 2 escape one count apart
    // with continuous counts that meet.
    void continuousCountIsContinuous_data()
    {
        QTest::addColumn<double>("angle");
        for (const double angle : {0.0, 1.0, 2.5, 4.0})
            QTest::addRow("angle %g", angle) << angle;
    }
    void continuousCountIsContinuous()
    {
        QFETCH(double, angle);
        const auto step = [](EscapePoint z) {
            return EscapePoint{z.x * z.x - z.y * z.y - 0.54, 2 * z.x * z.y + 0.58};
        };
        const auto onCircle = [angle](double r) {
            return EscapePoint{r * std::cos(angle), r * std::sin(angle)};
        };
        const double outside = ::continuousCount(10, step(onCircle(2 + 1e-9)));
        const double inside = ::continuousCount(11, step(step(onCircle(2 - 1e-9))));
        QVERIFY2(std::abs(outside - inside) < 1e-6, qPrintable(QString::number(outside - inside)));
    }

    // mu = 5.300896691075283 (see continuousCount), entries 0 0 0, 200 100
    // 50, 10 20 255; each channel a + (b - a) * fraction, to nearest.
    void smooth_data()
    {
        QTest::addColumn<double>("density");
        QTest::addColumn<double>("offset");
        QTest::addColumn<Rgb>("colour");
        // 10.8518: entries 1 and 2, fraction 0.85179: 38.159, 31.857, 224.618.
        QTest::newRow("density 2, offset 0.25") << 2.0 << 0.25 << Rgb{38, 32, 225};
        // -14.6991: floor -15 is entry 0, fraction 0.30090: 60.179, 30.090, 15.045.
        QTest::newRow("offset -20") << 1.0 << -20.0 << Rgb{60, 30, 15};
        // 5.3009: entry 2, then round to 0, fraction 0.30090: 6.991, 13.982, 178.271.
        QTest::newRow("last entry to first") << 1.0 << 0.0 << Rgb{7, 14, 178};
    }
    void smooth()
    {
        QFETCH(double, density);
        QFETCH(double, offset);
        QFETCH(Rgb, colour);
        const Colouring smooth(
            choiceOf(ColourMode::smooth, threeEntries, density, offset, defaultCap, blue));
        const EscapePoint escape{3, 4};
        QCOMPARE(smooth.colour(5, &escape), colour);
        QCOMPARE(smooth.colour(defaultCap + 1, nullptr), blue);
    }

    void builtInPalettes()
    {
        QVERIFY(!builtInPalette("Fire"));
        for (const std::string_view name : builtInPaletteNames()) {
            const std::optional<Palette> palette = builtInPalette(name);
            QVERIFY(palette);
            QCOMPARE(palette->entries.size(), mostPaletteEntries);
            QCOMPARE(palette->inside, Rgb{});
            if (name == "ramp") {
                for (size_t level = 0; level < mostPaletteEntries; ++level)
                    QCOMPARE(palette->entries[level], rampColour(uint8_t(level)));
                continue;
            }
            // No seam where a colouring cycles from the last entry to the first.
            for (size_t i = 0; i < mostPaletteEntries; ++i) {
                const Rgb a = palette->entries[i];
                const Rgb b = palette->entries[(i + 1) % mostPaletteEntries];
                for (const int step : {a.r - b.r, a.g - b.g, a.b - b.b})
                    QVERIFY2(std::abs(step) <= 8, name.data());
            }
        }
    }

    void mapBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("colours");
        QTest::addColumn<QString>("refusal");
        const auto good = [](const char* name, std::string bytes, int colours) {
            QTest::newRow(name) << QByteArray::fromStdString(bytes) << colours << QString();
        };
        const auto bad = [](const char* name, std::string bytes, const char* refusal) {
            QTest::newRow(name) << QByteArray::fromStdString(bytes) << 0 << refusal;
        };
        good("10 lines", linesOf(10, "\n"), 10);
        good("256 lines, comments, CR LF", linesOf(256, "\r\n", " a comment \xc3\xa9"), 256);
        good("blank lines, leading blanks, no last LF", "\n \t\n  1\t2 3\n\n4 5 6", 2);
        bad("300 lines", linesOf(300, "\n"), "line 257: a palette has at most 256 colours");
        bad("blank lines counted", "\n1 2 3\n \n1 300 3 x",
            "line 4: 300 is not a colour value "
            "from 0 to 255");
        bad("negative", "1 2 -1\n", "line 1: -1 is not a colour value from 0 to 255");
        bad("long number", "99999999999999999999 0 0",
            "line 1: 999999999999... is not a colour "
            "value from 0 to 255");
        bad("two numbers", "1 2 3\n1 2\n",
            "line 2: a line holds three numbers, red, green and blue");
        bad("comment against a number", "1 2 3#",
            "line 1: a line holds three numbers, red, green "
            "and blue");
        bad("NUL", std::string("1 2 3\n\0\n", 8), "it is not a text file");
        bad("CR alone", "1 2 3\r4 5 6\r", "it is not a text file");
        bad("empty", "", "it holds no colours");
        bad("blank", " \n\r\n", "it holds no colours");
    }
    void mapBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, colours);
        QFETCH(QString, refusal);
        const PaletteRead read = readMap(bytes.toStdString(), "p.map");
        QCOMPARE(QString::fromStdString(read.refusal), refusal);
        QCOMPARE(read.palette.has_value(), colours > 0);
        if (colours == 0)
            return;
        QCOMPARE(int(read.palette->entries.size()), colours);
        QCOMPARE(
            read.palette->entries.back(),
            (colours == 2 ? Rgb{4, 5, 6} : Rgb{uint8_t(colours - 1), uint8_t(256 - colours), 7}));
    }

    void mapFiles_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("refusal");
        QVERIFY(m_folder.isValid());
        // Exactly the longest a .map file may be, and one byte more.
        std::string longest = linesOf(256, "\n");
        longest.insert(0, longestMapFile - longest.size() - 1, ' ');
        longest += '\n';
        for (const auto& [name, bytes] :
             {std::pair{"longest.map", longest}, std::pair{"over.map", longest + "\n"}}) {
            QFile file(m_folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes.data(), qint64(bytes.size()));
        }
        QFile huge(m_folder.filePath("huge.map"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(100 << 20));
        QVERIFY(::mkfifo(path("fifo.map").constData(), 0600) == 0);
        const QString tooLong = "it is longer than 64 KiB, more than a palette takes";
        QTest::newRow("longest") << path("longest.map") << QString();
        QTest::newRow("a byte over") << path("over.map") << tooLong;
        QTest::newRow("100 MB") << path("huge.map") << tooLong;
        QTest::newRow("FIFO") << path("fifo.map") << "it is not a regular file";
        QTest::newRow("folder") << QFile::encodeName(m_folder.path()) << "it is a folder";
        QTest::newRow("missing") << path("missing.map")
                                 << QString::fromLocal8Bit(std::strerror(ENOENT));
    }
    void mapFiles()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, refusal);
        QElapsedTimer timer;
        timer.start();
        const PaletteRead read = readMapFile(name.constData());
        QVERIFY(timer.elapsed() < 1000);
        QCOMPARE(QString::fromStdString(read.refusal), refusal);
        if (read.palette)
            QCOMPARE(read.palette->name, name.toStdString());
    }

    void recordedTexts_data()
    {
        QTest::addColumn<ColourChoice>("choice");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("defaults") << ColourChoice{} << QStringList{};
        QTest::newRow("ramp's palette is not its own")
            << ColourChoice{ColourMode::ramp, *builtInPalette("ice"), 1, 0, 5000}
            << QStringList{"Iterations=5000"};
        QTest::newRow("cycle") << ColourChoice{ColourMode::cycle} << QStringList{"Colour=cycle"};
        QTest::newRow("smooth ice, a tenth, -3")
            << ColourChoice{ColourMode::smooth, *builtInPalette("ice"), 0.1, -3, 1}
            << QStringList{"Iterations=1", "Colour=smooth", "Palette=ice", "Density=0.1",
                           "Offset=-3"};
        QTest::newRow("file's colours and inside")
            << choiceOf(ColourMode::cycle, threeEntries, 1.0 / 3, 5e-324, maxLaneCap, blue)
            << QStringList{"Iterations=1000000", "Colour=cycle",
                           "Palette=000000,c86432,0a14ff/0000ff", "Density=0.3333333333333333",
                           "Offset=5e-324"};
    }
    void recordedTexts()
    {
        QFETCH(ColourChoice, choice);
        QFETCH(QStringList, texts);
        const std::vector<PictureText> recorded = colourTexts(choice);
        QStringList written;
        for (const PictureText& text : recorded)
            written << QString::fromStdString(text.key + ("=" + text.value));
        QCOMPARE(written, texts);
        const ColourTextsParse parse = parseColourTexts(recorded);
        QVERIFY2(parse.ok(), parse.refusal.c_str());
        if (choice.mode == ColourMode::ramp)
            choice = ColourChoice{ColourMode::ramp, ColourChoice{}.palette, 1, 0, choice.cap};
        QCOMPARE(parse.choice, choice);
        QCOMPARE(std::memcmp(&parse.choice.offset, &choice.offset, sizeof(double)), 0);
    }

    void malformedTextsRefused_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("refusal");
        const auto row = [](const char* name, QStringList texts, const char* refusal) {
            QTest::newRow(name) << texts << refusal;
        };
        row("cap 0", {"Iterations=0"}, "Iterations: '0' is not a whole number from 1 to 1000000");
        row("cap beyond", {"Iterations=1000001"},
            "Iterations: '1000001' is not a whole number from 1 to 1000000");
        row("cap and text", {"Iterations=12x"},
            "Iterations: '12x' is not a whole number from 1 to 1000000");
        row("mode", {"Colour=blue"}, "Colour: 'blue' is not ramp, cycle or smooth");
        const char* notPalette =
            "is not a built-in palette's name nor colours of six hex digits each";
        for (const char* palette : {"fire2", "00000", "0000001", "000000,", "gg0000", "000000/1"})
            row(palette, {"Colour=cycle", QString("Palette=") + palette},
                qPrintable(QString("Palette: '%1' %2").arg(palette, notPalette)));
        QStringList many(257, "ffffff");
        row("257 colours", {"Colour=smooth", "Palette=" + many.join(',')},
            qPrintable(QString("Palette: 'ffffff,ffffff,ffffff,fff...' %1").arg(notPalette)));
        for (const char* density : {"0", "-1", "nan", "inf", "1e999", " 1"})
            row(density, {"Colour=cycle", QString("Density=") + density},
                qPrintable(QString("Density: '%1' is not a finite number above 0").arg(density)));
        row("offset inf", {"Colour=cycle", "Offset=-inf"}, "Offset: '-inf' is not a finite number");
        row("beyond a double", {"Colour=smooth", "Density=1e306"},
            "Density: the density 1e+306 and the offset 0 take the counts beyond the range of a "
            "double");
        row("ramp's palette", {"Palette=fire"},
            "Palette: recorded beside the ramp, which takes no palette, density or offset");
        row("twice", {"Colour=cycle", "Iterations=5", "Colour=cycle"},
            "Colour: recorded more than once");
        row("too long", {"Palette=" + QString(2049, 'f')},
            "Palette: 2049 bytes, longer than a colouring's entry can be");
    }
    void malformedTextsRefused()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, refusal);
        std::vector<std::string> keys;
        for (const QString& text : texts)
            keys.push_back(text.section('=', 0, 0).toStdString());
        std::vector<PictureText> recorded;
        for (qsizetype i = 0; i < texts.size(); ++i)
            recorded.push_back({keys[size_t(i)].c_str(), texts[i].section('=', 1).toStdString()});
        QCOMPARE(QString::fromStdString(parseColourTexts(recorded).refusal), refusal);
    }
};

QTEST_APPLESS_MAIN(TestColour)
#include "tst_colour.moc"
