#pragma once

#include <QString>

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

// Owners for every FFmpeg object the components create; no hand frees on error paths.
namespace tunevale {

// What an input read through an I/O context of its own keeps behind it (AVIOContext::opaque),
// destroyed with the input.
class InputSource {
public:
    virtual ~InputSource() = default;
};
// Frees an input's own I/O context, its buffer and its InputSource.
struct InputIoDeleter {
    void operator()(AVIOContext* io) const;
};
// An input opened on its own I/O context (AVFMT_FLAG_CUSTOM_IO) takes that context along.
struct InputFormatContextDeleter {
    void operator()(AVFormatContext* context) const;
};
struct OutputFormatContextDeleter {
    void operator()(AVFormatContext* context) const
    {
        // A custom I/O context belongs to whoever made it.
        if (context->pb && !(context->flags & AVFMT_FLAG_CUSTOM_IO) &&
            !(context->oformat->flags & AVFMT_NOFILE))
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct SwrContextDeleter {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};

using InputIoPtr = std::unique_ptr<AVIOContext, InputIoDeleter>;
using InputFormatContextPtr = std::unique_ptr<AVFormatContext, InputFormatContextDeleter>;
using OutputFormatContextPtr = std::unique_ptr<AVFormatContext, OutputFormatContextDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;

// An error code of ours for a source that is no regular file (a FIFO, a device, a socket).
constexpr int kNotRegularFileError = FFERRTAG('N', 'R', 'E', 'G');

// FFmpeg's own text for an AVERROR code; "not a regular file" for the code above.
QString ffmpegErrorString(int errorCode);

// Silences FFmpeg's console chatter once per process; errors reach users as Status texts.
void quietFfmpegLogging();

} // namespace tunevale
