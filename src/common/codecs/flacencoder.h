#pragma once

#include "common/codecs/encoder.h"
#include "common/codecs/flacsettings.h"
#include "common/io/outputfile.h"

#include <memory>
#include <vector>

namespace tunevale {

// FLAC output through libFLAC. The samples reach the file unchanged (16-bit input in a
// 24-bit file is scaled by 256, which decodes back exactly).
class FlacEncoder final : public Encoder {
public:
    // Values of settings that follow the source are taken from source.
    FlacEncoder(const FlacSettings& settings, const SourceFormat& source);
    ~FlacEncoder() override;

    PcmFormat inputFormat() const override;
    void setSpareCore(bool spare) override { m_spareCore = spare; }
    Status open(UniqueFd file, const QString& outputPath) override;
    Status encode(std::span<const qint16> samples) override;
    // The output's depth: 24-bit output takes the source's deeper samples.
    int inputBits() const override { return m_settings.bitsPerSample; }
    Status encodeWide(std::span<const qint32> samples) override;
    Status finish() override;

    const FlacSettings& settings() const { return m_settings; }

private:
    struct Stream;
    Status checkInput(size_t sampleCount) const;
    // Encodes the block in the stream's buffer.
    Status handOver();

    FlacSettings m_settings;
    bool m_spareCore = false;
    std::unique_ptr<Stream> m_stream;
};

} // namespace tunevale
