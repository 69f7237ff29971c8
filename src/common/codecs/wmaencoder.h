#pragma once

#include "common/codecs/encoder.h"
#include "common/codecs/wmaprofiles.h"

#include <memory>

namespace tunevale {

// WMA (version 2) output in an ASF file through FFmpeg's encoder and muxer.
class WmaEncoder final : public Encoder {
public:
    explicit WmaEncoder(int profileNumber);
    ~WmaEncoder() override;

    PcmFormat inputFormat() const override;
    Status open(UniqueFd file, const QString& outputPath) override;
    Status encode(std::span<const qint16> samples) override;
    Status finish() override;

    // Whether the profile exists; the message says which ones do.
    static Status validate(int profileNumber);
    // The profile's one-line description (see describeWmaProfile).
    static QString describe(int profileNumber);

private:
    struct Muxer;
    WmaProfile m_profile;
    std::unique_ptr<Muxer> m_muxer;
};

} // namespace tunevale
