#include "app/helppages.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>

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

} // namespace

QString extractHelpPages(const QString& folder)
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
    const QString index = target.filePath(QStringLiteral("index.html"));
    return QFileInfo::exists(index) ? index : QString();
}

QString extractHelpPages()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!cache.isEmpty()) {
        if (QString index = extractHelpPages(cache + QStringLiteral("/help")); !index.isEmpty())
            return index;
    }
    // Kept after the program ends: the browser reads the pages after this returns.
    QTemporaryDir fallback(QDir::tempPath() + QStringLiteral("/tunevale-help-XXXXXX"));
    if (!fallback.isValid())
        return {};
    fallback.setAutoRemove(false);
    return extractHelpPages(fallback.path());
}

} // namespace tunevale
