#include "common/codecs/flacsegment.h"

#include "common/codecs/flacchecksum.h"
#include "common/codecs/flacdepth.h"

#include <QDir>

#include <algorithm>

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

namespace tunevale {

namespace {

// The room for tags and a cover the one-pass output leaves too.
constexpr unsigned kPaddingBytes = 8192;

struct StreamEncoderDeleter {
    void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
};
struct MetadataDeleter {
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};
using StreamEncoderPtr = std::unique_ptr<FLAC__StreamEncoder, StreamEncoderDeleter>;

} // namespace

struct FlacSegment::Encoder {
    StreamEncoderPtr encoder{FLAC__stream_encoder_new()};
    std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter> padding{
        FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING)};
    QString shownPath;

    Status failure(const QString& what) const
    {
        const FLAC__StreamEncoderState state = FLAC__stream_encoder_get_state(encoder.get());
        return Status::error(QStringLiteral("%1 %2: %3")
                                 .arg(what, QDir::toNativeSeparators(shownPath),
                                      QString::fromLatin1(FLAC__StreamEncoderStateString[state])));
    }
};

FlacSegment::FlacSegment() = default;
FlacSegment::~FlacSegment()
{
    // An encoder abandoned half-way may still hand over frames while it goes: before the
    // buffers it writes to.
    m_encoder.reset();
}
FlacSegment::FlacSegment(FlacSegment&&) noexcept = default;
FlacSegment& FlacSegment::operator=(FlacSegment&&) noexcept = default;

int FlacSegment::blockSize(const FlacSettings& settings)
{
    // libFLAC picks the block size from the level only when a stream starts.
    const StreamEncoderPtr encoder(FLAC__stream_encoder_new());
    const auto discard = [](const FLAC__StreamEncoder*, const FLAC__byte[], size_t, uint32_t,
                            uint32_t, void*) {
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    };
    if (!encoder ||
        !FLAC__stream_encoder_set_compression_level(encoder.get(),
                                                    unsigned(settings.compressionLevel)) ||
        !FLAC__stream_encoder_set_channels(encoder.get(), unsigned(settings.channels)) ||
        !FLAC__stream_encoder_set_sample_rate(encoder.get(), unsigned(settings.sampleRate)) ||
        FLAC__stream_encoder_init_stream(encoder.get(), discard, nullptr, nullptr, nullptr,
                                         nullptr) != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return 0;
    return int(FLAC__stream_encoder_get_blocksize(encoder.get()));
}

Status FlacSegment::open(const FlacSettings& settings, const QString& shownPath)
{
    *this = FlacSegment();
    auto state = std::make_unique<Encoder>();
    state->shownPath = shownPath;
    if (!state->encoder || !state->padding)
        return Status::error(QStringLiteral("Cannot create %1: out of memory")
                                 .arg(QDir::toNativeSeparators(shownPath)));
    state->padding->length = kPaddingBytes;
    FLAC__StreamEncoder* encoder = state->encoder.get();
    FLAC__StreamMetadata* metadata[] = {state->padding.get()};
    // The joined stream's checksum covers all segments in order (FlacJoiner): each encoder's own
    // would be thrown away.
    const bool configured =
        FLAC__stream_encoder_set_do_md5(encoder, false) &&
        FLAC__stream_encoder_set_verify(encoder, settings.verify) &&
        FLAC__stream_encoder_set_compression_level(encoder, unsigned(settings.compressionLevel)) &&
        FLAC__stream_encoder_set_channels(encoder, unsigned(settings.channels)) &&
        FLAC__stream_encoder_set_bits_per_sample(encoder, unsigned(settings.bitsPerSample)) &&
        FLAC__stream_encoder_set_sample_rate(encoder, unsigned(settings.sampleRate)) &&
        FLAC__stream_encoder_set_metadata(encoder, metadata, 1);
    if (!configured)
        return state->failure(QStringLiteral("Cannot create"));
    const auto write = [](const FLAC__StreamEncoder*, const FLAC__byte data[], size_t bytes,
                          uint32_t samples, uint32_t, void* client) {
        auto* segment = static_cast<FlacSegment*>(client);
        // libFLAC hands over the metadata with no samples, then one whole frame per call.
        std::vector<unsigned char>& target = samples == 0 ? segment->m_head : segment->m_frames;
        target.insert(target.end(), data, data + bytes);
        if (samples > 0)
            segment->m_frameEnds.push_back(segment->m_frames.size());
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    };
    if (FLAC__stream_encoder_init_stream(encoder, write, nullptr, nullptr, nullptr, this) !=
        FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return state->failure(QStringLiteral("Cannot create"));
    m_channels = settings.channels;
    m_bits = settings.bitsPerSample;
    m_encoder = std::move(state);
    return {};
}

void FlacSegment::reserve(qint64 frames)
{
    const auto samples = size_t(std::max<qint64>(0, frames)) * size_t(m_channels);
    const size_t bytes = samples * size_t(m_bits / 8);
    m_checksummed.reserve(bytes);
    // FLAC stores a block verbatim when nothing smaller is found, plus headers.
    m_frames.reserve(bytes + samples / 256 + 64);
}

FlacSegment::Buffers FlacSegment::releaseBuffers()
{
    Buffers buffers{std::move(m_frames), std::move(m_checksummed)};
    m_frames.clear();
    m_checksummed.clear();
    m_frameEnds.clear();
    buffers.frames.clear();
    buffers.checksummed.clear();
    return buffers;
}

void FlacSegment::useBuffers(Buffers buffers)
{
    if (buffers.frames.capacity() > m_frames.capacity()) {
        buffers.frames.assign(m_frames.begin(), m_frames.end());
        m_frames = std::move(buffers.frames);
    }
    if (buffers.checksummed.capacity() > m_checksummed.capacity()) {
        buffers.checksummed.assign(m_checksummed.begin(), m_checksummed.end());
        m_checksummed = std::move(buffers.checksummed);
    }
}

Status FlacSegment::encode(std::span<const qint16> samples)
{
    m_wide.resize(samples.size());
    widenToFlacDepth(samples, m_bits, m_wide.data());
    if (m_bits == 16)
        FlacChecksum::appendBytes(samples, m_checksummed);
    else
        keepForChecksum();
    return handOver();
}

Status FlacSegment::encode(std::span<const qint32> samples)
{
    m_wide.resize(samples.size());
    roundToFlacDepth(samples, m_bits, m_wide.data());
    keepForChecksum();
    return handOver();
}

void FlacSegment::keepForChecksum()
{
    FlacChecksum::appendBytes(m_wide, m_bits, m_checksummed);
}

Status FlacSegment::handOver()
{
    if (!m_encoder)
        return Status::error(QStringLiteral("Cannot encode FLAC audio: the output is not open"));
    if (!FLAC__stream_encoder_process_interleaved(m_encoder->encoder.get(), m_wide.data(),
                                                  unsigned(m_wide.size() / size_t(m_channels))))
        return m_encoder->failure(QStringLiteral("Cannot encode FLAC audio for"));
    return {};
}

Status FlacSegment::finish()
{
    if (!m_encoder)
        return Status::error(QStringLiteral("Cannot finish FLAC output: the output is not open"));
    const std::unique_ptr<Encoder> encoder = std::move(m_encoder);
    if (!FLAC__stream_encoder_finish(encoder->encoder.get()))
        return encoder->failure(QStringLiteral("Cannot finish"));
    return {};
}

} // namespace tunevale
