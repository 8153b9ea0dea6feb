// The view as text: it reads back bit for bit, and what is not a drawable
// view is refused with the field at fault.
#include "quenthar_version.h"
#include "viewtext.h"

#include <QTest>

#include <cstring>

Q_DECLARE_METATYPE(View)

class TestViewText : public QObject {
    Q_OBJECT

private slots:
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
        QVERIFY2(std::memcmp(&parse.view, &view, sizeof view) == 0, text.c_str());
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

    void pictureTextsNameTheProgramAndTheView()
    {
        const View view{-0.75, -0.75, 1.5, 1.5};
        const std::vector<PictureText> texts = pictureTexts(view);
        const auto value = [&](const char* key) {
            for (const PictureText& text : texts)
                if (std::strcmp(text.key, key) == 0)
                    return QString::fromStdString(text.value);
            return QString();
        };
        QCOMPARE(value("Software"), QStringLiteral("Quenthar " QUENTHAR_VERSION));
        QCOMPARE(parseView(value(viewKey).toStdString()).view, view);
        QVERIFY(value("Description").contains(QLatin1String("c = -0.54 + 0.58i")));
        QVERIFY(value("Description").contains(QLatin1String("width 1.5")));
    }
};

QTEST_GUILESS_MAIN(TestViewText)
#include "tst_viewtext.moc"
