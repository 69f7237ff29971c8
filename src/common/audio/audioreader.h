#pragma once

#include "common/audio/pcmformat.h"
#include "common/audio/status.h"

#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

namespace tunevale {

// Decodes any MP3, WMA, OGG Vorbis or WAV file to interleaved 16-bit samples at the
// source's own rate and channel count. Positions and lengths are in frames.
class AudioReader {
public:
    AudioReader();
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    Status open(const QString& path);
    void close();
    bool isOpen() const;

    PcmFormat format() const;
    // The format with the precision of the source's own samples.
    SourceFormat sourceFormat() const;
    // The container's length; exact for WAV, an estimate for some MP3 files.
    qint64 totalFrames() const;
    // The frame the next read() starts at.
    qint64 position() const;

    // Whether the next open() decodes to 32-bit samples (the source's bits at the top) for
    // read()s into 32-bit vectors instead of 16-bit ones; off until set.
    void setWideSamples(bool wide) { m_wide = wide; }
    // Replaces samples with up to maxElements decoded values (whole frames); empty at the end.
    // The vector's width must be the one the file was opened for.
    Status read(qint64 maxElements, std::vector<qint16>& samples);
    Status read(qint64 maxElements, std::vector<qint32>& samples);
    // True when the codec decodes the same samples after a seek as in one pass from the start
    // (PCM, MP3, Vorbis), so stretches of the file can be read independently.
    bool seeksExactly() const;
    // Moves to exactly frame; past the end it lands at the end. Returns the frame reached.
    Status seek(qint64 frame, qint64& reached);

private:
    struct Decoder;
    std::unique_ptr<Decoder> m_decoder;
    bool m_wide = false;
};

} // namespace tunevale
