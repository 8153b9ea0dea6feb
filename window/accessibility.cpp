#include "accessibility.h"

#include "fittedtext.h"
#include "form1.h"
#include "picturebox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLocale>

namespace {

// The status line is named by its text, as a label is. QLabel::setText sends
// NameChanged at every new text, so that each one reaches a screen reader.
class StatusLineInterface : public QAccessibleWidget {
public:
    explicit StatusLineInterface(StatusLabel* label)
        : QAccessibleWidget(label, QAccessible::StatusBar)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<const StatusLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* interfaceFor(const QString& /*className*/, QObject* object)
{
    if (auto* window = qobject_cast<Form1*>(object))
        return new QAccessibleWidget(window, QAccessible::Window);
    if (auto* picture = qobject_cast<PictureBox*>(object))
        return new QAccessibleWidget(picture, QAccessible::Graphic);
    if (auto* label = qobject_cast<StatusLabel*>(object))
        return new StatusLineInterface(label);
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    QAccessible::installFactory(interfaceFor);
}

QString pictureName()
{
    return QStringLiteral("Slika");
}

QString pictureDescription(const View& view)
{
    // The shortest digits that give each number back exactly, written the
    // Slovenian way.
    const QLocale slovenian(QLocale::Slovenian, QLocale::Slovenia);
    const auto number = [&slovenian](double value) {
        return slovenian.toString(value, 'g', QLocale::FloatingPointShortest);
    };
    return QStringLiteral("Pogled: levo %1, zgoraj %2, širina %3, višina %4. Puščice premikajo "
                          "kazalec po sliki, s tipko Shift po 10 pik; preslednica ali Enter "
                          "postavi vogal izbire, Escape izbiro prekliče. Ctrl+plus in Ctrl+minus "
                          "sliko povečata ali pomanjšata okoli kazalca, Alt+levo in Alt+desno "
                          "narišeta prejšnji ali naslednji pogled.")
        .arg(number(view.viewLeft), number(view.viewTop), number(view.viewWidth),
             number(view.viewHeight));
}

void describePicture(QWidget* picture, const View& view)
{
    const QString description = pictureDescription(view);
    if (picture->accessibleDescription() != description)
        picture->setAccessibleDescription(description);
}
