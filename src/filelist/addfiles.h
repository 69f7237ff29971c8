#pragma once

#include "filelist/listfeed.h"

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace tunevale {

class FileListView;

// Asks the user for audio files, starting in startFolder; returns full paths in the order
// chosen, or nothing when cancelled.
using FileChooser = std::function<QStringList(QWidget* owner, const QString& startFolder)>;

// The file dialog: several files selectable, the six type filters, the first selected.
QStringList chooseAudioFiles(QWidget* owner, const QString& startFolder);

// Tells the user which files were not added, and why.
using SkipReporter = std::function<void(QWidget* owner, const QList<SkippedFile>& skipped)>;

// A message naming the count, with each file and its reason in its details.
void showSkippedFiles(QWidget* owner, const QList<SkippedFile>& skipped);

// The Add Files command: one chosen file is added (or reported as already listed); several
// are added behind the wait window, duplicates skipped silently. Files that get no row are
// reported with their reasons. lastFolder is the dialog's start folder and becomes the chosen
// files' folder, ending in a separator.
void OpenAddFilesDialog(FileListView& list, QWidget* owner, QString& lastFolder,
                        const FileChooser& chooser = chooseAudioFiles,
                        const SkipReporter& reportSkipped = showSkippedFiles);

// Adds the supported files among paths behind the wait window, skipping folders, and gives
// the event loop a turn after a file once 20 ms have passed since the last turn. Used for
// multiple selections and drops. Returns the files that got no row, with the reasons.
QList<SkippedFile> addFilesWithWaitWindow(FileListView& list, QWidget* owner,
                                          const QStringList& paths);

} // namespace tunevale
