#include "common/audio/streamlength.h"

#include "common/audio/ffmpegptr.h"
#include "common/codecs/flacframes.h"
#include "common/io/localinput.h"
#include "common/localfile.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace tunevale {

namespace {

Status cannotMeasure(const QString& path, const QString& reason)
{
    return Status::error(
        QStringLiteral("Cannot read back %1: %2").arg(QDir::toNativeSeparators(path), reason));
}

// A FLAC file's length from its stream information, once its last frame proves it: whole, at
// the file's end, numbered and sized to end where the stream information says. Reading every
// frame back would cost a tenth of encoding them. False when that cannot be shown.
bool flacLengthFromEnd(const QString& path, const AVStream& stream, StreamLength& length)
{
    const AVCodecParameters& codec = *stream.codecpar;
    if (codec.extradata_size < 34 || codec.sample_rate <= 0)
        return false;
    const quint8* info = codec.extradata;
    const int smallestBlock = qFromBigEndian<quint16>(info);
    const int largestBlock = qFromBigEndian<quint16>(info + 2);
    const qint64 largestFrame = (qint64(info[7]) << 16) | (info[8] << 8) | info[9];
    const quint64 samples = (quint64(info[13] & 0x0f) << 32) | qFromBigEndian<quint32>(info + 14);
    if (smallestBlock != largestBlock || largestFrame <= 0 || samples == 0)
        return false;
    QFile file;
    if (!openForReading(file, path))
        return false;
    const qint64 tailBytes = std::min(file.size(), largestFrame + 16);
    if (!file.seek(file.size() - tailBytes))
        return false;
    const QByteArray tail = file.read(tailBytes);
    const auto stated = flacSamplesFromTail(
        std::span(reinterpret_cast<const unsigned char*>(tail.constData()), size_t(tail.size())),
        largestBlock);
    if (!stated || *stated != samples)
        return false;
    length.seconds = double(samples) / codec.sample_rate;
    length.longestPacketSeconds = double(largestBlock) / codec.sample_rate;
    return true;
}

} // namespace

Status measureStreamLength(const QString& path, StreamLength& length)
{
    length = {};
    quietFfmpegLogging();
    InputFormatContextPtr context;
    int result = openLocalInput(path, context);
    if (result < 0)
        return cannotMeasure(path, ffmpegErrorString(result));
    result = avformat_find_stream_info(context.get(), nullptr);
    const int streamIndex =
        result < 0 ? result
                   : av_find_best_stream(context.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (streamIndex < 0)
        return cannotMeasure(path, ffmpegErrorString(streamIndex));
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (int(i) != streamIndex)
            context->streams[i]->discard = AVDISCARD_ALL;
    }
    const AVStream* stream = context->streams[streamIndex];
    const AVRational timeBase = stream->time_base;
    // A WAV file's PCM is cut into packets straight from its data chunk, so the chunk's size is
    // the length; reading it all back would cost as much as writing it. A file cut short is
    // caught by riffSizeFits().
    if (std::strcmp(context->iformat->name, "wav") == 0 &&
        av_get_bits_per_sample(stream->codecpar->codec_id) > 0 &&
        stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        length.seconds = double(stream->duration) * av_q2d(timeBase);
        length.longestPacketSeconds = 1.0 / std::max(1, stream->codecpar->sample_rate);
        return {};
    }

    if (std::strcmp(context->iformat->name, "flac") == 0 &&
        flacLengthFromEnd(path, *stream, length))
        return {};

    const PacketPtr packet(av_packet_alloc());
    if (!packet)
        return cannotMeasure(path, ffmpegErrorString(AVERROR(ENOMEM)));
    int64_t start = AV_NOPTS_VALUE;
    int64_t end = AV_NOPTS_VALUE;
    int64_t longest = 0;
    while ((result = av_read_frame(context.get(), packet.get())) >= 0) {
        if (packet->stream_index == streamIndex) {
            const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (time != AV_NOPTS_VALUE) {
                start = start == AV_NOPTS_VALUE ? time : std::min(start, time);
                end = std::max(end == AV_NOPTS_VALUE ? time : end, time + packet->duration);
            }
            longest = std::max(longest, packet->duration);
        }
        av_packet_unref(packet.get());
    }
    if (result != AVERROR_EOF)
        return cannotMeasure(path, ffmpegErrorString(result));
    if (end != AV_NOPTS_VALUE)
        length.seconds = double(end - start) * av_q2d(timeBase);
    length.longestPacketSeconds = double(longest) * av_q2d(timeBase);
    return {};
}

bool riffSizeFits(const QString& path)
{
    QFile file;
    if (!openForReading(file, path))
        return false;
    // RF64 states its size in the "ds64" chunk that must follow "WAVE".
    const QByteArray header = file.read(28);
    if (header.size() < 12 || header.mid(8, 4) != "WAVE")
        return true;
    quint64 stated = 0;
    if (header.startsWith("RIFF"))
        stated = qFromLittleEndian<quint32>(header.constData() + 4);
    else if (header.startsWith("RF64") && header.size() == 28 && header.mid(12, 4) == "ds64")
        stated = qFromLittleEndian<quint64>(header.constData() + 20);
    else
        return !header.startsWith("RF64");
    return stated <= quint64(file.size()) - 8;
}

bool isRf64Wave(const QString& path)
{
    QFile file;
    if (!openForReading(file, path))
        return false;
    const QByteArray header = file.read(12);
    return header.startsWith("RF64") && header.mid(8, 4) == "WAVE";
}

} // namespace tunevale
