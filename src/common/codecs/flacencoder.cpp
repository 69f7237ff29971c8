#include "common/codecs/flacencoder.h"

#include "common/codecs/flacchecksum.h"
#include "common/codecs/flacdepth.h"

#include <QDir>

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>

namespace tunevale {

namespace {

constexpr int kMaxLevel = 8;
constexpr int kMaxRate = 655350; // the highest rate a FLAC frame header can state
constexpr int kMaxChannels = 8;
// Room for tags and a cover written later, so they rarely move the audio.
constexpr unsigned kPaddingBytes = 8192;

struct StreamEncoderDeleter {
    void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
};
struct MetadataDeleter {
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};

QString channelsText(int channels)
{
    switch (channels) {
    case 0:
        return QStringLiteral("source channels");
    case 1:
        return QStringLiteral("Mono");
    case 2:
        return QStringLiteral("Stereo");
    default:
        return QStringLiteral("%1 channels").arg(channels);
    }
}

} // namespace

Status FlacSettings::validate() const
{
    if (compressionLevel < 0 || compressionLevel > kMaxLevel)
        return Status::error(
            QStringLiteral("FLAC compression level %1 is out of range: use 0 to %2")
                .arg(compressionLevel)
                .arg(kMaxLevel));
    if (sampleRate < 0 || sampleRate > kMaxRate)
        return Status::error(QStringLiteral("FLAC cannot store %1 Hz: use 1 to %2 Hz")
                                 .arg(sampleRate)
                                 .arg(kMaxRate));
    if (channels < 0 || channels > kMaxChannels)
        return Status::error(QStringLiteral("FLAC cannot store %1 channels: use 1 to %2")
                                 .arg(channels)
                                 .arg(kMaxChannels));
    if (bitsPerSample != 0 && bitsPerSample != 16 && bitsPerSample != 24)
        return Status::error(
            QStringLiteral("FLAC output is 16 or 24 bit, not %1 bit").arg(bitsPerSample));
    return {};
}

QString FlacSettings::describe() const
{
    QString text = QStringLiteral("FLAC level %1; ").arg(compressionLevel);
    text +=
        sampleRate > 0 ? QStringLiteral("%1 Hz").arg(sampleRate) : QStringLiteral("source rate");
    text += QStringLiteral("; ") + channelsText(channels) + QStringLiteral("; ");
    text += bitsPerSample > 0 ? QStringLiteral("%1 bit").arg(bitsPerSample)
                              : QStringLiteral("source depth");
    if (verify)
        text += QStringLiteral("; verified");
    return text;
}

FlacSettings FlacSettings::resolvedFor(const SourceFormat& source) const
{
    FlacSettings resolved = *this;
    if (resolved.sampleRate == 0)
        resolved.sampleRate = std::min(source.pcm.sampleRate, kMaxRate);
    if (resolved.channels == 0)
        resolved.channels = std::min(source.pcm.channels, kMaxChannels);
    if (resolved.bitsPerSample == 0)
        resolved.bitsPerSample = source.bitsPerSample > 16 ? 24 : 16;
    return resolved;
}

struct FlacEncoder::Stream {
    OutputStream file;
    std::unique_ptr<FLAC__StreamEncoder, StreamEncoderDeleter> encoder;
    std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter> padding; // read by the encoder
    std::vector<FLAC__int32> wide; // the block in the encoder's sample type
    std::unique_ptr<FlacChecksum> checksum;
    quint64 position = 0; // where the next byte goes

    static FLAC__StreamEncoderWriteStatus write(const FLAC__StreamEncoder*, const FLAC__byte data[],
                                                size_t bytes, uint32_t, uint32_t, void* client)
    {
        auto* stream = static_cast<Stream*>(client);
        if (!stream->file.write(reinterpret_cast<const char*>(data), qint64(bytes)))
            return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
        stream->position += bytes;
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    }

    // libFLAC comes back at the end to complete the stream information (length, checksum).
    static FLAC__StreamEncoderSeekStatus seek(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                              void* client)
    {
        auto* stream = static_cast<Stream*>(client);
        if (!stream->file.seek(qint64(offset)))
            return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
        stream->position = offset;
        return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
    }

    static FLAC__StreamEncoderTellStatus tell(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                              void* client)
    {
        *offset = static_cast<Stream*>(client)->position;
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }

    // Completes the stream information libFLAC has finished, its checksum left blank.
    bool writeChecksum()
    {
        const QByteArray md5 = checksum->result();
        return file.seek(FlacChecksum::kOffsetInFile) && file.write(md5.constData(), md5.size());
    }

    // The file's own reason when writing failed, libFLAC's state otherwise.
    Status failure(const QString& what) const
    {
        if (file.failed())
            return file.failure();
        const FLAC__StreamEncoderState state = FLAC__stream_encoder_get_state(encoder.get());
        if (state == FLAC__STREAM_ENCODER_VERIFY_MISMATCH_IN_AUDIO_DATA)
            return Status::error(
                QStringLiteral("FLAC verification failed for %1: the decoded audio differs")
                    .arg(QDir::toNativeSeparators(file.shownPath())));
        return Status::error(QStringLiteral("%1 %2: %3")
                                 .arg(what, QDir::toNativeSeparators(file.shownPath()),
                                      QString::fromLatin1(FLAC__StreamEncoderStateString[state])));
    }
};

FlacEncoder::FlacEncoder(const FlacSettings& settings, const SourceFormat& source)
    : m_settings(settings.resolvedFor(source))
{}

FlacEncoder::~FlacEncoder() = default;

PcmFormat FlacEncoder::inputFormat() const
{
    return {m_settings.sampleRate, m_settings.channels};
}

Status FlacEncoder::open(UniqueFd file, const QString& outputPath)
{
    m_stream.reset();
    if (Status status = m_settings.validate(); !status)
        return status;
    auto stream = std::make_unique<Stream>();
    if (Status status = stream->file.open(std::move(file), outputPath); !status)
        return status;
    stream->encoder.reset(FLAC__stream_encoder_new());
    stream->padding.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING));
    if (!stream->encoder || !stream->padding)
        return Status::error(QStringLiteral("Cannot create %1: out of memory")
                                 .arg(QDir::toNativeSeparators(outputPath)));
    stream->padding->length = kPaddingBytes;

    FLAC__StreamEncoder* encoder = stream->encoder.get();
    FLAC__StreamMetadata* metadata[] = {stream->padding.get()};
    const bool configured =
        FLAC__stream_encoder_set_do_md5(encoder, false) &&
        FLAC__stream_encoder_set_verify(encoder, m_settings.verify) &&
        FLAC__stream_encoder_set_compression_level(encoder,
                                                   unsigned(m_settings.compressionLevel)) &&
        FLAC__stream_encoder_set_channels(encoder, unsigned(m_settings.channels)) &&
        FLAC__stream_encoder_set_bits_per_sample(encoder, unsigned(m_settings.bitsPerSample)) &&
        FLAC__stream_encoder_set_sample_rate(encoder, unsigned(m_settings.sampleRate)) &&
        FLAC__stream_encoder_set_metadata(encoder, metadata, 1);
    if (!configured)
        return stream->failure(QStringLiteral("Cannot create"));
    const FLAC__StreamEncoderInitStatus init = FLAC__stream_encoder_init_stream(
        encoder, &Stream::write, &Stream::seek, &Stream::tell, nullptr, stream.get());
    if (init == FLAC__STREAM_ENCODER_INIT_STATUS_ENCODER_ERROR)
        return stream->failure(QStringLiteral("Cannot create"));
    if (init != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return Status::error(
            QStringLiteral("Cannot create %1: the FLAC encoder refuses %2 (%3)")
                .arg(QDir::toNativeSeparators(outputPath), m_settings.describe(),
                     QString::fromLatin1(FLAC__StreamEncoderInitStatusString[init])));
    stream->checksum = std::make_unique<FlacChecksum>(m_settings.bitsPerSample, m_spareCore);
    m_stream = std::move(stream);
    return {};
}

Status FlacEncoder::encode(std::span<const qint16> samples)
{
    if (Status status = checkInput(samples.size()); !status)
        return status;
    Stream& stream = *m_stream;
    stream.wide.resize(samples.size());
    widenToFlacDepth(samples, m_settings.bitsPerSample, stream.wide.data());
    if (m_settings.bitsPerSample == 16)
        stream.checksum->add(samples);
    else
        stream.checksum->add(std::span<const qint32>(stream.wide));
    return handOver();
}

Status FlacEncoder::encodeWide(std::span<const qint32> samples)
{
    if (Status status = checkInput(samples.size()); !status)
        return status;
    Stream& stream = *m_stream;
    stream.wide.resize(samples.size());
    roundToFlacDepth(samples, m_settings.bitsPerSample, stream.wide.data());
    stream.checksum->add(std::span<const qint32>(stream.wide));
    return handOver();
}

Status FlacEncoder::checkInput(size_t sampleCount) const
{
    if (!m_stream)
        return Status::error(QStringLiteral("Cannot encode FLAC audio: the output is not open"));
    return checkWholeFrames("FLAC", m_stream->file.shownPath(), sampleCount, m_settings.channels);
}

Status FlacEncoder::handOver()
{
    Stream& stream = *m_stream;
    // One call per block: libFLAC copies the samples into its own frame buffer anyway, so
    // smaller calls only add overhead.
    const auto frames = unsigned(stream.wide.size() / size_t(m_settings.channels));
    if (!FLAC__stream_encoder_process_interleaved(stream.encoder.get(), stream.wide.data(), frames))
        return stream.failure(QStringLiteral("Cannot encode FLAC audio for"));
    return {};
}

Status FlacEncoder::finish()
{
    if (!m_stream)
        return Status::error(QStringLiteral("Cannot finish FLAC output: the output is not open"));
    // Whatever happens next, the file is closed and this encoder done with it.
    const std::unique_ptr<Stream> stream = std::move(m_stream);
    Status status;
    if (!FLAC__stream_encoder_finish(stream->encoder.get()))
        status = stream->failure(QStringLiteral("Cannot finish"));
    else if (!stream->writeChecksum())
        status = stream->file.failure();
    return stream->file.close(status);
}

} // namespace tunevale
