#pragma once

#include "common/audio/resampler.h"
#include "common/codecs/encoder.h"
#include "common/codecs/outputformat.h"

#include <QString>

#include <memory>
#include <vector>

namespace tunevale {

// Writes one output file at a time, its format chosen by the path's extension and
// configured by that format's part of the settings last given. Input of any rate and channel
// count is converted to the output's.
class AudioWriter {
public:
    AudioWriter();
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // Starts the output file, created only when nothing is at path yet; a file left open
    // from before is finished first.
    Status create(const QString& path);
    // The same into file, created empty by the caller, that will become outputPath (whose
    // extension picks the format and which messages name), expected to last about
    // expectedSeconds (0 when unknown).
    Status create(UniqueFd file, const QString& outputPath, double expectedSeconds = 0);
    // The source the next create() converts, for settings that follow it (FLAC's, Opus's and
    // M4A's rate and channels). Kept until changed; 44,100 Hz stereo 16-bit until given.
    void setSourceFormat(const SourceFormat& source) { m_source = source; }
    // Whether a core is free beside the caller's for the encoder's side work (see
    // Encoder::setSpareCore). Kept until changed; no until given.
    void setSpareCore(bool spare) { m_spareCore = spare; }
    // The layout of the following writes; without it, input is taken in the output's layout.
    Status setInputFormat(PcmFormat input);
    // Whole frames of interleaved samples in the input format.
    Status write(std::span<const qint16> samples);
    // Whether the open output keeps more than 16 bits of a sample and takes the input
    // unconverted, so that write() of 32-bit samples (the source's bits at the top) keeps them.
    bool takesWideSamples() const;
    Status write(std::span<const qint32> samples);
    // Completes the file. Without an open file it does nothing.
    Status close();
    bool isOpen() const { return m_encoder != nullptr; }

    const OutputSettings& settings() const { return m_settings; }
    // Takes every format's settings at once. When one format's part cannot be written, all are
    // refused, the previous ones kept, and the message is that format's.
    Status configure(const OutputSettings& settings);

private:
    OutputSettings m_settings;
    SourceFormat m_source;
    bool m_spareCore = false;
    std::unique_ptr<Encoder> m_encoder;
    Resampler m_resampler;
    std::vector<qint16> m_converted;
};

} // namespace tunevale
