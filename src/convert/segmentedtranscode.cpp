#include "convert/segmentedtranscode.h"

#include "common/audio/audioreader.h"
#include "common/audio/resampler.h"
#include "common/codecs/flacjoiner.h"
#include "common/codecs/flacsegment.h"
#include "common/codecs/lamestream.h"
#include "common/codecs/lametag.h"
#include "common/codecs/mp3joiner.h"
#include "common/codecs/wavencoder.h"
#include "common/io/outputfile.h"
#include "common/localfile.h"
#include "common/safefile.h"
#include "convert/transcoder.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace tunevale {

namespace {

// Frames an MP3 segment's encoder runs before its own part: enough for the psychoacoustic
// model's history, the adaptive threshold and the bit reservoir to settle as in one pass.
constexpr qint64 kPrerollFrames = 32;
// Frames after a segment's end in which its seam with the next segment is looked for.
constexpr qint64 kSeamSearchFrames = 32;
// Frames past the search window, so that LAME's look-ahead sees real audio up to its end.
constexpr qint64 kLookaheadFrames = 4;
constexpr auto kProgressInterval = std::chrono::milliseconds(25);
// The longest Layer III frame: 320 kbit/s at 32 kHz, with padding.
constexpr size_t kMaxFrameBytes = 1441;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The output, created when missing, opened for writing in place (the caller may have created
// it exclusively already); failures name shownPath, the output's own name.
Status openOutput(const QString& path, const QString& shownPath, UniqueFd& fd)
{
    QFile file;
    int error = 0;
    if (openForUpdate(file, path)) {
        fd = UniqueFd(::fcntl(file.handle(), F_DUPFD_CLOEXEC, 0));
        error = errno;
    } else {
        error = errno;
    }
    if (fd.isValid())
        return {};
    return Status::error(
        QStringLiteral("Cannot create %1: %2").arg(shown(shownPath), systemErrorText(error)));
}

Status openOutput(const QString& path, const QString& shownPath, OutputStream& stream)
{
    UniqueFd fd;
    if (Status status = openOutput(path, shownPath, fd); !status)
        return status;
    return stream.open(std::move(fd), shownPath);
}

int bytesPerFrame(const WavFormat& format)
{
    return format.channels * format.bitsPerSample / 8;
}

// Hands segments to the threads in order, never more than `ahead` past the one the output
// needs next, so only those are held. After a stop only the segment the output needs next is
// still handed out, if it was not yet.
class SegmentQueue {
public:
    SegmentQueue(size_t count, size_t ahead, const std::atomic<bool>& stop)
        : m_count(count)
        , m_ahead(ahead)
        , m_stop(stop)
    {}

    // The next segment to encode, once there is one; nothing when the threads are to end.
    std::optional<size_t> take()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_closed || claimable(); });
        if (m_closed)
            return std::nullopt;
        ++m_busy;
        return m_claimed++;
    }
    void finished()
    {
        update([this] { --m_busy; });
    }
    void written(size_t next)
    {
        update([this, next] { m_next = next; });
    }
    void wake()
    {
        update([] {});
    }
    void close()
    {
        update([this] { m_closed = true; });
    }

    // Waits for a change, or for timeout at most.
    void wait(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout);
    }
    // After a stop: whether every segment handed out is finished, the one the output needs
    // next among them.
    bool settled() const
    {
        const std::lock_guard lock(m_mutex);
        return m_busy == 0 && (m_claimed > m_next || m_next >= m_count);
    }

private:
    bool claimable() const
    {
        return m_claimed < m_count &&
               (m_stop ? m_claimed == m_next : m_claimed <= m_next + m_ahead);
    }
    template <typename Change> void update(Change change)
    {
        {
            const std::lock_guard lock(m_mutex);
            change();
        }
        m_changed.notify_all();
    }

    const size_t m_count;
    const size_t m_ahead;
    const std::atomic<bool>& m_stop;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_claimed = 0; // segments handed out in order
    size_t m_next = 0;    // the first segment not yet in the output
    size_t m_busy = 0;
    bool m_closed = false;
};

// Measures the part of block, read from source sample position on, that lies within
// [from, to) (to -1: the end).
Status measureStretch(LoudnessMeter& meter, qint64 from, qint64 to, qint64 position,
                      std::span<const qint16> block, int channels)
{
    const qint64 frames = qint64(block.size()) / channels;
    const qint64 first = std::clamp(from - position, qint64(0), frames);
    const qint64 last = to < 0 ? frames : std::clamp(to - position, first, frames);
    return meter.add(block.subspan(size_t(first * channels), size_t((last - first) * channels)));
}

// The loudness meter gates blocks of 400 ms that start every 100 ms (libebur128 rounds
// 100 ms to whole frames so). Each segment's meter takes the blocks that start within its own
// stretch, so that together they take each block of the file once, as one meter would: it
// starts at the first block start in the stretch and reads on 300 ms past the last one.
qint64 gatingStep(int sampleRate)
{
    return (qint64(sampleRate) + 5) / 10;
}
qint64 gatingStart(qint64 sample, int sampleRate)
{
    const qint64 step = gatingStep(sampleRate);
    return (sample + step - 1) / step * step;
}
qint64 gatingEnd(qint64 nextSegment, int sampleRate)
{
    return gatingStart(nextSegment, sampleRate) + 3 * gatingStep(sampleRate);
}

} // namespace

struct SegmentedTranscode::Plan {
    QString source;
    QString output;    // the file written
    QString shownPath; // the name messages give
    Splitting splitting = Splitting::None;
    PcmFormat sourceFormat;
    PcmFormat outputFormat;
    qint64 totalSamples = 0; // per channel
    int frameSamples = 0;    // the grid segments are cut on
    WavLayout wavLayout = WavLayout::Classic;
    FlacSettings flac;          // resolved for the source
    bool wideSamples = false;   // FLAC segments read the source's samples at 32 bits
    std::vector<qint64> starts; // first grid frame of each segment
};

struct SegmentedTranscode::Segment {
    qint64 readFrom = 0; // source sample
    qint64 readTo = -1;  // source sample; -1 reads to the end
    std::atomic<qint64> samplesRead = 0;
    std::atomic<bool> finished = false; // set once the fields below are final
    bool whole = false;                 // read to its end, not cut by a stop
    bool shortRead = false;             // the source ended before the segment's planned end
    Status status;
    // The stretch this segment's meter is fed, in source samples: the gating blocks that
    // start within its own stretch (see gatingStart).
    qint64 measureFrom = 0;
    qint64 measureTo = -1;
    LoudnessMeter meter;
    Mp3Piece piece;
    std::vector<unsigned char> tag;
    FlacSegment flac;
};

// The MP3 stream while the segments are joined: the frames no later seam changes go to the
// file at once, after a placeholder for the LAME header that the end writes over.
class SegmentedTranscode::Mp3Output {
public:
    explicit Mp3Output(bool vbrHeader)
        : m_vbrHeader(vbrHeader)
    {}

    Status open(const Plan& plan) { return openOutput(plan.output, plan.shownPath, m_file); }

    // Appends segment's frames from where the stream ends to to; joined is false when they
    // cannot follow there.
    Status append(const Segment& segment, qint64 to, bool& joined)
    {
        const qint64 from = m_started ? m_end : segment.piece.firstFrame;
        joined = m_joiner.append(segment.piece, from, to);
        if (!joined)
            return {};
        if (!m_started && m_vbrHeader && !segment.tag.empty()) {
            m_tag = segment.tag;
            if (!m_file.write(reinterpret_cast<const char*>(m_tag.data()), qint64(m_tag.size())))
                return m_file.failure();
        }
        m_started = true;
        m_end = to;
        return writeSettled(false);
    }

    // Writes the frames still held, then the header describing the stream of samples.
    Status finish(qint64 samples)
    {
        Status status = writeSettled(true);
        if (status && !m_tag.empty()) {
            status = LameTag::describe(m_tag, m_summary, samples);
            if (!status)
                status = Status::error(QStringLiteral("Cannot write the VBR header of %1: %2")
                                           .arg(shown(m_file.shownPath()), status.message()));
        }
        if (status && !m_tag.empty() &&
            (!m_file.seek(0) ||
             !m_file.write(reinterpret_cast<const char*>(m_tag.data()), qint64(m_tag.size()))))
            status = m_file.failure();
        return m_file.close(status);
    }

private:
    Status writeSettled(bool complete)
    {
        const Mp3Piece settled = m_joiner.takeSettled(complete);
        m_summary.add(settled.bytes, settled.frames);
        if (!m_file.write(reinterpret_cast<const char*>(settled.bytes.data()),
                          qint64(settled.bytes.size())))
            return m_file.failure();
        return {};
    }

    OutputStream m_file;
    Mp3Joiner m_joiner;
    Mp3StreamSummary m_summary;
    std::vector<unsigned char> m_tag; // LAME's header frame, empty when none is written
    bool m_vbrHeader;
    bool m_started = false;
    qint64 m_end = 0;
};

// The FLAC stream while the segments are joined: each segment's frames go to the file as it is
// appended, after the first one's head, which the end writes over with the whole stream's.
class SegmentedTranscode::FlacOutput {
public:
    Status open(const Plan& plan) { return openOutput(plan.output, plan.shownPath, m_file); }

    // joined is false when the segment's frames cannot be renumbered into the stream.
    Status append(const Segment& segment, bool& joined)
    {
        joined = m_joiner.append(segment.flac, m_frames);
        if (!joined)
            return {};
        const std::vector<unsigned char>& head = segment.flac.head();
        if (!m_started &&
            !m_file.write(reinterpret_cast<const char*>(head.data()), qint64(head.size())))
            return m_file.failure();
        m_started = true;
        if (!m_file.write(reinterpret_cast<const char*>(m_frames.data()), qint64(m_frames.size())))
            return m_file.failure();
        return {};
    }

    Status finish()
    {
        Status status;
        const std::vector<unsigned char> head = m_joiner.finish();
        if (!head.empty() &&
            (!m_file.seek(0) ||
             !m_file.write(reinterpret_cast<const char*>(head.data()), qint64(head.size()))))
            status = m_file.failure();
        return m_file.close(status);
    }

private:
    OutputStream m_file;
    FlacJoiner m_joiner;
    std::vector<unsigned char> m_frames; // one segment's, kept for the next to reuse its pages
    bool m_started = false;
};

SegmentedTranscode::SegmentedTranscode(const OutputSettings& settings, int threads)
    : m_settings(settings)
    , m_threads(threads)
{}

Status SegmentedTranscode::plan(const QString& source, const QString& output,
                                const QString& namedAs, Plan& plan, Outcome& outcome)
{
    outcome = Outcome::NotApplicable;
    plan.shownPath = namedAs.isEmpty() ? output : namedAs;
    OutputKind kind = OutputKind::Mp3;
    if (m_threads < 2 || !outputKindForPath(plan.shownPath, kind))
        return {};
    plan.splitting = outputFormat(kind).splitting;
    if (plan.splitting == Splitting::None)
        return {};
    AudioReader reader;
    // A source that cannot be read is reported by the one-thread conversion.
    if (!reader.open(source) || !reader.seeksExactly())
        return {};
    plan.source = source;
    plan.output = output;
    plan.sourceFormat = reader.format();
    plan.totalSamples = reader.totalFrames();
    if (plan.splitting == Splitting::JoinedMp3Frames) {
        const Mp3Encoder& mp3 = m_settings.mp3;
        plan.outputFormat = {mp3.sampleRate(), mp3.channels()};
        plan.frameSamples = mp3.sampleRate() >= 32000 ? 1152 : 576;
        // Settings LAME refuses are reported by the one-thread conversion.
        if (LameStream lame; !lame.open(mp3))
            return {};
    } else if (plan.splitting == Splitting::JoinedFlacFrames) {
        plan.flac = m_settings.flac.resolvedFor(reader.sourceFormat());
        plan.outputFormat = {plan.flac.sampleRate, plan.flac.channels};
        plan.frameSamples = FlacSegment::blockSize(plan.flac);
        // Bad settings are reported by the one-thread conversion.
        if (!plan.flac.validate() || plan.frameSamples <= 0)
            return {};
        // As the one-thread conversion chooses: an output as deep as a deep source gets its
        // samples whole, unless a gain or a change of channels works on them at 16 bits.
        plan.wideSamples = plan.flac.bitsPerSample > 16 && m_gain == 1.0 &&
                           reader.sourceFormat().bitsPerSample > 16 &&
                           plan.outputFormat == plan.sourceFormat;
    } else {
        plan.outputFormat = {m_settings.wav.sampleRate, m_settings.wav.channels};
        plan.frameSamples = 1152;
        plan.wavLayout = WavEncoder::layoutFor(
            m_settings.wav, double(plan.totalSamples) / std::max(1, plan.sourceFormat.sampleRate));
    }
    // Resampling carries filter state across the cut, so only channel mapping is allowed.
    if (plan.sourceFormat.sampleRate != plan.outputFormat.sampleRate)
        return {};
    const qint64 rate = plan.sourceFormat.sampleRate;
    const qint64 threads =
        std::min<qint64>(m_threads, plan.totalSamples / (kMinSegmentSeconds * rate));
    if (threads < 2)
        return {};
    // Each thread gets the same number of segments, none longer than the longest allowed.
    int longest = m_maxSegmentSeconds;
    if (longest == 0)
        longest = plan.splitting == Splitting::JoinedFlacFrames ? kMaxFlacSegmentSeconds
                                                                : kMaxSegmentSeconds;
    const qint64 perRound = threads * longest * rate;
    const qint64 rounds = (plan.totalSamples + perRound - 1) / perRound;
    const qint64 segments = threads * rounds;
    const qint64 gridFrames = plan.totalSamples / plan.frameSamples;
    for (qint64 index = 0; index < segments; ++index)
        plan.starts.push_back(gridFrames * index / segments);
    outcome = Outcome::Done;
    return {};
}

Status SegmentedTranscode::run(const QString& source, const QString& output,
                               TranscodeObserver& observer, Outcome& outcome,
                               const QString& namedAs)
{
    m_seams.clear();
    m_framesWritten = 0;
    Plan plan;
    if (Status status = this->plan(source, output, namedAs, plan, outcome);
        !status || outcome == Outcome::NotApplicable)
        return status;

    std::vector<Segment> segments(plan.starts.size());
    const bool mp3 = plan.splitting == Splitting::JoinedMp3Frames;
    for (size_t index = 0; index < segments.size(); ++index) {
        Segment& segment = segments[index];
        const qint64 start = plan.starts[index];
        const bool last = index + 1 == segments.size();
        const qint64 preroll = mp3 ? std::min(start, kPrerollFrames) : 0;
        segment.readFrom = (start - preroll) * plan.frameSamples;
        segment.measureFrom = gatingStart(start * plan.frameSamples, plan.sourceFormat.sampleRate);
        if (!last) {
            const qint64 next = plan.starts[index + 1];
            segment.measureTo = gatingEnd(next * plan.frameSamples, plan.sourceFormat.sampleRate);
            const qint64 end = mp3 ? next + kSeamSearchFrames + kLookaheadFrames : next;
            segment.readTo = std::min(end * plan.frameSamples, plan.totalSamples);
        }
    }

    const Status status = runSegments(plan, segments, observer, outcome);
    m_meters.clear();
    if (m_measureLoudness) {
        for (Segment& segment : segments)
            m_meters.push_back(std::move(segment.meter));
    }
    if (!status || outcome == Outcome::NotApplicable)
        (void)removeFile(output);
    return status;
}

void SegmentedTranscode::encodeSegment(const Plan& plan, Segment& segment,
                                       const std::atomic<bool>& stop)
{
    AudioReader reader;
    Resampler channels;
    LameStream lame;
    OutputStream wav;
    QByteArray packed;
    const bool mp3 = plan.splitting == Splitting::JoinedMp3Frames;
    const bool flac = plan.splitting == Splitting::JoinedFlacFrames;
    qint64 reached = 0;
    reader.setWideSamples(plan.wideSamples);
    Status status = reader.open(plan.source);
    if (status)
        status = reader.seek(segment.readFrom, reached);
    if (status && reached != segment.readFrom)
        segment.shortRead = true;
    if (status)
        status = channels.configure(plan.sourceFormat, plan.outputFormat);
    if (status && m_measureLoudness)
        status = segment.meter.start(plan.sourceFormat.sampleRate, plan.sourceFormat.channels);
    if (status && mp3) {
        status = lame.open(m_settings.mp3);
        // Room for the largest frames at once: pages never written cost no memory, while
        // growing step by step would copy the piece and hold it twice for a moment.
        const qint64 samples = (segment.readTo >= 0 ? segment.readTo : plan.totalSamples) -
                               segment.readFrom + 2 * kPrerollFrames * plan.frameSamples;
        segment.piece.bytes.reserve(size_t(samples / plan.frameSamples + 1) * kMaxFrameBytes);
    } else if (status && flac) {
        status = segment.flac.open(plan.flac, plan.shownPath);
        {
            const std::lock_guard lock(m_spare->mutex);
            if (!m_spare->flac.empty()) {
                segment.flac.useBuffers(std::move(m_spare->flac.back()));
                m_spare->flac.pop_back();
            }
        }
        segment.flac.reserve((segment.readTo >= 0 ? segment.readTo : plan.totalSamples) -
                             segment.readFrom);
    } else if (status) {
        // Each segment writes its own stretch of the data chunk through its own handle.
        status = openOutput(plan.output, plan.shownPath, wav);
        const qint64 offset = WavEncoder::headerBytes(plan.wavLayout) +
                              segment.readFrom * bytesPerFrame(m_settings.wav);
        if (status && !wav.seek(offset))
            status = wav.failure();
    }

    std::vector<qint16> block;
    std::vector<qint32> wideBlock;
    std::vector<qint16> converted;
    // The next elements at most into block, which holds wide samples narrowed for the meter
    // alone; the frames read, 0 at the end.
    const auto read = [&](qint64 elements, qint64& frames) {
        Status status;
        if (plan.wideSamples) {
            status = reader.read(elements, wideBlock);
            frames = qint64(wideBlock.size()) / plan.sourceFormat.channels;
            if (segment.meter.isStarted())
                narrowForMeter(wideBlock, block);
        } else {
            status = reader.read(elements, block);
            frames = qint64(block.size()) / plan.sourceFormat.channels;
        }
        if (status && m_gain != 1.0)
            applyGain(block, m_gain);
        return status;
    };
    const qint64 blockSamples = plan.sourceFormat.sampleRate / 4;
    // Like the one-thread conversion, a stop ends the segment after the block in progress.
    while (status && !segment.shortRead) {
        const qint64 done = segment.samplesRead;
        qint64 wanted = blockSamples;
        if (segment.readTo >= 0)
            wanted = std::min(wanted, segment.readTo - segment.readFrom - done);
        if (wanted <= 0) {
            segment.whole = true;
            break;
        }
        qint64 frames = 0;
        status = read(wanted * plan.sourceFormat.channels, frames);
        if (status && frames == 0) {
            // Only the last segment reads to the source's end: the others' lengths are known.
            segment.whole = segment.readTo < 0;
            segment.shortRead = !segment.whole;
        }
        if (!status || frames == 0)
            break;
        if (segment.meter.isStarted())
            status = measureStretch(segment.meter, segment.measureFrom, segment.measureTo,
                                    segment.readFrom + done, block, plan.sourceFormat.channels);
        std::span<const qint16> samples = block;
        if (status && !channels.isPassThrough()) {
            status = channels.convert(block, converted);
            samples = converted;
        }
        if (status && mp3) {
            status = lame.encode(samples, segment.piece.bytes);
        } else if (status && plan.wideSamples) {
            status = segment.flac.encode(std::span<const qint32>(wideBlock));
        } else if (status && flac) {
            status = segment.flac.encode(samples);
        } else if (status) {
            WavEncoder::pack(samples, m_settings.wav.bitsPerSample, packed);
            if (!wav.write(packed))
                status = wav.failure();
        }
        segment.samplesRead = done + frames;
        if (stop)
            break;
    }

    // A segment that writes no more than its own stretch reads on for its meter alone.
    for (qint64 measured = segment.readTo; status && segment.whole && segment.meter.isStarted() &&
                                           measured >= 0 && measured < segment.measureTo;) {
        qint64 frames = 0;
        status = read((segment.measureTo - measured) * plan.sourceFormat.channels, frames);
        if (!status || frames == 0)
            break;
        status = segment.meter.add(block);
        measured += frames;
    }

    if (status && mp3) {
        // Also after a stop: the output may end with this segment's finished part.
        Mp3Piece& piece = segment.piece;
        status = lame.flush(piece.bytes);
        if (status)
            status = lame.lameTagFrame(segment.tag);
        piece.frames = scanMp3Frames(piece.bytes);
        const qsizetype parsed =
            piece.frames.empty() ? 0 : piece.frames.back().offset + piece.frames.back().length;
        if (status && parsed != qsizetype(piece.bytes.size()))
            status = Status::error(QStringLiteral("Cannot join the MP3 segments of %1: the "
                                                  "encoder's output is not whole frames")
                                       .arg(shown(plan.shownPath)));
        // With a header LAME's first frame is a placeholder for it; the header is made anew.
        if (!segment.tag.empty() && !piece.frames.empty())
            piece.frames.erase(piece.frames.begin());
        piece.firstFrame = segment.readFrom / plan.frameSamples;
    }
    // Also after a stop: the output may end with this segment's finished part.
    if (status && flac)
        status = segment.flac.finish();
    if (wav.isOpen())
        status = wav.close(status);
    segment.status = status;
}

Status SegmentedTranscode::runSegments(const Plan& plan, std::vector<Segment>& segments,
                                       TranscodeObserver& observer, Outcome& outcome)
{
    std::unique_ptr<Mp3Output> mp3;
    std::unique_ptr<FlacOutput> flac;
    Status status;
    if (plan.splitting == Splitting::JoinedMp3Frames) {
        mp3 = std::make_unique<Mp3Output>(m_settings.mp3.writeVbrHeader());
        status = mp3->open(plan);
    } else if (plan.splitting == Splitting::JoinedFlacFrames) {
        flac = std::make_unique<FlacOutput>();
        status = flac->open(plan);
    } else {
        status = startWav(plan);
    }
    if (!status)
        return status;

    const size_t count = segments.size();
    // A stop asked for before the start still converts the first block, as on one thread.
    std::atomic<bool> stop = observer.stopRequested() || observer.cancelRequested();
    std::atomic<bool> failed = false;
    SegmentQueue queue(count, size_t(m_threads), stop);
    const auto work = [&] {
        while (const std::optional<size_t> index = queue.take()) {
            Segment& segment = segments[*index];
            encodeSegment(plan, segment, stop);
            if (!segment.status)
                failed = true;
            segment.finished = true;
            queue.finished();
        }
    };
    const auto requestStop = [&] {
        stop = true;
        queue.wake();
    };

    qint64 total = 0;
    for (const Segment& segment : segments)
        total += (segment.readTo >= 0 ? segment.readTo : plan.totalSamples) - segment.readFrom;
    size_t next = 0; // the first segment not yet in the output
    {
        std::vector<std::jthread> threads;
        for (size_t index = 0; index < std::min(count, size_t(m_threads)); ++index)
            threads.emplace_back(work);
        // The observer is called on this thread only: it may be a window's event loop.
        for (;;) {
            queue.wait(kProgressInterval);
            if (status && !stop) {
                status = writeFinished(plan, segments, next, mp3.get(), flac.get(), outcome);
                queue.written(next);
            }
            if (!status || failed || outcome == Outcome::NotApplicable)
                requestStop();
            qint64 read = 0;
            for (const Segment& segment : segments)
                read += segment.samplesRead;
            observer.progressChanged(std::min(100.0, 100.0 * double(read) / double(total)));
            observer.yield();
            if (observer.stopRequested() || observer.cancelRequested())
                requestStop();
            if (next == count || (stop && queue.settled()))
                break;
        }
        queue.close();
    }
    for (const Segment& segment : segments) {
        if (status && segment.finished && !segment.status)
            status = segment.status;
    }
    if (!status || outcome == Outcome::NotApplicable)
        return status;
    return finish(plan, segments, next, mp3.get(), flac.get());
}

Status SegmentedTranscode::writeFinished(const Plan& plan, std::vector<Segment>& segments,
                                         size_t& next, Mp3Output* mp3, FlacOutput* flac,
                                         Outcome& outcome)
{
    for (; next < segments.size(); ++next) {
        Segment& segment = segments[next];
        if (!segment.finished || !segment.status)
            return {};
        // Every segment but the last reads a length known in advance: less means the source's
        // length was only an estimate, and the pieces would not meet.
        if (segment.shortRead) {
            outcome = Outcome::NotApplicable;
            return {};
        }
        if (!segment.whole)
            return {};
        if (flac) {
            bool joined = false;
            if (Status status = flac->append(segment, joined); !status)
                return status;
            if (!joined) {
                outcome = Outcome::NotApplicable;
                return {};
            }
            FlacSegment::Buffers spare = segment.flac.releaseBuffers();
            segment.flac = {};
            const std::lock_guard lock(m_spare->mutex);
            m_spare->flac.push_back(std::move(spare));
            continue;
        }
        if (!mp3)
            continue;
        const bool last = next + 1 == segments.size();
        Mp3Piece& piece = segment.piece;
        qint64 to = piece.firstFrame + qint64(piece.frames.size());
        if (!last) {
            const Segment& following = segments[next + 1];
            if (!following.finished || !following.status)
                return {};
            const qint64 start = plan.starts[next + 1];
            const auto seam =
                Mp3Joiner::findSeam(piece, following.piece, start, start + kSeamSearchFrames);
            if (!seam) {
                outcome = Outcome::NotApplicable;
                return {};
            }
            to = *seam;
        }
        bool joined = false;
        if (Status status = mp3->append(segment, to, joined); !status)
            return status;
        if (!joined) {
            outcome = Outcome::NotApplicable;
            return {};
        }
        if (!last)
            m_seams.push_back(to);
        piece = {};
    }
    return {};
}

Status SegmentedTranscode::finish(const Plan& plan, std::vector<Segment>& segments, size_t next,
                                  Mp3Output* mp3, FlacOutput* flac)
{
    // After a stop the output ends with the next segment's finished part, when it follows.
    const Segment* tail =
        next < segments.size() && segments[next].finished ? &segments[next] : nullptr;
    if (flac) {
        bool joined = false;
        if (tail) {
            if (Status status = flac->append(*tail, joined); !status)
                return status;
        }
        const Segment* last = joined ? tail : next > 0 ? &segments[next - 1] : nullptr;
        m_framesWritten = last ? last->readFrom + last->samplesRead : 0;
        return flac->finish();
    }
    if (!mp3) {
        const Segment* last = tail ? tail : next > 0 ? &segments[next - 1] : nullptr;
        m_framesWritten = last ? last->readFrom + last->samplesRead : 0;
        return finishWav(plan, m_framesWritten);
    }
    // A segment joins the output only once the one after it is finished, so the next one is
    // whole, or the first: it always follows.
    bool joined = false;
    if (tail) {
        const Mp3Piece& piece = tail->piece;
        // On failure the output is removed: closing it is enough.
        if (Status status =
                mp3->append(*tail, piece.firstFrame + qint64(piece.frames.size()), joined);
            !status)
            return status;
    }
    const Segment* last = joined ? tail : next == segments.size() ? &segments.back() : nullptr;
    m_framesWritten = last ? last->readFrom + last->samplesRead : 0;
    return mp3->finish(m_framesWritten);
}

Status SegmentedTranscode::startWav(const Plan& plan)
{
    OutputStream file;
    Status status = openOutput(plan.output, plan.shownPath, file);
    if (status && !file.write(WavEncoder::header(m_settings.wav, 0, plan.wavLayout)))
        status = file.failure();
    return file.close(status);
}

Status SegmentedTranscode::finishWav(const Plan& plan, qint64 frames)
{
    const quint64 dataBytes = quint64(frames) * quint64(bytesPerFrame(m_settings.wav));
    if (!WavEncoder::canHold(plan.wavLayout, dataBytes))
        return Status::error(
            QStringLiteral("Cannot write %1: its audio passes the 4 GiB a WAV file can hold")
                .arg(shown(plan.shownPath)));
    // Segments after a stop may have written past the end kept.
    const qint64 end = WavEncoder::headerBytes(plan.wavLayout) + qint64(dataBytes);
    UniqueFd fd;
    Status status = openOutput(plan.output, plan.shownPath, fd);
    if (status && ::ftruncate(fd.get(), off_t(end)) != 0)
        status = Status::error(QStringLiteral("Cannot write %1: %2")
                                   .arg(shown(plan.shownPath), systemErrorText(errno)));
    OutputStream file;
    if (status)
        status = file.open(std::move(fd), plan.shownPath);
    // RIFF chunks are padded to even sizes.
    if (status && (dataBytes % 2) != 0 && (!file.seek(end) || !file.write("\0", 1)))
        status = file.failure();
    if (status && (!file.seek(0) ||
                   !file.write(WavEncoder::header(m_settings.wav, dataBytes, plan.wavLayout))))
        status = file.failure();
    return file.close(status);
}

} // namespace tunevale
