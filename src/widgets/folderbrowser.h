#pragma once

#include <QString>

class QWidget;

namespace tunevale {

// Shows the folder picker over owner with title, opened at initialFolder (may be empty).
// Returns the chosen folder's full path, or empty text when the user cancels.
QString BrowseForFolder(QWidget* owner, const QString& title, const QString& initialFolder);

// True when path names a folder that can be entered; it then becomes the current directory.
bool FolderExists(const QString& path);

// What the Browse buttons do: opens the picker at currentText (a trailing separator dropped,
// except on a root), and answers the chosen folder once it proves it can be entered; an
// unreadable choice is reported with "Can not read " and, like a cancel, answers empty text.
QString browseForReadableFolder(QWidget* owner, const QString& title, const QString& currentText);

} // namespace tunevale
