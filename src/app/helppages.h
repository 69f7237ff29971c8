#pragma once

#include <QString>

namespace tunevale {

// The help pages are built into the program, but a browser can only open real files: these
// copy them out of the resources when help is asked for.

// Writes every help page into folder (made when missing), replacing older copies so pages
// from another version never linger. Returns the path of index.html, or an empty string when
// the folder cannot be written.
QString extractHelpPages(const QString& folder);

// Extracts the pages into the user's cache folder, or a fresh temporary folder when the
// cache cannot be written. Returns the path of index.html, or an empty string.
QString extractHelpPages();

} // namespace tunevale
