#pragma once

#include "common/codecs/encoder.h"
#include "common/codecs/opussettings.h"

#include <memory>

namespace tunevale {

// Ogg Opus output through libopusenc. The header's pre-skip and the last page's position
// let decoders trim the output to the source's exact length; the output gain is 0.
class OggOpusEncoder final : public Encoder {
public:
    // Takes the source's sample rate, and its channel count when settings follow it.
    OggOpusEncoder(const OpusSettings& settings, const SourceFormat& source);
    ~OggOpusEncoder() override;

    PcmFormat inputFormat() const override;
    Status open(UniqueFd file, const QString& outputPath) override;
    Status encode(std::span<const qint16> samples) override;
    Status finish() override;

private:
    struct Stream;
    OpusSettings m_settings;
    int m_sampleRate;
    std::unique_ptr<Stream> m_stream;
};

} // namespace tunevale
