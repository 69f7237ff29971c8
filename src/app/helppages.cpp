#include "app/helppages.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace tunevale {

namespace {

const QString kResourceFolder = QStringLiteral(":/help");

bool copyPage(const QString& source, const QString& target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    // Written under a temporary name and renamed, so a second running copy of the program
    // never shows the browser a half-written page.
    QSaveFile out(target);
    return out.open(QIODevice::WriteOnly) && out.write(in.readAll()) == in.size() && out.commit();
}

// The folder, below the English pages, of the pages in language; empty for English.
QString languageFolder(const QLocale& language)
{
    return language.language() == QLocale::German ? QStringLiteral("de/") : QString();
}

} // namespace

QString extractHelpPages(const QString& folder, const QLocale& language)
{
    const QDir target(folder);
    if (!target.mkpath(QStringLiteral(".")))
        return {};
    QDirIterator pages(kResourceFolder, QDir::Files, QDirIterator::Subdirectories);
    while (pages.hasNext()) {
        const QString source = pages.next();
        const QString relative = source.mid(kResourceFolder.size() + 1);
        if (!target.mkpath(QFileInfo(relative).path()) ||
            !copyPage(source, target.filePath(relative)))
            return {};
    }
    const QString index = target.filePath(languageFolder(language) + QStringLiteral("index.html"));
    return QFileInfo::exists(index) ? index : QString();
}

QString extractHelpPages(const QLocale& language)
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!cache.isEmpty()) {
        if (QString index = extractHelpPages(cache + QStringLiteral("/help"), language);
            !index.isEmpty())
            return index;
    }
    // Kept after the program ends: the browser reads the pages after this returns.
    QTemporaryDir fallback(QDir::tempPath() + QStringLiteral("/tunevale-help-XXXXXX"));
    if (!fallback.isValid())
        return {};
    fallback.setAutoRemove(false);
    return extractHelpPages(fallback.path(), language);
}

void openInBrowser(const QString& page, QObject* context, std::function<void()> failed)
{
    const QUrl url = QUrl::fromLocalFile(page);
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(url))
            failed();
        return;
    }
    // The desktop's services count the opener's start as success, even when it then finds no
    // browser: only its exit status tells. Some openers stay until the browser closes, so the
    // status is awaited rather than waited for.
    auto* process = new QProcess(context);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, context,
                     [process, failed](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status != QProcess::NormalExit || exitCode != 0)
                             failed();
                     });
    QObject::connect(process, &QProcess::errorOccurred, context,
                     [process, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         process->deleteLater();
                         failed();
                     });
    process->start(opener, {url.toString(QUrl::FullyEncoded)});
}

} // namespace tunevale
