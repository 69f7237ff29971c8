#include "convert/segmentedtranscode.h"

#include "common/audio/audioreader.h"
#include "common/audio/lamestream.h"
#include "common/audio/lametag.h"
#include "common/audio/mp3joiner.h"
#include "common/audio/resampler.h"
#include "common/audio/wavencoder.h"
#include "common/localfile.h"
#include "common/safefile.h"
#include "convert/transcoder.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <limits>
#include <thread>

namespace tunevale {

namespace {

// Frames an MP3 segment's encoder runs before its own part: enough for the psychoacoustic
// model's history, the adaptive threshold and the bit reservoir to settle as in one pass.
constexpr qint64 kPrerollFrames = 32;
// Frames after a segment's end in which its seam with the next segment is looked for.
constexpr qint64 kSeamSearchFrames = 32;
// Frames past the search window, so that LAME's look-ahead sees real audio up to its end.
constexpr qint64 kLookaheadFrames = 4;
constexpr int kWavHeaderBytes = 44;
constexpr auto kProgressInterval = std::chrono::milliseconds(25);

// The output is written in place: the caller may have created it (exclusively) already.
Status openFile(QFile& file, const QString& path)
{
    if (openForUpdate(file, path))
        return {};
    return Status::error(QStringLiteral("Cannot create %1: %2")
                             .arg(QDir::toNativeSeparators(path), systemErrorText(errno)));
}

Status writeFailure(const QFile& file, const QString& path)
{
    return Status::error(QStringLiteral("Cannot write %1: %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
}

// Flushes (while status is good) and closes; the first failure is the one returned.
Status closeFile(QFile& file, const QString& path, Status status)
{
    if (status && file.isOpen() && !file.flush())
        status = writeFailure(file, path);
    file.close();
    return status;
}

int bytesPerFrame(const WavFormat& format)
{
    return format.channels * format.bitsPerSample / 8;
}

} // namespace

struct SegmentedTranscode::Plan {
    QString source;
    QString output;
    Splitting splitting = Splitting::None;
    PcmFormat sourceFormat;
    PcmFormat outputFormat;
    qint64 totalSamples = 0;    // per channel
    int frameSamples = 0;       // the grid segments are cut on
    std::vector<qint64> starts; // first grid frame of each segment
};

struct SegmentedTranscode::Segment {
    qint64 readFrom = 0; // source sample
    qint64 readTo = -1;  // source sample; -1 reads to the end
    std::atomic<qint64> samplesRead = 0;
    bool shortRead = false;
    Status status;
    Mp3Piece piece;
    std::vector<unsigned char> tag;
};

SegmentedTranscode::SegmentedTranscode(const OutputSettings& settings, int threads)
    : m_settings(settings)
    , m_threads(threads)
{}

Status SegmentedTranscode::plan(const QString& source, const QString& output,
                                const QString& namedAs, Plan& plan, Outcome& outcome)
{
    outcome = Outcome::NotApplicable;
    OutputKind kind = OutputKind::Mp3;
    if (m_threads < 2 || !outputKindForPath(namedAs.isEmpty() ? output : namedAs, kind))
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
    } else {
        plan.outputFormat = {m_settings.wav.sampleRate, m_settings.wav.channels};
        plan.frameSamples = 1152;
    }
    // Resampling carries filter state across the cut, so only channel mapping is allowed.
    if (plan.sourceFormat.sampleRate != plan.outputFormat.sampleRate)
        return {};
    const qint64 segments = std::min<qint64>(
        m_threads, plan.totalSamples / (qint64(kMinSegmentSeconds) * plan.sourceFormat.sampleRate));
    if (segments < 2)
        return {};
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
        if (!last) {
            const qint64 next = plan.starts[index + 1];
            const qint64 end = mp3 ? next + kSeamSearchFrames + kLookaheadFrames : next;
            segment.readTo = std::min(end * plan.frameSamples, plan.totalSamples);
        }
    }

    Status status = mp3 ? Status{} : startWav(plan);
    bool stopped = false;
    if (status)
        status = runSegments(plan, segments, observer, stopped);
    // Every segment but the last reads a length known in advance: less means the source's
    // length was only an estimate, and the pieces would not meet.
    const bool shortRead = std::any_of(segments.begin(), segments.end(),
                                       [](const Segment& segment) { return segment.shortRead; });
    if (status && !stopped && shortRead)
        outcome = Outcome::NotApplicable;
    else if (status)
        status =
            mp3 ? writeMp3(plan, segments, stopped, outcome) : finishWav(plan, segments, stopped);
    if (!status || outcome == Outcome::NotApplicable)
        (void)removeFile(output);
    return status;
}

void SegmentedTranscode::encodeSegment(const Plan& plan, Segment& segment, bool first,
                                       const std::atomic<bool>& stop)
{
    AudioReader reader;
    Resampler channels;
    LameStream lame;
    QFile wav;
    QByteArray packed;
    const bool mp3 = plan.splitting == Splitting::JoinedMp3Frames;
    qint64 reached = 0;
    Status status = reader.open(plan.source);
    if (status)
        status = reader.seek(segment.readFrom, reached);
    if (status && reached != segment.readFrom)
        segment.shortRead = true;
    if (status)
        status = channels.configure(plan.sourceFormat, plan.outputFormat);
    if (status && mp3) {
        status = lame.open(m_settings.mp3);
    } else if (status) {
        // Each segment writes its own stretch of the data chunk through its own handle.
        const qint64 offset = kWavHeaderBytes + segment.readFrom * bytesPerFrame(m_settings.wav);
        if (!openForUpdate(wav, plan.output) || !wav.seek(offset))
            status = writeFailure(wav, plan.output);
    }

    std::vector<qint16> block;
    std::vector<qint16> converted;
    const qint64 blockSamples = plan.sourceFormat.sampleRate / 4;
    // Like the one-thread conversion, a stop ends the segment after the block in progress.
    while (status && !segment.shortRead) {
        const qint64 done = segment.samplesRead;
        qint64 wanted = blockSamples;
        if (segment.readTo >= 0)
            wanted = std::min(wanted, segment.readTo - segment.readFrom - done);
        if (wanted <= 0)
            break;
        status = reader.read(wanted * plan.sourceFormat.channels, block);
        if (!status || block.empty())
            break;
        std::span<const qint16> samples = block;
        if (!channels.isPassThrough()) {
            status = channels.convert(block, converted);
            samples = converted;
        }
        if (status && mp3) {
            status = lame.encode(samples, segment.piece.bytes);
        } else if (status) {
            WavEncoder::pack(samples, m_settings.wav.bitsPerSample, packed);
            if (wav.write(packed) != packed.size())
                status = writeFailure(wav, plan.output);
        }
        segment.samplesRead = done + qint64(block.size()) / plan.sourceFormat.channels;
        if (stop)
            break;
    }
    if (status && segment.readTo >= 0 && !stop &&
        segment.samplesRead < segment.readTo - segment.readFrom)
        segment.shortRead = true;

    if (status && mp3 && (first || !stop)) {
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
                                       .arg(QDir::toNativeSeparators(plan.output)));
        // With a header LAME's first frame is a placeholder for it; the header is made anew.
        if (!segment.tag.empty() && !piece.frames.empty())
            piece.frames.erase(piece.frames.begin());
        piece.firstFrame = segment.readFrom / plan.frameSamples;
    }
    if (status && !mp3)
        status = closeFile(wav, plan.output, status);
    segment.status = status;
}

Status SegmentedTranscode::runSegments(const Plan& plan, std::vector<Segment>& segments,
                                       TranscodeObserver& observer, bool& stopped)
{
    std::atomic<bool> stop = false;
    std::atomic<size_t> finished = 0;
    qint64 total = 0;
    for (const Segment& segment : segments)
        total += (segment.readTo >= 0 ? segment.readTo : plan.totalSamples) - segment.readFrom;
    {
        std::vector<std::jthread> threads;
        for (size_t index = 0; index < segments.size(); ++index) {
            threads.emplace_back([&, index] {
                encodeSegment(plan, segments[index], index == 0, stop);
                ++finished;
            });
        }
        // The observer is called on this thread only: it may be a window's event loop.
        while (finished < segments.size()) {
            std::this_thread::sleep_for(kProgressInterval);
            qint64 done = 0;
            for (const Segment& segment : segments)
                done += segment.samplesRead;
            observer.progressChanged(std::min(100.0, 100.0 * double(done) / double(total)));
            observer.yield();
            if (observer.stopRequested() || observer.cancelRequested())
                stop = true;
        }
    }
    stopped = stop;
    for (const Segment& segment : segments) {
        if (!segment.status)
            return segment.status;
    }
    return {};
}

Status SegmentedTranscode::writeMp3(const Plan& plan, std::vector<Segment>& segments, bool stopped,
                                    Outcome& outcome)
{
    // After a stop only the first segment's finished part is kept: it is complete by itself.
    const size_t used = stopped ? 1 : segments.size();
    Mp3Joiner joiner;
    qint64 from = 0;
    for (size_t index = 0; index < used; ++index) {
        Mp3Piece& piece = segments[index].piece;
        qint64 to = piece.firstFrame + qint64(piece.frames.size());
        if (index + 1 < used) {
            const qint64 start = plan.starts[index + 1];
            const auto seam = Mp3Joiner::findSeam(piece, segments[index + 1].piece, start,
                                                  start + kSeamSearchFrames);
            if (!seam) {
                outcome = Outcome::NotApplicable;
                return {};
            }
            to = *seam;
            m_seams.push_back(to);
        }
        if (!joiner.append(piece, from, to)) {
            outcome = Outcome::NotApplicable;
            return {};
        }
        from = to;
        piece = {};
    }

    const Segment& last = segments[used - 1];
    const qint64 samples = last.readFrom + last.samplesRead;
    std::vector<unsigned char>& tag = segments.front().tag;
    if (m_settings.mp3.writeVbrHeader() && !tag.empty()) {
        if (Status status = LameTag::describe(tag, joiner.bytes(), joiner.frames(), samples);
            !status)
            return Status::error(QStringLiteral("Cannot write the VBR header of %1: %2")
                                     .arg(QDir::toNativeSeparators(plan.output), status.message()));
    } else {
        tag.clear();
    }

    m_framesWritten = samples;
    QFile file;
    Status status = openFile(file, plan.output);
    const std::array<const std::vector<unsigned char>*, 2> parts{&tag, &joiner.bytes()};
    for (const std::vector<unsigned char>* bytes : parts) {
        const auto size = qint64(bytes->size());
        if (status && file.write(reinterpret_cast<const char*>(bytes->data()), size) != size)
            status = writeFailure(file, plan.output);
    }
    return closeFile(file, plan.output, status);
}

Status SegmentedTranscode::startWav(const Plan& plan)
{
    QFile file;
    Status status = openFile(file, plan.output);
    if (status && file.write(WavEncoder::header(m_settings.wav, 0)) != kWavHeaderBytes)
        status = writeFailure(file, plan.output);
    return closeFile(file, plan.output, status);
}

Status SegmentedTranscode::finishWav(const Plan& plan, const std::vector<Segment>& segments,
                                     bool stopped)
{
    const Segment& last = stopped ? segments.front() : segments.back();
    const quint64 dataBytes =
        quint64(last.readFrom + last.samplesRead) * quint64(bytesPerFrame(m_settings.wav));
    // RIFF sizes are 32-bit: a longer file keeps the largest size it can state.
    const quint64 limit = std::numeric_limits<quint32>::max() - kWavHeaderBytes;
    m_framesWritten = last.readFrom + last.samplesRead;
    QFile file;
    Status status = openFile(file, plan.output);
    if (status && !file.resize(kWavHeaderBytes + qint64(dataBytes)))
        status = writeFailure(file, plan.output);
    // RIFF chunks are padded to even sizes.
    if (status && (dataBytes % 2) != 0 && (!file.seek(file.size()) || file.write("\0", 1) != 1))
        status = writeFailure(file, plan.output);
    if (status && (!file.seek(0) ||
                   file.write(WavEncoder::header(
                       m_settings.wav, quint32(std::min(dataBytes, limit)))) != kWavHeaderBytes))
        status = writeFailure(file, plan.output);
    return closeFile(file, plan.output, status);
}

} // namespace tunevale
