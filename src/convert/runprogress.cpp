#include "convert/runprogress.h"

#include "common/formatduration.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tunevale {

RunProgress::RunProgress(QList<qint64> fileBytes)
    : m_fileBytes(std::move(fileBytes))
{
    // An empty or unreadable file still takes its turn: it counts as one byte.
    for (qint64& bytes : m_fileBytes)
        bytes = std::max<qint64>(bytes, 1);
    m_totalBytes = std::accumulate(m_fileBytes.begin(), m_fileBytes.end(), qint64(0));
}

void RunProgress::fileFinished()
{
    if (m_finished >= fileCount())
        return;
    m_finishedBytes += m_fileBytes[m_finished];
    ++m_finished;
}

int RunProgress::fileNumber() const
{
    return std::min(m_finished + 1, fileCount());
}

double RunProgress::doneFraction() const
{
    if (m_totalBytes <= 0)
        return 0;
    const int unfinished = fileCount() - m_finished;
    double inFlightBytes = 0;
    if (unfinished > 0) {
        // The percentage beyond the finished files is the unfinished files' work, in files.
        const double inFlightFiles =
            std::max(0.0, m_runPercent / 100.0 * fileCount() - double(m_finished));
        const double averageBytes = double(m_totalBytes - m_finishedBytes) / unfinished;
        inFlightBytes =
            std::min(inFlightFiles * averageBytes, double(m_totalBytes - m_finishedBytes));
    }
    return std::clamp((double(m_finishedBytes) + inFlightBytes) / double(m_totalBytes), 0.0, 1.0);
}

std::optional<qint64> RunProgress::remainingMs(qint64 elapsedMs) const
{
    const double done = doneFraction();
    if (done <= 0 || elapsedMs <= 0)
        return std::nullopt;
    return std::llround(double(elapsedMs) * (1.0 - done) / done);
}

QString RunProgress::text(qint64 elapsedMs) const
{
    const std::optional<qint64> remaining = remainingMs(elapsedMs);
    return QCoreApplication::translate("tunevale::RunProgress",
                                       "file %1 of %2, elapsed %3, remaining %4")
        .arg(fileNumber())
        .arg(fileCount())
        .arg(FormatDuration(double(elapsedMs) / 1000.0),
             remaining ? FormatDuration(double(*remaining) / 1000.0) : QStringLiteral("--:--:--"));
}

} // namespace tunevale
