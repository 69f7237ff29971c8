#include "widgets/folderbrowser.h"

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
    QString start = currentText;
    if (start.size() >= 4 && (start.endsWith(QDir::separator()) || start.endsWith(u'/')))
        start.chop(1);
    const QString chosen = BrowseForFolder(owner, title, start);
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
