#include "common/audio/localinput.h"

#include "common/nativepath.h"

#include <unistd.h>

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
    AVFormatContext* raw = nullptr;
    // FFmpeg frees the context itself when opening fails.
    rawOptions = options.release();
    result = avformat_open_input(&raw, localFileUrl(path).constData(), nullptr, &rawOptions);
    options.reset(rawOptions);
    if (result >= 0) {
        limitPcmWavProbe(*raw);
        context.reset(raw);
    }
    return result;
}

} // namespace tunevale
