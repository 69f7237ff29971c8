#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tunevale {

namespace {

// Installs the catalogue named prefix_<language> from folder when one exists for locale.
bool installCatalogue(const QLocale& locale, const QString& prefix, const QString& folder)
{
    // Owned by the application: a translator must outlive every text it translates.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, prefix, QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace

QLocale interfaceLocale(const QString& requested)
{
    return requested.isEmpty() ? QLocale::system() : QLocale(requested);
}

bool installTranslations(const QLocale& locale)
{
    QLocale::setDefault(locale);
    const bool own = installCatalogue(locale, QStringLiteral("tunevale"), translationsFolder());
    const bool stock = installCatalogue(locale, QStringLiteral("qtbase"),
                                        QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return own || stock;
}

QString translationsFolder()
{
    return QStringLiteral(":/i18n");
}

} // namespace tunevale
