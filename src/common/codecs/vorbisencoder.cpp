#include "common/codecs/vorbisencoder.h"

#include "common/io/outputfile.h"

#include <QRandomGenerator>

#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace tunevale {

namespace {

// Frames handed to libvorbis per call: keeps its analysis buffer small and reused.
constexpr qsizetype kFramesPerChunk = 4096;
constexpr float kSampleScale = 1.0f / 32768.0f;
constexpr int kMaxChannels = 2;

long bitsPerSecond(int kbps)
{
    return kbps > 0 ? long(kbps) * 1000 : -1;
}

QString channelText(int channels)
{
    if (channels == 1)
        return QStringLiteral("Mono");
    if (channels == 2)
        return QStringLiteral("Stereo");
    return QStringLiteral("%1 channels").arg(channels);
}

QString modeText(const OggFormat& format)
{
    if (format.qualityMode)
        return QStringLiteral("Quality %1").arg(QString::number(format.quality / 100.0));
    const QString nominal = QStringLiteral("%1 Kbps").arg(format.bitrate);
    const int lowest = format.lowestBitrate();
    const int highest = format.highestBitrate();
    QString bounds;
    if (lowest > 0 && highest > 0)
        bounds = QStringLiteral("VBR %1-%2 Kbps").arg(lowest).arg(highest);
    else if (lowest > 0)
        bounds = QStringLiteral("VBR min %1 Kbps").arg(lowest);
    else if (highest > 0)
        bounds = QStringLiteral("VBR max %1 Kbps").arg(highest);
    if (bounds.isEmpty())
        return nominal;
    if (format.bitrate <= 0)
        return bounds;
    return nominal + QStringLiteral(" (") + bounds + u')';
}

bool plausibleLayout(int sampleRate, int channels)
{
    return sampleRate > 0 && channels >= 1 && channels <= kMaxChannels;
}

// Sets up info for a bitrate mode (kbit/s, 0 = not given); 0 when libvorbisenc accepts it.
int setupBitrate(vorbis_info* info, int sampleRate, int channels, int bitrate, int minBitrate,
                 int maxBitrate)
{
    // libvorbisenc takes an impossible range and writes it into the header, where some
    // decoders then stumble: refuse it here.
    if (!VorbisEncoder::bitrateRangeProblem(bitrate, minBitrate, maxBitrate).isEmpty())
        return OV_EINVAL;
    int result = 0;
    if (minBitrate > 0 || maxBitrate > 0) {
        result = vorbis_encode_setup_managed(info, channels, sampleRate, bitsPerSecond(maxBitrate),
                                             bitsPerSecond(bitrate), bitsPerSecond(minBitrate));
    } else {
        result =
            vorbis_encode_setup_managed(info, channels, sampleRate, -1, bitsPerSecond(bitrate), -1);
        // Without bounds, hit the average by choosing the matching quality: the bit
        // reservoir of full rate management makes encoding several times slower.
        if (result == 0)
            result = vorbis_encode_ctl(info, OV_ECTL_RATEMANAGE2_SET, nullptr);
    }
    return result == 0 ? vorbis_encode_setup_init(info) : result;
}

// A vorbis_info that is always initialised and always cleared.
struct VorbisInfo {
    VorbisInfo() { vorbis_info_init(&info); }
    ~VorbisInfo() { vorbis_info_clear(&info); }
    VorbisInfo(const VorbisInfo&) = delete;
    VorbisInfo& operator=(const VorbisInfo&) = delete;

    vorbis_info info;
};

struct OggStream {
    OggStream() = default;
    ~OggStream()
    {
        if (ready)
            ogg_stream_clear(&state);
    }
    OggStream(const OggStream&) = delete;
    OggStream& operator=(const OggStream&) = delete;

    ogg_stream_state state{};
    bool ready = false;
};

} // namespace

// The libvorbis and libogg state of one open stream. Each part is cleared only when it was
// initialised, in the order libvorbis needs, so a stream abandoned half-way is released too.
struct VorbisEncoder::Vorbis {
    Vorbis() { vorbis_comment_init(&comment); }
    ~Vorbis()
    {
        if (blockReady)
            vorbis_block_clear(&block);
        if (dspReady)
            vorbis_dsp_clear(&dsp);
        vorbis_comment_clear(&comment);
        // Then setup's and stream's own destructors: the info must outlive the dsp state.
    }
    Vorbis(const Vorbis&) = delete;
    Vorbis& operator=(const Vorbis&) = delete;

    Status writePage(OutputStream& file, const ogg_page& page);
    // Writes every complete page; with flush, also the partial one.
    Status writePages(OutputStream& file, bool flush);
    // Encodes every block libvorbis has buffered and writes the pages that result.
    Status drain(OutputStream& file);

    OggStream stream;
    VorbisInfo setup;
    vorbis_comment comment;
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_int64_t pageStart = 0;  // granule position closing the last written page
    ogg_int64_t pageFrames = 0; // audio per page
    bool dspReady = false;
    bool blockReady = false;
};

namespace {

Status libraryError(const char* call, int code)
{
    return Status::error(QStringLiteral("OGG Vorbis encoding failed: %1 returned %2")
                             .arg(QString::fromUtf8(call))
                             .arg(code));
}

} // namespace

Status VorbisEncoder::Vorbis::writePage(OutputStream& file, const ogg_page& page)
{
    if (!file.write(reinterpret_cast<const char*>(page.header), page.header_len) ||
        !file.write(reinterpret_cast<const char*>(page.body), page.body_len))
        return file.failure();
    return {};
}

Status VorbisEncoder::Vorbis::writePages(OutputStream& file, bool flush)
{
    ogg_page page;
    while ((flush ? ogg_stream_flush(&stream.state, &page)
                  : ogg_stream_pageout(&stream.state, &page)) != 0) {
        if (Status status = writePage(file, page); !status)
            return status;
        pageStart = std::max(pageStart, ogg_page_granulepos(&page));
    }
    return {};
}

Status VorbisEncoder::Vorbis::drain(OutputStream& file)
{
    ogg_packet packet;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
        if (const int result = vorbis_analysis(&block, nullptr); result < 0)
            return libraryError("vorbis_analysis", result);
        if (const int result = vorbis_bitrate_addblock(&block); result < 0)
            return libraryError("vorbis_bitrate_addblock", result);
        while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
            if (ogg_stream_packetin(&stream.state, &packet) != 0)
                return libraryError("ogg_stream_packetin", -1);
            // End the first audio page early and later ones after about a second: FFmpeg's
            // demuxer trims the padding only when the last page is not also the first, and
            // pages that span many seconds make seeking coarse.
            const bool endPage = pageStart == 0 ? packet.granulepos > 0
                                                : packet.granulepos - pageStart >= pageFrames;
            if (Status status = writePages(file, endPage); !status)
                return status;
        }
    }
    return {};
}

VorbisEncoder::VorbisEncoder(const OggFormat& format)
    : m_format(format)
{}

VorbisEncoder::~VorbisEncoder() = default;

PcmFormat VorbisEncoder::inputFormat() const
{
    return {m_format.sampleRate, m_format.channels};
}

Status VorbisEncoder::open(UniqueFd file, const QString& outputPath)
{
    m_vorbis.reset();
    (void)m_file.close({});

    auto vorbis = std::make_unique<Vorbis>();
    vorbis_info* info = &vorbis->setup.info;
    int result = -1;
    if (plausibleLayout(m_format.sampleRate, m_format.channels)) {
        result = m_format.qualityMode
                     ? vorbis_encode_init_vbr(info, m_format.channels, m_format.sampleRate,
                                              float(m_format.quality / 1000.0))
                     : setupBitrate(info, m_format.sampleRate, m_format.channels, m_format.bitrate,
                                    m_format.lowestBitrate(), m_format.highestBitrate());
    }
    if (result != 0)
        return Status::error(QStringLiteral("OGG Vorbis cannot encode %1 Hz %2 at %3")
                                 .arg(m_format.sampleRate)
                                 .arg(channelText(m_format.channels), modeText(m_format)));

    vorbis->pageFrames = m_format.sampleRate;

    if (Status status = m_file.open(std::move(file), outputPath); !status)
        return status;

    if (const int code = vorbis_analysis_init(&vorbis->dsp, info); code != 0)
        return libraryError("vorbis_analysis_init", code);
    vorbis->dspReady = true;
    if (const int code = vorbis_block_init(&vorbis->dsp, &vorbis->block); code != 0)
        return libraryError("vorbis_block_init", code);
    vorbis->blockReady = true;
    const auto serial = static_cast<int>(QRandomGenerator::global()->generate());
    if (const int code = ogg_stream_init(&vorbis->stream.state, serial); code != 0)
        return libraryError("ogg_stream_init", code);
    vorbis->stream.ready = true;

    ogg_packet identification;
    ogg_packet comments;
    ogg_packet codebooks;
    if (const int code = vorbis_analysis_headerout(&vorbis->dsp, &vorbis->comment, &identification,
                                                   &comments, &codebooks);
        code != 0)
        return libraryError("vorbis_analysis_headerout", code);
    for (ogg_packet* header : {&identification, &comments, &codebooks}) {
        if (ogg_stream_packetin(&vorbis->stream.state, header) != 0)
            return libraryError("ogg_stream_packetin", -1);
    }
    // The first audio packet must start a page of its own.
    if (Status status = vorbis->writePages(m_file, true); !status)
        return status;

    m_vorbis = std::move(vorbis);
    return {};
}

Status VorbisEncoder::encode(std::span<const qint16> samples)
{
    if (!m_vorbis)
        return Status::error(QStringLiteral("OGG Vorbis encoder is not open"));
    const int channels = m_format.channels;
    if (samples.size() % channels != 0)
        return Status::error(QStringLiteral("OGG Vorbis encoder got %1 samples, not whole "
                                            "frames of %2 channels")
                                 .arg(samples.size())
                                 .arg(channels));

    const qint16* input = samples.data();
    auto framesLeft = static_cast<qsizetype>(samples.size() / channels);
    while (framesLeft > 0) {
        const qsizetype frames = std::min(framesLeft, kFramesPerChunk);
        float** planes = vorbis_analysis_buffer(&m_vorbis->dsp, int(frames));
        if (channels == 2) {
            float* left = planes[0];
            float* right = planes[1];
            for (qsizetype frame = 0; frame < frames; ++frame) {
                left[frame] = float(input[2 * frame]) * kSampleScale;
                right[frame] = float(input[2 * frame + 1]) * kSampleScale;
            }
        } else {
            float* mono = planes[0];
            for (qsizetype frame = 0; frame < frames; ++frame)
                mono[frame] = float(input[frame]) * kSampleScale;
        }
        if (const int code = vorbis_analysis_wrote(&m_vorbis->dsp, int(frames)); code != 0)
            return libraryError("vorbis_analysis_wrote", code);
        input += frames * channels;
        framesLeft -= frames;
        if (Status status = m_vorbis->drain(m_file); !status)
            return status;
    }
    return {};
}

Status VorbisEncoder::finish()
{
    if (!m_vorbis)
        return Status::error(QStringLiteral("OGG Vorbis encoder is not open"));
    const std::unique_ptr<Vorbis> vorbis = std::move(m_vorbis);
    Status status;
    if (const int code = vorbis_analysis_wrote(&vorbis->dsp, 0); code != 0)
        status = libraryError("vorbis_analysis_wrote", code);
    if (status)
        status = vorbis->drain(m_file);
    if (status)
        status = vorbis->writePages(m_file, true);
    return m_file.close(status);
}

bool VorbisEncoder::check(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate)
{
    if (!plausibleLayout(sampleRate, channels))
        return false;
    VorbisInfo setup;
    return setupBitrate(&setup.info, sampleRate, channels, bitrate, minBitrate, maxBitrate) == 0;
}

QString VorbisEncoder::bitrateRangeProblem(int bitrate, int minBitrate, int maxBitrate)
{
    if (minBitrate > 0 && maxBitrate > 0 && minBitrate > maxBitrate)
        return QStringLiteral("the minimum bitrate %1 Kbps is above the maximum %2 Kbps")
            .arg(minBitrate)
            .arg(maxBitrate);
    if (bitrate > 0 && minBitrate > 0 && bitrate < minBitrate)
        return QStringLiteral("the bitrate %1 Kbps is below the minimum %2 Kbps")
            .arg(bitrate)
            .arg(minBitrate);
    if (bitrate > 0 && maxBitrate > 0 && bitrate > maxBitrate)
        return QStringLiteral("the bitrate %1 Kbps is above the maximum %2 Kbps")
            .arg(bitrate)
            .arg(maxBitrate);
    return {};
}

Status VorbisEncoder::validate(const OggFormat& format)
{
    const int lowest = format.lowestBitrate();
    const int highest = format.highestBitrate();
    if (const QString problem = bitrateRangeProblem(format.bitrate, lowest, highest);
        !format.qualityMode && !problem.isEmpty())
        return Status::error(QStringLiteral("OGG Vorbis cannot encode with these bitrates: ") +
                             problem);
    if (!plausibleLayout(format.sampleRate, format.channels) ||
        (format.qualityMode && (format.quality < 0 || format.quality > 1000)) ||
        (!format.qualityMode &&
         !check(format.sampleRate, format.channels, format.bitrate, lowest, highest)))
        return Status::error(QStringLiteral("OGG Vorbis cannot encode %1").arg(describe(format)));
    return {};
}

QString VorbisEncoder::describe(const OggFormat& format)
{
    return QStringLiteral("OGG Vorbis %1 Hz; %2; %3")
        .arg(format.sampleRate)
        .arg(channelText(format.channels), modeText(format));
}

} // namespace tunevale
