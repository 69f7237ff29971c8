#pragma once

#include <QString>

class QWidget;

namespace tunevale {

// Shows the folder picker over owner with title, opened at initialFolder (may be empty).
// Returns the chosen folder's full path, or empty text when the user cancels.
QString BrowseForFolder(QWidget* owner, const QString& title, const QString& initialFolder);

// True when path names a folder that can be entered; it then becomes the current directory.
bool FolderExists(const QString& path);

} // namespace tunevale
