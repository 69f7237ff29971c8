#include "widgets/folderbrowser.h"

#include "common/folderpath.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

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

QString browseForReadableFolder(QWidget* owner, const QString& title, const QString& currentText)
{
    const QString chosen = BrowseForFolder(owner, title, withoutTrailingSeparator(currentText));
    if (chosen.isEmpty())
        return {};
    if (!FolderExists(chosen)) {
        QMessageBox::critical(owner, QStringLiteral("Error"),
                              QStringLiteral("Can not read ") + chosen);
        return {};
    }
    return chosen;
}

} // namespace tunevale
