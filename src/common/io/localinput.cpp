#include "common/io/localinput.h"

#include "common/localfile.h"
#include "common/nativepath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tunevale {

namespace {

// A damaged header can claim gigabytes for one tag, which FFmpeg then allocates and zeroes (a
// 416-byte WAV took 1.7 GB). Nothing an audio file honestly holds comes near this.
constexpr std::size_t kMaxFfmpegAllocation = std::size_t{256} << 20;

void limitFfmpegAllocations()
{
    static const bool limited = [] {
        av_max_alloc(kMaxFfmpegAllocation);
        return true;
    }();
    Q_UNUSED(limited);
}

struct DictionaryDeleter {
    void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};

// "file:" and an absolute name: FFmpeg takes everything up to a colon for a protocol otherwise.
QByteArray localFileUrl(const QString& path)
{
    QByteArray name = nativePath(path);
    if (!name.startsWith('/')) {
        const std::unique_ptr<char, void (*)(void*)> folder(::getcwd(nullptr, 0), std::free);
        if (folder)
            name = QByteArray(folder.get()) + '/' + name;
    }
    return QByteArrayLiteral("file:") + name;
}

// FFmpeg looks for another codec inside a 16-bit PCM WAV's samples by running every demuxer's
// probe over its first 32 packets, growing the buffer six times: for a WAV output that costs
// more than the whole conversion, and it is paid again at every open. The demuxer's own header
// check already finds S/PDIF data, and one packet suffices for the rest.
constexpr int64_t kPcmWavProbeBytes = 4096;

void limitPcmWavProbe(AVFormatContext& context)
{
    if (context.iformat == nullptr || std::strcmp(context.iformat->name, "wav") != 0)
        return;
    for (unsigned index = 0; index < context.nb_streams; ++index) {
        if (context.streams[index]->codecpar->codec_id == AV_CODEC_ID_PCM_S16LE)
            context.probesize = kPcmWavProbeBytes;
    }
}

// The source's descriptor, read by FFmpeg through an I/O context of ours: FFmpeg's own file
// protocol would open the name again, waiting on a FIFO and reading a device for ever.
class FileSource final : public InputSource {
public:
    explicit FileSource(UniqueFd file)
        : m_file(std::move(file))
    {}

    static int read(void* opaque, uint8_t* buffer, int size)
    {
        const int fd = static_cast<FileSource*>(opaque)->m_file.get();
        for (;;) {
            const ssize_t got = ::read(fd, buffer, size_t(size));
            if (got > 0)
                return int(got);
            if (got == 0)
                return AVERROR_EOF;
            if (errno != EINTR)
                return AVERROR(errno);
        }
    }

    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        const int fd = static_cast<FileSource*>(opaque)->m_file.get();
        if (whence & AVSEEK_SIZE) {
            struct stat info {};
            return ::fstat(fd, &info) == 0 ? int64_t(info.st_size) : AVERROR(errno);
        }
        const off_t position = ::lseek(fd, off_t(offset), whence & ~AVSEEK_FORCE);
        return position < 0 ? AVERROR(errno) : int64_t(position);
    }

private:
    UniqueFd m_file;
};

constexpr int kIoBufferBytes = 32 << 10;

int openFileInput(const QString& path, InputIoPtr& io)
{
    int error = 0;
    UniqueFd file = openRegularFile(path, OpenFor::Reading, error);
    if (!file.isValid())
        return error == kNotRegularFile ? kNotRegularFileError : AVERROR(error);
    auto source = std::make_unique<FileSource>(std::move(file));
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (!buffer)
        return AVERROR(ENOMEM);
    io.reset(avio_alloc_context(buffer, kIoBufferBytes, 0, source.get(), FileSource::read, nullptr,
                                FileSource::seek));
    if (!io) {
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    (void)source.release(); // the I/O context's deleter owns it now
    return 0;
}

} // namespace

int openLocalInput(const QString& path, InputFormatContextPtr& context)
{
    limitFfmpegAllocations();
    AVDictionary* rawOptions = nullptr;
    // The whitelist also holds for every file a demuxer opens by itself (a playlist's entries).
    int result = av_dict_set(&rawOptions, "protocol_whitelist", "file", 0);
    std::unique_ptr<AVDictionary, DictionaryDeleter> options(rawOptions);
    if (result < 0)
        return result;
    InputIoPtr io;
    if ((result = openFileInput(path, io)) < 0)
        return result;
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        return AVERROR(ENOMEM);
    raw->pb = io.get();
    // FFmpeg frees the context itself when opening fails, but never an I/O context of ours.
    rawOptions = options.release();
    result = avformat_open_input(&raw, localFileUrl(path).constData(), nullptr, &rawOptions);
    options.reset(rawOptions);
    if (result >= 0) {
        (void)io.release(); // the context's deleter frees it now
        limitPcmWavProbe(*raw);
        context.reset(raw);
    }
    return result;
}

} // namespace tunevale
