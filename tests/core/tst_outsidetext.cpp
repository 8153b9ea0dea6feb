// File names keep their bytes through a string, and outside text is shown on
// one line, escaped and cut short.
#include "outsidetext.h"

#include <QTest>

namespace {

QString chars(std::initializer_list<char16_t> codes)
{
    QString text;
    for (char16_t code : codes)
        text += QChar(code);
    return text;
}

} // namespace

class TestOutsideText : public QObject {
    Q_OBJECT

private slots:
    void fileNamesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::newRow("ASCII") << QByteArray("a/b.png") << QStringLiteral("a/b.png");
        QTest::newRow("UTF-8") << QByteArray("ko\xc5\xa1\xc4\x8d.png")
                               << QStringLiteral("košč.png");
        QTest::newRow("Latin-1 byte")
            << QByteArray("caf\xe9.png") << QStringLiteral("caf") + QChar(0xdce9) + ".png";
        QTest::newRow("surrogate in UTF-8 form")
            << QByteArray("\xed\xb3\xa9") << chars({0xdced, 0xdcb3, 0xdca9});
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << chars({0xdcc0, 0xdcaf});
        QTest::newRow("cut sequence") << QByteArray("x\xe2\x82") << chars({'x', 0xdce2, 0xdc82});
        QTest::newRow("emoji") << QByteArray("\xf0\x9f\x8c\x80") << QStringLiteral("\U0001F300");
    }
    void fileNamesKeepTheirBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QCOMPARE(fileNameFromBytes(bytes), name);
        QCOMPARE(fileNameToBytes(name), bytes);
    }

    void everyByteStringComesBack()
    {
        QByteArray bytes;
        for (int i = 1; i < 256; ++i)
            bytes += char(i);
        for (int shift = 0; shift < 8; ++shift)
            QCOMPARE(fileNameToBytes(fileNameFromBytes(bytes.mid(shift))), bytes.mid(shift));
    }

    void shownOnOneLineEscaped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QStringLiteral("slika.png") << QStringLiteral("slika.png");
        QTest::newRow("terminal escapes")
            << QStringLiteral("\x1b]0;x\x07\x1b[2J") << QStringLiteral("\\x1b]0;x\\x07\\x1b[2J");
        QTest::newRow("lines and DEL")
            << QStringLiteral("a\nb\tc\x7f") << QStringLiteral("a\\nb\\tc\\x7f");
        QTest::newRow("C1") << QString(QChar(0x85)) << QStringLiteral("\\u0085");
        QTest::newRow("byte of a name")
            << fileNameFromBytes("caf\xe9") << QStringLiteral("caf\\xe9");
        QTest::newRow("backslash") << QStringLiteral("a\\x41") << QStringLiteral("a\\\\x41");
        QTest::newRow("Slovene") << QStringLiteral("čšž") << QStringLiteral("čšž");
    }
    void shownOnOneLineEscaped()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(shownText(text), shown);
    }

    void shownCutShort()
    {
        QCOMPARE(shownText(QString(100, QLatin1Char('a'))), QString(100, QLatin1Char('a')));
        const QString cut = shownText(QString(60'000'000, QLatin1Char('a')));
        QCOMPARE(cut, QString(97, QLatin1Char('a')) + QStringLiteral("..."));
        // An escape is never cut in two.
        QCOMPARE(shownText(QString(20, QChar(0x1b)), 10), QStringLiteral("\\x1b..."));
    }
};

QTEST_GUILESS_MAIN(TestOutsideText)
#include "tst_outsidetext.moc"
