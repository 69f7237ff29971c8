#include "filelist/listfeed.h"

#include "filelist/filelistview.h"
#include "filelist/rowprefetch.h"

#include <QCoreApplication>

#include <chrono>

namespace tunevale {

namespace {

// How long the window waits for a probe before it serves its events again.
constexpr std::chrono::milliseconds kProbeWait{20};

// The reasons the reading of a file gives in English, for the catalogue: the reading runs
// away from the window and speaks no language.
[[maybe_unused]] const char* const kReadingReasons[] = {
    QT_TRANSLATE_NOOP("tunevale::AddFiles", "unreadable"),
    QT_TRANSLATE_NOOP("tunevale::AddFiles", "unsupported encoding"),
};

} // namespace

QString skippedFilesText(const QList<SkippedFile>& skipped)
{
    QStringList lines;
    lines.reserve(skipped.size());
    for (const SkippedFile& file : skipped)
        lines.append(file.path + QStringLiteral(": ") +
                     QCoreApplication::translate("tunevale::AddFiles", file.reason.toUtf8()));
    return lines.join(u'\n');
}

ListFeed::ListFeed(FileListView& list, Hooks hooks, int threads)
    : m_list(list)
    , m_hooks(std::move(hooks))
    , m_threads(threads)
{}

void ListFeed::turn() const
{
    if (m_hooks.turn)
        m_hooks.turn();
}

bool ListFeed::add(const QStringList& paths, const QString& baseFolder)
{
    QStringList candidates;
    for (const QString& path : paths) {
        if (!m_list.IsInList(path))
            candidates.append(path);
    }
    RowPrefetch rows(candidates, m_threads);
    for (const QString& path : std::as_const(candidates)) {
        // A file that is slow to read must not stop the window from painting and taking clicks.
        while (!rows.waitForNext(kProbeWait)) {
            turn();
            if (stopped())
                return false;
        }
        ProbedFile probed = rows.next();
        if (!probed.row) {
            m_skipped.append({path, probed.skipReason});
        } else if (!m_list.IsInList(path)) {
            m_list.AddBuiltRow(*probed.row, baseFolder);
            ++m_added;
            if (m_hooks.rowAdded)
                m_hooks.rowAdded(m_added);
        }
        turn();
        if (stopped())
            return false;
    }
    return true;
}

} // namespace tunevale
