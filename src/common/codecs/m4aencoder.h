#pragma once

#include "common/codecs/encoder.h"
#include "common/codecs/m4asettings.h"

#include <QString>

#include <memory>

namespace tunevale {

// AAC (FFmpeg's own encoder) in an M4A file. Its edit list and an iTunSMPB tag tell players
// the encoder's priming and padding, so they can play exactly the source's samples.
class M4aEncoder final : public Encoder {
public:
    // Values of settings that follow the source are taken from source.
    M4aEncoder(const M4aSettings& settings, const SourceFormat& source);
    ~M4aEncoder() override;

    PcmFormat inputFormat() const override;
    Status open(UniqueFd file, const QString& outputPath) override;
    Status encode(std::span<const qint16> samples) override;
    Status finish() override;

    // The iTunSMPB value for a stream of samples per channel with priming samples before them
    // and padding after them: twelve hexadecimal fields, each after a space.
    static QString gaplessInfo(int priming, int padding, qint64 samples);

private:
    struct Muxer;
    M4aSettings m_settings;
    std::unique_ptr<Muxer> m_muxer;
};

} // namespace tunevale
