#pragma once

#include "common/codecs/encoder.h"

#include "common/io/outputfile.h"

namespace tunevale {

struct WavFormat {
    int sampleRate = 44100;
    int channels = 2;       // 1 or 2
    int bitsPerSample = 16; // 8 or 16

    friend bool operator==(const WavFormat&, const WavFormat&) = default;
};

// How a WAV header is laid out. RIFF states sizes in 32 bits, so its audio ends at 4 GiB.
// A file expected to come near that keeps room for 64-bit sizes: a "JUNK" chunk after
// "WAVE" that becomes a "ds64" chunk, the file then being RF64, once the audio passes 4 GiB.
enum class WavLayout {
    Classic,    // the usual 44 bytes
    Rf64Capable // 80 bytes: RIFF with a JUNK chunk, or RF64
};

// RIFF PCM output, 8 or 16 bits.
class WavEncoder final : public Encoder {
public:
    explicit WavEncoder(const WavFormat& format);

    PcmFormat inputFormat() const override;
    void setExpectedSeconds(double seconds) override;
    Status open(UniqueFd file, const QString& outputPath) override;
    Status encode(std::span<const qint16> samples) override;
    Status finish() override;

    // Whether format can be written; the message says why not.
    static Status validate(const WavFormat& format);
    // One line such as "WAV 44100 Hz; Stereo; 16 bit".
    static QString describe(const WavFormat& format);
    // The layout for a file of format lasting about seconds (0 when unknown): room for RF64
    // from 2 GiB of audio on, so a length the source only estimated still fits.
    static WavLayout layoutFor(const WavFormat& format, double seconds);
    static int headerBytes(WavLayout layout);
    // Whether a file in layout can hold dataBytes of audio.
    static bool canHold(WavLayout layout, quint64 dataBytes);
    // The header that precedes dataBytes bytes of audio in format; RF64 when the layout
    // leaves room for it and RIFF's sizes cannot state the file.
    static QByteArray header(const WavFormat& format, quint64 dataBytes,
                             WavLayout layout = WavLayout::Classic);
    // Samples as the file holds them: 8-bit unsigned or 16-bit little-endian (out replaced).
    static void pack(std::span<const qint16> samples, int bitsPerSample, QByteArray& out);

private:
    WavFormat m_format;
    WavLayout m_layout = WavLayout::Classic;
    OutputStream m_file;
    quint64 m_dataBytes = 0;
    QByteArray m_buffer;
};

} // namespace tunevale
