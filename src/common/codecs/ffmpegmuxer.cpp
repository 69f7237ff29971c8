#include "common/codecs/ffmpegmuxer.h"

#include <QDir>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>

namespace tunevale {

Status FfmpegMuxer::allocate(const AVCodec* codecToUse, const char* formatName)
{
    AVFormatContext* context = nullptr;
    const int result = avformat_alloc_output_context2(&context, nullptr, formatName, nullptr);
    if (result < 0 || !context)
        return fail(QStringLiteral("Cannot create"), result < 0 ? result : AVERROR(ENOMEM));
    format.reset(context);
    stream = avformat_new_stream(context, nullptr);
    codec.reset(avcodec_alloc_context3(codecToUse));
    frame.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    if (!stream || !codec || !frame || !packet)
        return fail(QStringLiteral("Cannot create"), AVERROR(ENOMEM));
    if (context->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    return {};
}

Status FfmpegMuxer::prepareFrames(int fallbackFrameSize)
{
    stream->time_base = codec->time_base;
    int result = avcodec_parameters_from_context(stream->codecpar, codec.get());
    if (result < 0)
        return fail(QStringLiteral("Cannot create"), result);
    const int channels = codec->ch_layout.nb_channels;
    if (channels < 1 || channels > int(planes.size()))
        return fail(QStringLiteral("Cannot create"), AVERROR(EINVAL));

    frameSize = codec->frame_size > 0 ? codec->frame_size : fallbackFrameSize;
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = codec->sample_rate;
    frame->nb_samples = frameSize;
    result = av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
    if (result >= 0)
        result = av_frame_get_buffer(frame.get(), 0);
    if (result < 0)
        return fail(QStringLiteral("Cannot create"), result);
    fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, channels, kChunkFrames + frameSize));
    if (!fifo)
        return fail(QStringLiteral("Cannot create"), AVERROR(ENOMEM));
    for (int channel = 0; channel < channels; ++channel) {
        planes[size_t(channel)].resize(kChunkFrames);
        planePointers[size_t(channel)] = planes[size_t(channel)].data();
    }
    return {};
}

Status FfmpegMuxer::startMuxing(AVDictionary** options)
{
    // The muxer writes into the caller's file, so FFmpeg never opens a path itself.
    io = makeOutputIo(file);
    if (!io)
        return fail(QStringLiteral("Cannot create"), AVERROR(ENOMEM));
    format->pb = io.get();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    const int result = avformat_write_header(format.get(), options);
    if (result < 0)
        return writeFailure(result);
    if (format->pb->error < 0)
        return writeFailure(format->pb->error);
    return {};
}

Status FfmpegMuxer::encode(std::span<const qint16> samples)
{
    constexpr float kScale = 1.0f / 32768.0f;
    const int channels = codec->ch_layout.nb_channels;
    const qint16* input = samples.data();
    qsizetype framesLeft = qsizetype(samples.size()) / channels;
    while (framesLeft > 0) {
        const int chunk = int(std::min<qsizetype>(framesLeft, kChunkFrames));
        for (int channel = 0; channel < channels; ++channel) {
            float* plane = planes[size_t(channel)].data();
            for (int i = 0; i < chunk; ++i)
                plane[i] = float(input[i * channels + channel]) * kScale;
        }
        input += qsizetype(chunk) * channels;
        framesLeft -= chunk;
        if (av_audio_fifo_write(fifo.get(), planePointers.data(), chunk) != chunk)
            return fail(cannotEncode(), AVERROR(ENOMEM));
        while (av_audio_fifo_size(fifo.get()) >= frameSize) {
            if (Status status = sendFrame(frameSize); !status)
                return status;
        }
    }
    return {};
}

Status FfmpegMuxer::finishStream()
{
    // After a failed encode() the FIFO may hold more than one frame.
    while (const int rest = av_audio_fifo_size(fifo.get())) {
        if (Status status = sendFrame(std::min(rest, frameSize)); !status)
            return status;
    }
    int result = avcodec_send_frame(codec.get(), nullptr);
    if (result < 0)
        return fail(cannotEncode(), result);
    if (Status status = drainPackets(); !status)
        return status;
    result = av_write_trailer(format.get());
    if (result < 0)
        return writeFailure(result);
    avio_flush(format->pb);
    if (format->pb->error < 0)
        return writeFailure(format->pb->error);
    return {};
}

Status FfmpegMuxer::sendFrame(int frameCount)
{
    if (frameCount <= 0 || frameCount > frameSize)
        return Status::error(QStringLiteral("%1 %2: %3 samples do not make a frame")
                                 .arg(cannotEncode(), QDir::toNativeSeparators(path))
                                 .arg(frameCount));
    // The encoder may still hold a reference to the last frame's buffer.
    int result = av_frame_make_writable(frame.get());
    if (result < 0)
        return fail(cannotEncode(), result);
    frame->nb_samples = frameCount;
    if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->data), frameCount) !=
        frameCount)
        return Status::error(QStringLiteral("%1 %2: sample buffer underrun")
                                 .arg(cannotEncode(), QDir::toNativeSeparators(path)));
    frame->pts = nextPts;
    nextPts += frameCount;
    result = avcodec_send_frame(codec.get(), frame.get());
    if (result < 0)
        return fail(cannotEncode(), result);
    return drainPackets();
}

Status FfmpegMuxer::fail(const QString& what, int errorCode) const
{
    return Status::error(
        QStringLiteral("%1 %2: %3")
            .arg(what, QDir::toNativeSeparators(path), ffmpegErrorString(errorCode)));
}

Status FfmpegMuxer::writeFailure(int errorCode) const
{
    return file.failed() ? file.failure() : fail(QStringLiteral("Cannot write"), errorCode);
}

Status FfmpegMuxer::drainPackets()
{
    for (;;) {
        int result = avcodec_receive_packet(codec.get(), packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return {};
        if (result < 0)
            return fail(cannotEncode(), result);
        ++packets;
        av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        // Takes the packet's reference and leaves it blank for the next round.
        result = av_interleaved_write_frame(format.get(), packet.get());
        if (result < 0)
            return writeFailure(result);
    }
}

QString FfmpegMuxer::cannotEncode() const
{
    return QStringLiteral("Cannot encode %1 audio for").arg(QLatin1String(codecName));
}

} // namespace tunevale
