#include "convert/transcoder.h"

#include "common/audio/audiofile.h"
#include "common/audio/streamlength.h"
#include "common/blockthread.h"
#include "common/localfile.h"
#include "convert/outputnaming.h"
#include "convert/segmentedtranscode.h"

#include <QDir>

#include <algorithm>
#include <limits>
#include <optional>
#include <type_traits>

namespace tunevale {

namespace {

// Rounding between sample rates and container time bases.
constexpr double kLengthSlackSeconds = 0.005;

} // namespace

Transcoder::Transcoder(AudioFile& reader, AudioFile& writer)
    : m_reader(reader)
    , m_writer(writer)
{}

Status Transcoder::transcodeFile(const QString& source, const QString& output,
                                 TranscodeObserver* observer, SavedOutput* saved)
{
    TranscodeObserver silent;
    TranscodeObserver& report = observer ? *observer : silent;
    SavedOutput unused;
    SavedOutput& placement = saved ? *saved : unused;
    placement.path.clear();
    report.busyChanged(true);
    report.progressChanged(0);

    const LocalFileInfo sourceBefore = LocalFileInfo::of(source);
    std::optional<PartFile> part(std::in_place);
    Copied copied;
    m_meters.clear();
    bool segmented = false;
    Status status = m_reader.open(source);
    if (status)
        status = part->create(output);
    if (status && m_threads > 1) {
        status = transcodeSegmented(source, part->path(), output, report, copied, segmented);
        // The split was ruled out, perhaps after it began writing: start again afresh.
        if (status && !segmented) {
            part.emplace();
            status = part->create(output);
        }
    }
    if (status && !segmented) {
        m_writer.setSourceFormat(m_reader.sourceFormat());
        m_writer.setSpareCore(m_spareCore);
        const int rate = m_reader.sampleRate();
        const double seconds = rate > 0 ? double(m_reader.totalLength()) / rate : 0;
        status = m_writer.create(part->writeHandle(), output, seconds);
    }
    if (status && !segmented)
        status = m_writer.setInputFormat(m_reader.sampleRate(), m_reader.channels());
    // An output as deep as a deep source gets its samples whole, unless a gain changes them.
    const bool wide = status && !segmented && m_writer.takesWideSamples() && m_gain == 1.0 &&
                      m_reader.sourceFormat().bitsPerSample > 16;
    if (wide) {
        m_reader.setWideSamples(true);
        status = m_reader.open(source);
        m_reader.setWideSamples(false);
    }
    if (status && !segmented && m_measureLoudness)
        status = m_meters.emplace_back().start(m_reader.sampleRate(), m_reader.channels());
    if (status && !segmented)
        status =
            wide ? copyBlocks(report, copied, m_wideBlock) : copyBlocks(report, copied, m_block);
    if (status) {
        report.progressChanged(100);
        if (!segmented)
            status = m_writer.close();
    }
    (void)m_reader.close();
    (void)m_writer.close();
    // A damaged source can open and state a length yet decode to nothing: an output without
    // audio is no conversion.
    if (status && copied.frames == 0)
        status = Status::error(QStringLiteral("The source holds no audio that can be decoded"));
    // A source cut short by another program while it was read ends early without an error.
    const LocalFileInfo sourceAfter = LocalFileInfo::of(source);
    const bool sourceChanged = sourceAfter.size < sourceBefore.size ||
                               sourceAfter.lastModified != sourceBefore.lastModified;
    if (status)
        status = report.finishOutput(part->path());
    if (status)
        status = checkWhole(part->path(), source, output, copied, sourceChanged);
    // Until here the output has no name of its own, so failing leaves nothing behind.
    if (status)
        status = part->commit(output, placement.ifExists, placement.path);
    report.busyChanged(false);
    if (status)
        report.progressChanged(0);
    return status;
}

Status Transcoder::transcodeSegmented(const QString& source, const QString& written,
                                      const QString& output, TranscodeObserver& report,
                                      Copied& copied, bool& done)
{
    SegmentedTranscode segmented(m_writer.outputSettings(), m_threads);
    segmented.setMeasureLoudness(m_measureLoudness);
    segmented.setGain(m_gain);
    auto outcome = SegmentedTranscode::Outcome::NotApplicable;
    Status status = segmented.run(source, written, report, outcome, output);
    done = outcome == SegmentedTranscode::Outcome::Done;
    if (!done)
        return status;
    if (status && report.cancelRequested())
        return Status::error(QStringLiteral("Interrupted; the unfinished output was removed"));
    copied.sampleRate = m_reader.sampleRate();
    copied.sourceFrames = m_reader.totalLength();
    copied.frames = segmented.framesWritten();
    copied.stopped = report.stopRequested();
    m_meters = segmented.takeLoudnessMeters();
    return status;
}

Status Transcoder::TranscodeFirstBlock(const QString& source, const QString& temporary,
                                       TranscodeObserver* observer)
{
    Status status = m_reader.open(source);
    bool created = false;
    if (status) {
        m_writer.setSourceFormat(m_reader.sourceFormat());
        status = m_writer.create(temporary);
        created = status.isOk();
    }
    if (status)
        status = m_writer.setInputFormat(m_reader.sampleRate(), m_reader.channels());
    if (status) {
        const qint64 blockSize = qint64(m_reader.channels()) * m_reader.sampleRate();
        status = m_reader.read(blockSize, m_block);
    }
    if (status && !m_block.empty())
        status = m_writer.write(m_block);
    if (observer && created)
        observer->yield();
    (void)m_reader.close();
    if (Status closed = m_writer.close(); status && !closed)
        status = closed;
    if (created)
        (void)removeFile(temporary);
    return status;
}

template <typename Sample>
Status Transcoder::copyBlocks(TranscodeObserver& report, Copied& copied, std::vector<Sample>& block)
{
    std::optional<BlockThread<qint16>> meterThread;
    if (!m_meters.empty() && m_spareCore)
        meterThread.emplace([&meter = m_meters.front()](std::span<const qint16> samples) {
            return meter.add(samples);
        });
    Status status = streamBlocks(report, copied, block, meterThread ? &*meterThread : nullptr);
    if (meterThread) {
        if (Status measured = meterThread->finish(); status && !measured)
            status = measured;
    }
    return status;
}

template <typename Sample>
Status Transcoder::streamBlocks(TranscodeObserver& report, Copied& copied,
                                std::vector<Sample>& block, BlockThread<qint16>* meterThread)
{
    const qint64 blockSize = qint64(m_reader.channels()) * m_reader.sampleRate();
    if (blockSize <= 0 || blockSize > std::numeric_limits<qint32>::max())
        return Status::error(QStringLiteral("Invalid block size of %1 samples").arg(blockSize));
    copied = {};
    copied.sampleRate = m_reader.sampleRate();
    copied.sourceFrames = m_reader.totalLength();

    double position = 0;
    for (;;) {
        if (Status status = m_reader.read(blockSize, block); !status)
            return status;
        if (block.empty())
            return {};
        if constexpr (std::is_same_v<Sample, qint16>) {
            if (m_gain != 1.0)
                applyGain(block, m_gain);
        }
        if (!m_meters.empty()) {
            if (Status status = measure(block, meterThread); !status)
                return status;
        }
        if (Status status = m_writer.write(std::span<const Sample>(block)); !status)
            return status;
        const int frameSize = m_reader.frameSize();
        if (frameSize > 0)
            copied.frames += qint64(block.size()) / frameSize;
        // A source whose header states no length (a stream written to a pipe) converts
        // all the same, without a percentage.
        const qint64 total = m_reader.totalLength();
        if (frameSize > 0 && total > 0) {
            position = std::min(position + double(block.size()) / frameSize, double(total));
            report.progressChanged(position / double(total) * 100.0);
        }
        report.yield();
        if (report.cancelRequested())
            return Status::error(QStringLiteral("Interrupted; the unfinished output was removed"));
        if (report.stopRequested()) {
            copied.stopped = true;
            return {};
        }
    }
}

template <typename Sample>
Status Transcoder::measure(const std::vector<Sample>& block, BlockThread<qint16>* meterThread)
{
    std::span<const qint16> samples;
    if constexpr (std::is_same_v<Sample, qint16>) {
        samples = block;
    } else {
        narrowForMeter(block, m_narrowed);
        samples = m_narrowed;
    }
    if (!meterThread)
        return m_meters.front().add(samples);
    meterThread->add(samples);
    return {};
}

Status Transcoder::checkWhole(const QString& written, const QString& source, const QString& output,
                              const Copied& copied, bool sourceChanged) const
{
    if (!riffSizeFits(written))
        return Status::error(QStringLiteral("%1 was cut short while its tags were written")
                                 .arg(QDir::toNativeSeparators(output)));
    // The output must hold what was read. The length the source stated counts only when the
    // source changed while it was read: a file already cut short (or with an estimated
    // length) converts what is there, and a stopped file holds what was read.
    const qint64 expectedFrames = sourceChanged && !copied.stopped
                                      ? std::max(copied.sourceFrames, copied.frames)
                                      : copied.frames;
    if (copied.sampleRate <= 0 || expectedFrames <= 0)
        return {};
    StreamLength length;
    if (Status status = measureStreamLength(written, length); !status)
        return Status::error(QStringLiteral("%1 is damaged: %2")
                                 .arg(QDir::toNativeSeparators(output), status.message()));
    const double expected = double(expectedFrames) / copied.sampleRate;
    const double shortfall = expected - length.seconds;
    if (shortfall <= length.longestPacketSeconds + kLengthSlackSeconds)
        return {};
    // Some decoders (WMA) drop the source's first frame: one frame of it is allowed too.
    StreamLength sourceLength;
    if (measureStreamLength(source, sourceLength) &&
        shortfall <=
            length.longestPacketSeconds + sourceLength.longestPacketSeconds + kLengthSlackSeconds)
        return {};
    return Status::error(
        QStringLiteral("The output holds %1 s of the source's %2 s (the source may have "
                       "changed while it was read, or the output could not be written whole)")
            .arg(length.seconds, 0, 'f', 3)
            .arg(expected, 0, 'f', 3));
}

} // namespace tunevale
