#include "common/codecs/ffmpegmuxer.h"

#include <QDir>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace tunevale {

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
            return fail(QStringLiteral("Cannot encode %1 audio for").arg(QLatin1String(codecName)),
                        result);
        ++packets;
        av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        // Takes the packet's reference and leaves it blank for the next round.
        result = av_interleaved_write_frame(format.get(), packet.get());
        if (result < 0)
            return writeFailure(result);
    }
}

} // namespace tunevale
