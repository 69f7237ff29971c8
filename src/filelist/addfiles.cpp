#include "filelist/addfiles.h"

#include "app/formwait.h"
#include "common/localfile.h"
#include "common/nativepath.h"
#include "filelist/filelistview.h"
#include "filelist/rowtexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

namespace tunevale {

namespace {

QString folderWithSeparator(const QString& path)
{
    QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

} // namespace

QStringList chooseAudioFiles(QWidget* owner, const QString& startFolder)
{
    const QStringList filters{
        QStringLiteral("All supported files (*.wma;*.mp3;*.wav;*.ogg) (*.wma *.mp3 *.wav *.ogg)"),
        QStringLiteral("Windows Media Audio files (*.wma) (*.wma)"),
        QStringLiteral("MPEG Audio files (*.mp3) (*.mp3)"),
        QStringLiteral("OGG Vorbis files (*.ogg) (*.ogg)"),
        QStringLiteral("Wave files (*.wav) (*.wav)"),
    };
    // Each filter carries its patterns twice: in its caption, and after it for the dialog,
    // which hides the second copy.
    const QList<QUrl> urls = QFileDialog::getOpenFileUrls(
        owner, QString(), QUrl::fromLocalFile(startFolder), filters.join(u";;"), nullptr,
        QFileDialog::HideNameFilterDetails, {QStringLiteral("file")});
    QStringList chosen;
    for (const QUrl& url : urls)
        chosen.append(QDir::toNativeSeparators(pathFromLocalUrl(url)));
    return chosen;
}

void OpenAddFilesDialog(FileListView& list, QWidget* owner, QString& lastFolder,
                        const FileChooser& chooser)
{
    const QStringList chosen = chooser(owner, lastFolder);
    if (chosen.isEmpty())
        return;
    lastFolder = folderWithSeparator(chosen.constFirst());
    if (chosen.size() > 1) {
        addFilesWithWaitWindow(list, owner, chosen);
        return;
    }
    const QString& path = chosen.constFirst();
    if (!IsSupportedFile(path))
        return;
    if (list.IsInList(path)) {
        QMessageBox::information(owner, QStringLiteral("Tunevale"),
                                 path + QStringLiteral(" already in list"));
        return;
    }
    list.AddFileRow(path);
}

void addFilesWithWaitWindow(FileListView& list, QWidget* owner, const QStringList& paths)
{
    FormWait wait(owner);
    wait.showAndPaint();
    // The event loop runs between files: stop if the window holding the list went away.
    const QPointer<FileListView> guard(&list);
    const bool windowShown = list.window()->isVisible();
    for (const QString& path : paths) {
        if (!guard || (windowShown && !list.window()->isVisible()))
            break;
        if (LocalFileInfo::of(path).isDir || !IsSupportedFile(path))
            continue;
        list.AddFileRow(path);
        QCoreApplication::processEvents();
    }
    wait.finish();
}

} // namespace tunevale
