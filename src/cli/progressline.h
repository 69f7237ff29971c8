#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <utility>
#include <vector>

namespace tunevale {

// The line a terminal shows while files convert: for each running file its name, percent
// done, audio time converted and speed against real time, as in
// "lena.flac 42% time=00:01:23 speed=31.2x". Redrawn in place at most four times a second
// and at least once a second while anything runs; it writes nothing when not enabled.
class ProgressLine {
public:
    ProgressLine(std::FILE* terminal, const QStringList& sources, bool enabled);

    void update(const std::vector<std::pair<qsizetype, double>>& running);
    // Clears the line, before other text is written there.
    void clear();

    // The text for one running file, given its length and the time it has run.
    static QString rowText(const QString& name, double percent, qint64 durationMs,
                           qint64 elapsedMs);

private:
    struct Row {
        QElapsedTimer started;
        qint64 durationMs = 0;
    };
    int width() const;

    std::FILE* m_terminal;
    QStringList m_sources;
    bool m_enabled;
    bool m_shown = false;
    QElapsedTimer m_lastDraw;
    QHash<qsizetype, Row> m_rows;
};

} // namespace tunevale
