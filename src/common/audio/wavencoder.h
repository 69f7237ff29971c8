#pragma once

#include "common/audio/encoder.h"

#include "common/audio/outputfile.h"

namespace tunevale {

struct WavFormat {
    int sampleRate = 44100;
    int channels = 2;       // 1 or 2
    int bitsPerSample = 16; // 8 or 16

    friend bool operator==(const WavFormat&, const WavFormat&) = default;
};

// RIFF PCM output, 8 or 16 bits.
class WavEncoder final : public Encoder {
public:
    explicit WavEncoder(const WavFormat& format);

    PcmFormat inputFormat() const override;
    Status open(UniqueFd file, const QString& outputPath) override;
    Status encode(std::span<const qint16> samples) override;
    Status finish() override;

    // Whether format can be written; the message says why not.
    static Status validate(const WavFormat& format);
    // One line such as "WAV 44100 Hz; Stereo; 16 bit".
    static QString describe(const WavFormat& format);
    // The header that precedes dataBytes bytes of audio in format.
    static QByteArray header(const WavFormat& format, quint32 dataBytes);
    // Samples as the file holds them: 8-bit unsigned or 16-bit little-endian (out replaced).
    static void pack(std::span<const qint16> samples, int bitsPerSample, QByteArray& out);

private:
    Status writeHeader(quint32 dataBytes);

    WavFormat m_format;
    OutputStream m_file;
    quint64 m_dataBytes = 0;
    QByteArray m_buffer;
};

} // namespace tunevale
