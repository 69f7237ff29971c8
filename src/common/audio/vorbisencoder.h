#pragma once

#include "common/audio/encoder.h"

#include "common/audio/outputfile.h"

#include <memory>

namespace tunevale {

// OGG Vorbis output through libvorbisenc and libogg.
class VorbisEncoder final : public Encoder {
public:
    explicit VorbisEncoder(const OggFormat& format);
    ~VorbisEncoder() override;

    PcmFormat inputFormat() const override;
    Status open(UniqueFd file, const QString& outputPath) override;
    Status encode(std::span<const qint16> samples) override;
    Status finish() override;

    // Whether libvorbisenc can set up this bitrate format (kbit/s; 0 = not given).
    // Touches no file.
    static bool check(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate);
    // Why these bitrates (kbit/s; 0 = not given) make no range: a minimum above the maximum
    // or a nominal bitrate outside the bounds. Empty text when they do.
    static QString bitrateRangeProblem(int bitrate, int minBitrate, int maxBitrate);
    // One line such as "OGG Vorbis 44100 Hz; Stereo; 128 Kbps".
    static QString describe(const OggFormat& format);

private:
    struct Vorbis;
    OggFormat m_format;
    std::unique_ptr<Vorbis> m_vorbis;
    OutputStream m_file;
};

} // namespace tunevale
