#include "common/codecs/oggopusencoder.h"

#include "common/io/outputfile.h"

#include <QDir>

#include <opus/opusenc.h>

#include <algorithm>
#include <vector>

namespace tunevale {

namespace {

constexpr int kMinBitrate = 6;
constexpr int kMaxBitrate = 510;
constexpr int kMaxComplexity = 10;

struct CommentsDeleter {
    void operator()(OggOpusComments* comments) const { ope_comments_destroy(comments); }
};
struct OpusEncDeleter {
    void operator()(OggOpusEnc* encoder) const { ope_encoder_destroy(encoder); }
};

QString rateControlText(OpusRateControl control)
{
    switch (control) {
    case OpusRateControl::Vbr:
        return QStringLiteral("VBR");
    case OpusRateControl::ConstrainedVbr:
        return QStringLiteral("constrained VBR");
    case OpusRateControl::Cbr:
        return QStringLiteral("CBR");
    }
    return {};
}

int opusSignal(OpusTuning tuning)
{
    switch (tuning) {
    case OpusTuning::Music:
        return OPUS_SIGNAL_MUSIC;
    case OpusTuning::Speech:
        return OPUS_SIGNAL_VOICE;
    case OpusTuning::Auto:
        break;
    }
    return OPUS_AUTO;
}

} // namespace

Status OpusSettings::validate() const
{
    if (bitrate < kMinBitrate || bitrate > kMaxBitrate)
        return Status::error(QStringLiteral("Opus cannot encode at %1 kbit/s: use %2 to %3 kbit/s")
                                 .arg(bitrate)
                                 .arg(kMinBitrate)
                                 .arg(kMaxBitrate));
    if (complexity < 0 || complexity > kMaxComplexity)
        return Status::error(QStringLiteral("Opus complexity %1 is out of range: use 0 to %2")
                                 .arg(complexity)
                                 .arg(kMaxComplexity));
    if (channels < 0 || channels > 2)
        return Status::error(
            QStringLiteral("Opus output has 1 or 2 channels, not %1").arg(channels));
    return {};
}

QString OpusSettings::describe() const
{
    QString text = QStringLiteral("Opus %1 kbit/s %2; complexity %3")
                       .arg(bitrate)
                       .arg(rateControlText(rateControl))
                       .arg(complexity);
    if (tuning == OpusTuning::Music)
        text += QStringLiteral("; music");
    else if (tuning == OpusTuning::Speech)
        text += QStringLiteral("; speech");
    text += QStringLiteral("; ");
    text += channels == 0   ? QStringLiteral("source channels")
            : channels == 1 ? QStringLiteral("Mono")
                            : QStringLiteral("Stereo");
    return text;
}

OpusSettings OpusSettings::resolvedFor(const SourceFormat& source) const
{
    OpusSettings resolved = *this;
    if (resolved.channels == 0)
        resolved.channels = std::clamp(source.pcm.channels, 1, 2);
    return resolved;
}

struct OggOpusEncoder::Stream {
    OutputStream file;
    std::unique_ptr<OggOpusComments, CommentsDeleter> comments;
    std::unique_ptr<OggOpusEnc, OpusEncDeleter> encoder;
    bool empty = true; // no sample given yet

    static int write(void* user, const unsigned char* data, opus_int32 length)
    {
        auto* stream = static_cast<Stream*>(user);
        return stream->file.write(reinterpret_cast<const char*>(data), length) ? 0 : 1;
    }
    // The file is closed by its owner, not by libopusenc.
    static int close(void*) { return 0; }

    // The file's own reason when writing failed, libopusenc's otherwise.
    Status failure(const QString& what, int error) const
    {
        if (file.failed())
            return file.failure();
        return Status::error(QStringLiteral("%1 %2: %3")
                                 .arg(what, QDir::toNativeSeparators(file.shownPath()),
                                      QString::fromUtf8(ope_strerror(error))));
    }
};

OggOpusEncoder::OggOpusEncoder(const OpusSettings& settings, const SourceFormat& source)
    : m_settings(settings.resolvedFor(source))
    , m_sampleRate(source.pcm.sampleRate)
{}

OggOpusEncoder::~OggOpusEncoder() = default;

PcmFormat OggOpusEncoder::inputFormat() const
{
    return {m_sampleRate, m_settings.channels};
}

Status OggOpusEncoder::open(UniqueFd file, const QString& outputPath)
{
    m_stream.reset();
    if (Status status = m_settings.validate(); !status)
        return status;
    auto stream = std::make_unique<Stream>();
    if (Status status = stream->file.open(std::move(file), outputPath); !status)
        return status;
    stream->comments.reset(ope_comments_create());
    if (!stream->comments)
        return stream->failure(QStringLiteral("Cannot create"), OPE_ALLOC_FAIL);

    static constexpr OpusEncCallbacks kCallbacks{&Stream::write, &Stream::close};
    int error = OPE_OK;
    // Mapping family 0: one stream of one or two channels, as every player reads.
    stream->encoder.reset(ope_encoder_create_callbacks(&kCallbacks, stream.get(),
                                                       stream->comments.get(), m_sampleRate,
                                                       m_settings.channels, 0, &error));
    if (!stream->encoder)
        return stream->failure(QStringLiteral("Cannot create"), error);

    OggOpusEnc* encoder = stream->encoder.get();
    const bool vbr = m_settings.rateControl != OpusRateControl::Cbr;
    const bool constrained = m_settings.rateControl == OpusRateControl::ConstrainedVbr;
    for (const int result :
         {ope_encoder_ctl(encoder, OPUS_SET_BITRATE(m_settings.bitrate * 1000)),
          ope_encoder_ctl(encoder, OPUS_SET_VBR(vbr ? 1 : 0)),
          ope_encoder_ctl(encoder, OPUS_SET_VBR_CONSTRAINT(constrained ? 1 : 0)),
          ope_encoder_ctl(encoder, OPUS_SET_COMPLEXITY(m_settings.complexity)),
          ope_encoder_ctl(encoder, OPUS_SET_SIGNAL(opusSignal(m_settings.tuning))),
          ope_encoder_ctl(encoder, OPE_SET_HEADER_GAIN(0))}) {
        if (result != OPE_OK)
            return Status::error(
                QStringLiteral("Cannot create %1: the Opus encoder refuses %2 (%3)")
                    .arg(QDir::toNativeSeparators(outputPath), m_settings.describe(),
                         QString::fromUtf8(ope_strerror(result))));
    }
    m_stream = std::move(stream);
    return {};
}

Status OggOpusEncoder::encode(std::span<const qint16> samples)
{
    if (!m_stream)
        return Status::error(QStringLiteral("Cannot encode Opus audio: the output is not open"));
    const auto channels = size_t(m_settings.channels);
    if (Status status =
            checkWholeFrames("Opus", m_stream->file.shownPath(), samples.size(), int(channels));
        !status)
        return status;
    if (samples.empty())
        return {};
    m_stream->empty = false;
    const int result =
        ope_encoder_write(m_stream->encoder.get(), samples.data(), int(samples.size() / channels));
    if (result != OPE_OK || m_stream->file.failed())
        return m_stream->failure(QStringLiteral("Cannot encode Opus audio for"), result);
    return {};
}

Status OggOpusEncoder::finish()
{
    if (!m_stream)
        return Status::error(QStringLiteral("Cannot finish Opus output: the output is not open"));
    // Whatever happens next, the file is closed and this encoder done with it.
    const std::unique_ptr<Stream> stream = std::move(m_stream);
    Status status;
    // libopusenc 0.2.1 fails an assertion when it drains a stream that never got a sample:
    // an empty source gets one sample of silence, the shortest stream players open.
    if (stream->empty) {
        const std::vector<opus_int16> silence(size_t(m_settings.channels), 0);
        (void)ope_encoder_write(stream->encoder.get(), silence.data(), 1);
    }
    const int result = ope_encoder_drain(stream->encoder.get());
    if (result != OPE_OK || stream->file.failed())
        status = stream->failure(QStringLiteral("Cannot finish"), result);
    return stream->file.close(status);
}

} // namespace tunevale
