// The window as desktops show it, at several font DPIs and scales (see
// CMakeLists.txt): every caption and the status line drawn whole inside their
// controls, in a smaller size of the same font when the desktop's size would
// not fit, with the layout unmoved; the picture's border whole and even
// around it, hiding none of its pixels.
#include "fittedtext.h"
#include "form1.h"
#include "picturebox.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QTest>

namespace {

// How many columns, from the first to the last, hold dark ink in the rows.
int inkWidth(const QImage& image, int top, int bottom)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = top; y <= std::min(bottom, image.height() - 1); ++y)
            if (qGray(image.pixel(x, y)) < 110) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
    return first < 0 ? 0 : last - first + 1;
}

// The widget shows text whole in the rows of area: its ink is as wide as the
// text's drawn alone and unclipped in the font shown, give or take an
// antialiased column at each end.
QString drawnWhole(QWidget* widget, const QString& text, const QFont& shown, QRect area)
{
    const QImage image = widget->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const QFontMetrics metrics(shown, widget);
    QImage alone(QSize(metrics.horizontalAdvance(text) + 40, metrics.height()) * ratio,
                 QImage::Format_RGB32);
    alone.setDevicePixelRatio(ratio);
    alone.setDotsPerMeterX(qRound(widget->logicalDpiX() / 0.0254));
    alone.setDotsPerMeterY(qRound(widget->logicalDpiY() / 0.0254));
    alone.fill(Qt::white);
    {
        QPainter painter(&alone);
        painter.setFont(shown);
        painter.drawText(QPointF(20, metrics.ascent()), text);
    }
    const int inkShown =
        inkWidth(image, qFloor(area.top() * ratio), qCeil((area.bottom() + 1) * ratio) - 1);
    const int inkAlone = inkWidth(alone, 0, alone.height() - 1);
    if (inkShown == 0 || std::abs(inkShown - inkAlone) > 2)
        return QStringLiteral("ink %1 px wide, %2 px drawn alone").arg(inkShown).arg(inkAlone);
    return {};
}

QStringList labelTexts()
{
    return {Form1::startText, Form1::drawingText, Form1::selectText, Form1::secondCornerText};
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

private slots:
    void readableInFull_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("points");
        for (const char* family : {"DejaVu Sans", "Noto Sans", "Cantarell"})
            for (int points : {9, 10, 11, 12})
                QTest::newRow(QByteArray(family).append(' ').append(QByteArray::number(points)) +
                              " pt")
                    << QString::fromLatin1(family) << points;
    }

    void readableInFull()
    {
        QFETCH(QString, family);
        QFETCH(int, points);
        if (!QFontDatabase::hasFamily(family))
            QSKIP("the font is not installed");
        const QFont desktop(family, points);
        QApplication::setFont(desktop);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The layout is as fixed as ever.
        QCOMPARE(form.size(), Form1::clientSize);

        const auto buttons = form.findChildren<CaptionButton*>();
        QCOMPARE(buttons.size(), 5);
        for (CaptionButton* button : buttons) {
            QCOMPARE(button->size(), QSize(121, 41));
            button->setEnabled(true); // dark text, to find its ink
            const QFont shown = button->captionFont();
            QCOMPARE(shown.family(), desktop.family());
            QVERIFY(shown.pointSizeF() <= desktop.pointSizeF());
            const QRect space = button->captionRect();
            const QFontMetrics metrics(shown, button);
            QVERIFY2(metrics.horizontalAdvance(button->text()) <= space.width(),
                     qPrintable(button->text()));
            QVERIFY2(metrics.height() <= space.height(), qPrintable(button->text()));
            const QString cut = drawnWhole(button, button->text(), shown, space);
            QVERIFY2(cut.isEmpty(), qPrintable(button->text() + QStringLiteral(": ") + cut));
        }

        auto* label = form.findChild<StatusLabel*>(QStringLiteral("Label1"));
        QVERIFY(label);
        QCOMPARE(label->geometry(), QRect(0, 552, 657, 25));
        for (const QString& text : labelTexts()) {
            label->setText(text);
            const QFont shown = label->textFont();
            QCOMPARE(shown.family(), label->font().family());
            QVERIFY(shown.pointSizeF() <= label->font().pointSizeF());
            // The label's last column lies outside the window.
            const QRect space = label->textRect();
            QCOMPARE(space, QRect(0, 0, 656, 25));
            const QFontMetrics metrics(shown, label);
            QVERIFY2(metrics.horizontalAdvance(text) <= space.width(), qPrintable(text));
            const QString cut = drawnWhole(label, text, shown, space);
            QVERIFY2(cut.isEmpty(), qPrintable(text + QStringLiteral(": ") + cut));
        }
    }

    void borderIsWholeAndEven()
    {
        QApplication::setFont(QFont());
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* pb = form.findChild<PictureBox*>(QStringLiteral("pb"));
        pb->filledBox(0, 0, 9600, 7200, 0xffffff);
        // The focus shows until the pointer moves over the picture.
        QTest::mouseMove(pb, QPoint(5, 5));
        QImage image = form.grab().toImage();
        const qreal ratio = image.devicePixelRatio();
        QCOMPARE(ratio, form.devicePixelRatioF());

        // The picture's device pixels, as Qt places the widget, all white;
        // around them one ring of border of a whole logical pixel, then the
        // window's background.
        const QRect picture(qRound(8 * ratio), qRound(8 * ratio), qRound(640 * ratio),
                            qRound(480 * ratio));
        const int line = std::max(1, int(ratio));
        const QRgb white = qRgb(255, 255, 255);
        const QRgb border = form.palette().color(QPalette::WindowText).rgb();
        const QRgb background = form.palette().color(QPalette::Window).rgb();
        const auto ringHolds = [&](int from, int to, QRgb colour) {
            for (int d = from; d <= to; ++d) {
                const QRect ring = picture.adjusted(-d, -d, d, d);
                for (int x = ring.left(); x <= ring.right(); ++x)
                    for (int y : {ring.top(), ring.bottom()})
                        if (image.pixel(x, y) != colour)
                            return QStringLiteral("(%1, %2)").arg(x).arg(y);
                for (int y = ring.top(); y <= ring.bottom(); ++y)
                    for (int x : {ring.left(), ring.right()})
                        if (image.pixel(x, y) != colour)
                            return QStringLiteral("(%1, %2)").arg(x).arg(y);
            }
            return QString();
        };
        QCOMPARE(ringHolds(0, 0, white), QString());
        QCOMPARE(ringHolds(1, line, border), QString());
        QCOMPARE(ringHolds(line + 1, line + 2, background), QString());

        // Keyboard focus: the border twice as thick in the highlight colour,
        // still around the picture.
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(pb, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QVERIFY(pb->hasFocus());
        image = form.grab().toImage();
        QCOMPARE(ringHolds(0, 0, white), QString());
        QCOMPARE(ringHolds(1, 2 * line, form.palette().color(QPalette::Highlight).rgb()),
                 QString());
    }

    // Where the texts fit as they are (the toolkit's own font at 96 DPI and
    // scale 1), they are drawn in their own font, exactly as before.
    void fittingTextsKeepTheirFont()
    {
        QApplication::setFont(QFont());
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (form.logicalDpiX() != 96 || form.devicePixelRatioF() != 1)
            QSKIP("this check is for 96 DPI at scale 1");
        for (CaptionButton* button : form.findChildren<CaptionButton*>())
            QCOMPARE(button->captionFont(), button->font());
        auto* label = form.findChild<StatusLabel*>(QStringLiteral("Label1"));
        for (const QString& text : labelTexts()) {
            label->setText(text);
            QCOMPARE(label->textFont(), label->font());
        }
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
