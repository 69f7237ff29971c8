#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace tunevale {

// Where a conversion run stands for the person watching it: which file, and how long the rest
// may take. Files weigh by their size, so a run of one long file and many short ones is not
// judged by the short ones.
class RunProgress {
public:
    // The size in bytes of each file of the run, in list order.
    explicit RunProgress(QList<qint64> fileBytes);

    // Files finish in list order, as the run reports them.
    void fileFinished();
    // The whole run's percentage, each file counting alike, as the run reports it.
    void setRunPercent(double percent) { m_runPercent = percent; }

    // The file being worked on, from 1: the one after those finished, at most the count.
    int fileNumber() const;
    int fileCount() const { return static_cast<int>(m_fileBytes.size()); }
    // The share of the run's bytes done, 0 to 1: the finished files, and the rest of the
    // percentage spread over the unfinished ones at their average size.
    double doneFraction() const;
    // The time left at the pace so far; nothing until there is a pace to go by.
    std::optional<qint64> remainingMs(qint64 elapsedMs) const;

    // "file 3 of 12, elapsed 00:01:05, remaining 00:02:10" (remaining "--:--:--" while unknown).
    QString text(qint64 elapsedMs) const;

private:
    QList<qint64> m_fileBytes;
    qint64 m_totalBytes = 0;
    qint64 m_finishedBytes = 0;
    int m_finished = 0;
    double m_runPercent = 0;
};

} // namespace tunevale
