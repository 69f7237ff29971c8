#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tunevale {

QLocale interfaceLocale(const QString& requested)
{
    return requested.isEmpty() ? QLocale::system() : QLocale(requested);
}

bool installTranslations(const QLocale& locale)
{
    QLocale::setDefault(locale);
    // Owned by the application: a translator must outlive every text it translates.
    auto* qtTranslator = new QTranslator(QCoreApplication::instance());
    if (!qtTranslator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qtTranslator;
        return false;
    }
    QCoreApplication::installTranslator(qtTranslator);
    return true;
}

} // namespace tunevale
