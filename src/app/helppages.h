#pragma once

#include <QLocale>
#include <QString>

#include <functional>

class QObject;

namespace tunevale {

// The help pages are built into the program, but a browser can only open real files: these
// copy them out of the resources when help is asked for.

// Writes every help page, in every language, into folder (made when missing), replacing older
// copies so pages from another version never linger. Returns the path of the index.html in
// language (German pages sit in de/, English ones at the top and stand in for the rest), or an
// empty string when the folder cannot be written.
QString extractHelpPages(const QString& folder, const QLocale& language);

// Extracts the pages into the user's cache folder, or a fresh temporary folder when the
// cache cannot be written. Returns the path of the index.html in language, or an empty string.
QString extractHelpPages(const QLocale& language);

// Shows page in the desktop's browser. When no program can show it, failed is called, possibly
// after this returns (the desktop's opener is run and its exit status awaited), and never once
// context is gone.
void openInBrowser(const QString& page, QObject* context, std::function<void()> failed);

} // namespace tunevale
