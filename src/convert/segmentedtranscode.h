#pragma once

#include "common/audio/status.h"
#include "common/codecs/flacsegment.h"
#include "common/codecs/outputformat.h"
#include "convert/loudness.h"

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace tunevale {

class TranscodeObserver;

// Converts one long source on several threads: the source is cut into segments on the
// output's frame grid, the threads encode them in turn (MP3 with a stretch of the source
// before and after each, so its encoder has settled at the seams) and the finished segments
// go to the output in order, joined into one stream whose header describes the whole file.
// Only the segments not yet written are held, so memory does not grow with the source's
// length. Only formats whose table row names a way to split (Splitting) are split.
class SegmentedTranscode {
public:
    enum class Outcome {
        Done,         // the output is written (or the call failed: see the status)
        NotApplicable // nothing was written; convert the file on one thread instead
    };

    // threads is the budget: at most that many segments encoded at once.
    SegmentedTranscode(const OutputSettings& settings, int threads);

    // Converts source into output, which is created when missing and written in place.
    // NotApplicable when the output format, the source (too short, rate differs from the
    // output's, a codec whose seeking is not sample-exact) or a thread budget below two rule a
    // split out. A stop request leaves a complete output of the source's start, as far as the
    // conversion got in order. On failure, or when not applicable, the output is removed. The
    // output format follows the extension of namedAs (the name output will take, which
    // messages give), or of output when none is given.
    Status run(const QString& source, const QString& output, TranscodeObserver& observer,
               Outcome& outcome, const QString& namedAs = {});

    // The longest segment in seconds, unless set kMaxSegmentSeconds (kMaxFlacSegmentSeconds for
    // FLAC): a segment is held in memory until it is written, so this bounds what a run holds.
    void setMaxSegmentSeconds(int seconds)
    {
        m_maxSegmentSeconds = std::max(kMinSegmentSeconds, seconds);
    }

    // Whether run measures the loudness of the source, each segment the gating blocks that
    // start in its own stretch: combined, the meters measure as one meter over the file would.
    void setMeasureLoudness(bool measure) { m_measureLoudness = measure; }
    // A linear gain applied to the source before it is measured and encoded (default 1).
    void setGain(double gain) { m_gain = gain; }
    // The last run's measurement, one meter per segment in order (combine them for the file).
    std::vector<LoudnessMeter> takeLoudnessMeters() { return std::move(m_meters); }

    // Source frames the last run wrote (after a stop, as far as it got).
    qint64 framesWritten() const { return m_framesWritten; }

    // Where the segments met in the last run, in output frames of the source's rate.
    const std::vector<qint64>& seams() const { return m_seams; }

    // Shortest segment worth a thread of its own.
    static constexpr int kMinSegmentSeconds = 3;
    static constexpr int kMaxSegmentSeconds = 60;
    // FLAC segments need no stretch around them, so shorter ones cost little, and the joining
    // thread starts on the first one sooner.
    static constexpr int kMaxFlacSegmentSeconds = 20;

private:
    struct Plan;
    struct Segment;
    class Mp3Output;
    class FlacOutput;
    Status plan(const QString& source, const QString& output, const QString& namedAs, Plan& plan,
                Outcome& outcome);
    Status runSegments(const Plan& plan, std::vector<Segment>& segments,
                       TranscodeObserver& observer, Outcome& outcome);
    void encodeSegment(const Plan& plan, Segment& segment, const std::atomic<bool>& stop);
    // Writes the finished segments from next on that can be written; MP3 joins each with
    // the one after it, so both must be finished.
    Status writeFinished(const Plan& plan, std::vector<Segment>& segments, size_t& next,
                         Mp3Output* mp3, FlacOutput* flac, Outcome& outcome);
    // Ends the output after the segments written and, after a stop, the next one's part.
    Status finish(const Plan& plan, std::vector<Segment>& segments, size_t next, Mp3Output* mp3,
                  FlacOutput* flac);
    Status startWav(const Plan& plan);
    Status finishWav(const Plan& plan, qint64 frames);

    OutputSettings m_settings;
    int m_threads;
    int m_maxSegmentSeconds = 0; // 0: the format's own
    std::vector<qint64> m_seams;
    qint64 m_framesWritten = 0;
    bool m_measureLoudness = false;
    double m_gain = 1.0;
    std::vector<LoudnessMeter> m_meters;
    // Buffers of FLAC segments already joined, for the ones still to encode.
    struct SpareBuffers {
        std::mutex mutex;
        std::vector<FlacSegment::Buffers> flac;
    };
    std::unique_ptr<SpareBuffers> m_spare = std::make_unique<SpareBuffers>();
};

} // namespace tunevale
