#pragma once

#include "common/audio/outputformat.h"
#include "common/audio/status.h"

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <vector>

namespace tunevale {

class TranscodeObserver;

// Converts one long source on several threads: the source is cut into segments on the
// output's frame grid, each thread encodes one segment (MP3 with a stretch of the source
// before and after it, so its encoder has settled at the seams) and the pieces are joined
// into one stream whose header describes the whole file. Only formats whose table row names a
// way to split (Splitting) are split.
class SegmentedTranscode {
public:
    enum class Outcome {
        Done,         // the output is written (or the call failed: see the status)
        NotApplicable // nothing was written; convert the file on one thread instead
    };

    // threads is the budget: at most that many segments, each on its own thread.
    SegmentedTranscode(const OutputSettings& settings, int threads);

    // Converts source into output, which is created when missing and written in place.
    // NotApplicable when the output format, the source (too short, rate differs from the
    // output's, a codec whose seeking is not sample-exact) or a thread budget below two rule a
    // split out. A stop request leaves a complete output of the first segment's finished part.
    // On failure, or when not applicable, the output is removed. The output format follows
    // the extension of namedAs (the name output will take), or of output when none is given.
    Status run(const QString& source, const QString& output, TranscodeObserver& observer,
               Outcome& outcome, const QString& namedAs = {});

    // Source frames the last run wrote (after a stop, the first segment's part).
    qint64 framesWritten() const { return m_framesWritten; }

    // Where the segments met in the last run, in output frames of the source's rate.
    const std::vector<qint64>& seams() const { return m_seams; }

    // Shortest segment worth a thread of its own.
    static constexpr int kMinSegmentSeconds = 3;

private:
    struct Plan;
    struct Segment;
    Status plan(const QString& source, const QString& output, const QString& namedAs, Plan& plan,
                Outcome& outcome);
    Status runSegments(const Plan& plan, std::vector<Segment>& segments,
                       TranscodeObserver& observer, bool& stopped);
    void encodeSegment(const Plan& plan, Segment& segment, bool first,
                       const std::atomic<bool>& stop);
    Status writeMp3(const Plan& plan, std::vector<Segment>& segments, bool stopped,
                    Outcome& outcome);
    Status startWav(const Plan& plan);
    Status finishWav(const Plan& plan, const std::vector<Segment>& segments, bool stopped);

    OutputSettings m_settings;
    int m_threads;
    std::vector<qint64> m_seams;
    qint64 m_framesWritten = 0;
};

} // namespace tunevale
