#include "widgets/folderbrowser.h"

#include "common/folderpath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

namespace tunevale {

namespace {

// A line under the dialog with the whole path of the folder it would answer now: the
// "Look in" box elides long paths and shows nothing of a highlighted folder.
void addSelectionStatusLine(QFileDialog& dialog)
{
    auto* statusText = new QLabel(&dialog);
    statusText->setObjectName(QStringLiteral("StatusText"));
    statusText->setWordWrap(true);
    statusText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(statusText, grid->rowCount(), 0, 1, grid->columnCount());

    const auto showSelection = [&dialog, statusText] {
        statusText->setText(QDir::toNativeSeparators(dialog.selectedFiles().value(0)));
    };
    // The dialog signals the highlighted folder before it counts as selected.
    QObject::connect(&dialog, &QFileDialog::currentChanged, statusText,
                     [statusText](const QString& path) {
                         if (!path.isEmpty())
                             statusText->setText(QDir::toNativeSeparators(path));
                     });
    QObject::connect(&dialog, &QFileDialog::directoryEntered, statusText, showSelection);
    // A name typed in the dialog's name box counts too, and so does the dialog emptying it after
    // a sidebar click, which it does only after signalling the folder entered.
    for (const QLineEdit* nameBox : dialog.findChildren<QLineEdit*>())
        QObject::connect(nameBox, &QLineEdit::textChanged, statusText, showSelection);
    showSelection();
}

} // namespace

QString BrowseForFolder(QWidget* owner, const QString& title, const QString& initialFolder)
{
    // Qt's own dialog on every platform, so that the status line can be added to it.
    QFileDialog dialog(owner, title, initialFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    addSelectionStatusLine(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QString chosen = dialog.selectedFiles().value(0);
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
        QMessageBox::critical(
            owner, QCoreApplication::translate("tunevale::FolderBrowser", "Error"),
            QCoreApplication::translate("tunevale::FolderBrowser", "Can not read %1").arg(chosen));
        return {};
    }
    return chosen;
}

} // namespace tunevale
