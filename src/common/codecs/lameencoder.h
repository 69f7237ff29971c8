#pragma once

#include "common/codecs/encoder.h"
#include "common/codecs/lamestream.h"
#include "common/codecs/mp3encoder.h"

#include "common/io/outputfile.h"

#include <memory>
#include <vector>

namespace tunevale {

// MP3 output through LAME, with an Mp3Encoder's parameters and a VBR/info header.
class LameEncoder final : public Encoder {
public:
    explicit LameEncoder(const Mp3Encoder& settings);
    ~LameEncoder() override;

    PcmFormat inputFormat() const override;
    Status open(UniqueFd file, const QString& outputPath) override;
    Status encode(std::span<const qint16> samples) override;
    Status finish() override;

    // Whether the bitrates fit the sample rate (Mp3Encoder::checkBitrateForRate); each value
    // alone was checked as it was set.
    static Status validate(const Mp3Encoder& settings);
    // One line such as "MP3 44100 Hz; 128 Kbps; Joint Stereo; " (what LAME really uses).
    static QString describe(const Mp3Encoder& settings);

private:
    Mp3Encoder m_settings;
    std::unique_ptr<LameStream> m_lame;
    OutputStream m_file;
    std::vector<unsigned char> m_encoded;
};

} // namespace tunevale
