#pragma once

#include <QLocale>
#include <QString>

namespace tunevale {

// The locale the window speaks: the one named by --lang when given (such as "de" or
// "de_DE"), the desktop's (LANGUAGE, LC_ALL, LANG) otherwise.
QLocale interfaceLocale(const QString& requested);

// Installs the program's translation for locale and Qt's own, so stock dialogs and buttons
// ("Yes", "Cancel") speak its language too, and makes it the default locale for numbers and
// dates. Returns whether a translation was found; English needs none.
bool installTranslations(const QLocale& locale);

// The resource folder the build puts the program's compiled translations in.
QString translationsFolder();

} // namespace tunevale
