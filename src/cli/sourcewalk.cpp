#include "cli/sourcewalk.h"

#include "common/folderpath.h"
#include "common/localfile.h"
#include "filelist/folderscan.h"
#include "filelist/rowtexts.h"

namespace tunevale {

void SourceRows::add(const QString& argument, bool recursive)
{
    const LocalFileInfo info = LocalFileInfo::of(argument);
    if (!info.exists || !info.isDir) {
        sources << argument;
        relativeFolders << QString();
        return;
    }
    const QString base = withTrailingSeparator(argument);
    const qsizetype before = sources.size();
    FolderScan scan({[&](const QString& path) {
                         const qsizetype nameStart = path.lastIndexOf(u'/') + 1;
                         QString relative = path.left(nameStart);
                         relative =
                             relative.startsWith(base) ? relative.mid(base.size()) : QString();
                         if (relative.endsWith(u'/'))
                             relative.chop(1);
                         sources << path;
                         relativeFolders << relative;
                     },
                     {},
                     {}});
    // The filter Add Folder starts with.
    scan.run(argument, QStringLiteral("*.mp3;*.wma;*.wav;*.ogg;") + otherAudioPatterns().join(u';'),
             recursive);
    if (sources.size() == before)
        emptyFolders << argument;
}

} // namespace tunevale
