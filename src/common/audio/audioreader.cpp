#include "common/audio/audioreader.h"

#include "common/audio/ffmpegptr.h"
#include "common/io/localinput.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>

namespace tunevale {

namespace {

// Seeking lands early by this much and decodes forward: several codecs need preceding
// frames (MP3's bit reservoir, overlapping windows) to rebuild the exact samples.
constexpr qint64 kSeekPrerollSeconds = 1;
// Landings tried before decoding afresh from the start.
constexpr int kSeekTries = 8;

QString readError(const QString& path, int errorCode)
{
    return QStringLiteral("Cannot read %1: %2").arg(path, ffmpegErrorString(errorCode));
}

} // namespace

struct AudioReader::Decoder {
    QString path;
    InputFormatContextPtr format;
    CodecContextPtr codec;
    AVStream* stream = nullptr;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};
    SwrContextPtr converter;
    AVChannelLayout outputLayout{};
    PcmFormat outputFormat;
    int sourceBits = 16; // see AudioReader::sourceFormat
    // Input side the converter was built for; rebuilt when a stream changes its format.
    AVChannelLayout converterLayout{};
    int converterRate = 0;
    int converterSampleFormat = -1;

    // Decoded, not yet handed out: samples of sampleBytes bytes each, in the reader's width.
    std::vector<char> pending;
    size_t sampleBytes = sizeof(qint16);
    size_t pendingOffset = 0;               // in samples
    qint64 position = 0;                    // frame of the sample at pendingOffset
    qint64 firstTimestamp = AV_NOPTS_VALUE; // stream timestamp of frame 0, in samples
    qint64 totalFrames = 0;
    qint64 endFrame = -1; // where the audio stops short of the last frame's end; -1 for none
    bool inputEnded = false;
    bool decoderDrained = false;

    ~Decoder()
    {
        av_channel_layout_uninit(&outputLayout);
        av_channel_layout_uninit(&converterLayout);
    }

    Status open(const QString& filePath);
    Status decodeNextFrame(bool& gotFrame);
    Status appendConverted(const AVFrame& decoded, qint64 skipFrames);
    Status configureConverter(const AVFrame& decoded);
    qint64 frameTimestamp(const AVFrame& decoded) const;
    Status restartAt(qint64 streamTimestamp);
    // Jumps by timestamps; restartNeeded when they cannot say where the decoder landed.
    Status seek(qint64 target, bool& restartNeeded);
    Status skipForward(qint64 target);
    Status discardUntil(qint64 target, bool& landedLate);

    size_t pendingElements() const { return pending.size() / sampleBytes - pendingOffset; }
    AVSampleFormat sampleFormat() const
    {
        return sampleBytes == sizeof(qint32) ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16;
    }
    template <typename Sample> Status read(qint64 maxElements, std::vector<Sample>& samples);
    void clearPending()
    {
        pending.clear();
        pendingOffset = 0;
    }
};

Status AudioReader::Decoder::open(const QString& filePath)
{
    quietFfmpegLogging();
    path = filePath;
    if (!packet || !frame)
        return Status::error(QStringLiteral("Out of memory opening %1").arg(path));

    int result = openLocalInput(path, format);
    if (result < 0)
        return Status::error(readError(path, result));
    if ((result = avformat_find_stream_info(format.get(), nullptr)) < 0)
        return Status::error(readError(path, result));

    const AVCodec* codecType = nullptr;
    const int streamIndex =
        av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codecType, 0);
    if (streamIndex < 0 || !codecType)
        return Status::error(QStringLiteral("%1 holds no audio that can be decoded").arg(path));
    stream = format->streams[streamIndex];
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (static_cast<int>(i) != streamIndex)
            format->streams[i]->discard = AVDISCARD_ALL;
    }

    codec.reset(avcodec_alloc_context3(codecType));
    if (!codec)
        return Status::error(QStringLiteral("Out of memory opening %1").arg(path));
    // Lets decoders move timestamps along with the priming samples they trim.
    codec->pkt_timebase = stream->time_base;
    if ((result = avcodec_parameters_to_context(codec.get(), stream->codecpar)) < 0 ||
        (result = avcodec_open2(codec.get(), codecType, nullptr)) < 0)
        return Status::error(readError(path, result));

    const int channels = codec->ch_layout.nb_channels;
    if (codec->sample_rate <= 0 || channels <= 0)
        return Status::error(QStringLiteral("%1 has no valid audio format").arg(path));
    outputFormat = {codec->sample_rate, channels};
    const AVSampleFormat decoded = av_get_packed_sample_fmt(codec->sample_fmt);
    sourceBits = decoded == AV_SAMPLE_FMT_U8 || decoded == AV_SAMPLE_FMT_S16 ? 16 : 24;
    if (codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&outputLayout, channels);
    else if ((result = av_channel_layout_copy(&outputLayout, &codec->ch_layout)) < 0)
        return Status::error(readError(path, result));

    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        totalFrames =
            av_rescale_q(stream->duration, stream->time_base, {1, outputFormat.sampleRate});
        // An MP3 stream's length counts the encoder delay that decoding trims (its start time).
        if (codec->codec_id == AV_CODEC_ID_MP3 && stream->start_time != AV_NOPTS_VALUE &&
            stream->start_time > 0)
            totalFrames -=
                av_rescale_q(stream->start_time, stream->time_base, {1, outputFormat.sampleRate});
    } else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        totalFrames = av_rescale(format->duration, outputFormat.sampleRate, AV_TIME_BASE);
    // An MP4's edit list ends AAC audio inside its last frame; FFmpeg trims the start it
    // states, not the padding after the end, so the stream's length is where reading stops.
    if (codec->codec_id == AV_CODEC_ID_AAC && stream->duration > 0 &&
        QLatin1String(format->iformat->name).startsWith(QLatin1String("mov,")))
        endFrame = totalFrames;

    // Decoding the first frame proves the file is playable and anchors timestamps to frame 0.
    bool gotFrame = false;
    if (Status status = decodeNextFrame(gotFrame); !status)
        return status;
    if (gotFrame)
        firstTimestamp = frameTimestamp(*frame);
    return gotFrame ? appendConverted(*frame, 0) : Status{};
}

qint64 AudioReader::Decoder::frameTimestamp(const AVFrame& decoded) const
{
    // pts, unlike best_effort_timestamp, moves with the samples a decoder trims at the start.
    const qint64 timestamp =
        decoded.pts != AV_NOPTS_VALUE ? decoded.pts : decoded.best_effort_timestamp;
    if (timestamp == AV_NOPTS_VALUE)
        return AV_NOPTS_VALUE;
    const qint64 samples = av_rescale_q(timestamp, stream->time_base, {1, outputFormat.sampleRate});
    // Containers with coarse clocks (ASF counts milliseconds) blur where a frame starts; codecs
    // of fixed frame length put every frame on a grid counted from the first.
    const int frameLength = codec->frame_size > 0 ? codec->frame_size : decoded.nb_samples;
    if (frameLength > 0 &&
        stream->time_base.den < outputFormat.sampleRate * stream->time_base.num &&
        firstTimestamp != AV_NOPTS_VALUE) {
        const qint64 offset = samples - firstTimestamp;
        return firstTimestamp + (offset + frameLength / 2) / frameLength * frameLength;
    }
    return samples;
}

Status AudioReader::Decoder::decodeNextFrame(bool& gotFrame)
{
    gotFrame = false;
    while (!decoderDrained) {
        int result = avcodec_receive_frame(codec.get(), frame.get());
        if (result == 0) {
            gotFrame = true;
            return {};
        }
        if (result == AVERROR_EOF) {
            decoderDrained = true;
            break;
        }
        // A damaged packet costs its own samples only; decoding goes on with the next one.
        if (result == AVERROR_INVALIDDATA)
            continue;
        if (result != AVERROR(EAGAIN))
            return Status::error(readError(path, result));

        if (inputEnded) {
            decoderDrained = true;
            break;
        }
        result = av_read_frame(format.get(), packet.get());
        if (result < 0) {
            // A truncated or damaged tail ends the data; an I/O failure is an error.
            if (result != AVERROR_EOF && format->pb && format->pb->error < 0 &&
                !avio_feof(format->pb))
                return Status::error(readError(path, result));
            inputEnded = true;
            avcodec_send_packet(codec.get(), nullptr);
            continue;
        }
        if (packet->stream_index == stream->index) {
            result = avcodec_send_packet(codec.get(), packet.get());
            // A damaged packet is skipped; the decoder resynchronises on the next one.
            if (result < 0 && result != AVERROR_INVALIDDATA && result != AVERROR(EAGAIN)) {
                av_packet_unref(packet.get());
                return Status::error(readError(path, result));
            }
        }
        av_packet_unref(packet.get());
    }
    return {};
}

Status AudioReader::Decoder::configureConverter(const AVFrame& decoded)
{
    AVChannelLayout inputLayout{};
    if (decoded.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || decoded.ch_layout.nb_channels == 0)
        av_channel_layout_default(&inputLayout, decoded.ch_layout.nb_channels
                                                    ? decoded.ch_layout.nb_channels
                                                    : outputFormat.channels);
    else
        av_channel_layout_copy(&inputLayout, &decoded.ch_layout);

    const int inputRate = decoded.sample_rate > 0 ? decoded.sample_rate : outputFormat.sampleRate;
    const bool unchanged = converter && converterRate == inputRate &&
                           converterSampleFormat == decoded.format &&
                           av_channel_layout_compare(&converterLayout, &inputLayout) == 0;
    if (unchanged) {
        av_channel_layout_uninit(&inputLayout);
        return {};
    }

    SwrContext* raw = nullptr;
    int result = swr_alloc_set_opts2(&raw, &outputLayout, sampleFormat(), outputFormat.sampleRate,
                                     &inputLayout, static_cast<AVSampleFormat>(decoded.format),
                                     inputRate, 0, nullptr);
    converter.reset(raw);
    if (result >= 0)
        result = swr_init(converter.get());
    av_channel_layout_uninit(&converterLayout);
    converterLayout = inputLayout;
    converterRate = inputRate;
    converterSampleFormat = decoded.format;
    if (result < 0) {
        converter.reset();
        return Status::error(readError(path, result));
    }
    return {};
}

Status AudioReader::Decoder::appendConverted(const AVFrame& decoded, qint64 skipFrames)
{
    if (decoded.nb_samples <= 0)
        return {};
    if (Status status = configureConverter(decoded); !status)
        return status;

    const int capacity = swr_get_out_samples(converter.get(), decoded.nb_samples);
    if (capacity < 0)
        return Status::error(readError(path, capacity));
    if (pendingOffset > 0 && pendingElements() == 0)
        clearPending();
    const size_t start = pending.size();
    const size_t frameBytes = sampleBytes * size_t(outputFormat.channels);
    pending.resize(start + static_cast<size_t>(capacity) * frameBytes);
    auto* target = reinterpret_cast<quint8*>(pending.data() + start);
    const int converted =
        swr_convert(converter.get(), &target, capacity,
                    const_cast<const quint8**>(decoded.extended_data), decoded.nb_samples);
    if (converted < 0) {
        pending.resize(start);
        return Status::error(readError(path, converted));
    }
    const qint64 kept = std::max<qint64>(0, converted - skipFrames);
    const size_t skippedBytes = static_cast<size_t>(converted - kept) * frameBytes;
    if (skippedBytes > 0) {
        std::memmove(pending.data() + start, pending.data() + start + skippedBytes,
                     static_cast<size_t>(kept) * frameBytes);
    }
    pending.resize(start + static_cast<size_t>(kept) * frameBytes);
    return {};
}

Status AudioReader::Decoder::restartAt(qint64 streamTimestamp)
{
    const int result = avformat_seek_file(format.get(), stream->index, INT64_MIN, streamTimestamp,
                                          streamTimestamp, 0);
    if (result < 0)
        return Status::error(readError(path, result));
    avcodec_flush_buffers(codec.get());
    clearPending();
    inputEnded = false;
    decoderDrained = false;
    if (converter)
        swr_init(converter.get()); // drops samples held from before the jump
    return {};
}

Status AudioReader::Decoder::discardUntil(qint64 target, bool& landedLate)
{
    landedLate = false;
    qint64 lastEnd = -1;
    for (;;) {
        bool gotFrame = false;
        if (Status status = decodeNextFrame(gotFrame); !status)
            return status;
        if (!gotFrame) {
            // Past the end: land there, or look again from earlier if nothing was decoded.
            landedLate = lastEnd < 0;
            position = lastEnd;
            return {};
        }
        const qint64 timestamp = frameTimestamp(*frame);
        if (timestamp == AV_NOPTS_VALUE || firstTimestamp == AV_NOPTS_VALUE) {
            landedLate = true; // no way to tell where we are
            return {};
        }
        const qint64 frameStart = timestamp - firstTimestamp;
        if (frameStart > target) {
            landedLate = true;
            return {};
        }
        lastEnd = frameStart + frame->nb_samples;
        if (lastEnd > target) {
            if (Status status = appendConverted(*frame, target - frameStart); !status)
                return status;
            position = target;
            return {};
        }
    }
}

Status AudioReader::Decoder::seek(qint64 target, bool& restartNeeded)
{
    const qint64 preroll = kSeekPrerollSeconds * outputFormat.sampleRate;
    // Land early, then look further back while the decoder still comes up past the target. A
    // few tries find any real file's spot; a damaged header that claims years of audio would
    // otherwise step back four seconds at a time for ever.
    qint64 landing = target - preroll;
    for (int tries = 0; tries < kSeekTries && landing > 0; ++tries, landing -= 4 * preroll) {
        if (firstTimestamp == AV_NOPTS_VALUE)
            break;
        const qint64 streamTimestamp =
            av_rescale_q(landing + firstTimestamp, {1, outputFormat.sampleRate}, stream->time_base);
        if (Status status = restartAt(streamTimestamp); !status)
            return status;
        bool landedLate = false;
        if (Status status = discardUntil(target, landedLate); !status)
            return status;
        if (!landedLate) {
            restartNeeded = false;
            return {};
        }
    }
    restartNeeded = true;
    return {};
}

Status AudioReader::Decoder::skipForward(qint64 target)
{
    const int channels = outputFormat.channels;
    while (position < target) {
        if (pendingElements() == 0) {
            clearPending();
            bool gotFrame = false;
            if (Status status = decodeNextFrame(gotFrame); !status)
                return status;
            if (!gotFrame)
                return {};
            if (Status status = appendConverted(*frame, 0); !status)
                return status;
            continue;
        }
        const qint64 skipped =
            std::min<qint64>(static_cast<qint64>(pendingElements()) / channels, target - position);
        pendingOffset += static_cast<size_t>(skipped * channels);
        position += skipped;
    }
    return {};
}

AudioReader::AudioReader() = default;
AudioReader::~AudioReader() = default;

Status AudioReader::open(const QString& path)
{
    close();
    auto decoder = std::make_unique<Decoder>();
    decoder->sampleBytes = m_wide ? sizeof(qint32) : sizeof(qint16);
    if (Status status = decoder->open(path); !status)
        return status;
    m_decoder = std::move(decoder);
    return {};
}

void AudioReader::close()
{
    m_decoder.reset();
}

bool AudioReader::isOpen() const
{
    return m_decoder != nullptr;
}

PcmFormat AudioReader::format() const
{
    return m_decoder ? m_decoder->outputFormat : PcmFormat{0, 0};
}

SourceFormat AudioReader::sourceFormat() const
{
    return m_decoder ? SourceFormat{m_decoder->outputFormat, m_decoder->sourceBits}
                     : SourceFormat{};
}

qint64 AudioReader::totalFrames() const
{
    return m_decoder ? m_decoder->totalFrames : 0;
}

qint64 AudioReader::position() const
{
    return m_decoder ? m_decoder->position : 0;
}

Status AudioReader::read(qint64 maxElements, std::vector<qint16>& samples)
{
    samples.clear();
    if (!m_decoder)
        return Status::error(QStringLiteral("No file is open for reading"));
    if (m_decoder->sampleBytes != sizeof(qint16))
        return Status::error(QStringLiteral("The reader was opened for 32-bit samples"));
    return m_decoder->read(maxElements, samples);
}

Status AudioReader::read(qint64 maxElements, std::vector<qint32>& samples)
{
    samples.clear();
    if (!m_decoder)
        return Status::error(QStringLiteral("No file is open for reading"));
    if (m_decoder->sampleBytes != sizeof(qint32))
        return Status::error(QStringLiteral("The reader was opened for 16-bit samples"));
    return m_decoder->read(maxElements, samples);
}

template <typename Sample>
Status AudioReader::Decoder::read(qint64 maxElements, std::vector<Sample>& samples)
{
    const int channels = outputFormat.channels;
    qint64 wanted = maxElements / channels * channels;
    if (wanted <= 0)
        return Status::error(
            QStringLiteral("A read of %1 samples holds no whole frame of %2 channels")
                .arg(maxElements)
                .arg(channels));

    if (endFrame >= 0)
        wanted = std::min(wanted, std::max<qint64>(0, endFrame - position) * channels);
    samples.reserve(static_cast<size_t>(std::min<qint64>(wanted, 1 << 22)));
    while (static_cast<qint64>(samples.size()) < wanted) {
        if (pendingElements() == 0) {
            clearPending();
            bool gotFrame = false;
            if (Status status = decodeNextFrame(gotFrame); !status)
                return status;
            if (!gotFrame)
                break;
            if (Status status = appendConverted(*frame, 0); !status)
                return status;
            continue;
        }
        const size_t take =
            std::min<size_t>(pendingElements(), static_cast<size_t>(wanted) - samples.size());
        const size_t end = samples.size();
        samples.resize(end + take);
        std::memcpy(samples.data() + end, pending.data() + pendingOffset * sizeof(Sample),
                    take * sizeof(Sample));
        pendingOffset += take;
    }
    position += static_cast<qint64>(samples.size()) / channels;
    return {};
}

bool AudioReader::seeksExactly() const
{
    if (!m_decoder)
        return false;
    const AVCodecID codec = m_decoder->codec->codec_id;
    const bool pcm = codec >= AV_CODEC_ID_FIRST_AUDIO && codec < AV_CODEC_ID_ADPCM_IMA_QT;
    return pcm || codec == AV_CODEC_ID_MP3 || codec == AV_CODEC_ID_VORBIS;
}

Status AudioReader::seek(qint64 frame, qint64& reached)
{
    if (!m_decoder)
        return Status::error(QStringLiteral("No file is open for reading"));
    frame = std::max<qint64>(0, frame);
    bool restartNeeded = false;
    if (Status status = m_decoder->seek(frame, restartNeeded); !status)
        return status;
    if (restartNeeded) {
        // Decoding afresh from the first frame is slow but always exact.
        auto decoder = std::make_unique<Decoder>();
        decoder->sampleBytes = m_decoder->sampleBytes;
        if (Status status = decoder->open(m_decoder->path); !status)
            return status;
        if (Status status = decoder->skipForward(frame); !status)
            return status;
        m_decoder = std::move(decoder);
    }
    reached = m_decoder->position;
    return {};
}

} // namespace tunevale
