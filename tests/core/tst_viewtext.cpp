// The view as text: it reads back bit for bit, and what is not a drawable
// view is refused with the field at fault; a view fitted to another size;
// and the colour of a count.
#include "colourramp.h"
#include "viewmath.h"
#include "views.h"
#include "viewtext.h"

#include <QSize>
#include <QTest>

#include <cfloat>
#include <cmath>
#include <cstring>

class TestViewText : public QObject {
    Q_OBJECT

private slots:
    // A count is coloured by its level, count / 4 rounded to even.
    void colourRamp_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<uint>("colour");
        QTest::newRow("1") << 1 << 0u;
        QTest::newRow("2: 0.5 rounds to 0") << 2 << 0u;
        QTest::newRow("3") << 3 << 0x0101u;
        QTest::newRow("6: 1.5 rounds to 2") << 6 << 0x0202u;
        QTest::newRow("10: 2.5 rounds to 2") << 10 << 0x0202u;
        QTest::newRow("14: 3.5 rounds to 4") << 14 << 0x0404u;
        QTest::newRow("1021") << 1021 << 0xffffu;
        QTest::newRow("1022 is limited") << 1022 << 0xffffu;
        QTest::newRow("1025 is limited") << 1025 << 0xffffu;
    }
    void colourRamp()
    {
        QFETCH(int, count);
        QFETCH(uint, colour);
        QCOMPARE(colourOfCount(int16_t(count)), uint32_t(colour));
    }

    void readsBackTheSameDoubles_data()
    {
        QTest::addColumn<View>("view");
        QTest::newRow("default") << View{};
        QTest::newRow("zoomed") << View{-0.5030356770833333, -0.026616319444444647,
                                        0.5313415364583334, 0.26683576388888885};
        QTest::newRow("negative zero, tiny and huge")
            << View{-0.0, 5e-324, 4.9406564584124654e-300, 1.7976931348623157e308};
        QTest::newRow("thirds") << View{1.0 / 3, -2.0 / 3, 0.1 + 0.2, 3e-7};
    }
    void readsBackTheSameDoubles()
    {
        QFETCH(View, view);
        const std::string text = formatView(view);
        const ViewParse parse = parseView(text);
        QVERIFY2(parse.ok(), parse.reason().c_str());
        QVERIFY2(sameBits(parse.view, view), text.c_str());
        QCOMPARE(parse.view, view);
    }

    void refusesWhatCannotBeDrawn_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("field");
        const auto row = [](const char* text, ViewError error, int field) {
            QTest::newRow(text) << QString::fromLatin1(text) << int(error) << field;
        };
        row("", ViewError::count, -1);
        row("1,2,3", ViewError::count, -1);
        row("1,2,3,4,5", ViewError::count, -1);
        row("1,2,3,x", ViewError::notNumber, 3);
        row("1, 2,3,4", ViewError::notNumber, 1);
        row("1,,3,4", ViewError::notNumber, 1);
        row("0x1p3,2,3,4", ViewError::notNumber, 0);
        row("1e999,2,3,4", ViewError::outOfRange, 0);
        row("nan,2,3,4", ViewError::edgeNotFinite, 0);
        row("1,-inf,3,4", ViewError::edgeNotFinite, 1);
        row("1,2,0,4", ViewError::extentNotPositive, 2);
        row("1,2,3,-4", ViewError::extentNotPositive, 3);
        row("1,2,inf,4", ViewError::extentNotPositive, 2);
        row("1,2,3,nan", ViewError::extentNotPositive, 3);
        row("1,2,3,1e-310", ViewError::extentTooSmall, 3);
        row("1.7e308,0,1e308,1", ViewError::farEdgeOverflows, 2);
        row("0,1e308,1,1e308", ViewError::farEdgeOverflows, 3);
        row("0.5,0.5,1e-300,1e-300", ViewError::belowPrecision, 2);
        row("0.3,-0.3,1,3.6e-25", ViewError::belowPrecision, 3);
    }
    void refusesWhatCannotBeDrawn()
    {
        QFETCH(QString, text);
        QFETCH(int, error);
        QFETCH(int, field);
        const ViewParse parse = parseView(text.toStdString());
        QCOMPARE(int(parse.error), error);
        QCOMPARE(parse.field, field);
        QVERIFY(!parse.reason().empty());
    }

    // Each pixel's coordinate is worked out as the engine works it out; the
    // view must give neighbouring pixels different ones, and keep every edge
    // finite.
    void drawableUpToItsBoundary()
    {
        // At the left edge 0.5 the coordinates are whole multiples of
        // u = 2^-53. With a width of 640 (1 - d) u, column i lies i d u short
        // of i u, and columns 638 and 639 round to the same multiple once
        // 639 d reaches a half (a tie, rounded to 638): at d = 1/1278. The
        // double nearest that width lies just below it.
        const double least = 640 * 0x1p-53 * 1277 / 1278;
        QVERIFY(!isDrawable({0.5, 0, least, 1}));
        QVERIFY(isDrawable({0.5, 0, std::nextafter(least, 1.0), 1}));
        QCOMPARE(int(viewFault({0.5, 0, least, 1}, 640, 480).kind), int(ViewError::belowPrecision));
        // Fewer pixels, or an edge with finer numbers, need less.
        QVERIFY(isDrawable({0.5, 0, least, 1}, 639, 480));
        QVERIFY(isDrawable({0, 0, 1e-300, 1e-300}));

        // 1.5e308 + (DBL_MAX - 1.5e308) is DBL_MAX; a width one step wider
        // still rounds to it, and one more step rounds to infinity.
        const double finite = std::nextafter(DBL_MAX - 1.5e308, HUGE_VAL);
        QVERIFY(isDrawable({0, 1.5e308, 1, finite}));
        const ViewFault fault = viewFault({0, 1.5e308, 1, std::nextafter(finite, HUGE_VAL)}, 1, 1);
        QCOMPARE(int(fault.kind), int(ViewError::farEdgeOverflows));
        QCOMPARE(fault.axis, 1);
    }

    void parseChecksAtTheSizeGiven()
    {
        const std::string tiny = "0.5,0,1e-14,1";
        QVERIFY(parseView(tiny, 64, 1).ok());
        const ViewParse parse = parseView(tiny, 640, 480);
        QCOMPARE(int(parse.error), int(ViewError::belowPrecision));
        QCOMPARE(parse.reason(), std::string("the width '1e-14' is too small beside the left edge "
                                             "0.5 to be drawn on 640x480 pixels: neighbouring "
                                             "pixels would get the same coordinates"));
    }

    // A view widened to another size keeps the shape of the pixels it had;
    // with a pixel shape of 1 a pixel is square.
    void fittedViewKeepsThePixelShape_data()
    {
        QTest::addColumn<View>("view");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("shape");
        QTest::addColumn<View>("fitted");
        const View square{-0.5, -0.5, 1, 1};
        QTest::newRow("wider") << square << QSize(1280, 480) << 0.75 << View{-1, -0.5, 2, 1};
        QTest::newRow("same shape") << square << QSize(2560, 1920) << 0.75 << square;
        QTest::newRow("higher") << square << QSize(640, 960) << 0.75 << View{-0.5, -1, 1, 2};
        QTest::newRow("wide pixels") << square << QSize(100, 100) << 2.0 << View{-1, -0.5, 2, 1};
        QTest::newRow("square pixels") << View{} << QSize(200, 100) << 1.0 << View{-3, -1.5, 6, 3};
        QTest::newRow("off by less than 1e-12")
            << View{0, 0, 1 + 1e-13, 1} << QSize(64, 64) << 1.0 << View{0, 0, 1 + 1e-13, 1};
    }
    void fittedViewKeepsThePixelShape()
    {
        QFETCH(View, view);
        QFETCH(QSize, size);
        QFETCH(double, shape);
        QFETCH(View, fitted);
        const View made = fittedView(view, size.width(), size.height(), shape);
        QVERIFY2(sameBits(made, fitted), formatView(made).c_str());
    }

    // The window's picture keeps its look at any size: at its own 640 x 480
    // the view is itself, elsewhere its pixels have the picture's shape.
    void pictureLooksAlikeAtAnySize()
    {
        QCOMPARE(pixelShape({-0.5, -0.5, 1, 1}, 640, 480), 0.75);
        QCOMPARE(pixelShape({0, 0, 4, 3}, 640, 480), 1.0);
        const View zoomed{-0.5030356770833333, -0.026616319444444647, 0.5313415364583334,
                          0.26683576388888885};
        const double shape = pixelShape(zoomed, 640, 480);
        QVERIFY(sameBits(fittedView(zoomed, 640, 480, shape), zoomed));
        for (const QSize size : {QSize(97, 31), QSize(31, 97), QSize(3840, 2160), QSize(1, 1)}) {
            const View fitted = fittedView(zoomed, size.width(), size.height(), shape);
            QVERIFY(std::abs(pixelShape(fitted, size.width(), size.height()) / shape - 1) < 1e-12);
            QCOMPARE(fitted.viewLeft + fitted.viewWidth / 2,
                     zoomed.viewLeft + zoomed.viewWidth / 2);
            QCOMPARE(fitted.viewTop + fitted.viewHeight / 2,
                     zoomed.viewTop + zoomed.viewHeight / 2);
        }
    }

    void pictureTextsNameTheProgramAndTheView()
    {
        const View view{-0.75, -0.75, 1.5, 1.5};
        for (const bool finished : {true, false}) {
            const std::vector<PictureText> texts = pictureTexts(view, finished);
            const auto value = [&](const char* key) {
                for (const PictureText& text : texts)
                    if (std::strcmp(text.key, key) == 0)
                        return QString::fromStdString(text.value);
                return QString();
            };
            QCOMPARE(parseView(value(viewKey).toStdString()).view, view);
            QVERIFY(value("Description").contains(QLatin1String("c = -0.54 + 0.58i")));
            QVERIFY(value("Description").contains(QLatin1String("width 1.5")));
            // A stopped pass's picture says so in its title and description,
            // and in an entry of its own.
            QCOMPARE(value(unfinishedKey).isEmpty(), finished);
            QCOMPARE(value("Title").contains(QLatin1String("unfinished")), !finished);
            QCOMPARE(value("Description").contains(QLatin1String(unfinishedText)), !finished);
        }
    }
};

QTEST_GUILESS_MAIN(TestViewText)
#include "tst_viewtext.moc"
