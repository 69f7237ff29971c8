#include "common/io/outputio.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cstdio>

namespace tunevale {

namespace {

constexpr int kIoBufferBytes = 32 * 1024;

// FFmpeg 5 declares the data it hands over as writable.
int writeToStream(void* opaque, uint8_t* data, int size)
{
    auto* stream = static_cast<OutputStream*>(opaque);
    return stream->write(reinterpret_cast<const char*>(data), size) ? size : AVERROR(EIO);
}

int64_t seekInStream(void* opaque, int64_t offset, int whence)
{
    auto* stream = static_cast<OutputStream*>(opaque);
    if (whence & AVSEEK_SIZE) {
        const qint64 size = stream->size();
        return size >= 0 ? size : AVERROR(EIO);
    }
    // FFmpeg's buffered I/O turns every seek into one from the start.
    if ((whence & ~AVSEEK_FORCE) != SEEK_SET)
        return AVERROR(ENOSYS);
    return stream->seek(offset) ? offset : AVERROR(EIO);
}

} // namespace

void OutputIoDeleter::operator()(AVIOContext* context) const
{
    av_freep(&context->buffer);
    avio_context_free(&context);
}

OutputIoPtr makeOutputIo(OutputStream& stream)
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (!buffer)
        return nullptr;
    OutputIoPtr io(avio_alloc_context(buffer, kIoBufferBytes, 1, &stream, nullptr, writeToStream,
                                      seekInStream));
    if (!io)
        av_free(buffer);
    return io;
}

} // namespace tunevale
