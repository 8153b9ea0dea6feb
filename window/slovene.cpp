#include "slovene.h"

#include <QCoreApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// The buttons of Qt's boxes and dialogs take their texts from the platform
// theme, for which Qt ships no Slovene: the ones that the program's boxes and
// the file dialog can show.
class ButtonTexts : public QTranslator {
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override
    {
        static const QHash<QByteArray, QString> texts{
            {"OK", QStringLiteral("V redu")},   {"Cancel", QStringLiteral("Prekliči")},
            {"Save", QStringLiteral("Shrani")}, {"Open", QStringLiteral("Odpri")},
            {"&Yes", QStringLiteral("&Da")},    {"&No", QStringLiteral("&Ne")},
            {"Close", QStringLiteral("Zapri")},
        };
        if (qstrcmp(context, "QPlatformTheme") != 0)
            return {};
        return texts.value(QByteArray(sourceText));
    }
};

} // namespace

bool installSlovene()
{
    const QLocale slovene(QLocale::Slovenian, QLocale::Slovenia);
    QLocale::setDefault(slovene);
    auto* qt = new QTranslator(qApp);
    const bool loaded = qt->load(slovene, QStringLiteral("qt"), QStringLiteral("_"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded)
        QCoreApplication::installTranslator(qt);
    QCoreApplication::installTranslator(new ButtonTexts(qApp));
    return loaded;
}
