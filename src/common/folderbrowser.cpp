#include "common/folderbrowser.h"

#include <QDir>
#include <QFileDialog>

namespace tunevale {

QString BrowseForFolder(QWidget* owner, const QString& title, const QString& initialFolder)
{
    const QString chosen = QFileDialog::getExistingDirectory(owner, title, initialFolder);
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen);
}

bool FolderExists(const QString& path)
{
    return !path.isEmpty() && QDir::setCurrent(path);
}

} // namespace tunevale
