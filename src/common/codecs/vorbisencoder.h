#pragma once

#include "common/codecs/encoder.h"

#include "common/io/outputfile.h"

#include <memory>

namespace tunevale {

// OGG Vorbis settings. Bitrates in kbit/s. Quality mode encodes at quality, the level times 100
// (0 to 1000); otherwise the encoder aims at bitrate, held between the bounds when managed (a
// bound of 0 is none). The values of the mode not chosen are kept for when it is chosen again.
struct OggFormat {
    int sampleRate = 44100;
    int channels = 2;
    int bitrate = 128;
    int minBitrate = 128;
    int maxBitrate = 128;
    int quality = 300;
    bool managed = false;
    bool qualityMode = false; // takes precedence over the bitrate modes

    // The bounds in force: 0 when not managed or in quality mode.
    int lowestBitrate() const { return managed && !qualityMode ? minBitrate : 0; }
    int highestBitrate() const { return managed && !qualityMode ? maxBitrate : 0; }

    friend bool operator==(const OggFormat&, const OggFormat&) = default;
};

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
    // Whether format can be written; the message says why not. Touches no file.
    static Status validate(const OggFormat& format);
    // One line such as "OGG Vorbis 44100 Hz; Stereo; 128 Kbps".
    static QString describe(const OggFormat& format);

private:
    struct Vorbis;
    OggFormat m_format;
    std::unique_ptr<Vorbis> m_vorbis;
    OutputStream m_file;
};

} // namespace tunevale
