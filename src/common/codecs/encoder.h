#pragma once

#include "common/audio/pcmformat.h"
#include "common/audio/status.h"
#include "common/safefile.h"

#include <QString>
#include <QtGlobal>

#include <span>

namespace tunevale {

// One output format's encoder, writing one file. Each instance is independent, so
// several may run on different threads.
class Encoder {
public:
    virtual ~Encoder() = default;

    // The PCM layout encode() takes; the writer converts its input to it.
    virtual PcmFormat inputFormat() const = 0;
    // How long the output will be, as the source states it (0 when unknown), told before
    // open(): a format whose header depends on the length lays it out for it.
    virtual void setExpectedSeconds(double seconds) { (void)seconds; }
    // Whether a core beside the caller's is free, told before open(): an encoder may move
    // work of its own there.
    virtual void setSpareCore(bool spare) { (void)spare; }
    // Takes over file, created empty by the caller, and writes what precedes the audio.
    // Messages name outputPath, the name the file is written for.
    virtual Status open(UniqueFd file, const QString& outputPath) = 0;
    // Encodes whole frames of interleaved samples in inputFormat().
    virtual Status encode(std::span<const qint16> samples) = 0;
    // The bits of each sample the output keeps; above 16, encodeWide() takes the source's
    // deeper samples.
    virtual int inputBits() const { return 16; }
    // encode() for 32-bit samples, the source's bits at the top. Only for inputBits() above 16.
    virtual Status encodeWide(std::span<const qint32> samples);
    // Flushes the codec, writes trailers and closes the file; the file is complete after it.
    virtual Status finish() = 0;
};

// An error naming codec and outputPath when sampleCount interleaved samples are not whole
// frames of channels; success otherwise. The encoders' common input check.
Status checkWholeFrames(const char* codec, const QString& outputPath, size_t sampleCount,
                        int channels);

} // namespace tunevale
