#include "convert/transcoder.h"

#include "common/audio/audiofile.h"
#include "convert/segmentedtranscode.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

namespace tunevale {

Transcoder::Transcoder(AudioFile& reader, AudioFile& writer)
    : m_reader(reader)
    , m_writer(writer)
{}

Status Transcoder::transcodeFile(const QString& source, const QString& output,
                                 TranscodeObserver* observer)
{
    TranscodeObserver silent;
    TranscodeObserver& report = observer ? *observer : silent;
    report.busyChanged(true);
    report.progressChanged(0);

    if (m_threads > 1) {
        SegmentedTranscode segmented(m_writer.outputSettings(), m_threads);
        auto outcome = SegmentedTranscode::Outcome::NotApplicable;
        Status status = segmented.run(source, output, report, outcome);
        if (outcome == SegmentedTranscode::Outcome::Done) {
            if (status)
                report.progressChanged(100);
            report.busyChanged(false);
            if (status)
                report.progressChanged(0);
            return status;
        }
    }

    Status status = m_reader.open(source);
    bool created = false;
    if (status) {
        status = m_writer.create(output);
        created = status.isOk();
    }
    if (status)
        status = m_writer.setInputFormat(m_reader.sampleRate(), m_reader.channels());
    if (status)
        status = copyBlocks(report);
    if (status) {
        report.progressChanged(100);
        status = m_writer.close();
    }
    (void)m_reader.close();
    if (!status) {
        (void)m_writer.close();
        // A half-written output must not pass for a good one.
        if (created)
            QFile::remove(output);
    }
    report.busyChanged(false);
    if (status)
        report.progressChanged(0);
    return status;
}

Status Transcoder::TranscodeFirstBlock(const QString& source, const QString& temporary,
                                       TranscodeObserver* observer)
{
    if (QFileInfo(temporary).isSymLink() || QFileInfo::exists(temporary))
        return Status::error(QStringLiteral("%1 already exists").arg(temporary));

    Status status = m_reader.open(source);
    bool created = false;
    if (status) {
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
        QFile::remove(temporary);
    return status;
}

Status Transcoder::copyBlocks(TranscodeObserver& report)
{
    const qint64 blockSize = qint64(m_reader.channels()) * m_reader.sampleRate();
    if (blockSize <= 0 || blockSize > std::numeric_limits<qint32>::max())
        return Status::error(QStringLiteral("Invalid block size of %1 samples").arg(blockSize));

    double position = 0;
    for (;;) {
        if (Status status = m_reader.read(blockSize, m_block); !status)
            return status;
        if (m_block.empty())
            return {};
        if (Status status = m_writer.write(m_block); !status)
            return status;
        const int frameSize = m_reader.frameSize();
        const qint64 total = m_reader.totalLength();
        if (frameSize <= 0 || total <= 0)
            return Status::error(
                QStringLiteral("The source reports no length; it cannot be converted"));
        position = std::min(position + double(m_block.size()) / frameSize, double(total));
        report.progressChanged(position / double(total) * 100.0);
        report.yield();
        if (report.stopRequested())
            return {};
    }
}

} // namespace tunevale
