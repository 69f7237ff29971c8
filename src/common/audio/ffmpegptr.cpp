#include "common/audio/ffmpegptr.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <mutex>

namespace tunevale {

void InputIoDeleter::operator()(AVIOContext* io) const
{
    delete static_cast<InputSource*>(io->opaque);
    // FFmpeg may have replaced the buffer it was given.
    av_freep(&io->buffer);
    avio_context_free(&io);
}

void InputFormatContextDeleter::operator()(AVFormatContext* context) const
{
    // Closing leaves an I/O context of the caller's own open.
    InputIoPtr io(context->flags & AVFMT_FLAG_CUSTOM_IO ? context->pb : nullptr);
    avformat_close_input(&context);
}

QString ffmpegErrorString(int errorCode)
{
    if (errorCode == kNotRegularFileError)
        return QStringLiteral("not a regular file");
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(errorCode, buffer, sizeof buffer);
    return QString::fromUtf8(buffer);
}

void quietFfmpegLogging()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

} // namespace tunevale
