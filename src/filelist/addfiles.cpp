#include "filelist/addfiles.h"

#include "common/folderpath.h"
#include "common/localfile.h"
#include "common/nativepath.h"
#include "filelist/filelistview.h"
#include "filelist/rowtexts.h"
#include "widgets/formwait.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

#include <chrono>

namespace tunevale {

namespace {

// Why a file got no row. Reasons stay in English until skippedFilesText shows them, like the
// reasons the reading of a file gives.
const char* const kNotAudio = QT_TRANSLATE_NOOP("tunevale::AddFiles", "not audio");
const char* const kFolder =
    QT_TRANSLATE_NOOP("tunevale::AddFiles", "a folder (Add Folder lists its files)");

// Gives the event loop a turn when one is due: often enough to repaint and take a click at
// once, rarely enough that a turn per file does not cost more than reading the file.
class EventLoopTurns {
public:
    static constexpr std::chrono::milliseconds kTurnInterval{20};

    EventLoopTurns() { m_sinceTurn.start(); }

    void giveTurnIfDue()
    {
        if (m_sinceTurn.elapsed() < kTurnInterval.count())
            return;
        giveTurn();
    }

    void giveTurn()
    {
        QCoreApplication::processEvents();
        m_sinceTurn.restart();
    }

private:
    QElapsedTimer m_sinceTurn;
};

} // namespace

QStringList chooseAudioFiles(QWidget* owner, const QString& startFolder)
{
    const QString others = otherAudioPatterns().join(u';');
    const auto filter = [](const QString& caption, const QString& patterns) {
        return QStringLiteral("%1 (%2) (%3)")
            .arg(caption, patterns, QString(patterns).replace(u';', u' '));
    };
    const QStringList filters{
        filter(QCoreApplication::translate("tunevale::AddFiles", "All supported files"),
               QStringLiteral("*.wma;*.mp3;*.wav;*.ogg;") + others),
        filter(QCoreApplication::translate("tunevale::AddFiles", "Windows Media Audio files"),
               QStringLiteral("*.wma")),
        filter(QCoreApplication::translate("tunevale::AddFiles", "MPEG Audio files"),
               QStringLiteral("*.mp3")),
        filter(QCoreApplication::translate("tunevale::AddFiles", "OGG Vorbis files"),
               QStringLiteral("*.ogg")),
        filter(QCoreApplication::translate("tunevale::AddFiles", "Wave files"),
               QStringLiteral("*.wav")),
        filter(QCoreApplication::translate("tunevale::AddFiles", "Other audio"), others),
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

void showSkippedFiles(QWidget* owner, const QList<SkippedFile>& skipped)
{
    if (skipped.isEmpty())
        return;
    QMessageBox box(
        QMessageBox::Information, QStringLiteral("Tunevale"),
        skipped.size() == 1
            ? QCoreApplication::translate("tunevale::AddFiles", "1 file was not added.")
            : QCoreApplication::translate("tunevale::AddFiles", "%1 files were not added.")
                  .arg(skipped.size()),
        QMessageBox::Ok, owner);
    box.setInformativeText(
        QCoreApplication::translate("tunevale::AddFiles", "Show Details names each file and why."));
    box.setDetailedText(skippedFilesText(skipped));
    box.exec();
}

void OpenAddFilesDialog(FileListView& list, QWidget* owner, QString& lastFolder,
                        const FileChooser& chooser, const SkipReporter& reportSkipped)
{
    const QStringList chosen = chooser(owner, lastFolder);
    if (chosen.isEmpty())
        return;
    lastFolder = withTrailingSeparator(
        QDir::toNativeSeparators(QFileInfo(chosen.constFirst()).absolutePath()));
    if (chosen.size() > 1) {
        const QList<SkippedFile> skipped = addFilesWithWaitWindow(list, owner, chosen);
        if (!skipped.isEmpty())
            reportSkipped(owner, skipped);
        return;
    }
    const QString& path = chosen.constFirst();
    if (!IsSupportedFile(path)) {
        reportSkipped(owner, {{path, QString::fromUtf8(kNotAudio)}});
        return;
    }
    if (list.IsInList(path)) {
        QMessageBox::information(
            owner, QStringLiteral("Tunevale"),
            QCoreApplication::translate("tunevale::AddFiles", "%1 already in list").arg(path));
        return;
    }
    ListFeed feed(list, {});
    feed.add({path});
    if (!feed.skipped().isEmpty())
        reportSkipped(owner, feed.skipped());
}

QList<SkippedFile> addFilesWithWaitWindow(FileListView& list, QWidget* owner,
                                          const QStringList& paths)
{
    // The event loop runs between files: stop if the window holding the list went away (closed,
    // or the program is ending), even while the wait window first paints.
    const QPointer<FileListView> guard(&list);
    const bool windowShown = list.window()->isVisible();
    FormWait wait(owner);
    list.beginReading();
    wait.showAndPaint();
    EventLoopTurns turns;
    const auto windowGone = [&] {
        return !guard || (windowShown && !list.window()->isVisible());
    };
    // Probing, the slow part, runs on every processor; rows still arrive in the given order.
    ListFeed feed(list, {[&turns] { turns.giveTurnIfDue(); }, windowGone, {}});
    QStringList candidates;
    for (const QString& path : paths) {
        if (LocalFileInfo::of(path).isDir)
            // A dropped folder adds nothing; saying so points the user to Add Folder.
            feed.skip(path, QString::fromUtf8(kFolder));
        else if (IsSupportedFile(path))
            candidates.append(path);
        else
            feed.skip(path, QString::fromUtf8(kNotAudio));
    }
    if (!windowGone())
        feed.add(candidates);
    wait.finish();
    if (guard)
        list.endReading();
    return feed.skipped();
}

} // namespace tunevale
